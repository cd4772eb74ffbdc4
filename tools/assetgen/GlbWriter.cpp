#include "GlbWriter.h"

#include <assimp/Exporter.hpp>
#include <assimp/material.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <system_error>

glm::vec3 toFileAxes(glm::vec3 game)
{
    return {-game.z, game.y, -game.x};
}

namespace {

aiMesh* makeMesh(const KitMesh& source)
{
    auto* mesh = new aiMesh();
    mesh->mName = source.name;
    mesh->mMaterialIndex = 0;
    mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;

    const u32 count = static_cast<u32>(source.vertices.size());
    mesh->mNumVertices = count;
    mesh->mVertices = new aiVector3D[count];
    mesh->mNormals = new aiVector3D[count];
    if (source.colors) {
        mesh->mColors[0] = new aiColor4D[count];
    }
    // Assimp's vertex joining (which its glb exporter enforces and the game's import
    // runs again) compares positions, normals and texture coordinates but not colours,
    // so corners of two differently coloured faces in one plane would be merged and
    // take one colour. A mesh without texture coordinates of its own gets one
    // coordinate per distinct colour, which keeps such corners apart.
    const bool colorKeys = source.colors && !source.texcoords;
    std::vector<glm::vec4> keys;
    if (source.texcoords || colorKeys) {
        mesh->mTextureCoords[0] = new aiVector3D[count];
        mesh->mNumUVComponents[0] = 2;
    }
    for (u32 i = 0; i < count; i++) {
        const KitVertex& v = source.vertices[i];
        glm::vec3 p = toFileAxes(v.position), n = toFileAxes(v.normal);
        mesh->mVertices[i] = aiVector3D(p.x, p.y, p.z);
        mesh->mNormals[i] = aiVector3D(n.x, n.y, n.z);
        if (source.colors) {
            mesh->mColors[0][i] = aiColor4D(v.color.r, v.color.g, v.color.b, v.color.a);
        }
        if (source.texcoords) {
            // The game reads (u, 1 - v) of what Assimp hands it.
            mesh->mTextureCoords[0][i] = aiVector3D(v.uv.x, 1.0f - v.uv.y, 0.0f);
        } else if (colorKeys) {
            auto key = std::find(keys.begin(), keys.end(), v.color);
            if (key == keys.end()) {
                key = keys.insert(keys.end(), v.color);
            }
            mesh->mTextureCoords[0][i] = aiVector3D(static_cast<float>(key - keys.begin()), 0.0f, 0.0f);
        }
    }

    const u32 faces = static_cast<u32>(source.indices.size() / 3);
    mesh->mNumFaces = faces;
    mesh->mFaces = new aiFace[faces];
    for (u32 f = 0; f < faces; f++) {
        aiFace& face = mesh->mFaces[f];
        face.mNumIndices = 3;
        face.mIndices = new unsigned int[3];
        // The axis mapping mirrors; reversing the order keeps the faces outward.
        face.mIndices[0] = source.indices[f * 3];
        face.mIndices[1] = source.indices[f * 3 + 2];
        face.mIndices[2] = source.indices[f * 3 + 1];
    }
    return mesh;
}

} // namespace

bool writeGlb(const std::filesystem::path& file, const std::vector<KitMesh>& meshes)
{
    auto scene = std::make_unique<aiScene>();
    scene->mRootNode = new aiNode("Root");

    scene->mNumMaterials = 1;
    scene->mMaterials = new aiMaterial*[1];
    scene->mMaterials[0] = new aiMaterial();
    aiString materialName("Default");
    scene->mMaterials[0]->AddProperty(&materialName, AI_MATKEY_NAME);

    const u32 count = static_cast<u32>(meshes.size());
    scene->mNumMeshes = count;
    scene->mMeshes = new aiMesh*[count];
    // One node per mesh: the exporter merges the meshes of one node into a single mesh
    // of several primitives, which the importer would then split and rename.
    scene->mRootNode->mNumChildren = count;
    scene->mRootNode->mChildren = new aiNode*[count];
    for (u32 i = 0; i < count; i++) {
        scene->mMeshes[i] = makeMesh(meshes[i]);
        auto* node = new aiNode(meshes[i].name);
        node->mParent = scene->mRootNode;
        node->mNumMeshes = 1;
        node->mMeshes = new unsigned int[1]{i};
        scene->mRootNode->mChildren[i] = node;
    }

    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    if (error) {
        std::printf("assetgen: cannot create the directory of %s: %s\n", file.string().c_str(),
                    error.message().c_str());
        return false;
    }
    Assimp::Exporter exporter;
    if (exporter.Export(scene.get(), "glb2", file.string()) != AI_SUCCESS) {
        std::printf("assetgen: cannot write %s: %s\n", file.string().c_str(), exporter.GetErrorString());
        return false;
    }
    return true;
}

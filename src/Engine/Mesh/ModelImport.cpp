#include "Engine/Mesh/ModelImport.h"

#include "Engine/Helper/FileLimits.h"
#include "Engine/Helper/FileRead.h"
#include "Engine/Mesh/GltfModel.h"
#include "Engine/Mesh/ModelFiles.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <exception>
#include <string_view>

const u32 modelImportFlags = aiProcess_CalcTangentSpace | aiProcess_JoinIdenticalVertices | aiProcess_Triangulate |
                             aiProcess_SortByPType | aiProcess_FlipWindingOrder;
static_assert((aiProcess_CalcTangentSpace | aiProcess_JoinIdenticalVertices | aiProcess_Triangulate |
               aiProcess_SortByPType | aiProcess_FlipWindingOrder) == 0x100800B);

namespace {

// Attribute indices of the kinds the importer fills; -1 where the layout has none.
// A later attribute of a kind replaces an earlier one.
struct StreamTargets {
    i32 position = -1;
    i32 normal = -1;
    i32 texcoord = -1;
    i32 color = -1;
};

StreamTargets findTargets(const VertexLayout& layout)
{
    StreamTargets targets;
    for (size_t i = 0; i < layout.attributes.size(); i++) {
        i32 index = static_cast<i32>(i);
        switch (layout.attributes[i].kind) {
        case AttributePosition: targets.position = index; break;
        case AttributeNormal: targets.normal = index; break;
        case AttributeTexcoord: targets.texcoord = index; break;
        case AttributeVertexColor: targets.color = index; break;
        default: break;
        }
    }
    return targets;
}

// Stores up to `count` floats as element `vertex` of stream `attribute`; an element
// larger than the values keeps zeros in its remaining bytes, a smaller one takes what fits.
void storeElement(PlanarVertexData& data, i32 attribute, u32 vertex, const f32* values, u32 count)
{
    u32 size = data.layout->attributes[static_cast<size_t>(attribute)].size;
    u8* element = static_cast<u8*>(data.stream(static_cast<u32>(attribute))) + size_t{vertex} * size;
    std::memcpy(element, values, std::min<size_t>(size, size_t{count} * sizeof(f32)));
}

// One line, whatever the library put into its message.
std::string oneLine(std::string text)
{
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\r', ' ');
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

std::string modelPrefix(const char* path)
{
    return std::string("model \"") + path + "\"";
}

std::string meshError(const char* path, const aiMesh& mesh, const char* problem)
{
    return modelPrefix(path) + ": mesh \"" + mesh.mName.C_Str() + "\" " + problem;
}

// Converts one Assimp mesh and appends it to `meshes`; returns an error line or an
// empty string.
std::string convertMesh(const char* path, const aiMesh& source, VertexLayout* layout,
                        std::vector<ImportedMesh>& meshes)
{
    if (layout == nullptr) {
        return meshError(path, source, "has no vertex layout to be read into");
    }
    const StreamTargets targets = findTargets(*layout);
    if (targets.normal >= 0 && source.mNormals == nullptr) {
        return meshError(path, source, "has no normals, which its vertex layout needs");
    }
    if (targets.texcoord >= 0 && source.mTextureCoords[0] == nullptr) {
        return meshError(path, source, "has no texture coordinates, which its vertex layout needs");
    }
    if (targets.color >= 0 && source.mColors[0] == nullptr) {
        return meshError(path, source, "has no vertex colours, which its vertex layout needs");
    }

    const u32 n = source.mNumVertices;
    std::vector<u32> indices;
    indices.reserve(size_t{source.mNumFaces} * 3);
    for (u32 f = 0; f < source.mNumFaces; f++) {
        const aiFace& face = source.mFaces[f];
        if (face.mNumIndices != 3) {
            return meshError(path, source, "has faces that are not triangles (lines or points)");
        }
        for (u32 k = 0; k < 3; k++) {
            if (face.mIndices[k] >= n) {
                return meshError(path, source, "has a face that refers to a vertex it does not have");
            }
            indices.push_back(face.mIndices[k]);
        }
    }

    PlanarVertexData data(layout, n);
    for (u32 k = 0; k < n; k++) {
        if (targets.position >= 0) {
            const aiVector3D& p = source.mVertices[k];
            const f32 mapped[3] = {-p.z, p.y, -p.x};
            storeElement(data, targets.position, k, mapped, 3);
        }
        if (targets.normal >= 0) {
            const aiVector3D& v = source.mNormals[k];
            const f32 mapped[3] = {-v.z, v.y, -v.x};
            storeElement(data, targets.normal, k, mapped, 3);
        }
        if (targets.texcoord >= 0) {
            const aiVector3D& t = source.mTextureCoords[0][k];
            const f32 mapped[2] = {t.x, 1.0f - t.y};
            storeElement(data, targets.texcoord, k, mapped, 2);
        }
        if (targets.color >= 0) {
            const aiColor4D& c = source.mColors[0][k];
            const f32 copied[4] = {c.r, c.g, c.b, c.a};
            storeElement(data, targets.color, k, copied, 4);
        }
    }

    meshes.push_back({source.mName.C_Str(), layout, std::move(data), std::move(indices)});
    return {};
}

} // namespace

VertexLayout* chooseLayout(const std::string& meshName, VertexLayout* defaultLayout,
                           const std::vector<MeshLayoutOverride>& overrides)
{
    for (const MeshLayoutOverride& entry : overrides) {
        if (entry.meshName != nullptr && meshName == entry.meshName) {
            return entry.layout;
        }
    }
    return defaultLayout;
}

namespace {

// What the importer is told the document is called: it reads a glTF binary only by a
// name that ends in ".glb".
std::string importerName(const std::string& path)
{
    std::string name = path;
    const auto lower = [](unsigned char c) { return static_cast<char>(std::tolower(c)); };
    std::transform(name.begin(), name.end(), name.begin(), lower);
    return name.ends_with(".glb") ? path : path + ".glb";
}

// The glTF binary the importer reads: what the game checked of the model at `path` and
// the files it names. Empty, with `error` set, when the model is refused.
std::vector<u8> checkedDocument(const char* path, std::string& error)
{
    std::vector<u8> bytes;
    if (std::string problem = readRegularFile(path, &bytes, FileLimits::ModelFile); !problem.empty()) {
        error = oneLine(modelPrefix(path) + " cannot be read: the file " + problem);
        return {};
    }
    ModelFiles files(path, bytes.size(), FileLimits::ModelFile);
    GltfModel::Model model;
    const std::string problem = GltfModel::read(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
        [&files](const std::string& relative, const std::vector<u8>*& named) { return files.read(relative, named); },
        model);
    if (!problem.empty()) {
        error = oneLine(modelPrefix(path) + " cannot be read: " + problem);
        return {};
    }
    return GltfModel::write(model);
}

} // namespace

ImportedModel importModel(const char* path, VertexLayout* defaultLayout,
                          const std::vector<MeshLayoutOverride>& overrides)
{
    ImportedModel model;
    const std::vector<u8> document = checkedDocument(path, model.error);
    if (!model.error.empty()) return model;
    // The importer opens nothing but the document; `document` outlives the importer.
    const std::string name = importerName(path);
    Assimp::Importer importer;
    importer.SetIOHandler(new CheckedModelSystem(name, document));
    const aiScene* scene = nullptr;
    try {
        scene = importer.ReadFile(name, modelImportFlags);
    } catch (const std::exception& error) {
        // (The importer reports what it recognises as broken through its error string.)
        model.error = oneLine(modelPrefix(path) + " cannot be read: " + error.what());
        return model;
    }
    if (scene == nullptr) {
        model.error = oneLine(modelPrefix(path) + " cannot be read: " + importer.GetErrorString());
        return model;
    }
    return convertScene(path, *scene, defaultLayout, overrides);
}

ImportedModel convertScene(const char* path, const aiScene& scene, VertexLayout* defaultLayout,
                           const std::vector<MeshLayoutOverride>& overrides)
{
    ImportedModel model;
    model.meshes.reserve(scene.mNumMeshes);
    for (u32 i = 0; i < scene.mNumMeshes; i++) {
        const aiMesh& source = *scene.mMeshes[i];
        VertexLayout* layout = chooseLayout(source.mName.C_Str(), defaultLayout, overrides);
        std::string error = convertMesh(path, source, layout, model.meshes);
        if (!error.empty()) {
            model.meshes.clear();
            model.error = oneLine(error);
            return model;
        }
    }
    return model;
}

u64 meshStorageBytes(const ImportedModel& model, u32 alignment)
{
    u64 total = 0;
    for (const ImportedMesh& mesh : model.meshes) {
        total += meshStorageBytes(*mesh.layout, mesh.vertices.vertexCount, mesh.indices.size(), alignment);
    }
    return total;
}

std::string modelTooLargeMessage(const char* path, const ImportedModel& model, u64 needed, u64 room, u64 size)
{
    u64 vertices = 0;
    u64 indices = 0;
    for (const ImportedMesh& mesh : model.meshes) {
        vertices += mesh.vertices.vertexCount;
        indices += mesh.indices.size();
    }
    return modelPrefix(path) + " is too large for the mesh storage: its " + std::to_string(vertices) +
           " vertices and " + std::to_string(indices) + " indices take " + std::to_string(needed) + " bytes, and " +
           std::to_string(room) + " of the storage's " + std::to_string(size) + " are left";
}

std::string missingMeshMessage(const char* path, const char* meshName)
{
    return modelPrefix(path) + " has no mesh named \"" + meshName + "\"";
}

std::string emptyModelMessage(const char* path)
{
    return modelPrefix(path) + " has no meshes";
}

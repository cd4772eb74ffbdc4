#include "Engine/Mesh/ModelImport.h"

#include "Engine/Helper/FileLimits.h"
#include "Engine/Helper/FileRead.h"
#include "Engine/Helper/LineLimits.h"
#include "Engine/Helper/QuotedText.h"
#include "Engine/Mesh/GltfModel.h"
#include "Engine/Mesh/ModelFiles.h"
#include "Engine/Mesh/VertexJoin.h"

#include <assimp/IOStream.hpp>
#include <assimp/IOSystem.hpp>
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <exception>
#include <string_view>

const u32 modelImportFlags = aiProcess_Triangulate | aiProcess_SortByPType | aiProcess_FlipWindingOrder;
static_assert((aiProcess_Triangulate | aiProcess_SortByPType | aiProcess_FlipWindingOrder) == 0x1008008);

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

// What is shown of a message of the importer's.
constexpr size_t MaxLibraryTextShown = 200;

std::string meshError(const char* path, std::string_view meshName, const char* problem)
{
    return modelInLine(path) + ": mesh " + quotedText(meshName) + " " + problem;
}

std::string meshError(const char* path, const aiMesh& mesh, const char* problem)
{
    return meshError(path, mesh.mName.C_Str(), problem);
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

std::string modelInLine(const char* path)
{
    return "model " + quotedText(path, LineLimits::PathBytes);
}

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

// A file's bytes as the importer reads them: from memory, never past their end.
class MemoryFileStream : public Assimp::IOStream {
public:
    explicit MemoryFileStream(const std::vector<u8>& bytes) : bytes(bytes) {}

    size_t Read(void* buffer, size_t size, size_t count) override
    {
        if (buffer == nullptr || size == 0) return 0;
        const size_t whole = std::min(count, (bytes.size() - position) / size);
        if (whole > 0) std::memcpy(buffer, bytes.data() + position, whole * size);
        position += whole * size;
        return whole;
    }

    size_t Write(const void*, size_t, size_t) override { return 0; }

    aiReturn Seek(size_t offset, aiOrigin origin) override
    {
        const size_t size = bytes.size();
        size_t target = 0;
        switch (origin) {
        case aiOrigin_SET: target = offset; break;
        case aiOrigin_CUR:
            if (offset > size - position) return AI_FAILURE;
            target = position + offset;
            break;
        case aiOrigin_END:
            if (offset > size) return AI_FAILURE;
            target = size - offset;
            break;
        default: return AI_FAILURE;
        }
        if (target > size) return AI_FAILURE;
        position = target;
        return AI_SUCCESS;
    }

    size_t Tell() const override { return position; }
    size_t FileSize() const override { return bytes.size(); }
    void Flush() override {}

private:
    const std::vector<u8>& bytes;
    size_t position = 0;
};

// The importer's view of the files: one document, the one the game wrote of what it
// checked, under one name, read from memory. Nothing else is there to be opened. The
// importer takes it over and deletes it; `bytes` must outlive the importer.
class CheckedModelSystem : public Assimp::IOSystem {
public:
    CheckedModelSystem(std::string name, const std::vector<u8>& bytes) : name(std::move(name)), bytes(bytes) {}

    bool Exists(const char* path) const override { return path != nullptr && name == path; }
    char getOsSeparator() const override { return '/'; }

    Assimp::IOStream* Open(const char* path, const char* mode) override
    {
        // The importer only reads.
        if (!Exists(path) || mode == nullptr || std::strpbrk(mode, "wa+") != nullptr) return nullptr;
        return new MemoryFileStream(bytes);
    }

    void Close(Assimp::IOStream* stream) override { delete stream; }

private:
    std::string name;
    const std::vector<u8>& bytes;
};

// What the importer is told the document is called: it reads a glTF binary only by a
// name that ends in ".glb".
std::string importerName(const std::string& path)
{
    std::string name = path;
    const auto lower = [](unsigned char c) { return static_cast<char>(std::tolower(c)); };
    std::transform(name.begin(), name.end(), name.begin(), lower);
    return name.ends_with(".glb") ? path : path + ".glb";
}

// The name the importer gives the mesh it makes of primitive `p` of mesh `m`: the
// mesh's name (else, also for an empty one, "meshes[m]"), followed by "-p" when the mesh
// has more primitives.
std::string importedMeshName(const GltfModel::Model& model, size_t m, size_t p)
{
    const GltfModel::Mesh& mesh = model.meshes[m];
    const bool named = mesh.name.has_value() && !mesh.name->empty();
    const std::string name = named ? *mesh.name : "meshes[" + std::to_string(m) + "]";
    return mesh.primitives.size() > 1 ? name + "-" + std::to_string(p) : name;
}

// Primitive modes up to line strips draw points and lines.
constexpr u32 FirstTriangleMode = 4;
constexpr u32 TriangleListMode = 4;

// Why the meshes the importer would make of `model` (its vertices joined) cannot be
// used, checked before it reads them: one of lines or points, or meshes that take more
// than `room` of the mesh storage in their layouts. Empty when they can.
std::string meshesProblem(const char* path, const GltfModel::Model& model, VertexLayout* defaultLayout,
                          const std::vector<MeshLayoutOverride>& overrides, const MeshStorageRoom& room)
{
    u64 needed = 0, vertices = 0, indices = 0;
    for (size_t m = 0; m < model.meshes.size(); m++) {
        const std::vector<GltfModel::Primitive>& primitives = model.meshes[m].primitives;
        for (size_t p = 0; p < primitives.size(); p++) {
            const GltfModel::Primitive& primitive = primitives[p];
            const std::string name = importedMeshName(model, m, p);
            if (primitive.mode < FirstTriangleMode) {
                return meshError(path, name, "has faces that are not triangles (lines or points)");
            }
            // (Joined vertices are drawn by indices; a strip or a fan of n makes n - 2 triangles.)
            const u64 count = model.accessors[primitive.attributes.front().second].count;
            const u64 drawn = model.accessors[*primitive.indices].count;
            const u64 corners = primitive.mode == TriangleListMode ? drawn : 3 * (drawn - 2);
            vertices += count;
            indices += corners;
            if (const VertexLayout* layout = chooseLayout(name, defaultLayout, overrides); layout != nullptr) {
                needed += meshStorageBytes(*layout, static_cast<u32>(count), corners, room.alignment);
            }
        }
    }
    return needed > room.left ? modelTooLargeMessage(path, vertices, indices, needed, room) : "";
}

// The glTF binary the importer reads: what the game checked of the model at `path` and
// the files it names, its vertices joined. Empty, with `error` set, when the model is
// refused.
std::vector<u8> checkedDocument(const char* path, VertexLayout* defaultLayout,
                                const std::vector<MeshLayoutOverride>& overrides, const MeshStorageRoom& room,
                                std::string& error)
{
    std::vector<u8> bytes;
    if (std::string problem = readRegularFile(path, &bytes, FileLimits::ModelFile); !problem.empty()) {
        error = modelInLine(path) + " cannot be read: the file " + problem;
        return {};
    }
    ModelFiles files(path, bytes.size(), FileLimits::ModelFile);
    GltfModel::Model model;
    const std::string problem = GltfModel::read(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
        [&files](const std::string& relative, const std::vector<u8>*& named) { return files.read(relative, named); },
        model);
    if (!problem.empty()) {
        error = modelInLine(path) + " cannot be read: " + problem;
        return {};
    }
    bytes = {};
    joinIdenticalVertices(model);
    error = meshesProblem(path, model, defaultLayout, overrides, room);
    return error.empty() ? GltfModel::write(model) : std::vector<u8>{};
}

} // namespace

ImportedModel importModel(const char* path, VertexLayout* defaultLayout,
                          const std::vector<MeshLayoutOverride>& overrides, const MeshStorageRoom& room)
{
    ImportedModel model;
    const std::vector<u8> document = checkedDocument(path, defaultLayout, overrides, room, model.error);
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
        model.error = modelInLine(path) + " cannot be read: " + messageText(error.what(), MaxLibraryTextShown);
        return model;
    }
    if (scene == nullptr) {
        model.error = modelInLine(path) + " cannot be read: " + messageText(importer.GetErrorString(), MaxLibraryTextShown);
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
            model.error = error;
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

std::string modelTooLargeMessage(const char* path, u64 vertices, u64 indices, u64 needed, const MeshStorageRoom& room)
{
    return tooLargeForMeshStorageMessage(modelInLine(path), vertices, indices, needed, room.left, room.size,
                                         room.largestHolder);
}

std::string modelTooLargeMessage(const char* path, const ImportedModel& model, u64 needed, const MeshStorageRoom& room)
{
    u64 vertices = 0;
    u64 indices = 0;
    for (const ImportedMesh& mesh : model.meshes) {
        vertices += mesh.vertices.vertexCount;
        indices += mesh.indices.size();
    }
    return modelTooLargeMessage(path, vertices, indices, needed, room);
}

std::string missingMeshMessage(const char* path, const char* meshName)
{
    return modelInLine(path) + " has no mesh named " + quotedText(meshName);
}

std::string emptyModelMessage(const char* path)
{
    return modelInLine(path) + " has no meshes";
}

#pragma once

#include "Engine/Mesh/VertexLayout.h"
#include "Engine/Types.h"

#include <string>
#include <vector>

struct aiScene;

// Reading a glTF model into planar vertex streams, without touching the GPU: the part
// of model loading that decides layouts, maps axes and checks the file.

// A mesh name that takes another vertex layout than the model's default.
struct MeshLayoutOverride {
    const char* meshName = nullptr;
    VertexLayout* layout = nullptr;
};

struct ImportedMesh {
    std::string name;
    VertexLayout* layout = nullptr;
    PlanarVertexData vertices;
    std::vector<u32> indices; // three per triangle, in face order
};

struct ImportedModel {
    std::vector<ImportedMesh> meshes; // in the file's mesh order
    std::string error;                // empty on success, else one line naming the file
};

// Assimp post-processing of every model: tangent space, joined identical vertices,
// triangulation, sorting by primitive type, flipped winding (0x100800B).
extern const u32 modelImportFlags;

// The layout of the first override whose name equals `meshName`, else `defaultLayout`.
VertexLayout* chooseLayout(const std::string& meshName, VertexLayout* defaultLayout,
                           const std::vector<MeshLayoutOverride>& overrides);

// Reads `path` and converts every mesh: positions and normals (x, y, z) become
// (-z, y, -x), texture coordinates (u, v) become (u, 1 - v), colours are copied.
// The importer reads only a document written of what the game checked of the file and
// the files it names (GltfModel.h, ModelFiles.h). Refused with an error: a file whose
// form, JSON or meshes the game does not take, a file it names that the game's reader
// refuses, a document Assimp cannot read, a face that is not a triangle, an index past
// the vertices, or a mesh lacking a stream its layout needs.
ImportedModel importModel(const char* path, VertexLayout* defaultLayout,
                          const std::vector<MeshLayoutOverride>& overrides);

// Converts every mesh of a scene the importer made of the model at `path`, as above.
ImportedModel convertScene(const char* path, const aiScene& scene, VertexLayout* defaultLayout,
                           const std::vector<MeshLayoutOverride>& overrides);

// What the model's vertex streams and indices take in a mesh storage whose writes
// start and end on `alignment` bytes (each stream and index list is one write).
u64 meshStorageBytes(const ImportedModel& model, u32 alignment);

// The error line for a model whose meshes need `needed` bytes of a mesh storage of
// `size` bytes with only `room` left.
std::string modelTooLargeMessage(const char* path, const ImportedModel& model, u64 needed, u64 room, u64 size);

// The error line for a model that lacks a mesh its user needs.
std::string missingMeshMessage(const char* path, const char* meshName);
// The error line for a model without any mesh, for users that take its first one.
std::string emptyModelMessage(const char* path);

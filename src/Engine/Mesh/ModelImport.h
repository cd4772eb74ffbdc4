#pragma once

#include "Engine/Mesh/VertexLayout.h"
#include "Engine/Types.h"

#include <string>
#include <vector>

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
// Refused with an error: a file Assimp cannot read, a face that is not a triangle,
// an index past the vertices, or a mesh lacking a stream its layout needs.
ImportedModel importModel(const char* path, VertexLayout* defaultLayout,
                          const std::vector<MeshLayoutOverride>& overrides);

// The error line for a model that lacks a mesh its user needs.
std::string missingMeshMessage(const char* path, const char* meshName);
// The error line for a model without any mesh, for users that take its first one.
std::string emptyModelMessage(const char* path);

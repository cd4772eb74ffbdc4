#pragma once

#include "Engine/Mesh/MeshStorageHolders.h"
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

// Assimp post-processing of every model: triangulation, sorting by primitive type and
// flipped winding (0x1008008), each of a cost in step with the vertices. The game joins
// identical vertices itself before the importer reads the model (VertexJoin.h), where
// the importer's join compares every vertex at a point with every other there; and no
// vertex layout reads tangents, whose step gathers every vertex near each.
extern const u32 modelImportFlags;

// The game's mesh storage, which every model's meshes share (Engine.cpp makes it).
constexpr u32 GameMeshStorageBytes = 10'000'000;
constexpr u32 GameMeshStorageAlignment = 16;

// The room a model's meshes may take in a mesh storage of `size` bytes whose writes
// start and end on `alignment` bytes: `left` of it, with what holds the most of the
// rest (none when nothing was recorded), for the line that refuses a model. By default,
// the whole of the game's.
struct MeshStorageRoom {
    u64 left = GameMeshStorageBytes;
    u64 size = GameMeshStorageBytes;
    u32 alignment = GameMeshStorageAlignment;
    MeshStorageHolder largestHolder;
};

// The layout of the first override whose name equals `meshName`, else `defaultLayout`.
VertexLayout* chooseLayout(const std::string& meshName, VertexLayout* defaultLayout,
                           const std::vector<MeshLayoutOverride>& overrides);

// Reads `path` and converts every mesh: positions and normals (x, y, z) become
// (-z, y, -x), texture coordinates (u, v) become (u, 1 - v), colours are copied.
// The importer reads only a document written of what the game checked of the file and
// the files it names (GltfModel.h, ModelFiles.h), its identical vertices joined.
// Refused with an error: a file whose form, JSON or meshes the game does not take, a
// file it names that the game's reader refuses, a mesh of lines or points, meshes that
// need more than `room` (both before the importer reads anything), a document Assimp
// cannot read, an index past the vertices, or a mesh lacking a stream its layout needs.
ImportedModel importModel(const char* path, VertexLayout* defaultLayout,
                          const std::vector<MeshLayoutOverride>& overrides, const MeshStorageRoom& room = {});

// Converts every mesh of a scene the importer made of the model at `path`, as above.
ImportedModel convertScene(const char* path, const aiScene& scene, VertexLayout* defaultLayout,
                           const std::vector<MeshLayoutOverride>& overrides);

// What the model's vertex streams and indices take in a mesh storage whose writes
// start and end on `alignment` bytes (each stream and index list is one write).
u64 meshStorageBytes(const ImportedModel& model, u32 alignment);

// The error line for a model whose meshes of `vertices` vertices and `indices` indices
// in all need `needed` bytes of a mesh storage with less room; it names what holds the
// most of the storage when the room says (tooLargeForMeshStorageMessage).
std::string modelTooLargeMessage(const char* path, u64 vertices, u64 indices, u64 needed, const MeshStorageRoom& room);
std::string modelTooLargeMessage(const char* path, const ImportedModel& model, u64 needed, const MeshStorageRoom& room);

// How a line names the model at `path`: model "assets/Buildings/BdWall/wall.glb".
std::string modelInLine(const char* path);

// The error line for a model that lacks a mesh its user needs.
std::string missingMeshMessage(const char* path, const char* meshName);
// The error line for a model without any mesh, for users that take its first one.
std::string emptyModelMessage(const char* path);

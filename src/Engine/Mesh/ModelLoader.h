#pragma once

#include "Engine/Mesh/ModelImport.h"

#include <vector>

class Mesh;

// Model files become meshes in the global mesh storage, one per mesh of the file.
namespace ModelLoader {

// Imports `path` (see importModel) and writes every mesh's streams and indices into
// Engine::meshStorage as a new Mesh on Engine::graphicsDevice, in the file's mesh
// order; the caller owns the meshes, and the storage's record notes what the model
// took. A file that cannot be used ends the start-up with a fatal error naming it (and,
// when the room left is too small, what holds the most of the storage).
std::vector<Mesh*> load(const char* path, VertexLayout* defaultLayout,
                        const std::vector<MeshLayoutOverride>& overrides = {});

// The first mesh named `meshName`; a model without one ends the start-up with a fatal
// error naming the file and the mesh.
Mesh* requireMesh(const std::vector<Mesh*>& meshes, const char* meshName, const char* path);

// The first mesh of a model whose users take it by position; a model without meshes
// ends the start-up with a fatal error naming the file.
Mesh* requireFirstMesh(const std::vector<Mesh*>& meshes, const char* path);

} // namespace ModelLoader

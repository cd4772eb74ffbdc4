#include "Engine/Mesh/ModelLoader.h"

#include "Engine/Engine.h"
#include "Engine/Helper/Fatal.h"
#include "Engine/Mesh/Mesh.h"
#include "Engine/Storage/DataStorage.h"

namespace ModelLoader {

std::vector<Mesh*> load(const char* path, VertexLayout* defaultLayout, const std::vector<MeshLayoutOverride>& overrides)
{
    // Refused as a whole, naming the file, before any of it is written (and, when its
    // meshes cannot fit the room left, before the importer reads it); the line about
    // the room names what holds the most of the storage.
    const MeshStorageRoom room = gameMeshStorageRoom();
    ImportedModel model = importModel(path, defaultLayout, overrides, room);
    if (!model.error.empty()) {
        fatalError(model.error, "ModelLoader", __LINE__);
    }
    const u64 needed = meshStorageBytes(model, room.alignment);
    if (needed > room.left) {
        fatalError(modelTooLargeMessage(path, model, needed, room), "ModelLoader", __LINE__);
    }
    std::vector<Mesh*> meshes;
    meshes.reserve(model.meshes.size());
    for (ImportedMesh& imported : model.meshes) {
        auto* vertices = new VertexBuffer(Engine::graphicsDevice, Engine::meshStorage, imported.layout);
        VertexBuffer::setAttributeData(imported.vertices, vertices, -1);
        auto* indices = new IndexBuffer(Engine::graphicsDevice, Engine::meshStorage);
        indices->setIndices(std::move(imported.indices));
        meshes.push_back(new Mesh(Engine::graphicsDevice, imported.name, vertices, indices));
    }
    recordGameMeshStorageHolder(modelInLine(path), needed);
    return meshes;
}

Mesh* requireMesh(const std::vector<Mesh*>& meshes, const char* meshName, const char* path)
{
    Mesh* mesh = findMeshByName(meshes, meshName);
    if (mesh == nullptr) {
        fatalError(missingMeshMessage(path, meshName), "ModelLoader", __LINE__);
    }
    return mesh;
}

Mesh* requireFirstMesh(const std::vector<Mesh*>& meshes, const char* path)
{
    if (meshes.empty()) {
        fatalError(emptyModelMessage(path), "ModelLoader", __LINE__);
    }
    return meshes.front();
}

} // namespace ModelLoader

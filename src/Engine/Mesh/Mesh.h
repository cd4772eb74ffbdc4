#pragma once

#include "Engine/GraphicsDevice/GraphicsResource.h"
#include "Engine/Mesh/VertexLayout.h"

#include <string>
#include <vector>

class DataStorage;
struct MeshStorageRoom;

struct VertexStreamSlot {
    u32 offset = 0xFFFFFFFFu; // nothing written
    u32 count = 0;
    u32 byteSize = 0;
};

// One stream per attribute of `layout` in a shared storage. Deleted at once on release.
class VertexBuffer : public GraphicsResource {
public:
    GraphicsDevice* device = nullptr;
    DataStorage* storage = nullptr;
    VertexStreamSlot streams[8];
    u32 vertexCount = 0;
    VertexLayout* layout = nullptr;

    VertexBuffer(GraphicsDevice* device, DataStorage* storage, VertexLayout* layout);

    // Writes each source stream into the slot of the same kind (count < 0: the source's).
    static void setAttributeData(const PlanarVertexData& source, VertexBuffer* target, i32 count);
    // The stream of `kind`, or null.
    const VertexStreamSlot* streamOfKind(u32 kind) const;
};

// 32-bit indices in a shared storage. Deleted at once on release.
class IndexBuffer : public GraphicsResource {
public:
    GraphicsDevice* device = nullptr;
    u32 count = 0;
    u32 byteSize = 0;
    DataStorage* storage = nullptr;
    u32 offset = 0;

    IndexBuffer(GraphicsDevice* device, DataStorage* storage);
    void setIndices(std::vector<u32> indices);
};

// Named geometry: a vertex buffer and an optional index buffer. Deleted at once on release.
class Mesh : public GraphicsResource {
public:
    std::string name;
    GraphicsDevice* device = nullptr;
    VertexBuffer* vertexBuffer = nullptr;
    IndexBuffer* indexBuffer = nullptr;

    Mesh(GraphicsDevice* device, std::string name, VertexBuffer* vertexBuffer, IndexBuffer* indexBuffer);
    ~Mesh() override;

protected:
    explicit Mesh(GraphicsDevice* device);
};

// A box centred on the origin (vertexLayoutPosNormalUv), written into `storage`.
class Cube : public Mesh {
public:
    static constexpr u32 VertexCount = 24; // four per face, each with the face's normal
    static constexpr u32 IndexCount = 36;

    Cube(DataStorage* storage, f32 sizeX, f32 sizeY, f32 sizeZ);
    static PlanarVertexData generateVertices(f32 sizeX, f32 sizeY, f32 sizeZ);
    static std::vector<u32> generateIndices();
};

// A sphere centred on the origin (vertexLayoutPosNormalUv), written into the global mesh
// storage without a look at its room (the game makes its spheres through
// gameStorageSphere, which checks it first).
class Sphere : public Mesh {
public:
    static constexpr u32 VertexCount = 121; // 11 rings of 11, the seam doubled
    static constexpr u32 IndexCount = 600;

    explicit Sphere(f32 radius);
    static PlanarVertexData generateVertices(f32 radius);
    static std::vector<u32> generateIndices();
};

// The room left in the game's mesh storage (Engine::meshStorage), with what holds the
// most of it (Engine::meshStorageHolders); before the storage is made, the whole of it.
MeshStorageRoom gameMeshStorageRoom();
// Notes that `holder` (its words in a line: model "...", the cannonball's sphere) took
// `bytes` more of the game's mesh storage; nothing where the storage has no record.
void recordGameMeshStorageHolder(const std::string& holder, u64 bytes);

// A box or sphere the game makes in its mesh storage, held there by `holder`. Its room
// is checked first, as a model's is: when it does not fit, the start-up ends with one
// line naming it and what holds the most of the storage, and nothing is written.
Cube* gameStorageCube(const std::string& holder, f32 sizeX, f32 sizeY, f32 sizeZ);
Sphere* gameStorageSphere(const std::string& holder, f32 radius);

// The first mesh whose name equals `name`, or null.
Mesh* findMeshByName(std::vector<Mesh*> meshes, std::string name);

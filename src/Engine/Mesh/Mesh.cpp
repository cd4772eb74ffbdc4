#include "Engine/Mesh/Mesh.h"

#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Fatal.h"
#include "Engine/Mesh/MeshStorageHolders.h"
#include "Engine/Mesh/ModelImport.h"
#include "Engine/Storage/DataStorage.h"

#include <cmath>
#include <cstring>
#include <numbers>
#include <stdexcept>
#include <string>

// ---- VertexBuffer

VertexBuffer::VertexBuffer(GraphicsDevice* device_, DataStorage* storage_, VertexLayout* layout_)
    : GraphicsResource(device_, ResourceStorage, false), device(device_), storage(storage_), layout(layout_)
{
    if (layout->attributes.size() > 8) {
        throw std::runtime_error("VertexBuffer: a vertex layout has more than 8 attributes");
    }
}

void VertexBuffer::setAttributeData(const PlanarVertexData& source, VertexBuffer* target, i32 count)
{
    u32 n = count < 0 ? source.vertexCount : static_cast<u32>(count);
    if (n > source.vertexCount) {
        throw std::runtime_error("VertexBuffer: " + std::to_string(n) + " vertices asked of a source that holds " +
                                 std::to_string(source.vertexCount));
    }
    for (const VertexStreamWrite& write : vertexStreamWrites(*source.layout, *target->layout, n)) {
        const VertexAttribute& sourceAttribute = source.layout->attributes[write.source];
        // The target's element size is used; the source stream must hold that much.
        if (write.byteSize > u64{source.vertexCount} * sourceAttribute.size) {
            throw std::runtime_error("VertexBuffer: the source stream of kind " + std::to_string(sourceAttribute.kind) +
                                     " is smaller than the target's");
        }
        VertexStreamSlot& slot = target->streams[write.target];
        target->vertexCount = n;
        slot.count = n;
        slot.byteSize = static_cast<u32>(write.byteSize);
        slot.offset = target->storage->write(slot.offset, source.stream(write.source), slot.byteSize, false);
    }
}

const VertexStreamSlot* VertexBuffer::streamOfKind(u32 kind) const
{
    for (size_t i = 0; i < layout->attributes.size(); i++) {
        if (layout->attributes[i].kind == kind) {
            return &streams[i];
        }
    }
    return nullptr;
}

// ---- IndexBuffer

IndexBuffer::IndexBuffer(GraphicsDevice* device_, DataStorage* storage_)
    : GraphicsResource(device_, ResourceStorage, false), device(device_), storage(storage_)
{
}

void IndexBuffer::setIndices(std::vector<u32> indices)
{
    count = static_cast<u32>(indices.size());
    byteSize = count * 4;
    offset = storage->write(offset, indices.data(), byteSize, false);
}

// ---- Mesh

Mesh::Mesh(GraphicsDevice* device_, std::string name_, VertexBuffer* vertexBuffer_, IndexBuffer* indexBuffer_)
    : GraphicsResource(device_, ResourceStorage, false), name(std::move(name_)), device(device_),
      vertexBuffer(vertexBuffer_), indexBuffer(indexBuffer_)
{
}

Mesh::Mesh(GraphicsDevice* device_) : GraphicsResource(device_, ResourceStorage, false), device(device_)
{
}

Mesh::~Mesh()
{
    device->releaseResource(vertexBuffer);
    device->releaseResource(indexBuffer); // ignores null
}

Mesh* findMeshByName(std::vector<Mesh*> meshes, std::string name)
{
    for (Mesh* mesh : meshes) {
        if (mesh->name == name) {
            return mesh;
        }
    }
    return nullptr;
}

namespace {

void setVec(PlanarVertexData& data, u32 attribute, u32 vertex, std::initializer_list<f32> values)
{
    f32* target = static_cast<f32*>(data.stream(attribute)) + vertex * values.size();
    std::memcpy(target, values.begin(), values.size() * sizeof(f32));
}

// Writes a generated shape (position, normal, texcoord streams and indices) into `storage`.
void writeShape(GraphicsDevice* device, DataStorage* storage, const PlanarVertexData& vertices,
                std::vector<u32> indices, VertexBuffer*& vertexBuffer, IndexBuffer*& indexBuffer)
{
    vertexBuffer = new VertexBuffer(device, storage, vertexLayoutPosNormalUv);
    VertexBuffer::setAttributeData(vertices, vertexBuffer, -1);
    indexBuffer = new IndexBuffer(device, storage);
    indexBuffer->setIndices(std::move(indices));
}

} // namespace

// ---- Cube

Cube::Cube(DataStorage* storage, f32 sizeX, f32 sizeY, f32 sizeZ) : Mesh(Engine::graphicsDevice)
{
    writeShape(device, storage, generateVertices(sizeX, sizeY, sizeZ), generateIndices(), vertexBuffer, indexBuffer);
}

PlanarVertexData Cube::generateVertices(f32 sizeX, f32 sizeY, f32 sizeZ)
{
    f32 x = sizeX / 2, y = sizeY / 2, z = sizeZ / 2;
    struct Face {
        f32 normal[3];
        f32 corners[4][3];
    };
    const Face faces[6] = {
        {{0, 0, -1}, {{-x, -y, -z}, {x, -y, -z}, {-x, y, -z}, {x, y, -z}}},
        {{1, 0, 0}, {{x, -y, -z}, {x, -y, z}, {x, y, -z}, {x, y, z}}},
        {{0, 0, 1}, {{x, -y, z}, {-x, -y, z}, {x, y, z}, {-x, y, z}}},
        {{-1, 0, 0}, {{-x, -y, z}, {-x, -y, -z}, {-x, y, z}, {-x, y, -z}}},
        {{0, 1, 0}, {{-x, y, -z}, {x, y, -z}, {-x, y, z}, {x, y, z}}},
        {{0, -1, 0}, {{-x, -y, z}, {x, -y, z}, {-x, -y, -z}, {x, -y, -z}}},
    };
    const f32 uvs[4][2] = {{1, 1}, {0, 1}, {1, 0}, {0, 0}};
    PlanarVertexData data(vertexLayoutPosNormalUv, VertexCount);
    for (u32 f = 0; f < 6; f++) {
        for (u32 v = 0; v < 4; v++) {
            u32 vertex = 4 * f + v;
            const f32* p = faces[f].corners[v];
            setVec(data, 0, vertex, {p[0], p[1], p[2]});
            setVec(data, 1, vertex, {faces[f].normal[0], faces[f].normal[1], faces[f].normal[2]});
            setVec(data, 2, vertex, {uvs[v][0], uvs[v][1]});
        }
    }
    return data;
}

std::vector<u32> Cube::generateIndices()
{
    std::vector<u32> indices;
    indices.reserve(IndexCount);
    for (u32 f = 0; f < 6; f++) {
        u32 b = 4 * f;
        indices.insert(indices.end(), {b, b + 2, b + 1, b + 3, b + 1, b + 2});
    }
    return indices;
}

// ---- Sphere

Sphere::Sphere(f32 radius) : Mesh(Engine::graphicsDevice)
{
    writeShape(device, Engine::meshStorage, generateVertices(radius), generateIndices(), vertexBuffer, indexBuffer);
}

PlanarVertexData Sphere::generateVertices(f32 radius)
{
    PlanarVertexData data(vertexLayoutPosNormalUv, VertexCount);
    const f32 pi = std::numbers::pi_v<f32>;
    for (u32 j = 0; j <= 10; j++) {
        for (u32 i = 0; i <= 10; i++) {
            f32 u = static_cast<f32>(i) / 10, v = static_cast<f32>(j) / 10;
            f32 theta = 2 * pi * u;
            f32 phi = pi * v + pi / 2;
            f32 dx = std::cos(theta) * std::cos(phi), dy = std::sin(phi), dz = std::sin(theta) * std::cos(phi);
            u32 vertex = 11 * j + i;
            setVec(data, 0, vertex, {dx * radius, dy * radius, dz * radius});
            setVec(data, 1, vertex, {dx, dy, dz});
            setVec(data, 2, vertex, {u, v});
        }
    }
    return data;
}

std::vector<u32> Sphere::generateIndices()
{
    std::vector<u32> indices;
    indices.reserve(IndexCount);
    for (u32 j = 0; j < 10; j++) {
        for (u32 i = 0; i < 10; i++) {
            u32 q = 11 * j + i;
            indices.insert(indices.end(), {q, q + 1, q + 12, q + 12, q + 11, q});
        }
    }
    return indices;
}

// ---- The game's mesh storage

MeshStorageRoom gameMeshStorageRoom()
{
    MeshStorageRoom room; // before the storage is made: the whole of it
    if (Engine::meshStorage != nullptr) {
        room.left = Engine::meshStorage->roomLeft();
        room.size = Engine::meshStorage->halfSize;
        room.alignment = Engine::meshStorage->alignment;
    }
    if (Engine::meshStorageHolders != nullptr) {
        room.largestHolder = Engine::meshStorageHolders->largest();
    }
    return room;
}

void recordGameMeshStorageHolder(const std::string& holder, u64 bytes)
{
    if (Engine::meshStorageHolders != nullptr) {
        Engine::meshStorageHolders->record(holder, bytes);
    }
}

namespace {

// The bytes a generated shape of `vertexCount` vertices and `indexCount` indices takes
// in the game's mesh storage; when they do not fit the room left, the start-up ends
// with a line naming `holder`, before anything of it is made.
u64 claimGameStorage(const std::string& holder, u32 vertexCount, u32 indexCount)
{
    const MeshStorageRoom room = gameMeshStorageRoom();
    const u64 needed = meshStorageBytes(*vertexLayoutPosNormalUv, vertexCount, indexCount, room.alignment);
    if (needed > room.left) {
        fatalError(tooLargeForMeshStorageMessage(holder, vertexCount, indexCount, needed, room.left, room.size,
                                                 room.largestHolder),
                   "Mesh", __LINE__);
    }
    return needed;
}

} // namespace

Cube* gameStorageCube(const std::string& holder, f32 sizeX, f32 sizeY, f32 sizeZ)
{
    const u64 bytes = claimGameStorage(holder, Cube::VertexCount, Cube::IndexCount);
    auto* cube = new Cube(Engine::meshStorage, sizeX, sizeY, sizeZ);
    recordGameMeshStorageHolder(holder, bytes);
    return cube;
}

Sphere* gameStorageSphere(const std::string& holder, f32 radius)
{
    const u64 bytes = claimGameStorage(holder, Sphere::VertexCount, Sphere::IndexCount);
    auto* sphere = new Sphere(radius);
    recordGameMeshStorageHolder(holder, bytes);
    return sphere;
}

#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Mesh/Mesh.h"
#include "Engine/Storage/DataStorage.h"
#include "World/Terrain/ParallelFor.h"
#include "World/Terrain/Terrain.h"

#include <glm/gtc/matrix_transform.hpp>

#include <cstring>
#include <stdexcept>
#include <vector>

namespace {

constexpr const char* ChunkMeshName = "terrainChunk";

// The chunk streams in the order of the chunk layout (position, normal, colour), each
// tightly packed, back to back in a chunk's block.
constexpr u32 StreamKinds[3] = {AttributePosition, AttributeNormal, AttributeVertexColor};
constexpr u32 StreamBytes[3] = {ChunkMeshData::PositionBytes, ChunkMeshData::NormalBytes, ChunkMeshData::ColorBytes};

void checkChunkLayout()
{
    const VertexLayout* layout = vertexLayoutPosNormalColor;
    if (layout->attributes.size() != 3) throw std::runtime_error("terrain chunk layout: three streams expected");
    for (u32 a = 0; a < 3; a++) {
        if (layout->attributes[a].kind != StreamKinds[a] || layout->attributes[a].size != StreamBytes[a]) {
            throw std::runtime_error("terrain chunk layout: position, normal and colour streams expected");
        }
    }
}

void checkPositionLayout()
{
    const VertexLayout* layout = vertexLayoutPosition;
    if (layout->attributes.size() != 1 || layout->attributes[0].kind != AttributePosition ||
        layout->attributes[0].size != ChunkMeshData::PositionBytes) {
        throw std::runtime_error("terrain chunk layout: one position stream expected");
    }
}

// One stream's bytes and the place in the storage's staging memory they go to.
struct StreamCopy {
    u8* target;
    const u8* source;
    u32 size;
};

// The shaded streams of a chunk: position, normal and colour, no indices.
Mesh* reserveShadedChunk(GraphicsDevice* device, DsDeviceMeshSingle* storage, const ChunkMeshData& chunk,
                         std::vector<StreamCopy>& copies)
{
    const u32 count = chunk.vertexCount;
    const size_t blockBytes = static_cast<size_t>(count) * (StreamBytes[0] + StreamBytes[1] + StreamBytes[2]);
    if (chunk.indexed() || chunk.streams.size() != blockBytes) {
        throw std::runtime_error("terrain chunk: vertex block does not match its vertex count");
    }
    auto* vertices = new VertexBuffer(device, storage, vertexLayoutPosNormalColor);
    vertices->vertexCount = count;
    const u8* source = chunk.streams.data();
    for (u32 a = 0; a < 3; a++) {
        VertexStreamSlot& slot = vertices->streams[a];
        slot.count = count;
        slot.byteSize = count * StreamBytes[a];
        void* target = nullptr;
        slot.offset = storage->reserve(&target, slot.byteSize);
        copies.push_back({static_cast<u8*>(target), source, slot.byteSize});
        source += slot.byteSize;
    }
    return new Mesh(device, ChunkMeshName, vertices, nullptr);
}

// The distinct positions of a chunk and its indices, one per vertex.
Mesh* reserveIndexedChunk(GraphicsDevice* device, DsDeviceMeshSingle* storage, const ChunkMeshData& chunk,
                          std::vector<StreamCopy>& copies)
{
    const u32 positions = chunk.positionCount();
    if (chunk.indices.size() != chunk.vertexCount || positions == 0 ||
        chunk.streams.size() != static_cast<size_t>(positions) * ChunkMeshData::PositionBytes) {
        throw std::runtime_error("terrain chunk: indexed positions do not match their counts");
    }
    auto* vertices = new VertexBuffer(device, storage, vertexLayoutPosition);
    vertices->vertexCount = positions;
    VertexStreamSlot& slot = vertices->streams[0];
    slot.count = positions;
    slot.byteSize = positions * ChunkMeshData::PositionBytes;
    void* target = nullptr;
    slot.offset = storage->reserve(&target, slot.byteSize);
    copies.push_back({static_cast<u8*>(target), chunk.streams.data(), slot.byteSize});

    auto* indices = new IndexBuffer(device, storage);
    indices->count = chunk.vertexCount;
    indices->byteSize = chunk.vertexCount * static_cast<u32>(sizeof(u32));
    indices->offset = storage->reserve(&target, indices->byteSize);
    copies.push_back({static_cast<u8*>(target), reinterpret_cast<const u8*>(chunk.indices.data()),
                      indices->byteSize});
    return new Mesh(device, ChunkMeshName, vertices, indices);
}

} // namespace

void initChunkSet(ChunkSet& set, u32 chunks, StorageSlot* sharedSlot)
{
    if (chunks > Terrain::MaxChunks) throw std::runtime_error("terrain: more chunks than instance slots");
    set.meshes.assign(chunks, nullptr);
    set.boxes.assign(chunks, BoundingAABB{});
    set.cells.assign(chunks, ChunkCells{});
    set.occupiedCells.assign(chunks, 0);
    set.slots = makeInstanceSlots(sharedSlot);
}

void releaseChunkSet(ChunkSet& set)
{
    for (size_t index = 0; index < set.meshes.size(); index++) {
        if (set.boxes[index].active && set.meshes[index]) Engine::graphicsDevice->releaseResource(set.meshes[index]);
        set.meshes[index] = nullptr;
    }
    delete[] set.slots;
    set.slots = nullptr;
}

void uploadChunkSet(ChunkSetData& data, const glm::vec3& origin, DsDeviceMeshSingle* storage,
                    DsUniformFixed* uniforms, ChunkSet& set, u32 threads)
{
    const bool indexed = data.form == ChunkForm::PositionsIndexed;
    if (indexed) {
        checkPositionLayout();
    } else {
        checkChunkLayout();
    }
    GraphicsDevice* device = Engine::graphicsDevice;
    const u32 cps = data.chunksPerSide;
    // The streams get their places in the storage chunk by chunk, as writing them one
    // after another would give them; the bytes are then copied on several threads, and
    // only then does an upload flush copy them on.
    std::vector<StreamCopy> copies;
    for (u32 cx = 0; cx < cps; cx++) {
        for (u32 cz = 0; cz < cps; cz++) {
            u32 index = cz * cps + cx;
            set.boxes[index] = data.boxes[index];
            set.boxes[index].visible = 0;
            ChunkMeshData& chunk = data.chunks[index];
            if (!set.boxes[index].active || chunk.vertexCount == 0) {
                set.boxes[index].clear();
                set.meshes[index] = nullptr;
                continue;
            }
            set.meshes[index] = indexed ? reserveIndexedChunk(device, storage, chunk, copies)
                                        : reserveShadedChunk(device, storage, chunk, copies);
            // The cells' stretches count vertices, which are the indices of an indexed chunk.
            const glm::vec3 chunkOrigin = origin + glm::vec3(static_cast<f32>(cx * data.chunkSize), 0.0f,
                                                             static_cast<f32>(cz * data.chunkSize));
            set.cells[index] = chunkCellsOf(chunk, data.chunkSize, chunkOrigin);
            set.occupiedCells[index] = occupiedCells(set.cells[index]);

            glm::mat4 model = glm::translate(glm::mat4(1.0f), chunkOrigin);
            set.slots[index].offset = uniforms->write(set.slots[index].offset, &model, sizeof(model), false);
        }
    }
    parallelFor(static_cast<u32>(copies.size()), 1, threads, [&](u32 begin, u32 end) {
        for (u32 k = begin; k < end; k++) std::memcpy(copies[k].target, copies[k].source, copies[k].size);
    });
    storage->markReservedWritten();
    for (ChunkMeshData& chunk : data.chunks) {
        chunk.streams = std::vector<u8>();
        chunk.indices = std::vector<u32>();
    }
    storage->scheduleUpload();
}

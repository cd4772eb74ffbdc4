#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Mesh/Mesh.h"
#include "Engine/Storage/DataStorage.h"
#include "World/Terrain/Terrain.h"

#include <glm/gtc/matrix_transform.hpp>

#include <stdexcept>

namespace {

constexpr const char* ChunkMeshName = "terrainChunk";

// Adopts a chunk's block as planar vertex data of the chunk layout (position, normal,
// colour streams back to back), without copying it.
PlanarVertexData adoptStreams(ChunkMeshData& chunk)
{
    VertexLayout* layout = vertexLayoutPosNormalColor;
    const u32 expected[3] = {AttributePosition, AttributeNormal, AttributeVertexColor};
    const u32 sizes[3] = {ChunkMeshData::PositionBytes, ChunkMeshData::NormalBytes, ChunkMeshData::ColorBytes};
    if (layout->attributes.size() != 3) throw std::runtime_error("terrain chunk layout: three streams expected");
    PlanarVertexData data(layout, 0);
    data.vertexCount = chunk.vertexCount;
    data.streamOffsets.clear();
    u32 offset = 0;
    for (u32 a = 0; a < 3; a++) {
        if (layout->attributes[a].kind != expected[a] || layout->attributes[a].size != sizes[a]) {
            throw std::runtime_error("terrain chunk layout: position, normal and colour streams expected");
        }
        data.streamOffsets.push_back(offset);
        offset += sizes[a] * chunk.vertexCount;
    }
    data.data = std::move(chunk.streams);
    return data;
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
                    DsUniformFixed* uniforms, ChunkSet& set)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    const u32 cps = data.chunksPerSide;
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
            const glm::vec3 chunkOrigin = origin + glm::vec3(static_cast<f32>(cx * data.chunkSize), 0.0f,
                                                             static_cast<f32>(cz * data.chunkSize));
            set.cells[index] = chunkCellsOf(chunk, data.chunkSize, chunkOrigin);
            set.occupiedCells[index] = occupiedCells(set.cells[index]);
            auto* vertices = new VertexBuffer(device, storage, vertexLayoutPosNormalColor);
            u32 count = chunk.vertexCount;
            PlanarVertexData streams = adoptStreams(chunk);
            VertexBuffer::setAttributeData(streams, vertices, static_cast<i32>(count));
            set.meshes[index] = new Mesh(device, ChunkMeshName, vertices, nullptr);

            glm::mat4 model = glm::translate(glm::mat4(1.0f), chunkOrigin);
            set.slots[index].offset = uniforms->write(set.slots[index].offset, &model, sizeof(model), false);
        }
    }
    storage->scheduleUpload();
}

#include "World/Terrain/TerrainCells.h"

#include "Engine/Camera/Frustum.h"
#include "World/Terrain/ChunkMeshBuilder.h"

#include <algorithm>
#include <stdexcept>

using namespace TerrainCellRules;

namespace {

constexpr u32 VerticesPerQuad = 6;
constexpr u32 MaxCells = 25;

} // namespace

ChunkCells chunkCellsOf(const ChunkMeshData& chunk, u32 chunkSize, const glm::vec3& chunkOrigin)
{
    if (chunk.vertexCount % VerticesPerQuad != 0) {
        throw std::invalid_argument("terrain cells: a chunk mesh has six vertices per quad");
    }
    ChunkCells cells;
    const u32 perSide = (chunkSize + CellQuads - 1) / CellQuads;
    if (chunkSize == 0 || perSide * perSide > MaxCells) return cells; // no cells: the chunk is culled whole
    cells.cellsPerSide = perSide;
    const u32 stretches = chunkSize * cells.cellsPerSide;
    cells.stretchStart.assign(stretches + 1, chunk.vertexCount);
    cells.boxes.assign(cells.cellCount(), CellBox{});

    // Stretch keys of the quads in stream order; each key's start is its first quad.
    u32 nextKey = 0;
    for (u32 first = 0; first < chunk.vertexCount; first += VerticesPerQuad) {
        glm::vec3 low = chunk.position(first);
        glm::vec3 high = low;
        for (u32 v = first + 1; v < first + VerticesPerQuad; v++) {
            const glm::vec3 p = chunk.position(v);
            low = glm::min(low, p);
            high = glm::max(high, p);
        }
        const u32 a = std::min(static_cast<u32>(std::max(low.x, 0.0f)), chunkSize - 1);
        const u32 b = std::min(static_cast<u32>(std::max(low.z, 0.0f)), chunkSize - 1);
        const u32 key = a * cells.cellsPerSide + b / CellQuads;
        if (key + 1 < nextKey) throw std::invalid_argument("terrain cells: the quads are not in column order");
        while (nextKey <= key) cells.stretchStart[nextKey++] = first;

        CellBox& box = cells.boxes[(a / CellQuads) * cells.cellsPerSide + b / CellQuads];
        const glm::vec3 worldLow = low + chunkOrigin;
        const glm::vec3 worldHigh = high + chunkOrigin;
        if (box.empty) {
            box.min = worldLow;
            box.max = worldHigh;
            box.empty = false;
        } else {
            box.min = glm::min(box.min, worldLow);
            box.max = glm::max(box.max, worldHigh);
        }
    }
    return cells;
}

bool boxOutsideFrustum(const glm::vec3& min, const glm::vec3& max, const Frustum& frustum)
{
    for (const glm::vec4& plane : frustum.planes) {
        // The corner farthest along the plane's normal.
        const glm::vec3 corner(plane.x >= 0.0f ? max.x : min.x, plane.y >= 0.0f ? max.y : min.y,
                               plane.z >= 0.0f ? max.z : min.z);
        if (plane.x * corner.x + plane.y * corner.y + plane.z * corner.z + plane.w < -PlaneMargin) return true;
    }
    return false;
}

u32 occupiedCells(const ChunkCells& cells)
{
    u32 mask = 0;
    for (u32 cell = 0; cell < cells.boxes.size(); cell++) {
        if (!cells.boxes[cell].empty) mask |= 1u << cell;
    }
    return mask;
}

u32 visibleCells(const ChunkCells& cells, const Frustum& frustum)
{
    u32 mask = 0;
    for (u32 cell = 0; cell < cells.boxes.size(); cell++) {
        const CellBox& box = cells.boxes[cell];
        if (!box.empty && !boxOutsideFrustum(box.min, box.max, frustum)) mask |= 1u << cell;
    }
    return mask;
}

void visibleRuns(const ChunkCells& cells, u32 mask, std::vector<VertexRun>& runs)
{
    const u32 perSide = cells.cellsPerSide;
    if (perSide == 0) return;
    const u32 stretches = static_cast<u32>(cells.stretchStart.size()) - 1;
    const u32 quadsPerCell = CellQuads;
    bool open = false;
    VertexRun run;
    for (u32 key = 0; key < stretches; key++) {
        const u32 column = key / perSide;
        const u32 row = key % perSide;
        const u32 cell = (column / quadsPerCell) * perSide + row;
        const u32 begin = cells.stretchStart[key];
        const u32 end = cells.stretchStart[key + 1];
        if (begin == end) continue; // an empty stretch neither starts nor breaks a run
        if ((mask >> cell & 1u) == 0) {
            if (open) runs.push_back(run);
            open = false;
            continue;
        }
        if (!open) {
            run.first = begin;
            run.count = 0;
            open = true;
        }
        run.count = end - run.first;
    }
    if (open) runs.push_back(run);
}

#pragma once

#include "Engine/Types.h"

#include <glm/glm.hpp>

#include <vector>

struct ChunkMeshData;
struct Frustum;

// Culling finer than a chunk, free of GPU code. A chunk's mesh is split into cells of
// 16 x 16 quads without changing the mesh: its quads are stored column by column (the
// quad column a along x outer, b along z inner), so each cell is one stretch of the
// vertex stream per column, and the visible cells of a chunk are drawn as the longest
// runs of consecutive visible stretches. The triangles keep their order, so a cell left
// out changes nothing on screen as long as it lies wholly outside the view.

namespace TerrainCellRules {
constexpr u32 CellQuads = 16; // quads per cell side
// A cell is dropped only when it lies this far (world units) beyond a plane, so that
// rounding in the plane test never drops a triangle that reaches into the view.
constexpr f32 PlaneMargin = 0.01f;
} // namespace TerrainCellRules

// A cell's box in world space; `empty` when no quad of the chunk falls in the cell.
struct CellBox {
    glm::vec3 min{0.0f};
    glm::vec3 max{0.0f};
    bool empty = true;
};

// The cells of one chunk mesh. Cell (i, j) covers quad columns i*16..i*16+15 (along x)
// and rows j*16..j*16+15 (along z); its index is i * cellsPerSide + j.
struct ChunkCells {
    u32 cellsPerSide = 0; // 0: no cells, the chunk is culled whole
    // First vertex of column a's quads in cell row j at a * cellsPerSide + j; the last
    // entry is the mesh's vertex count. Non-decreasing: the stream's own order.
    std::vector<u32> stretchStart;
    std::vector<CellBox> boxes;

    u32 cellCount() const { return cellsPerSide * cellsPerSide; }
};

// A stretch of consecutive vertices to draw.
struct VertexRun {
    u32 first = 0;
    u32 count = 0;
};

// The cells of a chunk mesh whose positions are chunk-local (quad (a, b) spans a..a+1
// along x and b..b+1 along z, six vertices per quad), placed at `chunkOrigin`. The
// last row and column of cells are narrower when chunkSize is not a multiple of 16;
// chunks of more than 80 quads (over 25 cells, one bit each) get no cells
// (cellsPerSide 0) and are culled whole.
ChunkCells chunkCellsOf(const ChunkMeshData& chunk, u32 chunkSize, const glm::vec3& chunkOrigin);

// Whether the box lies wholly beyond one of the frustum's planes (by more than the
// margin): nothing in it can be seen through that frustum. The strict test, unlike the
// chunks' generous one.
bool boxOutsideFrustum(const glm::vec3& min, const glm::vec3& max, const Frustum& frustum);

// The mask of the cells that hold a quad (bit = cell index).
u32 occupiedCells(const ChunkCells& cells);

// The mask of the cells that are not empty and not outside the frustum (bit = cell index).
u32 visibleCells(const ChunkCells& cells, const Frustum& frustum);

// The runs of consecutive vertices that draw exactly the cells in `mask`, in stream
// order (appended to `runs`).
void visibleRuns(const ChunkCells& cells, u32 mask, std::vector<VertexRun>& runs);

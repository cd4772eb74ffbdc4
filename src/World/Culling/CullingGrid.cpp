#include "World/Culling/CullingGrid.h"

#include <algorithm>

u8 frustumCullingEnabled = 1;

CullingGrid::CullingGrid(glm::vec2 origin, glm::vec2 cellSize, glm::uvec2 counts)
    : originX(origin.x), originZ(origin.y), cellWidth(cellSize.x), cellDepth(cellSize.y),
      cellsX(static_cast<i32>(counts.x)), cellsZ(static_cast<i32>(counts.y))
{
    cells.resize(static_cast<size_t>(counts.x) * counts.y);
    activeCells.reserve(cells.size());
}

void CullingGrid::reset()
{
    for (BoundingAABB* cell : activeCells) cell->clear();
    activeCells.clear();
}

BoundingAABB* CullingGrid::expandCell(const glm::vec3& position, f32 radius)
{
    f32 column = (position.x - originX) / cellWidth;
    f32 row = (position.z - originZ) / cellDepth;
    // Checked on the float value before converting it: NaN fails every comparison,
    // and anything in (-1, cells) truncates to a valid index.
    if (!(column > -1.0f && column < static_cast<f32>(cellsX))) return nullptr;
    if (!(row > -1.0f && row < static_cast<f32>(cellsZ))) return nullptr;
    i32 ix = static_cast<i32>(column);
    i32 iz = static_cast<i32>(row);
    if (ix >= cellsX || iz >= cellsZ) return nullptr; // a float that rounded up to the count

    BoundingAABB* cell = &cells[static_cast<size_t>(iz) * cellsX + ix];
    cell->expand(position - radius, position + radius);
    if (!cell->active) activeCells.push_back(cell);
    cell->active = 1;
    return cell;
}

void CullingGrid::testFrustum(const Frustum& frustum)
{
    for (BoundingAABB* cell : activeCells) cell->testFrustum(frustum);
}

void CullingGrid::markAllVisible()
{
    for (BoundingAABB* cell : activeCells) cell->visible = 1;
}

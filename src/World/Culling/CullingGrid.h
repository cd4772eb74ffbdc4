#pragma once

#include "Engine/Types.h"
#include "World/Culling/BoundingAABB.h"

#include <glm/glm.hpp>

#include <vector>

// Frustum culling on (1) or off (0, everything is visible); F8 and the settings
// window toggle it. Not saved.
extern u8 frustumCullingEnabled;

// A coarse grid of boxes over the map, refilled every frame: each moving or placed
// object grows the box of the cell it is in, then only the cells that something
// entered are tested, and an object is visible when its cell is.
class CullingGrid {
public:
    f32 originX = 0.0f; // world position of the grid's corner
    f32 originZ = 0.0f;
    f32 cellWidth = 1.0f; // along x
    f32 cellDepth = 1.0f; // along z
    i32 cellsX = 0;
    i32 cellsZ = 0;
    std::vector<BoundingAABB> cells; // row-major, index z*cellsX + x
    std::vector<BoundingAABB*> activeCells; // in the order they were first entered

    CullingGrid(glm::vec2 origin, glm::vec2 cellSize, glm::uvec2 counts);

    // Empties and deactivates every cell entered since the last reset.
    void reset();

    // Grows the cell that holds `position` to contain the cube position +- radius and
    // returns it; null (and nothing changes) for a position outside the grid, NaN or
    // infinite. Cell coordinates truncate towards zero, so up to one cell before the
    // origin still maps to the first row or column.
    BoundingAABB* expandCell(const glm::vec3& position, f32 radius);

    // Tests every active cell against the frustum.
    void testFrustum(const Frustum& frustum);
    // Marks every active cell visible (culling switched off).
    void markAllVisible();
};

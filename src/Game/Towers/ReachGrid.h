#pragma once

#include "Engine/Types.h"

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include <functional>
#include <vector>

// True when the straight segment from `from` to `to` (world space) hits terrain.
using SegmentTest = std::function<bool(const glm::vec3& from, const glm::vec3& to)>;

// What the reach map reads of the landscape: the step grid (side x side vertices,
// indexed z * side + x, a step is 0.4 units high), the world position of its vertex
// (0, 0) and a segment test against the terrain.
struct ReachTerrain {
    const i32* steps = nullptr;
    u32 side = 0;
    glm::vec3 origin{0.0f};
    SegmentTest segmentHitsTerrain;
};

// A tower's map of the terrain cells that its shots can reach without the arc passing
// through terrain: one byte per cell of the rectangle around the tower that its
// radius covers (clipped to the grid). Built once, on the tower's first update.
class ReachGrid {
public:
    bool dirty = true;
    std::vector<u8> reachable; // (cz - z0) * width + (cx - x0), 0 or 1
    i32 x0 = 0, z0 = 0;
    u32 width = 0, depth = 0;
    glm::vec2 position{0.0f}; // the tower's x and z in grid space
    f32 radius = 0.0f;
    f32 gravity = 0.0f;
    ReachTerrain terrain;

    // The rectangle of cells within `radius` of `position` (grid space), clipped to
    // the terrain's cells 0 .. side - 2; every cell unreachable until rebuilt.
    ReachGrid(glm::vec2 position, f32 radius, f32 gravity, ReachTerrain terrain);

    // Marks every cell of the rectangle whose aim point (1 unit above its ground, at
    // the cell's centre) a shot from `muzzle` (world space) reaches on the chosen arc
    // without hitting terrain on the way; clears `dirty`.
    void rebuild(const glm::vec3& muzzle, f32 projSpeed, bool shootFlat);

    bool contains(i32 cx, i32 cz) const
    {
        return cx >= x0 && cz >= z0 && cx - x0 < static_cast<i64>(width) && cz - z0 < static_cast<i64>(depth);
    }
    // The cell's byte; cells outside the rectangle are unreachable.
    bool isReachable(i32 cx, i32 cz) const
    {
        return contains(cx, cz) && reachable[static_cast<size_t>(cz - z0) * width + static_cast<size_t>(cx - x0)] != 0;
    }

private:
    bool arcIsClear(const glm::vec3& muzzle, const glm::vec3& d, f32 pitch, f32 speed) const;
};

// The enemy buckets (bucketsPerSide x bucketsPerSide squares of 8 x 8 grid units,
// index row * bucketsPerSide + column) that the reach rectangle of a tower at
// `position` with `radius` touches: column by column, and within a column row by
// row, clipped to the grid.
std::vector<u32> bucketsInReach(glm::vec2 position, f32 radius, u32 bucketsPerSide);

// Buckets per side over a terrain of `side` vertices per side.
constexpr u32 bucketsPerSide(u32 side)
{
    return side > 0 ? (side - 1) / 8 : 0;
}

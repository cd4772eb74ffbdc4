#pragma once

#include "Engine/Types.h"

#include <glm/glm.hpp>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class BuildingInstance;

// Which building covers which terrain cell: `width` x `width` cells (the terrain's
// vertex count per side minus 1), cell (x, z) at z * width + x. A footprint at
// {x, step, z} of size {gx, gy, gz} covers cells x .. x+gx-1 by z .. z+gz-1.
//
// Each cell is one atomic pointer, written when a building is queued (main or loader
// thread) and cleared by its destroy (logic thread), read without a lock by placement
// tests and previews. A cell's instance may be dereferenced only on the game-logic
// thread (or while it is stopped): elsewhere it may be freed at any time.
class OccupancyGrid {
public:
    u32 width = 0;
    std::unique_ptr<std::atomic<BuildingInstance*>[]> cells;

    explicit OccupancyGrid(u32 width);

    // The instance at cell (x, z); null for an empty cell or one outside the grid.
    BuildingInstance* at(i32 x, i32 z) const;
    // The footprint lies wholly inside the grid.
    bool contains(const glm::ivec3& gridPos, const glm::ivec3& size) const;
    // Inside the grid, and no cell is taken.
    bool isFree(const glm::ivec3& gridPos, const glm::ivec3& size) const;
    // Writes `instance` into every cell of its footprint (the caller has checked that
    // it lies inside the grid and is free; cells outside are never written).
    void occupy(BuildingInstance* instance);
    // Empties the cells of the footprint that still hold `instance`.
    void clear(const BuildingInstance* instance);
    // The grid vertices of the footprint (x .. x+gx, z .. z+gz) that touch a cell
    // whose instance `matches`: the vertices a neighbouring building shares.
    std::vector<glm::ivec2> verticesTouching(const glm::ivec3& gridPos, const glm::ivec3& size,
                                             const std::function<bool(const BuildingInstance*)>& matches) const;
};

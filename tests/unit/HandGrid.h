#pragma once

#include "Engine/Camera/Random.h"
#include "World/Terrain/TerrainGrid.h"

#include <algorithm>
#include <memory>

// A small terrain grid whose steps are set by hand, every step `step` at first.
struct HandGrid : TerrainGrid {
    HandGrid(u32 chunkSize, u32 chunksPerSide, i32 step) : TerrainGrid(chunkSize, chunksPerSide)
    {
        std::fill(steps.begin(), steps.end(), step);
        random = std::make_unique<Random>(1);
    }
    void set(u32 x, u32 z, i32 step) { steps[static_cast<size_t>(z) * gridSize + x] = step; }
};

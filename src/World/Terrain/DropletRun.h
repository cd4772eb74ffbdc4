#pragma once

#include "Engine/Types.h"

#include <glm/glm.hpp>

#include <vector>

class Erosion;
struct GenerationProgress;

// Cells a droplet can read or write along each axis from the cell it starts in: its
// longest path, the bilinear neighbour, the brush radius and a cell for rounding.
constexpr i32 DropletReach = 48 + 1 + 3 + 1;

// The order the droplets of one run must keep. The map is cut into square tiles; a
// droplet depends on the last earlier droplet that reached each tile its area
// touches, so two droplets whose areas meet are ordered (directly or through others)
// and droplets whose areas are apart are not.
struct DropletPlan {
    std::vector<glm::vec2> starts;
    std::vector<u32> dependencyCount; // earlier droplets each one waits for
    std::vector<u32> successorStart;  // droplet d's successors: successors[successorStart[d] .. successorStart[d+1])
    std::vector<u32> successors;
};

DropletPlan planDroplets(std::vector<glm::vec2> starts, u32 mapSize);

// Where the droplets of a map of `mapSize` start: uniform over a disc of radius
// mapSize/2 - 10 about the centre cell, from a generator seeded with the map size
// (one 32-bit draw for the angle, one float draw for the radius, per droplet).
std::vector<glm::vec2> dropletStarts(u32 mapSize, u32 count);

// Runs one droplet from each start over the erosion's map. Droplets run at the same
// time only when their areas are apart, and each runs after every earlier droplet
// whose area meets its own, so every droplet sees the map exactly as the droplets
// before it left it: the result has the same bits as one droplet after another.
void runDroplets(Erosion& erosion, const DropletPlan& plan, u32 threads, GenerationProgress* progress);
void runDroplets(Erosion& erosion, const std::vector<glm::vec2>& starts, u32 threads, GenerationProgress* progress);

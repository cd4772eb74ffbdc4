#pragma once

#include "Engine/Types.h"

#include <glm/glm.hpp>

#include <chrono>
#include <vector>

class Erosion;
struct GenerationProgress;

// How far from its start a droplet can read or write, for maps below 16384 points a
// side: 48 moves of one cell (the first one up to 1.5 when the gradient there is so
// small that its square rounds coarsely; float positions drift by less than a
// hundredth over the path), plus the farthest point a read or the brush reaches from a
// position: the brush corner (-2, -2) of the cell the position lies in, less than
// 3*sqrt(2) away. Two droplets whose starts are more than twice this apart touch no
// common point.
constexpr f64 DropletReach = 53.0;

// The order the droplets of one run must keep. The map is cut into square tiles; a
// droplet depends on the last earlier droplet that reached each tile its disc of
// reach touches (less those of them that another of them already depends on), so two
// droplets whose discs share a point are ordered (directly or through others) and
// droplets whose discs are apart are not.
struct DropletPlan {
    std::vector<glm::vec2> starts;
    std::vector<u32> dependencyCount; // earlier droplets each one waits for
    // Droplet d's successors, in order: successors[successorStart[d] .. successorStart[d+1]).
    std::vector<u32> successorStart;
    std::vector<u32> successors;
};

DropletPlan planDroplets(std::vector<glm::vec2> starts, u32 mapSize);

// Where the droplets of a map of `mapSize` start: uniform over a disc of radius
// mapSize/2 - 10 about the centre cell, from a generator seeded with the map size
// (one 32-bit draw for the angle, one float draw for the radius, per droplet).
std::vector<glm::vec2> dropletStarts(u32 mapSize, u32 count);

// When helper threads are worth their keep. The run starts with `firstHelpers`; the
// calling thread looks, once per window, at how many cores' worth of droplet work all
// the threads did in it. While each thread did at least `rampShare` of a core's, as
// many helpers again join (up to the thread count asked for). A busy machine that
// lends the run fewer cores than `minimumCores` (averaged over the windows after the
// first) makes the helpers slow it down (each one holds a droplet while it waits for a
// core, and the droplets after it wait too): they then leave, and the calling thread
// finishes the run alone. Starting few keeps
// a busy machine from being asked for cores it does not have.
struct DropletPace {
    std::chrono::nanoseconds window = std::chrono::milliseconds(5);
    f64 minimumCores = 1.5;
    f64 rampShare = 0.7;
    u32 firstHelpers = 1;
};

// Runs one droplet from each start over the erosion's map. Droplets run at the same
// time only when their areas are apart, and each runs after every earlier droplet
// whose area meets its own, so every droplet sees the map exactly as the droplets
// before it left it: the result has the same bits as one droplet after another.
void runDroplets(Erosion& erosion, const DropletPlan& plan, u32 threads, GenerationProgress* progress,
                 const DropletPace& pace = {});
void runDroplets(Erosion& erosion, const std::vector<glm::vec2>& starts, u32 threads, GenerationProgress* progress,
                 const DropletPace& pace = {});

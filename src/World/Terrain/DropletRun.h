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

// How many threads a run uses, decided while it runs. A droplet takes a few
// microseconds, and one that a thread holds keeps every droplet after it in its area
// waiting; a helper thread the machine has no core for (it is busy, or lends this
// program only a few cores) therefore makes the run slower than one thread, and a
// fixed thread count cannot know beforehand how many cores there are to be had. So
// the run measures. It starts with the calling thread and `firstHelpers` helpers;
// the calling thread counts the droplets all threads finish in each `window` (the
// first window, which starts the threads, is not judged). After a window in which
// the threads pay, as many threads again join (up to the thread count asked for).
// Threads that just joined are judged by their droplets per second averaged over two
// windows at least: under `keepGain` times the rate of the threads before them, they
// hand back their droplets and step aside (they sleep), and the threads before them
// go on, judged the same way against the threads before them, down to the calling
// thread alone. Since the machine's other work comes and goes, more threads are tried
// again after some windows, after twice as many each time they fall short. While at
// most four threads run, each runs `lanes` droplets side by side. Threads with
// nothing to run sleep; none spins.
struct DropletPace {
    std::chrono::nanoseconds window = std::chrono::milliseconds(12);
    f64 keepGain = 1.1;
    u32 firstHelpers = 0;
    u32 lanes = 2; // droplets each of up to four threads runs side by side (1 or 2)
};

// Runs one droplet from each start over the erosion's map. Droplets run at the same
// time only when their areas are apart, and each runs after every earlier droplet
// whose area meets its own, so every droplet sees the map exactly as the droplets
// before it left it: the result has the same bits as one droplet after another.
void runDroplets(Erosion& erosion, const DropletPlan& plan, u32 threads, GenerationProgress* progress,
                 const DropletPace& pace = {});
void runDroplets(Erosion& erosion, const std::vector<glm::vec2>& starts, u32 threads, GenerationProgress* progress,
                 const DropletPace& pace = {});

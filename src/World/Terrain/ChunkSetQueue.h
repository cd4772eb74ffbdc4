#pragma once

#include "Engine/Types.h"
#include "World/Terrain/ChunkMeshBuilder.h"

#include <glm/glm.hpp>

#include <random>
#include <thread>
#include <vector>

// Chunk sets built ahead of time on a thread of their own (while the collision shape
// is built), from a copy of the terrain's generator. Taking a set in the order it was
// prepared moves the terrain's generator to where building it would have left it, so
// the colours are the same as if the set had been built on the spot; asking for any
// other set drops what was prepared and builds it directly.
class ChunkSetQueue {
public:
    ChunkSetQueue() = default;
    ~ChunkSetQueue();
    ChunkSetQueue(const ChunkSetQueue&) = delete;
    ChunkSetQueue& operator=(const ChunkSetQueue&) = delete;

    // Starts building `windows` in order. `grid` must not change until they are taken.
    void start(const TerrainGrid& grid, std::vector<glm::vec2> windows, f32 planetRadius, const std::mt19937& engine,
               u32 threads);

    // The set for `window`: the next prepared one when it matches, else built now
    // with `random`. Either way `random` ends where building this set leaves it.
    ChunkSetData take(const TerrainGrid& grid, glm::vec2 window, f32 planetRadius, Random& random, u32 threads);

    // Whether prepared sets are waiting to be taken.
    bool pending() const { return next < windows.size(); }
    // Waits for the sets being built.
    void wait();

private:
    std::thread worker;
    std::vector<glm::vec2> windows;
    f32 radius = 0.0f;
    std::vector<ChunkSetData> sets;
    std::mt19937 engineAtStart;
    std::vector<std::mt19937> enginesAfter;
    size_t next = 0;
};

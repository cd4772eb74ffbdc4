#pragma once

#include "Engine/Types.h"
#include "World/Terrain/ChunkMeshBuilder.h"

#include <glm/glm.hpp>

#include <random>
#include <thread>
#include <vector>

// One chunk set to build: its altitude window and what its meshes hold.
struct ChunkSetRequest {
    glm::vec2 window{0.0f};
    ChunkForm form = ChunkForm::Shaded;
    bool operator==(const ChunkSetRequest&) const = default;
};

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

    // Starts building `requests` in order. `grid` must not change until they are taken.
    void start(const TerrainGrid& grid, std::vector<ChunkSetRequest> requests, f32 planetRadius,
               const std::mt19937& engine, u32 threads);

    // The set for `request`: the next prepared one when it matches, else built now
    // with `random`. Either way `random` ends where building this set leaves it.
    ChunkSetData take(const TerrainGrid& grid, const ChunkSetRequest& request, f32 planetRadius, Random& random,
                      u32 threads);

    // Whether prepared sets are waiting to be taken.
    bool pending() const { return next < requests.size(); }
    // Waits for the sets being built.
    void wait();

private:
    std::thread worker;
    std::vector<ChunkSetRequest> requests;
    f32 radius = 0.0f;
    std::vector<ChunkSetData> sets;
    std::mt19937 engineAtStart;
    std::vector<std::mt19937> enginesAfter;
    size_t next = 0;
};

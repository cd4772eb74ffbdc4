#include "World/Terrain/ChunkSetQueue.h"

#include "Engine/Camera/Random.h"

ChunkSetQueue::~ChunkSetQueue()
{
    wait();
}

void ChunkSetQueue::wait()
{
    if (worker.joinable()) worker.join();
}

void ChunkSetQueue::start(const TerrainGrid& grid, std::vector<ChunkSetRequest> setRequests, f32 planetRadius,
                          const std::mt19937& engine, u32 threads)
{
    wait();
    requests = std::move(setRequests);
    radius = planetRadius;
    next = 0;
    sets.assign(requests.size(), ChunkSetData{});
    enginesAfter.assign(requests.size(), engine);
    engineAtStart = engine;
    worker = std::thread([this, &grid, engine, threads]() {
        Random copy(0);
        copy.engine = engine;
        for (size_t k = 0; k < requests.size(); k++) {
            sets[k] = buildChunkSet(grid, requests[k].window, radius, copy, threads, requests[k].form);
            enginesAfter[k] = copy.engine;
        }
    });
}

ChunkSetData ChunkSetQueue::take(const TerrainGrid& grid, const ChunkSetRequest& request, f32 planetRadius,
                                 Random& random, u32 threads)
{
    wait();
    // A set only fits when the generator stands where it stood when the set was built.
    bool fits = next < requests.size() && requests[next] == request && radius == planetRadius &&
                (next == 0 ? engineAtStart : enginesAfter[next - 1]) == random.engine;
    if (fits) {
        random.engine = enginesAfter[next];
        return std::move(sets[next++]);
    }
    // Out of order: what was prepared no longer matches the generator.
    next = requests.size();
    sets.clear();
    enginesAfter.clear();
    return buildChunkSet(grid, request.window, planetRadius, random, threads, request.form);
}

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

void ChunkSetQueue::start(const TerrainGrid& grid, std::vector<glm::vec2> setWindows, f32 planetRadius,
                          const std::mt19937& engine, u32 threads)
{
    wait();
    windows = std::move(setWindows);
    radius = planetRadius;
    next = 0;
    sets.assign(windows.size(), ChunkSetData{});
    enginesAfter.assign(windows.size(), engine);
    engineAtStart = engine;
    worker = std::thread([this, &grid, engine, threads]() {
        Random copy(0);
        copy.engine = engine;
        for (size_t k = 0; k < windows.size(); k++) {
            sets[k] = buildChunkSet(grid, windows[k], radius, copy, threads);
            enginesAfter[k] = copy.engine;
        }
    });
}

ChunkSetData ChunkSetQueue::take(const TerrainGrid& grid, glm::vec2 window, f32 planetRadius, Random& random,
                                 u32 threads)
{
    wait();
    // A set only fits when the generator stands where it stood when the set was built.
    bool fits = next < windows.size() && windows[next] == window && radius == planetRadius &&
                (next == 0 ? engineAtStart : enginesAfter[next - 1]) == random.engine;
    if (fits) {
        random.engine = enginesAfter[next];
        return std::move(sets[next++]);
    }
    // Out of order: what was prepared no longer matches the generator.
    next = windows.size();
    sets.clear();
    enginesAfter.clear();
    return buildChunkSet(grid, window, planetRadius, random, threads);
}

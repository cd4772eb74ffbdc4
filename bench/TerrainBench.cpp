// Terrain generation for one fixed seed: the time of each stage and of the whole run,
// with one thread and with every hardware thread. Every run also hashes its heights,
// steps and chunk colours; a run whose hashes differ from the first run's fails.
// TerrainErosion times the erosion stage alone over the same height map (the droplet
// order worked out beforehand, as the game does while it makes the height map), and
// reports how many times faster than one thread it runs.
//
//   build-*/bench/benchmarks --benchmark_filter=Terrain
//
// Arguments: the number of threads; 0 = all hardware threads.

#include "Engine/Camera/Random.h"
#include "World/Terrain/ChunkMeshBuilder.h"
#include "World/Terrain/CollisionMesh.h"
#include "World/Terrain/DropletRun.h"
#include "World/Terrain/Erosion.h"
#include "World/Terrain/ParallelFor.h"
#include "World/Terrain/TerrainGrid.h"

#include <BulletCollision/CollisionShapes/btBvhTriangleMeshShape.h>
#include <BulletCollision/CollisionShapes/btTriangleMesh.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr i32 Seed = 7;
constexpr f32 PlanetRadius = 12742.0f;

using Clock = std::chrono::steady_clock;

f64 millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<f64, std::milli>(Clock::now() - start).count();
}

u64 hashBytes(const void* data, size_t size, u64 hash)
{
    const u8* bytes = static_cast<const u8*>(data);
    for (size_t i = 0; i < size; i++) hash = (hash ^ bytes[i]) * 1099511628211ull;
    return hash;
}

template <typename T>
u64 hashVector(const std::vector<T>& values, u64 hash)
{
    return hashBytes(values.data(), values.size() * sizeof(T), hash);
}

// The three sets as the game builds them (the shadow set with indexed positions only).
const ChunkSetRequest Requests[3] = {
    {{ChunkRules::MainLow, ChunkRules::MainHigh}, ChunkForm::Shaded},
    {{ChunkRules::PrepassLow, ChunkRules::PrepassHigh}, ChunkForm::Shaded},
    {{ChunkRules::ShadowLow, ChunkRules::ShadowHigh}, ChunkForm::PositionsIndexed},
};

u64 hashResult(const TerrainGrid& grid, const std::vector<ChunkSetData>& sets)
{
    u64 hash = hashVector(grid.heights, 1469598103934665603ull);
    hash = hashVector(grid.steps, hash);
    for (const ChunkSetData& set : sets) {
        for (const ChunkMeshData& chunk : set.chunks) {
            hash = hashVector(chunk.streams, hash);
            hash = hashVector(chunk.indices, hash);
        }
    }
    return hash;
}

// The hash of the first run; every later run, with any thread count, must match it.
std::optional<u64> firstHash;

void checkHash(benchmark::State& state, u64 hash)
{
    if (!firstHash) firstHash = hash;
    char text[64];
    std::snprintf(text, sizeof(text), "hash %016llx", static_cast<unsigned long long>(hash));
    state.SetLabel(text);
    if (*firstHash != hash) state.SkipWithError("result differs from the first run");
}

void setCounter(benchmark::State& state, const char* name, f64 total)
{
    state.counters[name] = benchmark::Counter(total, benchmark::Counter::kAvgIterations);
}

// Each stage on its own, one after another: what every stage costs.
void TerrainStages(benchmark::State& state)
{
    const u32 threads = static_cast<u32>(state.range(0));
    f64 heightMap = 0, erosion = 0, steps = 0, chunks = 0, collisionMesh = 0, bvh = 0;
    u64 hash = 0;
    for (auto _ : state) {
        TerrainGrid grid(TerrainGridRules::ChunkSize, TerrainGridRules::ChunksPerSide);
        grid.threadCount = threads;
        Clock::time_point t = Clock::now();
        grid.generateHeightMap(Seed);
        heightMap += millisecondsSince(t);
        t = Clock::now();
        grid.erode();
        erosion += millisecondsSince(t);
        t = Clock::now();
        grid.createSteps();
        steps += millisecondsSince(t);

        std::vector<ChunkSetData> sets;
        t = Clock::now();
        for (const ChunkSetRequest& request : Requests) {
            sets.push_back(buildChunkSet(grid, request.window, PlanetRadius, *grid.random, threads, request.form));
        }
        chunks += millisecondsSince(t);
        state.PauseTiming();
        hash = hashResult(grid, sets);
        sets.clear();
        state.ResumeTiming();

        t = Clock::now();
        auto mesh = std::make_unique<btTriangleMesh>(true, true);
        fillCollisionMesh(grid, *mesh);
        collisionMesh += millisecondsSince(t);
        t = Clock::now();
        std::unique_ptr<btBvhTriangleMeshShape> shape(buildCollisionShape(mesh.get(), threads));
        bvh += millisecondsSince(t);
        benchmark::DoNotOptimize(shape.get());
    }
    state.counters["threads"] = workerCount(threads);
    setCounter(state, "1_heightmap_ms", heightMap);
    setCounter(state, "2_erosion_ms", erosion);
    setCounter(state, "3_steps_ms", steps);
    setCounter(state, "4_collision_mesh_ms", collisionMesh);
    setCounter(state, "5_bvh_ms", bvh);
    setCounter(state, "6_chunk_sets_ms", chunks);
    checkHash(state, hash);
}

// The run as the game does it: the chunk sets are built while the collision shape is,
// and the time is that of the whole run.
void TerrainGeneration(benchmark::State& state)
{
    const u32 threads = static_cast<u32>(state.range(0));
    f64 untilSteps = 0, shape = 0, chunkWait = 0;
    u64 hash = 0;
    for (auto _ : state) {
        TerrainGrid grid(TerrainGridRules::ChunkSize, TerrainGridRules::ChunksPerSide);
        grid.threadCount = threads;
        Clock::time_point t = Clock::now();
        grid.generateGrid(Seed);
        untilSteps += millisecondsSince(t);

        t = Clock::now();
        grid.prepareChunkSets(PlanetRadius);
        auto mesh = std::make_unique<btTriangleMesh>(true, true);
        fillCollisionMesh(grid, *mesh);
        std::unique_ptr<btBvhTriangleMeshShape> collision(buildCollisionShape(mesh.get(), threads));
        shape += millisecondsSince(t);

        std::vector<ChunkSetData> sets;
        t = Clock::now();
        for (const ChunkSetRequest& request : Requests) {
            sets.push_back(grid.takeChunkSet(request.window, PlanetRadius, request.form));
        }
        chunkWait += millisecondsSince(t);
        state.PauseTiming();
        hash = hashResult(grid, sets);
        sets.clear();
        state.ResumeTiming();
        benchmark::DoNotOptimize(collision.get());
    }
    state.counters["threads"] = workerCount(threads);
    setCounter(state, "1_grid_ms", untilSteps);
    setCounter(state, "2_collision_shape_ms", shape);
    setCounter(state, "3_chunk_sets_after_shape_ms", chunkWait);
    checkHash(state, hash);
}

// The height map of the seed before erosion and the droplets' order, made once.
struct ErosionInput {
    std::vector<f32> heights;
    u32 size = 0;
    DropletPlan inOrder; // the starts alone: one droplet after another
    DropletPlan plan;
};

const ErosionInput& erosionInput()
{
    static const ErosionInput input = [] {
        ErosionInput made;
        TerrainGrid grid(TerrainGridRules::ChunkSize, TerrainGridRules::ChunksPerSide);
        grid.threadCount = 0;
        grid.generateHeightMap(Seed);
        made.heights = grid.heights;
        made.size = grid.gridSize;
        made.inOrder.starts = dropletStarts(made.size, ErosionRules::DropletCount);
        made.plan = planDroplets(made.inOrder.starts, made.size);
        return made;
    }();
    return input;
}

// The one-thread time and eroded map, from the first TerrainErosion run with one thread.
f64 oneThreadErosionMs = 0;
std::optional<u64> oneThreadErosionHash;

void TerrainErosion(benchmark::State& state)
{
    const u32 threads = static_cast<u32>(state.range(0));
    const ErosionInput& input = erosionInput();
    f64 total = 0;
    u64 hash = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<f32> heights = input.heights;
        Erosion erosion(heights.data(), input.size, input.size);
        state.ResumeTiming();
        Clock::time_point t = Clock::now();
        runDroplets(erosion, threads == 1 ? input.inOrder : input.plan, threads, nullptr);
        total += millisecondsSince(t);
        state.PauseTiming();
        hash = hashVector(heights, 1469598103934665603ull);
        state.ResumeTiming();
    }
    const f64 ms = total / static_cast<f64>(state.iterations());
    state.counters["threads"] = workerCount(threads);
    state.counters["erosion_ms"] = ms;
    if (threads == 1 && !oneThreadErosionHash) {
        oneThreadErosionMs = ms;
        oneThreadErosionHash = hash;
    }
    if (oneThreadErosionMs > 0) state.counters["x_one_thread"] = oneThreadErosionMs / ms;
    char text[64];
    std::snprintf(text, sizeof(text), "hash %016llx", static_cast<unsigned long long>(hash));
    state.SetLabel(text);
    if (oneThreadErosionHash && *oneThreadErosionHash != hash) {
        state.SkipWithError("eroded map differs from the one-thread run");
    }
}

} // namespace

BENCHMARK(TerrainErosion)->Arg(1)->Arg(2)->Arg(4)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(TerrainStages)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(TerrainGeneration)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

#include "World/Terrain/TerrainGrid.h"

#include "Engine/Camera/Random.h"
#include "World/Terrain/DropletRun.h"
#include "World/Terrain/Erosion.h"
#include "World/Terrain/GenerationProgress.h"
#include "World/Terrain/Noise.h"
#include "World/Terrain/NoiseLayers.h"
#include "World/Terrain/ParallelFor.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <stdexcept>

using namespace HeightMapRules;

namespace {

inline f64 smootherstep(f64 t)
{
    return t * t * t * (t * (6.0 * t - 15.0) + 10.0);
}

constexpr f32 MaxStepMagnitude = 1e9f;

} // namespace

TerrainGrid::TerrainGrid(u32 chunkSize, u32 chunksPerSide)
    : chunkSize(chunkSize), chunksPerSide(chunksPerSide), gridSize(chunksPerSide * chunkSize + 1)
{
    f32 half = static_cast<f32>(gridSize - 1) * -0.5f;
    origin = glm::vec3(half, 0.0f, half);
    size_t points = static_cast<size_t>(gridSize) * gridSize;
    heights.assign(points, 0.0f);
    steps.assign(points, 0);
}

TerrainGrid::~TerrainGrid() = default;

f64 TerrainGrid::sampleHeight(f64 x64, f64 y64) const
{
    const Noise& n = *noise;
    const NoiseLayers& layers = *noiseLayers;
    f32 x = static_cast<f32>(x64);
    f32 y = static_cast<f32>(y64);

    // Mountain mask, plains, rolling mountains, ridge blend, ridges and their detail.
    f64 m = 0.5 + 0.5 * static_cast<f64>(layers.shapedOctaves(3.0f * x, 3.0f * y, 3.0f, 1, 1.0f, 0.35f, 0.03f));
    f64 plains = 20.0 * static_cast<f64>(layers.shapedOctaves(x, y, 120.0f, 3, 0.4f, 0.42f, 0.0f));
    f64 mountains = 150.0 * static_cast<f64>(n.fbm(4.0f * x, 123.0f, 4.0f * y, 7, 0.4f));
    f64 w = 0.5 + 0.5 * static_cast<f64>(layers.shapedOctaves(3.0f * x + 1000.0f, 3.0f * y, 3.0f, 1, 1.0f, 0.35f, 0.03f));
    f64 v = 4.0 * static_cast<f64>(n.fbm(1.2f * x, 23.0f, 1.2f * y, 7, 0.425f));
    f64 ridge = 1.0 - std::pow(std::fabs(v), 1.4);
    f64 r = ridge * ridge;
    f64 c = std::max(0.0, r);
    f64 detail = static_cast<f64>(n.fbm(8.0f * x, 45.0f, 8.0f * y, 7, 0.35f));
    f64 ridges = (detail * 0.5 * std::pow(c, 10.0) + r) * 140.0 - 20.0;
    return ((1.0 - w) * mountains + w * ridges) * m + (1.0 - m) * plains + 30.0;
}

f32 TerrainGrid::maskedHeight(u32 x, u32 y) const
{
    f64 s = sampleHeight(NoiseScale * x, NoiseScale * y);

    f64 n = static_cast<f64>(gridSize);
    f64 toCentreX = n / 2.0 - x;
    f64 toCentreY = n / 2.0 - y;
    f64 d = std::sqrt(toCentreX * toCentreX + toCentreY * toCentreY) / (IslandRadius * n);

    // The coast and sea-floor masks read the same noise slice and differ only in the
    // amplitude of their octaves, so each simplex sample serves both sums (the sums
    // are formed exactly as two separate fractal sums would form them).
    f32 cx = CoastNoiseScale * static_cast<f32>(x);
    f32 cy = CoastNoiseScale * static_cast<f32>(y);
    f32 frequency = 1.0f;
    f32 coastAmplitude = 1.0f, coastSum = 0.0f, coastNorm = 0.0f;
    f32 floorAmplitude = 1.0f, floorSum = 0.0f, floorNorm = 0.0f;
    for (i32 octave = 0; octave < CoastOctaves; octave++) {
        f32 sample = noise->simplex3(frequency * cx, frequency * CoastNoiseSlice, frequency * cy);
        coastSum += sample * coastAmplitude;
        coastNorm += coastAmplitude;
        coastAmplitude *= CoastPersistence;
        floorSum += sample * floorAmplitude;
        floorNorm += floorAmplitude;
        floorAmplitude *= SeaFloorPersistence;
        frequency *= 2.0f;
    }
    f64 coast = static_cast<f64>(coastSum * 32.0f / coastNorm);
    f64 seaFloor = static_cast<f64>(floorSum * 32.0f / floorNorm);

    f64 a = std::clamp(5.0 * (coast + d - 1.0), 0.0, 1.0);
    f64 b = std::clamp(3.0 * (0.6 * seaFloor + d - 1.2), 0.0, 1.0);
    return static_cast<f32>((1.0 - smootherstep(a)) * 0.5 * s - SeaFloorDepth * smootherstep(b));
}

void TerrainGrid::generateHeightMap(i32 seed)
{
    if (progress) progress->begin(TerrainStageText::HeightMap);
    random = std::make_unique<Random>(seed);
    noise = std::make_unique<Noise>(seed);
    noiseLayers = std::make_unique<NoiseLayers>(noise.get());
    if (workerCount(threadCount) > 1) {
        dropletPlan = std::async(std::launch::async, [size = gridSize]() {
            return planDroplets(dropletStarts(size, ErosionRules::DropletCount), size);
        });
    }

    // Rows are independent: each worker fills whole rows.
    const u32 n = gridSize;
    std::atomic<u32> rowsDone{0};
    parallelFor(n, 4, threadCount, [&](u32 begin, u32 end) {
        for (u32 y = begin; y < end; y++) {
            f32* row = heights.data() + static_cast<size_t>(y) * n;
            for (u32 x = 0; x < n; x++) row[x] = maskedHeight(x, y);
        }
        u32 done = rowsDone.fetch_add(end - begin, std::memory_order_relaxed) + (end - begin);
        if (progress) progress->set(static_cast<f32>(done) / static_cast<f32>(n));
    });
}

void TerrainGrid::erode(u32 droplets)
{
    if (progress) progress->begin(TerrainStageText::Erosion);
    const u32 n = gridSize;
    // Seeded with the grid size: every game of one size gets the same droplets.
    Erosion erosion(heights.data(), n, n);
    DropletPlan plan;
    if (dropletPlan.valid()) plan = dropletPlan.get();
    if (plan.starts.size() != droplets) {
        plan = DropletPlan{};
        plan.starts = dropletStarts(n, droplets);
        if (workerCount(threadCount) > 1) plan = planDroplets(std::move(plan.starts), n);
    }
    runDroplets(erosion, plan, threadCount, progress);
}

void TerrainGrid::createSteps()
{
    if (progress) progress->begin(TerrainStageText::Steps);
    const u32 count = static_cast<u32>(steps.size());
    std::atomic<u32> pointsDone{0};
    parallelFor(count, 1u << 16, threadCount, [&](u32 begin, u32 end) {
        for (u32 i = begin; i < end; i++) {
            // Half steps round away from zero. A value beyond any sane height is held
            // at a bound, so the conversion to an integer stays defined.
            f32 value = heights[i] * TerrainGridRules::StepsPerUnit;
            if (!(std::fabs(value) < MaxStepMagnitude)) {
                value = std::isnan(value) ? 0.0f : std::copysign(MaxStepMagnitude, value);
            }
            steps[i] = static_cast<i32>(std::round(value));
        }
        u32 done = pointsDone.fetch_add(end - begin, std::memory_order_relaxed) + (end - begin);
        if (progress) progress->set(static_cast<f32>(done) / static_cast<f32>(count));
    });
}

void TerrainGrid::prepareChunkSets(f32 planetRadius)
{
    using namespace ChunkRules;
    if (!random) throw std::logic_error("terrain: chunk sets are built from a generated grid");
    // The shadow set is drawn by a pipeline that reads positions only.
    std::vector<ChunkSetRequest> requests = {{{MainLow, MainHigh}, ChunkForm::Shaded},
                                             {{PrepassLow, PrepassHigh}, ChunkForm::Shaded},
                                             {{ShadowLow, ShadowHigh}, ChunkForm::PositionsIndexed}};
    // One worker fewer: the collision shape is built at the same time.
    u32 workers = std::max(1u, workerCount(threadCount) - 1);
    chunkSets.start(*this, std::move(requests), planetRadius, random->engine, workers);
}

ChunkSetData TerrainGrid::takeChunkSet(glm::vec2 window, f32 planetRadius, ChunkForm form)
{
    if (!random) throw std::logic_error("terrain: chunk sets are built from a generated grid");
    return chunkSets.take(*this, {window, form}, planetRadius, *random, threadCount);
}

std::unique_ptr<TerrainGrid> TerrainGrid::makeHeightMap(i32 seed, u32 chunkSize, u32 chunksPerSide, u32 threads)
{
    auto grid = std::make_unique<TerrainGrid>(chunkSize, chunksPerSide);
    grid->threadCount = threads;
    grid->generateHeightMap(seed);
    return grid;
}

void TerrainGrid::takeHeightMap(TerrainGrid& made)
{
    if (made.gridSize != gridSize || !made.random) {
        throw std::logic_error("terrain: a height map made ahead does not fit the grid");
    }
    random = std::move(made.random);
    noise = std::move(made.noise);
    noiseLayers = std::move(made.noiseLayers);
    heights = std::move(made.heights);
    dropletPlan = std::move(made.dropletPlan);
}

void TerrainGrid::generateGrid(i32 seed)
{
    generateHeightMap(seed);
    erode();
    createSteps();
}

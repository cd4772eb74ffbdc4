// The navigation field on the real island of a fixed seed, on one core: making the
// field, the cold solve from the castle, the change after a tower is added, and after
// a wall is placed or sold. The plain pass-by-pass solver runs the cold solve too, for
// comparison; its run also reports how far its field is from the field's own.
//
//   build-*/bench/benchmarks --benchmark_filter=Navigation
//
// Goals: cold solve <= 150 ms, tower added <= 30 ms, wall placed or sold <= 150 ms.

#include "../tests/PathFieldPasses.h"

#include "Engine/Camera/Random.h"
#include "Game/Navigation/PathField.h"
#include "World/Terrain/TerrainGrid.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

constexpr i32 Seed = 7;

// The island and the sites the game would pick on it: the castle at the centre (8 x 8
// cells), a tower 2 x 2 some way east of it and a wall 2 x 1 between them.
struct Island {
    std::vector<f32> heights;
    u32 n = 0;
    glm::ivec3 castle{0}, castleSize{8, 0, 8};
    glm::ivec3 tower{0}, towerSize{2, 0, 2};
    glm::ivec3 wall{0}, wallSize{2, 0, 1};
};

const Island& island()
{
    static const Island made = [] {
        Island result;
        TerrainGrid grid(TerrainGridRules::ChunkSize, TerrainGridRules::ChunksPerSide);
        grid.generateGrid(Seed);
        result.heights = grid.heights;
        result.n = grid.gridSize;
        Random source(Seed);
        const i32 centre = static_cast<i32>(grid.gridSize / 2);
        const f32 radius = static_cast<f32>(grid.gridSize) * 0.5f * 0.7f;
        result.castle = grid.findBuildSite({centre, centre}, {8, 1, 8}, radius, 2, source);
        result.tower = grid.findBuildSite({centre + 120, centre + 40}, {2, 1, 2}, 40.0f, 1, source);
        result.wall = grid.findBuildSite({centre + 50, centre + 10}, {2, 1, 1}, 20.0f, 1, source);
        return result;
    }();
    return made;
}

std::unique_ptr<PathField> makeField()
{
    return std::make_unique<PathField>(island().heights, island().n, false);
}

std::unique_ptr<PathField> solvedField(bool withTower, bool withWall)
{
    const Island& land = island();
    std::unique_ptr<PathField> field = makeField();
    field->queueCellValues(land.castle, land.castleSize, 0.0f);
    if (withTower) field->queueCellValues(land.tower, land.towerSize, 0.0f);
    if (withWall) field->queueFixedCosts(land.wall, land.wallSize, PathCostRules::WallCost);
    field->solveUntilIdle();
    return field;
}

u64 solvedCount(const PathField& field)
{
    u64 count = 0;
    const size_t total = static_cast<size_t>(field.gridSize) * field.gridSize;
    for (size_t i = 0; i < total; i++) count += field.distances[i] < PathDistanceRules::SolvedLimit;
    return count;
}

void NavigationConstruction(benchmark::State& state)
{
    const Island& land = island();
    for (auto _ : state) {
        PathField field(land.heights, land.n, false);
        benchmark::DoNotOptimize(field.distances.data());
    }
    state.counters["vertices"] = static_cast<f64>(land.n) * land.n;
}

void NavigationColdSolve(benchmark::State& state)
{
    const Island& land = island();
    u32 steps = 0;
    u64 solved = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<PathField> field = makeField();
        state.ResumeTiming();
        field->queueCellValues(land.castle, land.castleSize, 0.0f);
        steps = field->solveUntilIdle();
        state.PauseTiming();
        solved = solvedCount(*field);
        field.reset();
        state.ResumeTiming();
    }
    state.counters["steps"] = steps;
    state.counters["solved_vertices"] = static_cast<f64>(solved);
}

void NavigationTowerAdded(benchmark::State& state)
{
    const Island& land = island();
    u64 improved = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<PathField> field = solvedField(false, false);
        const std::vector<f32> before = field->distances;
        state.ResumeTiming();
        field->queueCellValues(land.tower, land.towerSize, 0.0f);
        field->solveUntilIdle();
        state.PauseTiming();
        improved = 0;
        for (size_t i = 0; i < before.size(); i++) improved += field->distances[i] < before[i];
        field.reset();
        state.ResumeTiming();
    }
    // The vertices now nearer to the tower than to the castle.
    state.counters["improved_vertices"] = static_cast<f64>(improved);
}

// Argument 0: a wall placed on the field of the castle and a tower; 1: that wall sold.
void NavigationWall(benchmark::State& state)
{
    const Island& land = island();
    const bool sold = state.range(0) == 1;
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<PathField> field = solvedField(true, sold);
        state.ResumeTiming();
        field->queueFixedCosts(land.wall, land.wallSize, sold ? PathCostRules::RestoreSlope : PathCostRules::WallCost);
        field->solveUntilIdle();
        state.PauseTiming();
        field.reset();
        state.ResumeTiming();
    }
    state.SetLabel(sold ? "wall sold" : "wall placed");
}

// The plain passes from the castle; the counters compare the result with the field's
// own solver: the largest and the mean distance difference, and the share of solved
// vertices whose directions differ by more than about 8 degrees.
void NavigationColdSolvePlainPasses(benchmark::State& state)
{
    const Island& land = island();
    std::unique_ptr<PathField> own = solvedField(false, false);
    u32 passes = 0;
    std::unique_ptr<PathField> plain;
    for (auto _ : state) {
        state.PauseTiming();
        plain = makeField();
        state.ResumeTiming();
        PathFieldPasses passer(*plain);
        passer.addGoals(land.castle, land.castleSize);
        passes = passer.solveUntilIdle();
    }
    f64 maxDiff = 0, sumDiff = 0, relDiff = 0;
    u64 compared = 0, turned = 0, mismatched = 0;
    const size_t total = static_cast<size_t>(land.n) * land.n;
    for (size_t i = 0; i < total; i++) {
        const f32 a = own->distances[i];
        const f32 b = plain->distances[i];
        const bool solvedA = a < PathDistanceRules::SolvedLimit;
        if (solvedA != (b < PathDistanceRules::SolvedLimit)) {
            mismatched++;
            continue;
        }
        if (!solvedA || a == 0.0f) continue;
        const f64 diff = std::fabs(static_cast<f64>(a) - b);
        maxDiff = std::max(maxDiff, diff);
        relDiff = std::max(relDiff, diff / std::max<f64>(a, 1.0));
        sumDiff += diff;
        compared++;
        const PathCell ca = own->cell(static_cast<u32>(i % land.n), static_cast<u32>(i / land.n));
        const PathCell cb = plain->cell(static_cast<u32>(i % land.n), static_cast<u32>(i / land.n));
        if (ca.dirX * cb.dirX + ca.dirZ * cb.dirZ < 0.99f) turned++;
    }
    state.counters["passes"] = passes;
    state.counters["max_distance_diff"] = maxDiff;
    state.counters["max_relative_diff"] = relDiff;
    state.counters["mean_distance_diff"] = compared ? sumDiff / static_cast<f64>(compared) : 0.0;
    state.counters["turned_share"] = compared ? static_cast<f64>(turned) / static_cast<f64>(compared) : 0.0;
    state.counters["reach_mismatches"] = static_cast<f64>(mismatched);
}

} // namespace

BENCHMARK(NavigationConstruction)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(NavigationColdSolve)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(NavigationTowerAdded)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(NavigationWall)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(NavigationColdSolvePlainPasses)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

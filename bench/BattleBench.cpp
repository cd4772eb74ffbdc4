// One game-logic tick of a big battle, without a GPU: 25 cannon and 25 mortar towers
// against the largest wave (wave 15: 500 normal and 137 heavy enemies, made unkillable
// so the battle stays at its size) on a flat ground, with the cannonballs, bombs and
// smoke puffs the towers keep in the air once the battle has run 20 s; the physics
// thread steps the bodies between ticks, as in the game. Game speed 1.
//
//   build-*/bench/benchmarks --benchmark_filter=TowerLogicTick
//
// It brings its own physics thread and kinds, so it runs before the benchmarks that
// start the whole engine (this file sorts before theirs) and leaves nothing behind.

#include "BattleTestSupport.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int Cannons = 25;
constexpr int Mortars = 25;
constexpr int NormalEnemies = 500;
constexpr int HeavyEnemies = 137;
constexpr f32 FrameMs = 1000.0f / 60.0f;

struct Battle {
    BattleGrounds grounds{1, false};

    Battle()
    {
        // A row of towers at z -30 (world), the crowd in a band from z -5 to 15 in front
        // of them: in reach of both kinds, beyond the mortars' shortest lob.
        for (int i = 0; i < Cannons + Mortars; i++) {
            const u32 kind = i % 2 == 0 ? BuildingTypeCannon : BuildingTypeMortar;
            grounds.placeTower(kind, 462 + (i % 25) * 4, 480 + (i / 25) * 4);
        }
        for (int i = 0; i < NormalEnemies + HeavyEnemies; i++) {
            const bool heavy = i < HeavyEnemies;
            grounds.queueEnemy({-48.0f + static_cast<f32>(i % 40) * 2.5f, heavy ? 2.0f : 1.0f,
                                -5.0f + static_cast<f32>(i / 40) * 1.25f},
                               heavy);
        }
        grounds.logic.runTick();
        for (Enemy* kind : enemyTypes) {
            for (const std::shared_ptr<EnemyInstance>& enemy : kind->instances) enemy->health = 1'000'000'000;
        }
        // 20 s of battle: reach maps built, shots and smoke at their steady numbers.
        for (int tick = 0; tick < 1200; tick++) tick1();
    }

    void tick1()
    {
        grounds.logic.runTick();
        grounds.stepPhysics(FrameMs);
    }
};

void TowerLogicTick(benchmark::State& state)
{
    if (world != nullptr) {
        state.SkipWithError("the engine runs in this process: run this benchmark alone");
        return;
    }
    auto battle = std::make_unique<Battle>();
    for (auto _ : state) {
        battle->grounds.logic.runTick();
        state.PauseTiming();
        battle->grounds.stepPhysics(FrameMs);
        state.ResumeTiming();
    }
    state.counters["towers"] = Cannons + Mortars;
    state.counters["enemies"] = static_cast<f64>(battle->grounds.liveEnemies());
    state.counters["balls"] = static_cast<f64>(projectileTypes[0]->count());
    state.counters["bombs"] = static_cast<f64>(projectileTypes[1]->count());
    state.counters["puffs"] = static_cast<f64>(smokeType->count());
}

} // namespace

BENCHMARK(TowerLogicTick)->Unit(benchmark::kMicrosecond)->Iterations(600);

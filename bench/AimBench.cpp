// Tower aiming: the lead prediction, and the reach map of a cannon and of a mortar on a
// real island (terrain from a fixed seed, its collision body in a query physics world,
// every segment tested under the world's mutex as a tower in the game does).
//
//   build-*/bench/benchmarks --benchmark_filter=Aim

#include "Engine/Physics/CollisionType.h"
#include "Engine/Physics/PhysicsWorld.h"
#include "Game/Towers/AimRules.h"
#include "Game/Towers/Ballistics.h"
#include "Game/Towers/ReachGrid.h"
#include "Game/Towers/WorldReachTerrain.h"
#include "World/Terrain/CollisionMesh.h"
#include "World/Terrain/TerrainGrid.h"
#include "World/World.h"

#include <benchmark/benchmark.h>
#include <btBulletDynamicsCommon.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr i32 Seed = 7;

// The island with its terrain body alone in a query world.
struct Island {
    TerrainGrid grid{TerrainGridRules::ChunkSize, TerrainGridRules::ChunksPerSide};
    std::unique_ptr<btTriangleMesh> mesh = std::make_unique<btTriangleMesh>(true, true);
    std::unique_ptr<btBvhTriangleMeshShape> shape;
    std::unique_ptr<btCollisionObject> body = std::make_unique<btCollisionObject>();
    PhysicsWorld queryWorld;
    WorldPhysics physics;

    Island()
    {
        grid.generateGrid(Seed);
        fillCollisionMesh(grid, *mesh);
        shape.reset(buildCollisionShape(mesh.get(), 0));
        body->setCollisionShape(shape.get());
        queryWorld.init(QueryWorldGravity);
        queryWorld.world->addCollisionObject(body.get(), CollisionTerrain, -1);
        physics.world = &queryWorld;
    }
    ~Island() { queryWorld.world->removeCollisionObject(body.get()); }

    ReachTerrain terrain()
    {
        ReachTerrain view;
        view.steps = grid.steps.data();
        view.side = grid.gridSize;
        view.origin = grid.origin;
        view.segmentHitsTerrain = queryWorldSegmentTest(physics);
        return view;
    }

    // The muzzle of a tower standing on grid vertex (x, z): 1 unit above its step.
    glm::vec3 muzzleAt(u32 x, u32 z) const
    {
        return grid.origin + glm::vec3(static_cast<f32>(x), grid.stepHeightAt(x, z) + 1.0f, static_cast<f32>(z));
    }
};

Island& island()
{
    static Island shared;
    return shared;
}

void rebuildReach(benchmark::State& state, u32 x, u32 z, f32 radius, f32 speed, bool shootFlat)
{
    Island& land = island();
    const glm::vec3 muzzle = land.muzzleAt(x, z);
    u64 reachable = 0, cells = 0;
    for (auto _ : state) {
        ReachGrid reach(glm::vec2(static_cast<f32>(x), static_cast<f32>(z)), radius, AimRules::Gravity, land.terrain());
        reach.rebuild(muzzle, speed, shootFlat);
        reachable = 0;
        for (u8 cell : reach.reachable) reachable += cell;
        cells = reach.reachable.size();
        benchmark::DoNotOptimize(reach.reachable.data());
    }
    state.counters["cells"] = static_cast<f64>(cells);
    state.counters["reachable"] = static_cast<f64>(reachable);
}

// Cannon: radius 30, speed 50, the flat arc; mortar: radius 45, speed 45, the lob.
// Both stand on the island a little off its centre.
void AimReachCannon(benchmark::State& state)
{
    rebuildReach(state, 540, 512, 30.0f, 50.0f, true);
}

void AimReachMortar(benchmark::State& state)
{
    rebuildReach(state, 490, 530, 45.0f, 45.0f, false);
}

// One lead prediction per target of a spread of moving targets around a tower,
// flat and lob alternately.
void AimLeadTarget(benchmark::State& state)
{
    struct Target {
        glm::vec3 position, velocity;
        i32 arc;
    };
    std::vector<Target> targets;
    for (int i = 0; i < 256; i++) {
        const f32 angle = static_cast<f32>(i) * 0.7f;
        const f32 distance = 5.0f + static_cast<f32>(i % 40);
        targets.push_back({{distance * std::cos(angle), static_cast<f32>(i % 7) - 3.0f, distance * std::sin(angle)},
                           {3.0f * std::sin(angle * 3.0f), 0.0f, 3.0f * std::cos(angle * 2.0f)},
                           i % 2 == 0 ? AimRules::FlatArc : AimRules::HighArc});
    }
    const glm::vec3 muzzle(0.0f, 1.0f, 0.0f);
    size_t next = 0;
    u64 valid = 0;
    for (auto _ : state) {
        const Target& target = targets[next++ & 255];
        const Ballistics::LeadResult result =
            Ballistics::leadTarget(muzzle, target.position, target.velocity, 50.0f, AimRules::Gravity, target.arc);
        valid += result.valid;
        benchmark::DoNotOptimize(result);
    }
    state.counters["valid_share"] = benchmark::Counter(static_cast<f64>(valid), benchmark::Counter::kAvgIterations);
}

} // namespace

BENCHMARK(AimLeadTarget);
BENCHMARK(AimReachCannon)->Unit(benchmark::kMillisecond);
BENCHMARK(AimReachMortar)->Unit(benchmark::kMillisecond);

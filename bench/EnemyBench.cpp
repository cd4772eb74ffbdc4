// Enemies on the real island (terrain of a fixed seed, its collision body in an engine
// physics world, the navigation field solved towards the castle): one physics step as
// the simulation thread runs it (every enemy's steering hook, the step, the contact
// dispatch) with 160 to 1300 enemies, spread over the island or crowded at the castle,
// and one game-logic tick with the largest wave's 637 enemies.
//
//   build-*/bench/benchmarks --benchmark_filter=Enemy
//
// Goals: one physics step crowded at the castle with 637 enemies <= 4 ms (the largest
// wave at game speed 4 keeps real time); one logic tick with 637 enemies <= 0.5 ms.

#include "Engine/Camera/Random.h"
#include "Engine/Physics/CollisionType.h"
#include "Engine/Physics/Pacing.h"
#include "Engine/Physics/PhysicsObject.h"
#include "Engine/Physics/PhysicsReference.h"
#include "Engine/Physics/PhysicsWorld.h"
#include "Engine/Physics/Registry.h"
#include "Engine/Physics/Simulation.h"
#include "Game/Enemies/EnBase.h"
#include "Game/Enemies/EnBaseInstance.h"
#include "Game/Enemies/EnHeavy.h"
#include "Game/Enemies/EnHeavyInstance.h"
#include "Game/Enemies/EnemyManager.h"
#include "Game/Navigation/PathField.h"
#include "Game/Session/GameLogic.h"
#include "Game/Session/GameSession.h"
#include "World/Terrain/CollisionMesh.h"
#include "World/Terrain/TerrainGrid.h"

#include <benchmark/benchmark.h>
#include <btBulletDynamicsCommon.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <mutex>
#include <vector>

namespace {

constexpr i32 Seed = 7;
// The largest wave has 500 normal and 137 heavy enemies: about one in 4.65 is heavy.
constexpr f32 HeavyShare = 137.0f / 637.0f;
// Steps the enemies get to land and walk (spread) or to press against the castle
// (crowded) before the timing starts.
constexpr int SettleSteps = 240;

// The island: its grid, its collision shape, the castle's site and the navigation
// field towards it, made once per process.
struct Island {
    TerrainGrid grid{TerrainGridRules::ChunkSize, TerrainGridRules::ChunksPerSide};
    std::unique_ptr<btTriangleMesh> mesh = std::make_unique<btTriangleMesh>(true, true);
    std::unique_ptr<btBvhTriangleMeshShape> shape;
    glm::ivec3 castle{0};
    const glm::ivec3 castleSize{8, 5, 8};
    std::unique_ptr<btBoxShape> castleShape;
    EnBase normal;
    EnHeavy heavy;

    Island()
    {
        grid.generateGrid(Seed);
        fillCollisionMesh(grid, *mesh);
        shape.reset(buildCollisionShape(mesh.get(), 0, &grid));
        Random source(Seed);
        const i32 centre = static_cast<i32>(grid.gridSize / 2);
        castle = grid.findBuildSite({centre, centre}, castleSize, static_cast<f32>(grid.gridSize) * 0.35f, 2, source);
        castleShape = std::make_unique<btBoxShape>(btVector3(4.0f, 1.0f, 4.0f));
    }

    glm::vec3 castleCentre() const
    {
        return grid.origin + glm::vec3(static_cast<f32>(castle.x) + 4.0f, static_cast<f32>(castle.y) * 0.4f,
                                       static_cast<f32>(castle.z) + 4.0f);
    }
    bool isLand(i32 x, i32 z) const
    {
        const i32 n = static_cast<i32>(grid.gridSize);
        return x > 4 && z > 4 && x < n - 5 && z < n - 5 && grid.stepAt(static_cast<u32>(x), static_cast<u32>(z)) > 2;
    }
};

Island& island()
{
    static Island made;
    return made;
}

PhysicsObjectDesc staticDesc(i32 group, i32 mask)
{
    PhysicsObjectDesc desc;
    desc.useGroupMask = 1;
    desc.group = group;
    desc.mask = mask;
    return desc;
}

// One engine physics world as a game fills it: the terrain, the castle and `count`
// enemies made and spawned as the game spawns them, their bodies taken from the
// registry as the simulation thread takes them.
struct EnemyScene {
    PhysicsWorld world;
    std::unique_ptr<PhysicsObject> terrain;
    std::unique_ptr<PhysicsObject> castle;
    GameSession session;
    Random random{Seed};
    std::unique_ptr<EnemyManager> manager;
    std::vector<PhysicsObject*> active;

    EnemyScene(int count, bool crowded)
    {
        Island& land = island();
        world.init(EngineWorldGravity);
        btTransform identity;
        identity.setIdentity();
        terrain = std::make_unique<PhysicsObject>(land.shape.get(), identity, staticDesc(CollisionTerrain, -1));
        terrain->setReference(new PhysicsReference(CollisionTerrain, nullptr, nullptr, 0, nullptr));
        world.world->addRigidBody(terrain->body, CollisionTerrain, -1);
        btTransform castleAt;
        castleAt.setIdentity();
        const glm::vec3 centre = land.castleCentre() + glm::vec3(0.0f, 1.0f, 0.0f);
        castleAt.setOrigin(btVector3(centre.x, centre.y, centre.z));
        castle = std::make_unique<PhysicsObject>(land.castleShape.get(), castleAt, staticDesc(CollisionBuilding, -705));
        castle->setReference(new PhysicsReference(CollisionBuilding, nullptr, nullptr, 0, nullptr));
        world.world->addRigidBody(castle->body, CollisionBuilding, -705);

        EnemyContext context;
        context.ground = {land.grid.origin, land.grid.gridSize, land.grid.steps.data()};
        context.session = &session;
        context.random = &random;
        manager = std::make_unique<EnemyManager>(context);
        manager->pathField = new PathField(land.grid.heights, land.grid.gridSize, false);
        manager->pathField->queueCellValues(land.castle, land.castleSize, 0.0f);
        manager->pathField->solveUntilIdle();

        for (const glm::vec3& at : crowded ? crowdedSites(count) : spreadSites(count)) {
            const bool heavy = random.unitFloat() < HeavyShare;
            const f32 lift = heavy ? 2.0f : 1.0f;
            const glm::vec3 position = at + glm::vec3(0.0f, lift, 0.0f);
            manager->enqueue(heavy ? std::unique_ptr<EnemyInstance>(std::make_unique<EnHeavyInstance>(position))
                                   : std::unique_ptr<EnemyInstance>(std::make_unique<EnBaseInstance>(position)));
        }
        manager->spawnPending();
        takeRegistered();
        for (int i = 0; i < SettleSteps; i++) step();
    }

    ~EnemyScene()
    {
        manager->destroyAll();
        for (PhysicsObject* object : active) world.world->removeRigidBody(object->body);
        Simulation::releaseRemaining(world);
        world.world->removeRigidBody(castle->body);
        world.world->removeRigidBody(terrain->body);
    }

    // Ground positions of `count` enemies on the land within 300 units of the castle.
    std::vector<glm::vec3> spreadSites(int count)
    {
        Island& land = island();
        std::vector<glm::vec3> sites;
        const glm::vec3 centre = land.castleCentre() - land.grid.origin;
        while (static_cast<int>(sites.size()) < count) {
            const f32 angle = random.unitFloat() * 6.2831853f;
            const f32 distance = 40.0f + random.unitFloat() * 260.0f;
            const i32 x = static_cast<i32>(centre.x + std::cos(angle) * distance);
            const i32 z = static_cast<i32>(centre.z + std::sin(angle) * distance);
            if (!land.isLand(x, z)) continue;
            sites.push_back(land.grid.origin +
                            glm::vec3(static_cast<f32>(x), land.grid.stepHeightAt(static_cast<u32>(x), static_cast<u32>(z)),
                                      static_cast<f32>(z)));
        }
        return sites;
    }

    // `count` ground positions packed around the castle, nearest first, 2.2 units apart.
    std::vector<glm::vec3> crowdedSites(int count)
    {
        Island& land = island();
        const glm::vec3 centre = land.castleCentre() - land.grid.origin;
        std::vector<glm::vec3> sites;
        for (f32 dz = -60.0f; dz <= 60.0f; dz += 2.2f) {
            for (f32 dx = -60.0f; dx <= 60.0f; dx += 2.2f) {
                if (std::abs(dx) < 6.0f && std::abs(dz) < 6.0f) continue;
                const i32 x = static_cast<i32>(centre.x + dx), z = static_cast<i32>(centre.z + dz);
                if (!land.isLand(x, z)) continue;
                sites.push_back(glm::vec3(centre.x + dx, 0.0f, centre.z + dz));
            }
        }
        std::sort(sites.begin(), sites.end(), [&](const glm::vec3& a, const glm::vec3& b) {
            return glm::length(glm::vec2(a.x - centre.x, a.z - centre.z)) <
                   glm::length(glm::vec2(b.x - centre.x, b.z - centre.z));
        });
        sites.resize(std::min(sites.size(), static_cast<size_t>(count)));
        for (glm::vec3& site : sites) {
            site.y = land.grid.stepHeightAt(static_cast<u32>(site.x), static_cast<u32>(site.z));
            site += land.grid.origin;
        }
        return sites;
    }

    void takeRegistered()
    {
        std::lock_guard lock(registryMutex);
        for (PhysicsObject* object : Registry::pendingAdd) {
            world.world->addRigidBody(object->body, object->group, object->mask);
            active.push_back(object);
        }
        Registry::pendingAdd.clear();
    }

    // One simulation step as the worker runs it.
    void step()
    {
        for (PhysicsObject* object : active) {
            if (object->preStep) object->preStep();
        }
        world.world->stepSimulation(TickSeconds, 0, TickSeconds);
        Simulation::dispatchContacts(world.world->getDispatcher());
    }
};

void stepEnemies(benchmark::State& state, bool crowded)
{
    EnemyScene scene(static_cast<int>(state.range(0)), crowded);
    for (auto _ : state) {
        scene.step();
    }
    state.counters["enemies"] = static_cast<double>(scene.active.size());
    state.counters["manifolds"] = scene.world.dispatcher->getNumManifolds();
    int contacts = 0;
    for (int i = 0; i < scene.world.dispatcher->getNumManifolds(); i++) {
        contacts += scene.world.dispatcher->getManifoldByIndexInternal(i)->getNumContacts();
    }
    state.counters["contacts"] = contacts;
    // How close the crowd stands: the mean distance of the enemies from the castle.
    f64 distance = 0.0;
    const glm::vec3 centre = island().castleCentre();
    for (PhysicsObject* object : scene.active) {
        const btVector3& p = object->body->getWorldTransform().getOrigin();
        distance += glm::length(glm::vec2(p.x() - centre.x, p.z() - centre.z));
    }
    state.counters["meanDistance"] = distance / static_cast<f64>(std::max<size_t>(scene.active.size(), 1));
}

void EnemyPhysicsSpread(benchmark::State& state)
{
    stepEnemies(state, false);
}
BENCHMARK(EnemyPhysicsSpread)->Arg(160)->Arg(650)->Arg(1300)->Unit(benchmark::kMillisecond);

void EnemyPhysicsCrowded(benchmark::State& state)
{
    stepEnemies(state, true);
}
BENCHMARK(EnemyPhysicsCrowded)->Arg(160)->Arg(637)->Arg(650)->Arg(1300)->Unit(benchmark::kMillisecond);

// One tick of the game-logic thread with the enemies standing where the physics left
// them: the wave step, the queued spawns and every enemy's update, at game speed 1
// and 4.
void EnemyLogicTick(benchmark::State& state)
{
    EnemyScene scene(637, false);
    std::atomic<u32> speed{static_cast<u32>(state.range(0))};
    GameLogic logic(nullptr, speed);
    logic.enemies = scene.manager.get();
    logic.session = &scene.session;
    for (auto _ : state) {
        logic.runTick();
    }
    state.counters["enemies"] = static_cast<double>(scene.active.size());
}
BENCHMARK(EnemyLogicTick)->Arg(1)->Arg(4)->Unit(benchmark::kMicrosecond);

} // namespace

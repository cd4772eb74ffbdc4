#pragma once

// A real island without a GPU, for tests and the enemy walk tool: the terrain of a
// seed with its collision body in an engine physics world, the castle and the four
// portals placed as a new game places them, the navigation field solved towards the
// castle, and the game-logic tick and the physics pass run in turn on the calling
// thread, so that a run is the same every time.

#include "BuildingTestSupport.h"
#include "EnemyTestSupport.h"

#include "Engine/Camera/Random.h"
#include "Engine/Engine.h"
#include "Engine/Physics/Pacing.h"
#include "Engine/Physics/PhysicsWorld.h"
#include "Engine/Physics/Registry.h"
#include "Engine/Physics/Simulation.h"
#include "Game/Enemies/EnemyManager.h"
#include "Game/Enemies/EnemySpawner.h"
#include "Game/Navigation/PathField.h"
#include "Game/Session/BuildingManager.h"
#include "Game/Session/GameLogic.h"
#include "Game/Session/GameSession.h"
#include "World/Terrain/CollisionMesh.h"
#include "World/Terrain/TerrainGrid.h"
#include "World/Terrain/TerrainPhysics.h"

#include <BulletCollision/CollisionShapes/btBvhTriangleMeshShape.h>
#include <BulletCollision/CollisionShapes/btTriangleMesh.h>

#include <atomic>
#include <memory>
#include <vector>

class IslandGame {
public:
    // The walk measures the way, not the fight: the castle stands however often it is
    // hit.
    static constexpr i32 UnbreakableCastle = 1'000'000'000;

    TestKinds buildingKinds; // the castle's and the portals' footprints, without models
    TestEnemyKinds enemyKinds;
    TerrainGrid grid{TerrainGridRules::ChunkSize, TerrainGridRules::ChunksPerSide};
    PhysicsWorld engineWorld;
    PhysicsWorld queryWorld;
    WorldPhysics physics;
    GameSession session;
    Random random;
    std::unique_ptr<EnemyManager> enemies;
    std::unique_ptr<BuildingManager> buildings;
    std::atomic<u32> speed{1};
    GameLogic logic{nullptr, speed};
    SimulationState simulation;
    std::shared_ptr<BuildingInstance> castle;
    std::vector<PortalSite> portals;
    u64 ticks = 0;

    // The island of `seed`, generated on `threads` threads (0: all; the grid is the
    // same for any number).
    IslandGame(i32 seed, u32 threads) : random(seed)
    {
        savedRandom = Engine::random;
        Engine::random = &random;
        buildingKinds[BuildingTypeCastle].config.levels[0].maxHealth = UnbreakableCastle;

        grid.threadCount = threads;
        grid.generateGrid(seed);
        mesh = new btTriangleMesh(true, true);
        fillCollisionMesh(grid, *mesh);
        shape = buildCollisionShape(mesh, threads, &grid);
        engineWorld.init(EngineWorldGravity);
        queryWorld.init(QueryWorldGravity);
        physics.world = &queryWorld;
        terrainBodies = createTerrainBodies(shape, &grid, &queryWorld, physics.mutex);

        EnemyContext enemyContext;
        enemyContext.ground = {grid.origin, grid.gridSize, grid.steps.data()};
        enemyContext.session = &session;
        enemyContext.random = &random;
        enemies = std::make_unique<EnemyManager>(enemyContext);
        enemies->pathField = new PathField(grid.heights, grid.gridSize, false);

        BuildingContext context;
        context.origin = grid.origin;
        context.gridWidth = grid.gridSize - 1;
        context.physics = &physics;
        context.terrain = &grid;
        context.navigation = enemies.get();
        context.session = &session;
        context.enemies = {&enemies->buckets.buckets, enemies->buckets.width};
        buildings = std::make_unique<BuildingManager>(context);
        logic.buildings = buildings.get();
        logic.enemies = enemies.get();
        logic.session = &session;

        // As a new game: the castle near the centre, then the four portals; the first
        // tick spawns them, and the castle's footprint becomes the field's goal.
        castle = buildings->placeCastle();
        buildings->placeStartPortals();
        tick();
        enemies->pathField->solveUntilIdle();
        EnemySpawner spawner{enemies.get(), buildingTypes[BuildingTypePortal]};
        portals = spawner.portalSites();
    }

    ~IslandGame()
    {
        enemies->destroyAll();
        buildings->destroyAll();
        destroyTerrainBodies(terrainBodies, shape, mesh, &queryWorld, physics.mutex);
        Simulation::releaseRemaining(engineWorld);
        buildings.reset();
        enemies.reset();
        Engine::random = savedRandom;
    }
    IslandGame(const IslandGame&) = delete;
    IslandGame& operator=(const IslandGame&) = delete;

    // One tick of game time as the two threads run it at game speed 1: the game-logic
    // tick (wave step, buildings, queued enemies, enemy updates), then one physics step
    // with every enemy's steering before it and the contact callbacks after it.
    void tick()
    {
        logic.runTick();
        simulation.dueTicks = 1;
        simulation.gameSpeed = speed.load();
        Simulation::runPass(simulation, engineWorld, TickSeconds);
        ticks++;
    }

    f32 seconds() const { return static_cast<f32>(ticks) * TickSeconds; }

private:
    Random* savedRandom = nullptr;
    btTriangleMesh* mesh = nullptr;
    btBvhTriangleMeshShape* shape = nullptr;
    TerrainBodies terrainBodies;
};

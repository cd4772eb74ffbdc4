#pragma once

// Buildings without a GPU, for unit tests and benchmarks: kinds with the game's
// footprints and levels but no models, installed in buildingTypes for the time of a
// test, and the world around a building manager (query physics world, culling grid,
// navigation recorder, session, a flat terrain).

#include "Engine/Camera/Random.h"
#include "Engine/Engine.h"
#include "Engine/Physics/PhysicsWorld.h"
#include "Engine/Physics/Simulation.h"
#include "Game/Buildings/BdCastleInstance.h"
#include "Game/Buildings/BdPortalInstance.h"
#include "Game/Buildings/BdWallInstance.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "Game/Navigation/NavigationInputs.h"
#include "Game/Session/BuildingManager.h"
#include "Game/Session/GameSession.h"
#include "World/Culling/CullingGrid.h"
#include "World/Terrain/TerrainGrid.h"
#include "World/World.h"

#include <btBulletCollisionCommon.h>

#include <array>
#include <memory>

// A kind with a footprint and levels and the box every kind makes from them.
class TestKind : public Building {
public:
    TestKind(u32 index, glm::ivec3 gridSize, std::vector<BuildingLevel> levels) : Building(index)
    {
        config.name = "Test kind " + std::to_string(index);
        config.gridSize = gridSize;
        config.levels = std::move(levels);
        inToolBar = index != BuildingTypeCastle && index != BuildingTypePortal;
        if (index != BuildingTypePortal) {
            shape = new btBoxShape(btVector3(gridSize.x * 0.5f, gridSize.y * 0.2f, gridSize.z * 0.5f));
        }
    }
    void loadConfig() override {}
    // Walls, castles and portals as the game makes them (without meshes); the towers
    // make nothing yet.
    std::shared_ptr<BuildingInstance> createInstance(const glm::ivec3& gridPos, f32 rotation) override
    {
        switch (typeIndex) {
        case BuildingTypeWall: return std::make_shared<BdWallInstance>(this, gridPos, nullptr);
        case BuildingTypeCastle: return std::make_shared<BdCastleInstance>(this, gridPos, nullptr);
        case BuildingTypePortal: return std::make_shared<BdPortalInstance>(this, gridPos, rotation, nullptr);
        default: return nullptr;
        }
    }
};

// The five kinds in buildingTypes (the game's sizes and costs) while it lives.
class TestKinds {
public:
    std::array<std::unique_ptr<TestKind>, BuildingTypeCount> kinds;

    TestKinds()
    {
        const std::vector<BuildingLevel> wallLevels = {{100, 300}, {150, 600}, {250, 1200}};
        const std::vector<BuildingLevel> towerLevels = {{500, 400}, {700, 700}};
        kinds[BuildingTypeWall] = std::make_unique<TestKind>(BuildingTypeWall, glm::ivec3(2, 5, 1), wallLevels);
        kinds[BuildingTypeCannon] = std::make_unique<TestKind>(BuildingTypeCannon, glm::ivec3(2, 5, 2), towerLevels);
        kinds[BuildingTypeMortar] = std::make_unique<TestKind>(BuildingTypeMortar, glm::ivec3(2, 5, 2), towerLevels);
        kinds[BuildingTypeCastle] =
            std::make_unique<TestKind>(BuildingTypeCastle, glm::ivec3(8, 5, 8), std::vector<BuildingLevel>{{2500, 5000}});
        kinds[BuildingTypePortal] =
            std::make_unique<TestKind>(BuildingTypePortal, glm::ivec3(6, 16, 6), std::vector<BuildingLevel>{{0, 1000}});
        for (u32 i = 0; i < BuildingTypeCount; i++) {
            saved[i] = buildingTypes[i];
            buildingTypes[i] = kinds[i].get();
        }
    }
    ~TestKinds()
    {
        for (u32 i = 0; i < BuildingTypeCount; i++) buildingTypes[i] = saved[i];
    }
    TestKinds(const TestKinds&) = delete;
    TestKinds& operator=(const TestKinds&) = delete;

    TestKind& operator[](u32 index) { return *kinds[index]; }

private:
    Building* saved[BuildingTypeCount] = {};
};

// A building manager on the game's 1024-cell grid with origin (-512, 0, -512), over a
// flat terrain of 1025 points, and everything its buildings reach. The teardown
// destroys what stands and deletes the physics objects as a stopped simulation
// thread would leave them.
class BuildingGrounds {
public:
    TestKinds kinds;
    PhysicsWorld queryWorld;
    WorldPhysics physics;
    CullingGrid culling{{-512.0f, -512.0f}, {32.0f, 32.0f}, {32, 32}};
    NavigationRecorder navigation;
    GameSession session;
    TerrainGrid terrain{64, 16};
    Random random{7};
    std::unique_ptr<BuildingManager> manager;

    BuildingGrounds()
    {
        queryWorld.init(QueryWorldGravity);
        physics.world = &queryWorld;
        savedRandom = Engine::random;
        Engine::random = &random;
        BuildingContext context;
        context.origin = glm::vec3(-512.0f, 0.0f, -512.0f);
        context.gridWidth = 1024;
        context.physics = &physics;
        context.cullingGrid = &culling;
        context.terrain = &terrain;
        context.navigation = &navigation;
        context.session = &session;
        manager = std::make_unique<BuildingManager>(context);
    }
    ~BuildingGrounds()
    {
        manager->destroyAll();
        PhysicsWorld engineWorld;
        engineWorld.init(EngineWorldGravity);
        Simulation::releaseRemaining(engineWorld);
        manager.reset();
        Engine::random = savedRandom;
        physics.world = nullptr;
    }
    BuildingGrounds(const BuildingGrounds&) = delete;
    BuildingGrounds& operator=(const BuildingGrounds&) = delete;

    // A new instance of `kind` at `gridPos`, queued and occupying its cells.
    std::shared_ptr<BuildingInstance> place(u32 kind, glm::ivec3 gridPos, f32 rotation = 0.0f)
    {
        std::shared_ptr<BuildingInstance> instance = kinds[kind].createInstance(gridPos, rotation);
        return manager->place(instance) ? instance : nullptr;
    }

private:
    Random* savedRandom = nullptr;
};

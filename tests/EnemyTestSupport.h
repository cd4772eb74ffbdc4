#pragma once

// Enemies without a GPU, for unit tests and benchmarks: the two enemy kinds (no
// meshes) installed in enemyTypes for the time of a test, and an enemy manager over a
// flat ground with everything its enemies reach (session, culling grid, random source).

#include "Engine/Camera/Random.h"
#include "Engine/Physics/PhysicsObjectShared.h"
#include "Engine/Physics/PhysicsWorld.h"
#include "Engine/Physics/Registry.h"
#include "Engine/Physics/Simulation.h"
#include "Game/Enemies/EnBase.h"
#include "Game/Enemies/EnBaseInstance.h"
#include "Game/Enemies/EnHeavy.h"
#include "Game/Enemies/EnHeavyInstance.h"
#include "Game/Enemies/EnemyManager.h"
#include "Game/Session/GameSession.h"
#include "World/Culling/CullingGrid.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

// Both enemy kinds in enemyTypes while it lives.
class TestEnemyKinds {
public:
    TestEnemyKinds()
    {
        saved[0] = enemyTypes[0];
        saved[1] = enemyTypes[1];
        normal = std::make_unique<EnBase>();
        heavy = std::make_unique<EnHeavy>();
    }
    ~TestEnemyKinds()
    {
        normal.reset();
        heavy.reset();
        enemyTypes[0] = saved[0];
        enemyTypes[1] = saved[1];
    }
    TestEnemyKinds(const TestEnemyKinds&) = delete;
    TestEnemyKinds& operator=(const TestEnemyKinds&) = delete;

    std::unique_ptr<EnBase> normal;
    std::unique_ptr<EnHeavy> heavy;

private:
    Enemy* saved[2] = {};
};

// Takes the enemies' physics objects out of the registry's pending lists and deletes
// them, as a stopped simulation thread would, leaving other objects (buildings') where
// they are.
inline void releaseEnemyBodies()
{
    std::vector<PhysicsObject*> enemies;
    {
        std::lock_guard lock(registryMutex);
        for (std::vector<PhysicsObject*>* list : {&Registry::pendingAdd, &Registry::pendingRemove}) {
            std::vector<PhysicsObject*> kept;
            for (PhysicsObject* object : *list) {
                (dynamic_cast<PhysicsObjectShared<EnemyInstance>*>(object) != nullptr ? enemies : kept)
                    .push_back(object);
            }
            *list = std::move(kept);
        }
    }
    std::sort(enemies.begin(), enemies.end());
    enemies.erase(std::unique(enemies.begin(), enemies.end()), enemies.end());
    for (PhysicsObject* object : enemies) delete object;
}

// An enemy manager over a flat ground of `gridSize` vertices a side at step
// `groundStep`, origin (-(n-1)/2, 0, -(n-1)/2), with a session, a culling grid and its
// own random source. The teardown destroys what is left and deletes the physics
// objects as a stopped simulation thread leaves them.
class EnemyGrounds {
public:
    TestEnemyKinds kinds;
    u32 gridSize;
    std::vector<i32> steps;
    GameSession session;
    Random random{11};
    CullingGrid culling;
    std::unique_ptr<EnemyManager> manager;

    explicit EnemyGrounds(u32 n = 129, i32 groundStep = 0)
        : gridSize(n), steps(static_cast<size_t>(n) * n, groundStep),
          culling({origin().x, origin().z}, {32.0f, 32.0f}, {(n + 31) / 32, (n + 31) / 32})
    {
        EnemyContext context;
        context.ground = {origin(), gridSize, steps.data()};
        context.cullingGrid = &culling;
        context.session = &session;
        context.random = &random;
        manager = std::make_unique<EnemyManager>(context);
    }
    ~EnemyGrounds()
    {
        manager->destroyAll();
        releaseEnemyBodies();
        manager.reset();
    }
    EnemyGrounds(const EnemyGrounds&) = delete;
    EnemyGrounds& operator=(const EnemyGrounds&) = delete;

    glm::vec3 origin() const
    {
        const f32 half = static_cast<f32>(gridSize - 1) * -0.5f;
        return {half, 0.0f, half};
    }

    // A spawned enemy of kind `heavy` or normal at `position` (its body only queued
    // with the registry).
    std::shared_ptr<EnemyInstance> spawn(glm::vec3 position, bool heavy = false)
    {
        manager->enqueue(heavy ? std::unique_ptr<EnemyInstance>(std::make_unique<EnHeavyInstance>(position))
                               : std::unique_ptr<EnemyInstance>(std::make_unique<EnBaseInstance>(position)));
        manager->spawnPending();
        Enemy* kind = enemyTypes[heavy ? 1 : 0];
        return kind->instances.back();
    }

    i32 money() const { return session.money->load(); }
};

// The physics objects handed to the simulation thread for removal so far.
inline std::vector<PhysicsObject*> pendingRemovals()
{
    std::lock_guard lock(registryMutex);
    return Registry::pendingRemove;
}

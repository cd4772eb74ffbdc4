#pragma once

// A game without a GPU for threaded tests and benchmarks: towers on the flat grounds
// of TowerGrounds, the enemies of EnemyGrounds on the same grid, a ground body in an
// engine physics world stepped by a simulation thread, and the game-logic thread; the
// test's thread is the main thread, which paces both and walks what the draws and
// health bars walk.

#include "EnemyTestSupport.h"
#include "TowerTestSupport.h"

#include "Engine/Physics/PhysicsObject.h"
#include "Engine/Physics/PhysicsReference.h"
#include "Engine/Physics/PhysicsWorld.h"
#include "Engine/Physics/Registry.h"
#include "Engine/Physics/Simulation.h"
#include "Game/Enemies/EnemyInstance.h"
#include "Game/Session/GameLogic.h"
#include "Game/Session/GameTeardown.h"
#include "Game/Session/SnapshotBlend.h"
#include "World/Culling/BoundingAABB.h"

#include <btBulletDynamicsCommon.h>

#include <thread>
#include <vector>

class BattleGrounds {
public:
    static constexpr f32 TickSeconds = 1.0f / 60.0f;

    TowerGrounds towers;
    EnemyGrounds enemies{1025};
    PhysicsWorld engineWorld;
    btBoxShape groundShape{btVector3(600.0f, 1.0f, 600.0f)};
    GameLogic logic{towers.grounds.manager.get(), Simulation::state.gameSpeed};
    std::thread physics;
    bool ended = false;

    // The ground's top at height 0, terrain for the bombs; game speed `speed`. Without
    // `startLogic` the caller runs the ticks itself (GameLogic::runTick).
    explicit BattleGrounds(u32 speed = 1, bool startLogic = true)
    {
        BuildingManager& buildings = towers.manager();
        buildings.context.enemies = {&enemies.manager->buckets.buckets, enemies.manager->buckets.width};
        buildings.context.gameLogic = &logic;
        logic.enemies = enemies.manager.get();
        engineWorld.init(EngineWorldGravity);
        PhysicsObjectDesc desc;
        desc.useGroupMask = 1;
        desc.group = 64;
        desc.mask = -1;
        btTransform at;
        at.setIdentity();
        at.setOrigin(btVector3(0.0f, -1.0f, 0.0f));
        ground = new PhysicsObject(&groundShape, at, desc);
        ground->setReference(new PhysicsReference(64, nullptr, nullptr, 0, nullptr));
        Registry::addPhysicsObject(ground);
        Simulation::state.gameSpeed = speed;
        physics = std::thread([this] { Simulation::runWorker(Simulation::state, engineWorld, TickSeconds); });
        if (startLogic) logic.start();
    }

    ~BattleGrounds()
    {
        end();
        Simulation::stopWorker(Simulation::state, physics);
        Simulation::releaseRemaining(engineWorld);
        Simulation::state.gameSpeed = 1;
    }
    BattleGrounds(const BattleGrounds&) = delete;
    BattleGrounds& operator=(const BattleGrounds&) = delete;

    // The game's teardown: logic thread stopped, physics paused, everything destroyed,
    // the physics thread paced until the live counters are 0. The ground body goes
    // with it.
    void end()
    {
        if (ended) return;
        ended = true;
        GameParts parts;
        parts.logic = &logic;
        parts.buildings = towers.grounds.manager.get();
        parts.enemies = enemies.manager.get();
        parts.simulation = &Simulation::state;
        endGame(parts, [] { Simulation::frameTick(Simulation::state, 16.0f); });
        Registry::removePhysicsObject(ground);
    }

    // A tower of `kind` with its footprint's corner at cell (x, z), queued.
    std::shared_ptr<BuildingInstance> placeTower(u32 kind, i32 x, i32 z)
    {
        std::shared_ptr<BuildingInstance> made = buildingTypes[kind]->createInstance({x, 0, z}, 0.0f);
        return towers.manager().place(made) ? made : nullptr;
    }
    // An enemy at `position` (world space) queued for the logic thread.
    void queueEnemy(const glm::vec3& position, bool heavy = false)
    {
        enemies.manager->enqueue(heavy ? std::unique_ptr<EnemyInstance>(std::make_unique<EnHeavyInstance>(position))
                                       : std::unique_ptr<EnemyInstance>(std::make_unique<EnBaseInstance>(position)));
    }

    // One frame of the main thread: pacing of both threads, then the walks of the
    // draws and health bars. Returns what the walks found drawable.
    struct Drawn {
        u32 towerParts = 0, projectiles = 0, puffs = 0, enemies = 0, bars = 0;
    };
    // Hands the physics thread one frame of `ms` and waits until it has published the
    // batch (for callers that run the logic ticks themselves).
    void stepPhysics(f32 ms)
    {
        Simulation::frameTick(Simulation::state, ms);
        while (Simulation::state.stateIndex.load() == Simulation::state.acknowledgedIndex.load()) {
            std::this_thread::yield();
        }
    }

    Drawn frame(f32 ms)
    {
        Simulation::frameTick(Simulation::state, ms);
        logic.feed(ms);
        return walkDraws();
    }

    Drawn walkDraws()
    {
        Drawn drawn;
        // The slots the last frame's rewrites gave up are free again (a frame's GPU
        // work is done when the next one records).
        towers.pool.returnPendingFrees();
        const u32 slot = logic.consumedSnapshot.load();
        const Simulation::RenderState view = Simulation::renderState();
        const glm::vec3 camera(0.0f, 30.0f, 0.0f);
        CullingGrid& grid = towers.grounds.culling;
        grid.reset();
        enemies.culling.reset();
        for (Building* kind : buildingTypes) {
            std::lock_guard lock(kind->instancesMutex);
            for (size_t i = kind->instances.size(); i-- > 0;) {
                kind->instances[i]->interpolateSnapshot(slot);
                drawn.towerParts += static_cast<u32>(kind->instances[i]->getRenderObjects().size());
                glm::vec3 point;
                f32 fraction = 0.0f;
                drawn.bars += kind->instances[i]->getHealthBar(camera, point, fraction) ? 1u : 0u;
            }
        }
        for (Building* kind : buildingTypes) kind->updateAllBounds();
        towers.shots.smoke.updateAllBounds(grid, slot);
        for (Projectile* kind : projectileTypes) kind->updateAllBounds(grid);
        for (Enemy* kind : enemyTypes) kind->updateAllBounds(enemies.culling, view);
        grid.markAllVisible();
        enemies.culling.markAllVisible();

        for (Projectile* kind : projectileTypes) {
            std::lock_guard lock(kind->mutex);
            scratch.resize(std::max<size_t>(kind->instances.size(), 1) * 64);
            drawn.projectiles += kind->writeMatrices(view, scratch.data(), static_cast<u32>(kind->instances.size()));
        }
        {
            PcSmoke& smoke = towers.shots.smoke;
            std::lock_guard lock(smoke.mutex);
            scratch.resize(std::max<size_t>(smoke.instances.size(), 1) * sizeof(SmokeRecord));
            drawn.puffs += smoke.writeRecords(SnapshotBlend{slot, logic.interpolationAlpha()}, scratch.data(),
                                              static_cast<u32>(smoke.instances.size()));
        }
        for (Enemy* kind : enemyTypes) {
            std::lock_guard lock(kind->mutex);
            matrices.resize(std::max<size_t>(kind->instances.size(), 1));
            drawn.enemies += kind->writeMatrices(matrices.data(), static_cast<u32>(kind->instances.size()), view);
            for (const std::shared_ptr<EnemyInstance>& enemy : kind->instances) {
                glm::vec3 point;
                f32 fraction = 0.0f;
                drawn.bars += enemy->getHealthBar(camera, view, point, fraction) ? 1u : 0u;
            }
        }
        return drawn;
    }

    size_t liveEnemies() const
    {
        size_t count = 0;
        for (Enemy* kind : enemyTypes) {
            std::lock_guard lock(kind->mutex);
            count += kind->instances.size();
        }
        return count;
    }

private:
    PhysicsObject* ground = nullptr;
    std::vector<u8> scratch;
    std::vector<glm::mat4> matrices;
};

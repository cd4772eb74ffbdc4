#include "BuildingTestSupport.h"

#include "Engine/Physics/Pacing.h"
#include "Engine/Physics/Simulation.h"
#include "Game/Session/GameLogic.h"
#include "World/WorldRules.h"

#include <btBulletDynamicsCommon.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

namespace {

template <typename F> bool waitFor(F&& done, std::chrono::milliseconds limit = std::chrono::seconds(20))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

// The thread has run its grant and published: it waits for the next hand-over.
bool published(const GameLogic& logic)
{
    return logic.producedSnapshot.load() != logic.consumedSnapshot.load();
}

} // namespace

// Game time follows real time: every granted tick runs once, none twice, also when
// frames come while the thread is at a batch; the thread stops from either wait.
TEST(GameLogicThreaded, EveryGrantedTickRunsOnceAndStopEndsEitherWait)
{
    BuildingGrounds grounds;
    std::atomic<u32> speed{1};
    {
        GameLogic logic(grounds.manager.get(), speed);
        logic.start();
        ASSERT_TRUE(waitFor([&] { return logic.ticksRun.load() == 1; })) << "the first batch runs at once";

        // Frames that always find the thread ready: the grants are what the tick
        // arithmetic gives for ready hand-overs.
        LogicTickFeed model;
        std::mt19937 random(3);
        std::uniform_real_distribution<f32> frameMs(1.0f, 90.0f);
        u64 expected = 0;
        for (int frame = 0; frame < 150; frame++) {
            ASSERT_TRUE(waitFor([&] { return published(logic); }));
            const f32 ms = frameMs(random);
            model.produced = model.consumed + 1;
            const u32 before = model.consumed;
            if (feedLogicTicks(model, ms) && model.consumed != before) expected += model.ticksDue;
            logic.feed(ms);
        }
        ASSERT_TRUE(waitFor([&] { return published(logic) || logic.ticksDue.load() == 0; }));
        EXPECT_EQ(logic.ticksGranted.load(), expected);
        ASSERT_TRUE(waitFor([&] { return logic.ticksRun.load() == 1 + expected; }));

        // Frames that do not wait: the thread is often behind, and nothing is run twice.
        for (int frame = 0; frame < 300; frame++) {
            logic.feed(frameMs(random));
            if (frame % 7 == 0) std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
        ASSERT_TRUE(waitFor([&] { return logic.ticksRun.load() == 1 + logic.ticksGranted.load(); }));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(logic.ticksRun.load(), 1 + logic.ticksGranted.load());

        // It waits for a grant now (or for the hand-over of its snapshot): both end.
        logic.stopThread();
        EXPECT_FALSE(logic.thread.joinable());
    }
    // Stopped while it waits for the first hand-over.
    GameLogic waiting(grounds.manager.get(), speed);
    waiting.start();
    ASSERT_TRUE(waitFor([&] { return waiting.ticksRun.load() == 1; }));
    waiting.stopThread();
    EXPECT_EQ(waiting.producedSnapshot.load(), 1u) << "no snapshot after a stop";
}

// The game-logic thread spawns and destroys buildings while two threads mark them (an
// enemy's damage, a sale), the main thread places walls and walks the lists, and the
// physics thread takes the bodies; then the teardown. Every building is destroyed once
// and let go.
TEST(BuildingsThreaded, SpawnsDestroysFromTwoThreadsListWalksAndTeardown)
{
    const i32 liveBefore = liveBuildingCount.load();
    {
        BuildingGrounds grounds;
        SimulationState simulation;
        PhysicsWorld engineWorld;
        engineWorld.init(EngineWorldGravity);
        std::thread physics([&] { Simulation::runWorker(simulation, engineWorld, TickSeconds); });
        std::atomic<u32> speed{1};
        GameLogic logic(grounds.manager.get(), speed);
        logic.start();

        // A castle, then walls on a 40 x 40 patch beside it (neighbours share vertices).
        ASSERT_NE(grounds.place(BuildingTypeCastle, {100, 0, 100}), nullptr);
        std::atomic<bool> running{true};
        auto marker = [&](bool damages, unsigned seed) {
            std::mt19937 random(seed);
            while (running) {
                for (u32 kind : {BuildingTypeWall, BuildingTypeCastle}) {
                    std::shared_ptr<BuildingInstance> target;
                    {
                        Building& list = grounds.kinds[kind];
                        std::lock_guard lock(list.instancesMutex);
                        if (!list.instances.empty()) target = list.instances[random() % list.instances.size()];
                    }
                    if (target == nullptr) continue;
                    if (damages) {
                        target->applyDamage(kind == BuildingTypeCastle ? 7 : 90);
                    } else if (random() % 3 == 0 && kind == BuildingTypeWall) {
                        target->requestDestroy();
                    }
                }
                std::this_thread::yield();
            }
        };
        std::thread damager(marker, true, 1u);
        std::thread seller(marker, false, 2u);

        std::mt19937 random(5);
        u32 placed = 1;
        const glm::vec3 eye(-400.0f, 5.0f, -400.0f);
        for (int frame = 0; frame < 250; frame++) {
            for (int i = 0; i < 3; i++) {
                const glm::ivec3 at(120 + static_cast<i32>(random() % 40), 0, 100 + static_cast<i32>(random() % 40));
                if (grounds.place(BuildingTypeWall, at) != nullptr) placed++;
            }
            if (frame == 120) speed = 0; // paused: marked buildings still go
            if (frame == 170) speed = 4;
            logic.feed(17.0f);
            Simulation::frameTick(simulation, 17.0f);
            // The main thread's walks: snapshots, bounds, health bars.
            grounds.culling.reset();
            for (Building* kind : buildingTypes) {
                kind->updateAllBounds();
                std::lock_guard lock(kind->instancesMutex);
                for (const std::shared_ptr<BuildingInstance>& instance : kind->instances) {
                    instance->interpolateSnapshot(logic.consumedSnapshot.load());
                    glm::vec3 point;
                    f32 fraction = 0.0f;
                    if (instance->getHealthBar(eye, point, fraction)) {
                        EXPECT_GE(fraction, 0.0f);
                        EXPECT_LT(fraction, 1.0f);
                    }
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        // On a busy machine the damaging thread may have had too little of those
        // frames' time to bring the castle down: frames go on, and it goes on
        // damaging, until the castle falls.
        EXPECT_TRUE(waitFor([&] {
            logic.feed(17.0f);
            Simulation::frameTick(simulation, 17.0f);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return grounds.session.state.load() == static_cast<u32>(SessionLost);
        })) << "the castle never fell to the damage";
        running = false;
        damager.join();
        seller.join();

        // The teardown: the logic thread first, then every building, then the physics
        // thread lets go of them.
        logic.stopThread();
        grounds.manager->destroyAll();
        for (Building* kind : buildingTypes) EXPECT_TRUE(kind->instances.empty());
        EXPECT_TRUE(waitFor([&] {
            Simulation::frameTick(simulation, 17.0f);
            return liveBuildingCount.load() == liveBefore;
        })) << liveBuildingCount.load() - liveBefore << " buildings left";
        Simulation::stopWorker(simulation, physics);
        Simulation::releaseRemaining(engineWorld);

        // Each spawned building gave its footprint back exactly once (a full-size
        // 999999 request each); the ones that never spawned gave nothing.
        u32 spawned = 0;
        u32 cleared = 0;
        for (const NavigationRequest& request : grounds.navigation.takeCellValues()) {
            if (request.gridSize == glm::ivec3(0)) continue;
            if (request.value == 0.0f) spawned++; // the castle
            if (request.value == 999999.0f) cleared++;
        }
        for (const NavigationRequest& request : grounds.navigation.takeFixedCosts()) {
            if (request.gridSize != glm::ivec3(0) && request.value == 30.0f) spawned++;
        }
        EXPECT_EQ(cleared, spawned);
        EXPECT_GT(spawned, 20u);
        EXPECT_LE(spawned, placed);
        EXPECT_EQ(grounds.session.state.load(), static_cast<u32>(SessionLost)) << "the castle fell to the damage";
        EXPECT_EQ(grounds.queryWorld.world->getNumCollisionObjects(), 0);
    }
    EXPECT_EQ(liveBuildingCount.load(), liveBefore);
}

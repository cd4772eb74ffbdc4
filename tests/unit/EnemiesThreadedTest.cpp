#include "BuildingTestSupport.h"
#include "EnemyTestSupport.h"

#include "Engine/Physics/CollisionType.h"
#include "Engine/Physics/Pacing.h"
#include "Engine/Physics/Simulation.h"
#include "Game/Session/Economy.h"
#include "Game/Session/GameLogic.h"
#include "Game/Session/GameTeardown.h"
#include "Game/Session/SessionRules.h"
#include "Game/Session/Waves.h"

#include <btBulletDynamicsCommon.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <thread>
#include <vector>

namespace {

// Starts `count` threads running `body(index)` together and waits for them.
template <typename Body> void together(int count, Body&& body)
{
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < count; t++) {
        threads.emplace_back([&, t] {
            ready++;
            while (ready.load() < count) std::this_thread::yield();
            body(t);
        });
    }
    for (std::thread& thread : threads) thread.join();
}

} // namespace

TEST(EnemiesThreaded, OneEnemyKilledOnTwoThreadsPaysOnce)
{
    EnemyGrounds grounds;
    const glm::vec3 o = grounds.origin();
    std::vector<std::shared_ptr<EnemyInstance>> enemies;
    for (int i = 0; i < 200; i++) {
        enemies.push_back(grounds.spawn(o + glm::vec3(10.0f + (i % 50), 1.0f, 10.0f + i / 50), i % 10 == 0));
    }
    grounds.manager->update();
    const i32 start = grounds.money();

    // Two threads (the simulation thread's cannonballs, the logic thread's blasts) deal
    // the killing blow to every enemy at once, while the logic thread's updates destroy
    // what is marked: each enemy is marked once, destroyed once and paid for once.
    std::atomic<int> kills{0};
    std::atomic<int> hitting{2};
    together(3, [&](int t) {
        if (t < 2) {
            for (const auto& enemy : enemies) kills += enemy->applyDamage(5000) ? 1 : 0;
            hitting--;
        } else {
            while (hitting.load() > 0) grounds.manager->update();
            grounds.manager->update();
        }
    });
    EXPECT_EQ(kills.load(), 200);
    for (const auto& enemy : enemies) EXPECT_TRUE(enemy->destroyed.load());
    EXPECT_EQ(grounds.money(), start + 180 * 200 + 20 * 2500);
    EXPECT_TRUE(grounds.kinds.normal->instances.empty());
    EXPECT_TRUE(grounds.kinds.heavy->instances.empty());
    EXPECT_EQ(grounds.manager->buckets.count(), 0u);
    EXPECT_EQ(pendingRemovals().size(), 200u);
}

TEST(EconomyThreaded, RewardsAndSellsOnDifferentThreadsLeaveExactMoney)
{
    BuildingGrounds buildings;
    EnemyGrounds grounds;
    // The enemies pay into the buildings' session too: one purse.
    grounds.manager->context.session = &buildings.session;
    std::atomic<i32>& money = *buildings.session.money;
    std::vector<std::shared_ptr<BuildingInstance>> walls;
    for (int i = 0; i < 100; i++) walls.push_back(buildings.place(BuildingTypeWall, {10 + 3 * i, 0, 10}));
    buildings.manager->update(0);
    for (int i = 0; i < 50; i++) walls[static_cast<size_t>(i)]->health = 1; // damaged: 80 each
    std::vector<std::shared_ptr<EnemyInstance>> enemies;
    for (int i = 0; i < 300; i++) enemies.push_back(grounds.spawn(grounds.origin() + glm::vec3(10.0f, 1.0f, 10.0f)));

    // Kills pay on one thread while two others sell the same walls: each wall pays
    // once, 80 when damaged and 100 when not.
    together(3, [&](int t) {
        if (t == 0) {
            for (const auto& enemy : enemies) enemy->destroy();
        } else {
            for (const auto& wall : walls) Economy::sell(*wall, money);
        }
    });
    for (const auto& wall : walls) EXPECT_TRUE(wall->destroyPending.load());
    EXPECT_EQ(money.load(), 5000 + 300 * 200 + 50 * 80 + 50 * 100);
}

TEST(WavesThreaded, StartWaveNeverArmsTheCountsOfTheWaveThatEnded)
{
    GameSession session;
    WaveState& wave = *session.waveState;
    std::atomic<i32> alive{0};
    std::atomic<bool> done{false};
    // Enemies released per wave number (logic thread only until it is joined).
    std::map<i32, i32> released;
    const Waves::SpawnOne spawnOne = [&](WaveState& w) {
        (w.heavyLeft.load() >= 1 ? w.heavyLeft : w.normalLeft).fetch_sub(1);
        released[w.wave.load()]++;
        return true;
    };

    // The logic side steps the waves while the main thread presses "Start wave" as
    // fast as it can: every wave releases its own count, never the last one's.
    std::thread logic([&] {
        while (wave.wave.load() <= 30) Waves::step(wave, session.state, alive, spawnOne);
        done = true;
    });
    while (!done.load()) session.startWave();
    logic.join();
    for (i32 number = 1; number <= 30; number++) {
        const WaveCounts expected = waveCounts(number);
        EXPECT_EQ(released[number], expected.normalCount + expected.heavyCount) << "wave " << number;
    }
    EXPECT_EQ(session.state.load(), static_cast<u32>(SessionWon));
}

TEST(GameThreaded, StopAndTeardownMidBatch)
{
    BuildingGrounds buildings;
    EnemyGrounds grounds(1025, 0);
    SimulationState simulation;
    simulation.gameSpeed = 4;
    PhysicsWorld engine;
    engine.init(EngineWorldGravity);
    btStaticPlaneShape plane(btVector3(0, 1, 0), 0);
    btRigidBody ground(btRigidBody::btRigidBodyConstructionInfo(0.0f, nullptr, &plane));
    engine.world->addRigidBody(&ground, CollisionTerrain, -1);
    std::thread physics([&] { Simulation::runWorker(simulation, engine, TickSeconds); });

    // A castle, walls and four portals; a wave of 320 enemies at four times the speed.
    ASSERT_NE(buildings.place(BuildingTypeCastle, {508, 0, 508}), nullptr);
    std::vector<std::shared_ptr<BuildingInstance>> walls;
    for (int i = 0; i < 20; i++) walls.push_back(buildings.place(BuildingTypeWall, {480 + 3 * i, 0, 470}));
    for (const glm::ivec3 site : {glm::ivec3(300, 0, 500), glm::ivec3(700, 0, 500), glm::ivec3(500, 0, 300),
                                  glm::ivec3(500, 0, 700)}) {
        ASSERT_NE(buildings.place(BuildingTypePortal, site), nullptr);
    }
    GameSession& session = grounds.session;
    session.waveState->normalCount = 300;
    session.waveState->heavyCount = 20;
    GameLogic logic(buildings.manager.get(), simulation.gameSpeed);
    logic.enemies = grounds.manager.get();
    logic.session = &session;
    logic.start();
    ASSERT_TRUE(session.startWave());

    // The main thread's frames: pacing both threads, the walks of the drawing and the
    // player's sales, until the wave is well under way.
    i32 refunds = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    size_t frame = 0;
    while (std::chrono::steady_clock::now() < until || aliveEnemyCount.load() < 40) {
        Simulation::frameTick(simulation, 16.0f);
        logic.feed(16.0f);
        const Simulation::RenderState view = Simulation::renderState(simulation);
        grounds.manager->updateAllBounds(view);
        for (Enemy* kind : enemyTypes) {
            std::lock_guard lock(kind->mutex);
            for (const auto& enemy : kind->instances) {
                glm::vec3 point;
                f32 fraction = 0.0f;
                enemy->getHealthBar(glm::vec3(0.0f), view, point, fraction);
            }
        }
        if (frame < walls.size()) refunds += Economy::sell(*walls[frame], *session.money) ? 100 : 0;
        frame++;
        std::this_thread::sleep_for(std::chrono::milliseconds(4));
        ASSERT_LT(frame, 5000u) << "the wave never came out";
    }
    ASSERT_GT(aliveEnemyCount.load(), 0);
    const i32 before = session.money->load();
    walls.clear(); // as the world lets go of the tools' selection

    // Leaving mid-wave: the logic thread stops within its batch, the physics thread
    // stops stepping, everything goes without reward and the bodies are let go.
    GameParts parts{&logic, buildings.manager.get(), grounds.manager.get(), &simulation};
    endGame(parts, [&] { Simulation::frameTick(simulation, 16.0f); });
    EXPECT_EQ(aliveEnemyCount.load(), 0);
    EXPECT_EQ(liveBuildingCount.load(), 0);
    EXPECT_EQ(session.money->load(), before) << "no reward in the teardown";
    EXPECT_EQ(session.money->load(), 5000 + refunds) << "no enemy was killed";
    EXPECT_EQ(simulation.gameSpeed.load(), 1u) << "the next game runs at speed 1";
    for (Enemy* kind : enemyTypes) EXPECT_TRUE(kind->instances.empty());
    for (Building* kind : buildingTypes) EXPECT_TRUE(kind->instances.empty());

    Simulation::stopWorker(simulation, physics);
    Simulation::releaseRemaining(engine);
    engine.world->removeRigidBody(&ground);
}

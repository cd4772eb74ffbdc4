#include "EnemyTestSupport.h"
#include "TowerTestSupport.h"

#include "Game/Buildings/BdWallInstance.h"
#include "Game/Particles/PcSmoke.h"
#include "Game/Session/GameLogic.h"
#include "Game/Session/GameSession.h"
#include "Game/Session/Waves.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {

// A wall and an enemy that count what the logic tick does to them.
class CountingWall : public BdWallInstance {
public:
    using BdWallInstance::BdWallInstance;
    std::atomic<int> spawns{0}, updates{0}, snapshots{0};
    void spawn() override
    {
        spawns++;
        BdWallInstance::spawn();
    }
    void update() override
    {
        updates++;
        BdWallInstance::update();
    }
    void storeSnapshot(u32 slot) override
    {
        snapshots++;
        BdWallInstance::storeSnapshot(slot);
    }
};

class CountingEnemy : public EnBaseInstance {
public:
    using EnBaseInstance::EnBaseInstance;
    int spawns = 0, updates = 0;
    void spawn(const std::shared_ptr<EnemyInstance>& self) override
    {
        spawns++;
        EnBaseInstance::spawn(self);
    }
    void update() override
    {
        updates++;
        EnBaseInstance::update();
    }
};

// Flat grounds with buildings, smoke and enemies, and a portal, whose logic ticks the
// test runs itself; then, one tick later, everything the test looks at.
struct TickGrounds {
    TowerGrounds towers;
    EnemyGrounds enemies{1025};
    std::atomic<u32> speed{1};
    GameLogic logic{towers.grounds.manager.get(), speed};
    std::shared_ptr<CountingWall> standing;  // spawned and updated once
    std::shared_ptr<CountingWall> fresh;     // queued
    CountingEnemy* queued = nullptr;         // queued
    std::shared_ptr<EnemyInstance> stunned;  // walking, stunned for 30 ticks
    std::shared_ptr<PcSmokeInstance> puff;   // drifting one unit a tick along x
    WaveState& wave;

    TickGrounds() : wave(*enemies.session.waveState)
    {
        logic.enemies = enemies.manager.get();
        logic.session = &enemies.session;
        towers.grounds.place(BuildingTypePortal, {700, 0, 700});
        standing = wall({100, 0, 100});
        logic.runTick();
        EXPECT_EQ(standing->updates.load(), 1);

        stunned = enemies.spawn({-300.0f, 1.0f, -300.0f});
        stunned->stun = 30.0f;
        fresh = wall({110, 0, 100});
        auto made = std::make_unique<CountingEnemy>(glm::vec3(-400.0f, 1.0f, -400.0f));
        queued = made.get();
        enemies.manager->enqueue(std::move(made));
        SmokePuff drift;
        drift.velocity = {1.0f, 0.0f, 0.0f};
        drift.opacity = 1.0f;
        drift.size = 1.0f;
        puff = PcSmokeInstance::create(drift, &towers.shots.smoke);
        // A wave of 150: a quarter of an enemy owed per wave step.
        wave.normalCount = 150;
        wave.heavyCount = 0;
        Waves::start(wave);
    }

    std::shared_ptr<CountingWall> wall(glm::ivec3 at)
    {
        auto made = std::make_shared<CountingWall>(&towers.grounds.kinds[BuildingTypeWall], at, nullptr);
        EXPECT_TRUE(towers.manager().place(made));
        return made;
    }

    size_t normalEnemies() const { return enemyTypes[0]->instances.size(); }
};

} // namespace

// Paused, a tick spawns what was queued (buildings and enemies) and takes away what
// was sold, but releases no enemy and updates nothing: no building, puff, enemy or wave
// step moves. Snapshots are still published.
TEST(GameLogicTick, PausedItSpawnsTheQueuedAndRemovesTheSoldButUpdatesNothing)
{
    TickGrounds game;
    ASSERT_TRUE(game.standing->requestDestroy()) << "sold";
    const size_t enemiesBefore = game.normalEnemies();
    game.speed = 0;
    game.logic.runTick();

    EXPECT_EQ(game.fresh->spawns.load(), 1);
    EXPECT_EQ(game.fresh->updates.load(), 0);
    EXPECT_TRUE(game.standing->destroyed.load()) << "a sold building still goes";
    EXPECT_EQ(game.standing->updates.load(), 1);
    EXPECT_EQ(game.queued->spawns, 1);
    EXPECT_EQ(game.queued->updates, 0);
    EXPECT_EQ(game.normalEnemies(), enemiesBefore + 1) << "the queued enemy, no new one";
    EXPECT_FLOAT_EQ(game.stunned->stun.load(), 30.0f);
    EXPECT_FLOAT_EQ(game.puff->position.x, 0.0f);
    EXPECT_FLOAT_EQ(game.wave.spawnAccumulator.load(), 0.0f);
    EXPECT_EQ(game.wave.normalLeft.load(), 150);

    // On its own thread, paused, it still publishes snapshots of what stands.
    game.logic.start();
    const u32 first = game.logic.producedSnapshot.load();
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (game.logic.producedSnapshot.load() == first && std::chrono::steady_clock::now() < limit) {
        game.logic.feed(17.0f);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    game.logic.stopThread();
    EXPECT_NE(game.logic.producedSnapshot.load(), first);
    EXPECT_GT(game.fresh->snapshots.load(), 0);
    EXPECT_EQ(game.fresh->updates.load(), 0);
    EXPECT_FLOAT_EQ(game.stunned->stun.load(), 30.0f);
}

// At four times the speed a tick runs four wave steps and four updates of every
// building, puff and enemy, and spawns what is queued once, after the wave steps.
TEST(GameLogicTick, AtFourTimesTheSpeedEveryStepRunsFourTimesAndTheQueuedSpawnOnce)
{
    TickGrounds game;
    const size_t enemiesBefore = game.normalEnemies();
    game.speed = 4;
    game.logic.runTick();

    EXPECT_EQ(game.fresh->spawns.load(), 1);
    EXPECT_EQ(game.fresh->updates.load(), 4);
    EXPECT_EQ(game.standing->updates.load(), 1 + 4);
    EXPECT_EQ(game.queued->spawns, 1);
    EXPECT_EQ(game.queued->updates, 4);
    EXPECT_FLOAT_EQ(game.stunned->stun.load(), 26.0f);
    EXPECT_FLOAT_EQ(game.puff->position.x, 4.0f);
    // Four wave steps of a quarter: exactly 1 owed, not yet more than 1.
    EXPECT_FLOAT_EQ(game.wave.spawnAccumulator.load(), 1.0f);
    EXPECT_EQ(game.wave.normalLeft.load(), 150);
    EXPECT_EQ(game.normalEnemies(), enemiesBefore + 1);

    // The fifth step releases one, spawned in the same tick.
    game.logic.runTick();
    EXPECT_EQ(game.wave.normalLeft.load(), 149);
    EXPECT_FLOAT_EQ(game.wave.spawnAccumulator.load(), 1.0f);
    EXPECT_EQ(game.normalEnemies(), enemiesBefore + 2);
    EXPECT_TRUE(game.enemies.manager->pending.empty());
    EXPECT_EQ(game.queued->spawns, 1);
    EXPECT_EQ(game.queued->updates, 8);

    // A faster wave (two owed per step) releases seven in four steps, all spawned in
    // that tick.
    game.wave.spawnRate = 2.0f;
    game.wave.spawnAccumulator = 0.0f;
    game.logic.runTick();
    EXPECT_EQ(game.wave.normalLeft.load(), 149 - 7);
    EXPECT_EQ(game.normalEnemies(), enemiesBefore + 2 + 7);
    EXPECT_TRUE(game.enemies.manager->pending.empty());
}

#include "BattleTestSupport.h"

#include "Game/Towers/TurretAim.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Towers live in buildingTypes' lists; what the main thread may read of them.
size_t liveTowers()
{
    size_t count = 0;
    for (u32 kind : {BuildingTypeCannon, BuildingTypeMortar}) {
        std::lock_guard lock(buildingTypes[kind]->instancesMutex);
        count += buildingTypes[kind]->instances.size();
    }
    return count;
}

} // namespace

// Cannons and mortars kill the same crowd of enemies, the cannonballs on the
// simulation thread (contact), the bombs on the logic thread (blast), while the main
// thread walks every draw and health bar each frame: every enemy is paid for exactly
// once, and after the game's teardown no building, enemy or projectile is left.
TEST(TowersThreaded, CannonballsAndBombsKillTheSameEnemiesWhileTheDrawsWalk)
{
    const i32 buildingsBefore = liveBuildingCount.load();
    const i32 enemiesBefore = aliveEnemyCount.load();
    {
        BattleGrounds battle(4);
        const i32 moneyBefore = battle.enemies.money();
        // Two cannons and two mortars around the crowd, which stands 18 to 26 units off.
        for (const glm::ivec2 at : {glm::ivec2(500, 500), glm::ivec2(524, 500)}) {
            ASSERT_NE(battle.placeTower(BuildingTypeCannon, at.x, at.y), nullptr);
        }
        for (const glm::ivec2 at : {glm::ivec2(500, 520), glm::ivec2(524, 520)}) {
            ASSERT_NE(battle.placeTower(BuildingTypeMortar, at.x, at.y), nullptr);
        }
        constexpr int Crowd = 40;
        for (int i = 0; i < Crowd; i++) {
            battle.queueEnemy(glm::vec3(-7.0f + static_cast<f32>(i % 8) * 1.6f, 1.0f,
                                        -30.0f + static_cast<f32>(i / 8) * 1.6f));
        }

        BattleGrounds::Drawn seen;
        const auto deadline = Clock::now() + std::chrono::seconds(120);
        bool spawned = false;
        while (Clock::now() < deadline) {
            const BattleGrounds::Drawn drawn = battle.frame(16.7f);
            seen.projectiles = std::max(seen.projectiles, drawn.projectiles);
            seen.puffs = std::max(seen.puffs, drawn.puffs);
            seen.bars = std::max(seen.bars, drawn.bars);
            const size_t live = battle.liveEnemies();
            spawned = spawned || live == Crowd;
            if (spawned && live == 0) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_TRUE(spawned);
        EXPECT_EQ(battle.liveEnemies(), 0u) << "the towers killed the crowd in time";
        EXPECT_EQ(battle.enemies.money(), moneyBefore + Crowd * 200) << "one reward per enemy";
        EXPECT_GT(seen.projectiles, 0u);
        EXPECT_GT(seen.puffs, 0u) << "bombs burst in smoke";
        EXPECT_GT(seen.bars, 0u) << "wounded enemies showed their bars";
        battle.end();
        EXPECT_EQ(liveProjectileCount.load(), 0);
        EXPECT_EQ(battle.towers.shots.smoke.count(), 0u);
    }
    EXPECT_EQ(liveBuildingCount.load(), buildingsBefore);
    EXPECT_EQ(aliveEnemyCount.load(), enemiesBefore);
}

// Heavy enemies pressed against the towers wear them down on the simulation thread
// while the towers aim and fire on the logic thread: each tower goes once (marked by
// the contact that brings it to 0, destroyed by its next update), lets go of its
// target, and the teardown does not wait for enemies a gone tower still held.
TEST(TowersThreaded, EnemiesDestroyTowersWhileTheyAimAndFire)
{
    const i32 buildingsBefore = liveBuildingCount.load();
    const i32 enemiesBefore = aliveEnemyCount.load();
    {
        BattleGrounds battle(4);
        // Towers that one heavy blow (60) brings down.
        for (TestTowerKind* kind : {&battle.towers.cannon, &battle.towers.mortar}) {
            for (BuildingLevel& level : kind->config.levels) level.maxHealth = 60;
        }
        std::vector<std::shared_ptr<BuildingInstance>> placed;
        for (int i = 0; i < 3; i++) {
            placed.push_back(battle.placeTower(i == 1 ? BuildingTypeMortar : BuildingTypeCannon, 490 + i * 12, 500));
            ASSERT_NE(placed.back(), nullptr);
        }
        const auto deadline = Clock::now() + std::chrono::seconds(120);
        while (Clock::now() < deadline && liveTowers() < placed.size()) battle.frame(16.7f);
        ASSERT_EQ(liveTowers(), placed.size());
        // Normal enemies in range: the towers turn to them and fire.
        for (int i = 0; i < 10; i++) battle.queueEnemy({-20.0f + static_cast<f32>(i) * 3.0f, 1.0f, 14.0f});
        u32 shotsSeen = 0;
        while (Clock::now() < deadline && shotsSeen == 0) {
            shotsSeen = battle.frame(16.7f).projectiles;
        }
        ASSERT_GT(shotsSeen, 0u) << "the towers fire";
        // Then a heavy falls onto each tower's top (its box reaches 1.2 up; the capsule is
        // 3 high) and two come against its sides (box half width 1, capsule radius 1).
        for (int i = 0; i < 3; i++) {
            const f32 x = -21.0f + static_cast<f32>(i) * 12.0f;
            battle.queueEnemy({x, 3.0f, -11.0f}, true);
            battle.queueEnemy({x - 2.0f, 2.0f, -11.0f}, true);
            battle.queueEnemy({x + 2.0f, 2.0f, -11.0f}, true);
        }
        while (Clock::now() < deadline && liveTowers() > 0) {
            battle.frame(16.7f);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_EQ(liveTowers(), 0u) << "the heavies brought every tower down";
        for (const std::shared_ptr<BuildingInstance>& building : placed) {
            const auto* tower = static_cast<const TowerInstance*>(building.get());
            EXPECT_TRUE(tower->destroyed.load());
            EXPECT_LE(tower->health.load(), 0);
            // Seen through the list's mutex, after the destroy that emptied the list.
            EXPECT_EQ(tower->aim->target, nullptr) << "a gone tower holds no enemy";
        }
        placed.clear();
        // The teardown's wait ends: no gone tower keeps an enemy alive.
        battle.end();
    }
    EXPECT_EQ(liveBuildingCount.load(), buildingsBefore);
    EXPECT_EQ(aliveEnemyCount.load(), enemiesBefore);
    EXPECT_EQ(liveProjectileCount.load(), 0);
}

// Frames far shorter than a tick (and some long ones) while a cannon sweeps and aims:
// every frame draws a complete snapshot, the turret and the barrel turned by the same
// yaw, never a slot half written by the logic thread; smoke records stay finite.
TEST(TowersThreaded, SnapshotHandOverUnderFastFrames)
{
    BattleGrounds battle(2);
    ASSERT_NE(battle.placeTower(BuildingTypeCannon, 510, 510), nullptr);
    ASSERT_NE(battle.placeTower(BuildingTypeMortar, 530, 510), nullptr);
    for (int i = 0; i < 12; i++) battle.queueEnemy({-10.0f + static_cast<f32>(i) * 2.0f, 1.0f, 25.0f});

    int frames = 0;
    int checked = 0;
    const auto end = Clock::now() + std::chrono::seconds(6);
    while (Clock::now() < end) {
        const f32 ms = frames % 50 == 49 ? 45.0f : 0.7f;
        battle.frame(ms);
        frames++;
        Building* cannons = buildingTypes[BuildingTypeCannon];
        std::lock_guard lock(cannons->instancesMutex);
        for (const std::shared_ptr<BuildingInstance>& instance : cannons->instances) {
            const auto* tower = static_cast<const TowerInstance*>(instance.get());
            // The turret's +x and the barrel's +x, flattened, point the same way.
            const glm::vec3 turret = glm::vec3(tower->turretMatrix * glm::vec4(1, 0, 0, 0));
            const glm::vec3 barrel = glm::vec3(tower->barrelMatrix * glm::vec4(1, 0, 0, 0));
            const glm::vec2 flatBarrel = glm::normalize(glm::vec2(barrel.x, barrel.z));
            const f32 agreement = glm::dot(glm::vec2(turret.x, turret.z), flatBarrel);
            EXPECT_NEAR(agreement, 1.0f, 1e-3f);
            EXPECT_NEAR(turret.y, 0.0f, 1e-4f);
            checked++;
        }
    }
    EXPECT_GT(checked, 1000);
    EXPECT_GT(battle.logic.ticksRun.load(), 100u);
}

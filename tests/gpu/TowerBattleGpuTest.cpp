#include "GameKinds.h"
#include "GpuTest.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Camera/Random.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Physics/Simulation.h"
#include "Engine/Storage/DataStorage.h"
#include "Game/Buildings/BuildingInstance.h"
#include "Game/Buildings/BuildingRules.h"
#include "Game/Enemies/EnBaseInstance.h"
#include "Game/Enemies/EnemyInstance.h"
#include "Game/Enemies/EnemyManager.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "Game/Particles/PcSmoke.h"
#include "Game/Projectiles/Projectile.h"
#include "Game/Projectiles/ProjectileRules.h"
#include "Game/Session/BuildingManager.h"
#include "Game/Session/GameLogic.h"
#include "Game/Session/GameSession.h"
#include "Game/Towers/TowerInstance.h"
#include "Game/Towers/TowerKind.h"
#include "Game/Towers/TurretAim.h"
#include "Game/Ui/Ui.h"
#include "World/Terrain/Terrain.h"
#include "World/World.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

// A new game on a fixed island, as "New Game" makes it, with the game's frame storage,
// the physics thread and the logic thread running; the test places towers and enemies
// through the managers as the tools would, and plays frames as the main loop does.
class TowerBattleGpuTest : public GpuTest {
protected:
    TowerBattleGpuTest() : GpuTest({.frameStorage = true}) {}

    void SetUp() override
    {
        GpuTest::SetUp();
        if (HasFatalFailure()) return;
        // The renderers' slots (1.6 MB of smoke records a draw) in the game's storage.
        Engine::frameStorage = new DsStorageSingle(Engine::graphicsDevice, 16'000'000);
        Engine::frameStorage->switchHalf();
        startGameEngine();
    }

    void TearDown() override
    {
        stopGameEngine();
        GpuTest::TearDown();
        releaseGameKinds();
    }

    // Frames of five ticks, the most one batch of the physics and logic threads takes:
    // the battle's game time passes in a fifth of the frames that 60 a second would
    // take, and every frame is drawn on lavapipe with validation.
    static constexpr f32 FrameMs = 84.0f;

    static void playFrame(f32 frameMs)
    {
        Engine::frameUniforms->switchHalf();
        Engine::frameStorage->switchHalf();
        Simulation::frameTick(frameMs);
        world->update(frameMs);
        Engine::drawFrame();
    }

    // Plays frames until `done`, or until both the game logic and the physics have run
    // `ticks` more ticks (a frame of 84 ms grants five, each of as many physics steps as
    // the game's speed):
    // the bound is the game's own time, since a loaded machine that starves the
    // game-logic thread grants fewer ticks a frame, and one that starves the physics
    // thread lets it skip wakes, so that enemies and projectiles move less while the
    // towers' timers run on. Ten minutes at the most.
    template <typename Done> static bool playUntil(Done&& done, u64 ticks)
    {
        const std::atomic<u64>& ticksRun = world->gameLogic->ticksRun;
        const std::atomic<u64>& stepsRun = Simulation::state.stepsRun;
        const u64 first = ticksRun.load();
        const u64 firstStep = stepsRun.load();
        const u64 steps = ticks * std::max<u64>(Simulation::state.gameSpeed.load(), 1);
        const auto limit = std::chrono::steady_clock::now() + std::chrono::minutes(10);
        while ((ticksRun.load() - first < ticks || stepsRun.load() - firstStep < steps) &&
               std::chrono::steady_clock::now() < limit) {
            if (done()) return true;
            playFrame(FrameMs);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return done();
    }

    // A screenshot of the display when BRACKENHOLD_BATTLE_SHOTS names a directory.
    static void screenshot(const char* name)
    {
        const char* directory = std::getenv("BRACKENHOLD_BATTLE_SHOTS");
        if (directory == nullptr) return;
        vkDeviceWaitIdle(Engine::graphicsDevice->device);
        const std::string command = std::string("import -window root ") + directory + "/" + name + ".png";
        if (std::system(command.c_str()) != 0) ADD_FAILURE() << "no screenshot: " << command;
    }

    // A free flat site for a 2 x 2 tower near grid cell `near`, drawn from a source of
    // the test's own: the global one is the game-logic thread's as well.
    static glm::ivec3 towerSite(glm::ivec2 near, Random& source)
    {
        return world->terrain->findBuildSite(near, {2, 5, 2}, 12.0f, 0, source);
    }

    // The cell under a tower's footprint centre, as a point of the grid's plane.
    static glm::vec2 siteCentre(const glm::ivec3& site) { return glm::vec2(site.x + 1.0f, site.z + 1.0f); }

    static glm::vec3 groundAt(i32 x, i32 z, f32 above)
    {
        return world->origin + glm::vec3(static_cast<f32>(x),
                                         world->terrain->stepAt(static_cast<u32>(x), static_cast<u32>(z)) * 0.4f + above,
                                         static_cast<f32>(z));
    }

    static size_t count(Projectile* kind)
    {
        std::lock_guard lock(kind->mutex);
        return kind->instances.size();
    }
};

} // namespace

// In a running game a cannon and a mortar turn to a crowd of enemies and fire:
// cannonballs fly and kill, a bomb bursts in smoke, every kill pays its reward; leaving
// the game leaves no tower, projectile or puff behind.
//
// The outcome holds however the physics, logic and main threads are paced: the physics
// thread walks the crowd and deals its blows, the logic thread aims and fires the
// towers, and under load either may run far ahead of the other. A mortar cannot lob at
// anything closer than about 12 cells (its steepest pitch with its speed and the
// gravity), and towers are goals of the enemies' field: a crowd standing against the
// mortar is out of its reach for good, and a crowd that brings a tower down walks on
// to the next goal. So the mortar stands 16 to 26 cells from the cannon and the crowd
// starts 6 to 9 cells beyond the cannon, its nearest goal: it walks to the cannon and
// stands against it, never nearer the mortar than 14 cells nor farther than 31. The
// cannon has the most health a building file allows, which no crowd can wear down
// within the test however far the physics runs ahead, so the crowd stays in the
// mortar's reach until the cannon has killed it (and is sent again then), and the
// mortar fires once its interval has run and it has turned: logic ticks alone.
TEST_F(TowerBattleGpuTest, ACannonAndAMortarFightEnemiesInARunningGame)
{
    World::startNew(7);
    World* loaded = world;
    auto limit = std::chrono::steady_clock::now() + std::chrono::minutes(3);
    while (!loaded->ready.load(std::memory_order_acquire) && std::chrono::steady_clock::now() < limit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(loaded->ready.load());
    Engine::gameState = GameStatePlaying;
    ASSERT_TRUE(playUntil([] { return buildingTypes[BuildingTypePortal]->instances.size() == 4; }, 300));

    // Near the first portal (far from the castle, the other goal): the mortar, and the
    // cannon 20 cells further in.
    constexpr i32 TowerSpacing = 20;
    constexpr f32 MinSpacing = 16.0f;
    constexpr f32 MaxSpacing = 26.0f;
    const glm::ivec3 portal = buildingTypes[BuildingTypePortal]->instances[0]->gridPos;
    const glm::ivec2 base(portal.x + 3, portal.z + 30);
    Random sites(7);
    const glm::ivec3 mortarSite = towerSite(base, sites);
    const glm::ivec3 cannonSite = towerSite(base + glm::ivec2(0, TowerSpacing), sites);
    const glm::vec2 mortarAt = siteCentre(mortarSite);
    const glm::vec2 cannonAt = siteCentre(cannonSite);
    const f32 spacing = glm::length(cannonAt - mortarAt);
    ASSERT_GE(spacing, MinSpacing) << "the cannon's site is too near the mortar's for the scene";
    ASSERT_LE(spacing, MaxSpacing) << "the cannon's site is too far from the mortar's for the scene";
    // The cannon that the crowd stands against cannot fall.
    buildingTypes[BuildingTypeCannon]->config.levels[0].maxHealth = static_cast<i32>(BuildingFileRules::MaxHealth);
    BuildingManager& manager = *loaded->buildingManager;
    auto cannon = std::static_pointer_cast<TowerInstance>(buildingTypes[BuildingTypeCannon]->createInstance(cannonSite, 0));
    auto mortar = std::static_pointer_cast<TowerInstance>(buildingTypes[BuildingTypeMortar]->createInstance(mortarSite, 0));
    ASSERT_TRUE(manager.place(cannon));
    ASSERT_TRUE(manager.place(mortar));
    const i32 moneyBefore = gameSession->money->load();

    // The crowd: eight in two rows of four, 6 and 9 cells beyond the cannon (as seen
    // from the mortar), 9 cells wide; sent again whenever it has fallen before the
    // towers have shown their shots.
    constexpr int Crowd = 8;
    const glm::vec2 ahead = (cannonAt - mortarAt) / spacing;
    const glm::vec2 across(-ahead.y, ahead.x);
    std::vector<glm::ivec2> crowdCells;
    for (int i = 0; i < Crowd; i++) {
        const glm::vec2 at = cannonAt + ahead * (6.0f + 3.0f * static_cast<f32>(i / 4)) +
                             across * (-4.5f + 3.0f * static_cast<f32>(i % 4));
        crowdCells.push_back(glm::ivec2(glm::round(at)));
        const f32 fromMortar = glm::length(glm::vec2(crowdCells.back()) - mortarAt);
        ASSERT_GT(fromMortar, MinSpacing) << "a start of the crowd is too near the mortar";
        ASSERT_LT(fromMortar, mortar->towerKind->kindConfig.aimSettings.radius)
            << "a start of the crowd is beyond the mortar's reach";
    }
    int enemiesSent = 0;
    auto sendCrowd = [&] {
        for (const glm::ivec2 at : crowdCells) {
            loaded->enemyManager->enqueue(std::make_unique<EnBaseInstance>(groundAt(at.x, at.y, 1.0f)));
        }
        enemiesSent += Crowd;
    };
    auto crowdGone = [&] {
        std::lock_guard lock(loaded->enemyManager->pendingMutex);
        return loaded->enemyManager->pending.empty() && aliveEnemyCount.load() == 0;
    };
    // Waits for `seen` as playUntil does, sending the crowd again when it has fallen.
    auto fightUntil = [&](auto seen, u64 ticks) {
        return playUntil([&] {
            if (seen()) return true;
            if (crowdGone()) sendCrowd();
            return false;
        }, ticks);
    };
    sendCrowd();

    ASSERT_TRUE(playUntil([&] { return cannon->physicsObject != nullptr && mortar->physicsObject != nullptr; }, 200));
    // The camera looks over the mortar's shoulder at the cannon and the crowd beyond it.
    const glm::vec3 towers = (cannon->pivot() + mortar->pivot()) * 0.5f;
    const glm::vec3 crowd = groundAt(crowdCells[Crowd - 1].x, crowdCells[Crowd - 1].y, 0.0f);
    loaded->camera->position = mortar->pivot() + glm::vec3(0.0f, 12.0f, 0.0f) - glm::normalize(crowd - towers) * 12.0f;
    // The free-flying camera keeps its forward from its angles: forward =
    // (sin yaw cos pitch, -sin pitch, cos yaw cos pitch).
    const glm::vec3 look = glm::normalize((towers + crowd) * 0.5f - loaded->camera->position);
    loaded->camera->yaw = std::atan2(look.x, look.z);
    loaded->camera->pitch = -std::asin(look.y);
    loaded->camera->updateForward();
    loaded->camera->updateView();
    // Twice the speed: fewer frames to render, while what the test looks for lasts
    // longer than the ten ticks that may run between two looks (the batch under way and
    // the one granted next): a cannonball flies for 5 s (300 steps, 150 ticks), and the
    // smoke of a burst fades in 35 steps (17 ticks).
    Simulation::state.gameSpeed = 2;
    ASSERT_TRUE(fightUntil([&] { return count(projectileTypes[ProjectileRules::CannonBallType]) > 0; }, 600))
        << "the cannon fires";
    playFrame(FrameMs);
    screenshot("1-cannonball");
    ASSERT_TRUE(fightUntil([&] { return smokeType->count() > 0; }, 1200))
        << "a bomb bursts in smoke (" << aliveEnemyCount.load() << " enemies alive, "
        << count(projectileTypes[ProjectileRules::BombType]) << " bombs in flight)";
    playFrame(FrameMs);
    screenshot("2-smoke");
    EXPECT_TRUE(playUntil([] { return aliveEnemyCount.load() == 0; }, 3000)) << "the crowd falls";
    EXPECT_EQ(gameSession->money->load(), moneyBefore + enemiesSent * 200) << "one reward a kill";
    screenshot("3-after");

    // Leaving: no tower, projectile or puff is left for the next game (the teardown
    // restores speed 1).
    cannon.reset();
    mortar.reset();
    World::shutdown();
    EXPECT_EQ(liveProjectileCount.load(), 0);
    EXPECT_EQ(smokeType->count(), 0u);
    EXPECT_EQ(liveBuildingCount.load(), 0);
    EXPECT_EQ(Simulation::state.gameSpeed.load(), 1u);
    vkDeviceWaitIdle(Engine::graphicsDevice->device);
    EXPECT_TRUE(validationErrors().empty());
}

#include "GameKinds.h"
#include "GpuTest.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Physics/Simulation.h"
#include "Engine/Storage/DataStorage.h"
#include "Game/Buildings/BuildingInstance.h"
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

    // A free flat site for a 2 x 2 tower near grid cell `near`.
    static glm::ivec3 towerSite(glm::ivec2 near)
    {
        return world->terrain->findBuildSite(near, {2, 5, 2}, 12.0f, 0);
    }

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

// In a running game a cannon and a mortar placed beside a crowd of enemies turn to
// them and fire: cannonballs fly and kill, bombs burst in smoke, every kill pays its
// reward; leaving the game leaves no tower, projectile or puff behind.
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

    // Near the first portal: the cannon and the mortar, the crowd 20 cells off.
    const glm::ivec3 portal = buildingTypes[BuildingTypePortal]->instances[0]->gridPos;
    const glm::ivec2 base(portal.x + 3, portal.z + 30);
    const glm::ivec3 cannonSite = towerSite(base);
    const glm::ivec3 mortarSite = towerSite(base + glm::ivec2(8, 0));
    BuildingManager& manager = *loaded->buildingManager;
    auto cannon = std::static_pointer_cast<TowerInstance>(buildingTypes[BuildingTypeCannon]->createInstance(cannonSite, 0));
    auto mortar = std::static_pointer_cast<TowerInstance>(buildingTypes[BuildingTypeMortar]->createInstance(mortarSite, 0));
    ASSERT_TRUE(manager.place(cannon));
    ASSERT_TRUE(manager.place(mortar));
    const i32 moneyBefore = gameSession->money->load();
    // The crowd: eight at first, and eight more whenever it has fallen before both
    // towers have shown their shots (which of the two kills first depends on how the
    // machine's load paces the threads).
    constexpr int Crowd = 8;
    int enemiesSent = 0;
    auto sendCrowd = [&] {
        for (int i = 0; i < Crowd; i++) {
            const glm::ivec2 at = base + glm::ivec2(-2 + (i % 4) * 3, 20 + (i / 4) * 3);
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
    // The camera looks over the towers' shoulders at the crowd beyond them.
    const glm::vec3 towers = (cannon->pivot() + mortar->pivot()) * 0.5f;
    const glm::vec3 crowd = groundAt(base.x + 2, base.y + 22, 0.0f);
    loaded->camera->position = towers + glm::vec3(0.0f, 9.0f, 0.0f) - glm::normalize(crowd - towers) * 12.0f;
    // The free-flying camera keeps its forward from its angles: forward =
    // (sin yaw cos pitch, -sin pitch, cos yaw cos pitch).
    const glm::vec3 look = glm::normalize((towers + crowd) * 0.5f - loaded->camera->position);
    loaded->camera->yaw = std::atan2(look.x, look.z);
    loaded->camera->pitch = -std::asin(look.y);
    loaded->camera->updateForward();
    loaded->camera->updateView();
    // Four times the speed: fewer frames to render.
    Simulation::state.gameSpeed = 4;
    ASSERT_TRUE(fightUntil([&] { return count(projectileTypes[ProjectileRules::CannonBallType]) > 0; }, 600))
        << "the cannon fires";
    playFrame(FrameMs);
    screenshot("1-cannonball");
    ASSERT_TRUE(fightUntil([&] { return smokeType->count() > 0; }, 900))
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

// The running game's resident memory stays steady: over 60 frames of a paused world
// (the enemies of a wave standing) with each shader set, and over New Game / Leave
// cycles. The short form of the soak benchmark (bench/MemorySoakBench.cpp) for every
// test run: a shader that the driver builds anew at every draw shows here as some MiB
// a frame, the memory of torn-down worlds kept by the process as about 100 MiB a game.

#include "GameKinds.h"
#include "GpuTest.h"
#include "ResidentMemory.h"

#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Physics/Simulation.h"
#include "Engine/Storage/DataStorage.h"
#include "Engine/SwapChain/SwapChain.h"
#include "Engine/Window/Window.h"
#include "Game/Buildings/Building.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "Game/Session/GameSession.h"
#include "Game/Session/GameSpeed.h"
#include "Game/Ui/Ui.h"
#include "World/World.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

constexpr i32 Width = 320;
constexpr i32 Height = 180;
// New Game / Leave cycles: the least resident memory of the later cycles may lie at
// most this much above that of the earlier ones; a kept world adds about 100 MiB a
// cycle.
constexpr double GrowthBoundMiB = 64.0;
// A paused world redraws the same frame: over PausedFrames frames, the samples of the
// last quarter may lie at most this much above those of the first (medians, so that
// the scatter of single samples does not count). The shaders that the driver built
// anew at each draw gave 156 MiB with the Opt set and 186 MiB with the normal one; a
// steady paused world on a heavily loaded machine (load average 70) up to 50 MiB, as
// the driver's threads and the C library's pools settle.
constexpr double PausedTrendBoundMiB = 96.0;
constexpr int PausedFrames = 60;
constexpr int WarmUpFrames = 8;

class MemorySoakGpuTest : public GpuTest {
protected:
    MemorySoakGpuTest() : GpuTest({.frameStorage = true}) {}

    void SetUp() override
    {
        GpuTest::SetUp();
        if (HasFatalFailure()) return;
        startGameEngine();
        glfwSetWindowSize(Engine::window->handle, Width, Height);
        for (int i = 0; i < 100 && Engine::window->width != Width; i++) glfwWaitEventsTimeout(0.01);
        Engine::swapChain->recreate();
    }

    void TearDown() override
    {
        stopGameEngine();
        setGameSpeed(1);
        GpuTest::TearDown();
        releaseGameKinds();
    }

    // One frame of the main loop with a running world, as Engine::runFrame does.
    static void playFrame()
    {
        Engine::frameUniforms->switchHalf();
        Engine::frameStorage->switchHalf();
        world->update(17.0f);
        Simulation::frameTick(17.0f);
        Engine::drawFrame();
    }

    // "New Game" with `seed`, waited for until the game runs and its portals stand.
    static ::testing::AssertionResult newGame(i32 seed)
    {
        World::startNew(seed);
        World* loading = world;
        auto limit = std::chrono::steady_clock::now() + std::chrono::minutes(3);
        while (!loading->ready.load(std::memory_order_acquire)) {
            if (std::chrono::steady_clock::now() > limit) return ::testing::AssertionFailure() << "no world";
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        Engine::gameState = GameStatePlaying;
        Building* portals = buildingTypes[BuildingTypePortal];
        for (int frame = 0; frame < 200 && portals->instances.size() < 4; frame++) playFrame();
        if (portals->instances.size() != 4) return ::testing::AssertionFailure() << "no portals";
        return ::testing::AssertionSuccess();
    }

    // "Leave to main menu", and the frames in the main menu whose ends delete what the
    // world released.
    static void leaveGame()
    {
        World::shutdown();
        for (int frame = 0; frame < 2; frame++) Engine::drawFrame();
    }

    // Fails when the floor of the later cycles lies farther above that of the earlier
    // ones than the bound. A kept world raises every later sample by its size, while
    // the scatter of a steady game (the driver's and the C library's pools settling,
    // up to a few hundred MiB between single samples on a loaded machine) only lifts
    // some of them, so the least sample of each half is what is compared.
    static ::testing::AssertionResult steady(const ResidentSeries& series)
    {
        const auto half = series.samples.begin() + static_cast<long>(series.samples.size() / 2);
        const double earlier = *std::min_element(series.samples.begin(), half);
        const double later = *std::min_element(half, series.samples.end());
        if (later - earlier <= GrowthBoundMiB) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "resident memory's floor grew from " << earlier << " MiB to "
                                             << later << " MiB";
    }
};

} // namespace

TEST_F(MemorySoakGpuTest, APausedWorldDrawnFrameAfterFrameKeepsItsMemoryWithEitherShaderSet)
{
    ASSERT_TRUE(newGame(7));
    // Warm-up: the first enemies of a wave at x4, every pipeline of both shader sets
    // drawn a few times.
    ASSERT_TRUE(gameSession->startWave());
    setGameSpeed(4);
    for (bool optimized : {true, false}) {
        Ui::debugFlags->useOptimizedShaders = optimized;
        for (int frame = 0; frame < WarmUpFrames; frame++) playFrame();
    }

    // Paused, the enemies of the wave standing where they are.
    setGameSpeed(0);
    for (bool optimized : {true, false}) {
        SCOPED_TRACE(optimized ? "paused, Opt shaders" : "paused, normal shaders");
        Ui::debugFlags->useOptimizedShaders = optimized;
        for (int frame = 0; frame < WarmUpFrames; frame++) playFrame();
        ResidentSeries paused;
        for (int frame = 0; frame < PausedFrames; frame++) {
            playFrame();
            paused.add(residentMiB());
        }
        ASSERT_GT(paused.reference(), 0.0);
        EXPECT_LE(paused.trend(), PausedTrendBoundMiB)
            << "resident memory went from " << paused.reference() << " MiB to " << paused.samples.back() << " MiB";
    }

    vkDeviceWaitIdle(Engine::graphicsDevice->device);
    EXPECT_TRUE(validationErrors().empty());
    leaveGame();
}

TEST_F(MemorySoakGpuTest, NewGameAndLeaveCyclesKeepTheirMemory)
{
    ResidentSeries series;
    for (int game = 0; game < 6; game++) {
        SCOPED_TRACE(game);
        ASSERT_TRUE(newGame(7));
        for (int frame = 0; frame < 3; frame++) playFrame();
        leaveGame();
        // Two games of warm-up.
        if (game >= 1) series.add(residentMiB());
    }
    EXPECT_TRUE(steady(series));
    EXPECT_TRUE(validationErrors().empty());
}

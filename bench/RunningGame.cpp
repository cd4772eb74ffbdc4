#include "RunningGame.h"

#include "Engine/Camera/Random.h"
#include "Engine/Engine.h"
#include "Engine/Settings/Settings.h"
#include "Engine/Window/Window.h"
#include "Game/Session/BuildingManager.h"
#include "World/World.h"

#include <GLFW/glfw3.h>

#include <chrono>
#include <csignal>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr i32 Width = 1920;
constexpr i32 Height = 1080;
constexpr u32 LowShadows = 0;
constexpr const char* OwnDisplay = ":93";
constexpr const char* OwnDisplaySocket = "/tmp/.X11-unix/X93";
constexpr auto XvfbStartLimit = std::chrono::seconds(10);
constexpr auto LoadingLimit = std::chrono::seconds(300);
constexpr auto PlacingLimit = std::chrono::seconds(60);
constexpr int SettlingFrames = 3;

using Clock = std::chrono::steady_clock;

f64 millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<f64, std::milli>(Clock::now() - start).count();
}

pid_t xvfb = 0;

void stopXvfb()
{
    if (xvfb > 0) {
        kill(xvfb, SIGTERM);
        waitpid(xvfb, nullptr, 0);
        xvfb = 0;
    }
}

// Uses DISPLAY when set; otherwise starts Xvfb on a display of its own.
bool ensureDisplay(std::string& problem)
{
    if (std::getenv("DISPLAY") != nullptr) return true;
    if (std::filesystem::exists(OwnDisplaySocket)) {
        problem = std::string("no DISPLAY, and ") + OwnDisplaySocket + " is taken by another X server";
        return false;
    }
    pid_t child = fork();
    if (child == 0) {
        execlp("Xvfb", "Xvfb", OwnDisplay, "-screen", "0", "1920x1080x24", "-nolisten", "tcp", nullptr);
        _exit(127);
    }
    if (child < 0) {
        problem = "no DISPLAY, and Xvfb could not be started";
        return false;
    }
    xvfb = child;
    std::atexit(stopXvfb);
    Clock::time_point start = Clock::now();
    while (!std::filesystem::exists(OwnDisplaySocket)) {
        if (waitpid(xvfb, nullptr, WNOHANG) == xvfb || Clock::now() - start > XvfbStartLimit) {
            xvfb = 0;
            problem = "no DISPLAY, and Xvfb did not start (is it installed?)";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    setenv("DISPLAY", OwnDisplay, 1);
    return true;
}

// The game reads shaders/ and assets/ from its working directory: build-*/run.
bool enterRunDirectory(std::string& problem)
{
    std::filesystem::path run = std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "run";
    if (!std::filesystem::exists(run / "shaders") || !std::filesystem::exists(run / "assets")) {
        problem = "no run directory with shaders/ and assets/ at " + run.string();
        return false;
    }
    std::filesystem::current_path(run);
    return true;
}

void shutdownGame()
{
    Engine::shutdown();
}

GameUnderTest startGame()
{
    GameUnderTest game;
    if (!ensureDisplay(game.problem) || !enterRunDirectory(game.problem)) return game;
    try {
        Engine::init();
    } catch (const std::exception& error) {
        game.problem = std::string("the engine did not start: ") + error.what();
        return game;
    }
    std::atexit(shutdownGame);
    glfwSetWindowSize(Engine::window->handle, Width, Height);
    // Low shadows: the shadow renderer takes the map size when the world is made.
    Settings::shadowQuality = LowShadows;
    Settings::shadowMapSize = ShadowMapSizes::ByQuality[LowShadows];

    // A few frames for the window to take its size, then "New Game". The castle's site
    // is drawn from the program's random source, which is seeded too, so that every
    // run measures the same view.
    for (int frame = 0; frame < 3; frame++) Engine::runFrame();
    Engine::random->engine.seed(static_cast<u32>(RunningGameSeed));
    Clock::time_point start = Clock::now();
    World::startNew(RunningGameSeed);
    while (Engine::gameState != GameStatePlaying) {
        if (Clock::now() - start > LoadingLimit) {
            game.problem = "the world did not finish loading";
            return game;
        }
        Engine::runFrame();
    }
    game.loadingMs = millisecondsSince(start);
    if (!placeQueuedBuildings()) {
        game.problem = "the castle and the portals were not placed";
        return game;
    }
    game.running = true;
    return game;
}

bool buildingsQueued()
{
    BuildingManager* manager = world != nullptr ? world->buildingManager : nullptr;
    if (manager == nullptr) return false;
    std::lock_guard lock(manager->pendingMutex);
    return !manager->pending.empty();
}

} // namespace

bool placeQueuedBuildings()
{
    Clock::time_point start = Clock::now();
    while (buildingsQueued()) {
        if (Clock::now() - start > PlacingLimit) return false;
        Engine::runFrame();
    }
    // A few more ticks, so that the snapshots the renderers read hold them.
    for (int frame = 0; frame < SettlingFrames; frame++) Engine::runFrame();
    return true;
}

const GameUnderTest& runningGame()
{
    static GameUnderTest instance = startGame();
    return instance;
}


f64 processCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<f64>(now.tv_sec) * 1000.0 + static_cast<f64>(now.tv_nsec) * 1e-6;
}

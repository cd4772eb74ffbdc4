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

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr i32 Width = 1920;
constexpr i32 Height = 1080;
constexpr u32 LowShadows = 0;
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

// The display number Xvfb writes to `fd` once it takes clients, or "" when it ends or
// the time runs out first.
std::string readDisplayNumber(int fd)
{
    std::string number;
    const Clock::time_point start = Clock::now();
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(XvfbStartLimit - (Clock::now() - start));
        pollfd waiting{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&waiting, 1, static_cast<int>(left.count())) <= 0) return "";
        char c = 0;
        if (read(fd, &c, 1) != 1) return "";
        if (c == '\n') return number;
        number += c;
    }
}

// Uses DISPLAY when set; otherwise starts Xvfb, which picks a free display number
// itself: a fixed one could be taken by another run on the same machine.
bool ensureDisplay(std::string& problem)
{
    if (std::getenv("DISPLAY") != nullptr) return true;
    int ends[2];
    if (pipe(ends) != 0) {
        problem = "no DISPLAY, and no pipe to start Xvfb with";
        return false;
    }
    const std::string numberFd = std::to_string(ends[1]);
    pid_t child = fork();
    if (child == 0) {
        close(ends[0]);
        // Quiet: Xvfb prints a line for each display number it finds taken.
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
        execlp("Xvfb", "Xvfb", "-displayfd", numberFd.c_str(), "-screen", "0", "1920x1080x24", "-nolisten", "tcp",
               nullptr);
        _exit(127);
    }
    close(ends[1]);
    if (child < 0) {
        close(ends[0]);
        problem = "no DISPLAY, and Xvfb could not be started";
        return false;
    }
    xvfb = child;
    std::atexit(stopXvfb);
    const std::string number = readDisplayNumber(ends[0]);
    close(ends[0]);
    if (number.empty()) {
        stopXvfb();
        problem = "no DISPLAY, and Xvfb did not start (is it installed?)";
        return false;
    }
    setenv("DISPLAY", (":" + number).c_str(), 1);
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

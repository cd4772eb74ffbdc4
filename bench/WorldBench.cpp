// The game itself under X: a new world with a fixed seed, started from the main menu
// as "New Game" does, then frames of the running game at 1920x1080 with low shadows,
// with the normal and with the optimised ("Opt") shaders. Reports the time from
// "New Game" until the game runs, and the median and 95th percentile frame times.
//
//   build-*/bench/benchmarks --benchmark_filter=World
//
// Needs the run directory next to the benchmark's directory (build-*/run) and an X
// display: without DISPLAY it starts its own Xvfb, and skips when it cannot.

#include "Engine/Engine.h"
#include "Engine/Settings/Settings.h"
#include "Engine/Window/Window.h"
#include "Game/Ui/Ui.h"
#include "World/World.h"

#include <GLFW/glfw3.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr i32 Seed = 7;
constexpr i32 Width = 1920;
constexpr i32 Height = 1080;
constexpr u32 LowShadows = 0;
constexpr int WarmUpFrames = 3;
constexpr int MeasuredFrames = 20;
constexpr const char* OwnDisplay = ":93";
constexpr const char* OwnDisplaySocket = "/tmp/.X11-unix/X93";
constexpr auto XvfbStartLimit = std::chrono::seconds(10);
constexpr auto LoadingLimit = std::chrono::seconds(300);

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

// The engine started once for every benchmark here, with a world loaded.
struct GameUnderTest {
    bool running = false;
    std::string problem;
    f64 loadingMs = 0;
};

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

    // A few frames for the window to take its size, then "New Game".
    for (int frame = 0; frame < 3; frame++) Engine::runFrame();
    Clock::time_point start = Clock::now();
    World::startNew(Seed);
    while (Engine::gameState != GameStatePlaying) {
        if (Clock::now() - start > LoadingLimit) {
            game.problem = "the world did not finish loading";
            return game;
        }
        Engine::runFrame();
    }
    game.loadingMs = millisecondsSince(start);
    game.running = true;
    return game;
}

const GameUnderTest& game()
{
    static GameUnderTest instance = startGame();
    return instance;
}

f64 percentile(std::vector<f64> values, f64 share)
{
    std::sort(values.begin(), values.end());
    size_t index = static_cast<size_t>(share * static_cast<f64>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

// Argument 0: normal shaders; 1: the optimised ones.
void WorldFrames(benchmark::State& state)
{
    const GameUnderTest& running = game();
    if (!running.running) {
        state.SkipWithError(running.problem.c_str());
        return;
    }
    Ui::debugFlags->useOptimizedShaders = state.range(0) == 1;
    for (int frame = 0; frame < WarmUpFrames; frame++) Engine::runFrame();

    std::vector<f64> frameMs;
    for (auto _ : state) {
        Clock::time_point start = Clock::now();
        Engine::runFrame();
        f64 ms = millisecondsSince(start);
        state.SetIterationTime(ms * 0.001);
        frameMs.push_back(ms);
    }
    state.SetLabel(state.range(0) == 1 ? "Opt shaders" : "normal shaders");
    state.counters["generation_ms"] = running.loadingMs;
    state.counters["median_ms"] = percentile(frameMs, 0.5);
    state.counters["p95_ms"] = percentile(frameMs, 0.95);
    state.counters["width"] = Engine::window->width;
    state.counters["height"] = Engine::window->height;
}

} // namespace

BENCHMARK(WorldFrames)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(MeasuredFrames)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

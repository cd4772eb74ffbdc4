// The game itself under X: a new world with a fixed seed, started from the main menu
// as "New Game" does, then frames of the running game from the view it starts in (the
// intro ended, the clock running) at 1920x1080 with low shadows,
// with the normal and with the optimised ("Opt") shaders. Reports the time from
// "New Game" until the game runs, and the median and 95th percentile frame times; and,
// in the same run, the median of empty frames of the same size through the same
// engine (the swap-chain image cleared and presented, nothing drawn), with the ratio
// of the two medians; the same for the CPU time the process spends per frame (every
// thread, the renderer's workers too), which a busy machine does not inflate.
// WorldStart leaves the game and starts new ones: "New Game" to the first frame of
// the game, the loading window drawn meanwhile as the player sees it.
//
//   build-*/bench/benchmarks --benchmark_filter=World
//
// Needs the run directory next to the benchmark's directory (build-*/run) and an X
// display: without DISPLAY it starts its own Xvfb, and skips when it cannot.

#include "RunningGame.h"

#include "Engine/Engine.h"
#include "Game/Intro/CameraPath.h"
#include "Engine/Ui/UiRenderer.h"
#include "Engine/Window/Window.h"
#include "Game/Ui/Ui.h"
#include "World/World.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int WarmUpFrames = 3;
constexpr int MeasuredFrames = 20;
constexpr int MeasuredStarts = 3;
constexpr f64 StartLimitMs = 300000.0;
constexpr int EmptyFrames = 20;

f64 millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<f64, std::milli>(Clock::now() - start).count();
}

struct FrameTimes {
    std::vector<f64> wallMs;
    std::vector<f64> cpuMs;
};

f64 percentile(std::vector<f64> values, f64 share)
{
    std::sort(values.begin(), values.end());
    size_t index = static_cast<size_t>(share * static_cast<f64>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

// Frames with nothing to draw: outside play the engine clears the swap-chain image,
// and without the interface renderer nothing goes over it. The game is put back as
// it was.
FrameTimes emptyFrameTimes()
{
    const u32 state = Engine::gameState;
    UiRenderer* renderer = uiRenderer;
    Engine::gameState = GameStateMainMenu;
    uiRenderer = nullptr;
    FrameTimes times;
    for (int frame = 0; frame < WarmUpFrames + EmptyFrames; frame++) {
        Clock::time_point start = Clock::now();
        const f64 cpuStart = processCpuMs();
        Engine::runFrame();
        if (frame >= WarmUpFrames) {
            times.wallMs.push_back(millisecondsSince(start));
            times.cpuMs.push_back(processCpuMs() - cpuStart);
        }
        endInterfaceFrame(); // built but not drawn
    }
    uiRenderer = renderer;
    Engine::gameState = state;
    return times;
}

// Argument 0: normal shaders; 1: the optimised ones.
void WorldFrames(benchmark::State& state)
{
    const GameUnderTest& running = runningGame();
    if (!running.running) {
        state.SkipWithError(running.problem.c_str());
        return;
    }
    Ui::debugFlags->useOptimizedShaders = state.range(0) == 1;
    // The view the game starts in: the intro's flight, which would carry the camera
    // across the island while frames are measured, is ended first.
    if (Engine::cameraPath != nullptr && Engine::cameraPath->playing.load()) {
        Engine::cameraPath->advance(0.0f, world->camera, true);
    }
    for (int frame = 0; frame < WarmUpFrames; frame++) Engine::runFrame();

    std::vector<f64> frameMs;
    std::vector<f64> cpuMs;
    for (auto _ : state) {
        Clock::time_point start = Clock::now();
        const f64 cpuStart = processCpuMs();
        Engine::runFrame();
        f64 ms = millisecondsSince(start);
        cpuMs.push_back(processCpuMs() - cpuStart);
        state.SetIterationTime(ms * 0.001);
        frameMs.push_back(ms);
    }
    state.SetLabel(state.range(0) == 1 ? "Opt shaders" : "normal shaders");
    state.counters["generation_ms"] = running.loadingMs;
    state.counters["median_ms"] = percentile(frameMs, 0.5);
    state.counters["p95_ms"] = percentile(frameMs, 0.95);
    state.counters["cpu_median_ms"] = percentile(cpuMs, 0.5);
    const FrameTimes empty = emptyFrameTimes();
    const f64 emptyMs = percentile(empty.wallMs, 0.5);
    const f64 emptyCpuMs = percentile(empty.cpuMs, 0.5);
    state.counters["empty_median_ms"] = emptyMs;
    state.counters["empty_cpu_median_ms"] = emptyCpuMs;
    state.counters["island_per_empty"] = percentile(frameMs, 0.5) / emptyMs;
    state.counters["island_per_empty_cpu"] = percentile(cpuMs, 0.5) / emptyCpuMs;
    state.counters["width"] = Engine::window->width;
    state.counters["height"] = Engine::window->height;
}

// From "New Game" until the frame that shows the game has been presented: the loader
// thread builds the world while the main loop draws the loading window, then the main
// loop starts the game and draws its first frame.
void WorldStart(benchmark::State& state)
{
    const GameUnderTest& running = runningGame();
    if (!running.running) {
        state.SkipWithError(running.problem.c_str());
        return;
    }
    std::vector<f64> startMs;
    for (auto _ : state) {
        // Back to the main menu, as "Leave to main menu" does, for a frame or two.
        World::shutdown();
        for (int frame = 0; frame < WarmUpFrames; frame++) Engine::runFrame();
        Clock::time_point start = Clock::now();
        World::startNew(RunningGameSeed);
        while (Engine::gameState != GameStatePlaying && millisecondsSince(start) < StartLimitMs) Engine::runFrame();
        f64 ms = millisecondsSince(start);
        if (Engine::gameState != GameStatePlaying) {
            state.SkipWithError("the world did not finish loading");
            return;
        }
        state.SetIterationTime(ms * 0.001);
        startMs.push_back(ms);
    }
    state.counters["median_ms"] = percentile(startMs, 0.5);
    state.counters["threads"] = std::thread::hardware_concurrency();
}

} // namespace

BENCHMARK(WorldFrames)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(MeasuredFrames)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(WorldStart)->Iterations(MeasuredStarts)->UseManualTime()->Unit(benchmark::kMillisecond);

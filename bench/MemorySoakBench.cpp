// Resident memory of the running game (see RunningGame.h) over many frames and many
// games, sampled from /proc/self/statm once a warm-up is over:
// - MemorySoakFrames/0/x: a new game paused, 300 frames;
// - MemorySoakFrames/4/x: a new game at x4 with waves running against a few towers,
//   300 frames; x = 1 with the optimised shaders, 0 with the normal ones;
// - MemorySoakLongGame: a game at x4 with waves running against a few towers for 30
//   minutes (MEMORY_SOAK_MINUTES in the environment sets another length), sampled
//   every 30 seconds after 3 minutes of warm-up; each sample is printed as it is taken;
// - MemorySoakNewGames: 50 New Game / Leave cycles as the menus make them, sampled
//   back in the main menu after each (MEMORY_SOAK_GAMES sets another count).
// Each reports the resident memory at the end of its warm-up (reference_mib), the
// farthest sample from it after the warm-up (max_deviation_mib), the last sample's
// difference (growth_mib) and the trend (median of the last quarter of the samples less
// that of the first, trend_mib), and ends in an error when a sample strays farther from
// the reference than its bound.
//
//   build-*/bench/benchmarks --benchmark_filter=MemorySoak

#include "ResidentMemory.h"
#include "RunningGame.h"

#include "Engine/Engine.h"
#include "Game/Buildings/Building.h"
#include "Game/Buildings/BuildingInstance.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "Game/Intro/CameraPath.h"
#include "Game/Session/BuildingManager.h"
#include "Game/Session/GameSession.h"
#include "Game/Session/GameSpeed.h"
#include "Game/Ui/Ui.h"
#include "World/Terrain/Terrain.h"
#include "World/World.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

constexpr i32 Seed = 7;
constexpr int WarmUpFrames = 40;
constexpr int SoakFrames = 300;
constexpr double FramesBoundMiB = 64.0;
constexpr int WarmUpGames = 3;
constexpr int SoakGames = 50;
constexpr double GamesBoundMiB = 64.0;
constexpr int LongGameMinutes = 30;
constexpr auto LongGameWarmUp = std::chrono::minutes(3);
constexpr auto LongGameSampling = std::chrono::seconds(30);
constexpr double LongGameBoundMiB = 64.0;
// Frames each game of the cycles is drawn before it is left.
constexpr int FramesPerGame = 10;
constexpr auto LoadingLimit = std::chrono::seconds(300);

// The positive count in environment variable `name`, else `fallback`.
int countFromEnvironment(const char* name, int fallback)
{
    const char* text = std::getenv(name);
    const int count = text != nullptr ? std::atoi(text) : 0;
    return count > 0 ? count : fallback;
}

void report(benchmark::State& state, const ResidentSeries& series, double bound)
{
    state.counters["reference_mib"] = series.reference();
    state.counters["max_deviation_mib"] = series.maxDeviation();
    state.counters["growth_mib"] = series.samples.back() - series.reference();
    state.counters["trend_mib"] = series.trend();
    state.counters["bound_mib"] = bound;
    if (series.maxDeviation() > bound) {
        state.SkipWithError(("resident memory strayed " + std::to_string(series.maxDeviation()) + " MiB from " +
                             std::to_string(series.reference()) + " MiB after the warm-up")
                                .c_str());
    }
}

// Leaves the game in progress, if any, as "Leave to main menu" does.
void leaveGame()
{
    if (Engine::gameState == GameStatePlaying) World::shutdown();
    // The frame end deletes what the world released.
    for (int frame = 0; frame < 2; frame++) Engine::runFrame();
}

// "New Game" with `seed` and frames until it runs, the intro ended as Enter ends it;
// false when it does not load.
bool newGame(i32 seed)
{
    leaveGame();
    World::startNew(seed);
    const Clock::time_point start = Clock::now();
    while (Engine::gameState != GameStatePlaying) {
        if (Clock::now() - start > LoadingLimit) return false;
        Engine::runFrame();
    }
    if (Engine::cameraPath != nullptr && Engine::cameraPath->playing.load()) {
        Engine::cameraPath->advance(0.0f, world->camera, true);
    }
    Engine::runFrame();
    return true;
}

// Cannon and mortar towers on level ground around the castle, `count` at most; how
// many were placed.
int placeTowersAroundCastle(int count)
{
    Building* castles = buildingTypes[BuildingTypeCastle];
    if (castles->instances.empty()) return 0;
    const glm::ivec3 castle = castles->instances.front()->gridPos;
    int placed = 0;
    for (int ring = 12; ring <= 40 && placed < count; ring += 7) {
        for (int step = 0; step < 8 && placed < count; step++) {
            const f32 angle = static_cast<f32>(step) * 0.785398f + static_cast<f32>(ring);
            const glm::ivec2 corner(castle.x + static_cast<i32>(std::lround(std::cos(angle) * ring)),
                                    castle.z + static_cast<i32>(std::lround(std::sin(angle) * ring)));
            const u32 kind = placed % 2 == 0 ? BuildingTypeCannon : BuildingTypeMortar;
            const glm::ivec3 size = buildingTypes[kind]->config.gridSize;
            glm::ivec2 steps;
            if (!world->terrain->footprintStepRange(corner, {size.x, size.z}, steps) || steps.x != steps.y) continue;
            auto tower = buildingTypes[kind]->createInstance({corner.x, steps.y, corner.y}, 0.0f);
            if (world->buildingManager->place(tower)) placed++;
        }
    }
    return placed;
}

// Keeps waves coming: the next one once a wave is over, play on after a lost castle.
void keepWavesRunning()
{
    if (gameSession == nullptr) return;
    if (gameSession->state.load() == SessionLost || gameSession->state.load() == SessionWon) {
        gameSession->state = SessionPlayingOn;
    }
    if (!gameSession->waveState->active.load()) gameSession->startWave();
}

// Arguments: game speed (0 paused, 4 running with waves); 1 optimised shaders, 0 normal.
void MemorySoakFrames(benchmark::State& state)
{
    const GameUnderTest& running = runningGame();
    if (!running.running) {
        state.SkipWithError(running.problem.c_str());
        return;
    }
    const u32 speed = static_cast<u32>(state.range(0));
    for (auto _ : state) {
        if (!newGame(Seed)) {
            state.SkipWithError("the world did not finish loading");
            return;
        }
        Ui::debugFlags->useOptimizedShaders = state.range(1) == 1;
        if (speed > 0) {
            // The towers go up with the first logic ticks.
            state.counters["towers"] = placeTowersAroundCastle(6);
            setGameSpeed(speed);
        } else {
            setGameSpeed(0);
        }
        ResidentSeries series;
        for (int frame = 0; frame < WarmUpFrames + SoakFrames; frame++) {
            if (speed > 0) keepWavesRunning();
            Engine::runFrame();
            if (frame >= WarmUpFrames - 1) series.add(residentMiB());
        }
        if (speed > 0) state.counters["last_wave"] = gameSession->waveState->wave.load();
        setGameSpeed(1);
        state.SetLabel(std::string(speed > 0 ? "x4 with waves" : "paused") +
                       (state.range(1) == 1 ? ", Opt shaders" : ", normal shaders"));
        report(state, series, FramesBoundMiB);
    }
}

void MemorySoakLongGame(benchmark::State& state)
{
    const GameUnderTest& running = runningGame();
    if (!running.running) {
        state.SkipWithError(running.problem.c_str());
        return;
    }
    const auto length = std::chrono::minutes(countFromEnvironment("MEMORY_SOAK_MINUTES", LongGameMinutes));
    for (auto _ : state) {
        if (!newGame(Seed)) {
            state.SkipWithError("the world did not finish loading");
            return;
        }
        Ui::debugFlags->useOptimizedShaders = true;
        state.counters["towers"] = placeTowersAroundCastle(6);
        setGameSpeed(4);
        ResidentSeries series;
        const Clock::time_point start = Clock::now();
        Clock::time_point nextSample = start + LongGameWarmUp;
        long frames = 0;
        while (Clock::now() - start < LongGameWarmUp + length) {
            keepWavesRunning();
            Engine::runFrame();
            frames++;
            if (Clock::now() >= nextSample) {
                series.add(residentMiB());
                const double minutes = std::chrono::duration<double>(Clock::now() - start).count() / 60.0;
                std::fprintf(stderr, "MemorySoakLongGame: %.1f min, frame %ld, wave %d, %.1f MiB\n", minutes, frames,
                             gameSession->waveState->wave.load(), series.samples.back());
                nextSample += LongGameSampling;
            }
        }
        state.counters["frames"] = static_cast<double>(frames);
        state.counters["last_wave"] = gameSession->waveState->wave.load();
        setGameSpeed(1);
        report(state, series, LongGameBoundMiB);
    }
}

void MemorySoakNewGames(benchmark::State& state)
{
    const GameUnderTest& running = runningGame();
    if (!running.running) {
        state.SkipWithError(running.problem.c_str());
        return;
    }
    for (auto _ : state) {
        ResidentSeries series;
        const int games = countFromEnvironment("MEMORY_SOAK_GAMES", SoakGames);
        for (int game = 0; game < WarmUpGames + games; game++) {
            if (!newGame(Seed + game)) {
                state.SkipWithError("a world did not finish loading");
                return;
            }
            for (int frame = 0; frame < FramesPerGame; frame++) Engine::runFrame();
            leaveGame();
            if (game >= WarmUpGames - 1) {
                series.add(residentMiB());
                std::fprintf(stderr, "MemorySoakNewGames: game %d left, %.1f MiB\n", game + 1, series.samples.back());
            }
        }
        report(state, series, GamesBoundMiB);
        // The other benchmarks of the process expect a game in progress.
        newGame(Seed);
    }
}

} // namespace

BENCHMARK(MemorySoakFrames)
    ->Args({0, 1})
    ->Args({0, 0})
    ->Args({4, 1})
    ->Args({4, 0})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK(MemorySoakLongGame)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(MemorySoakNewGames)->Iterations(1)->Unit(benchmark::kSecond);

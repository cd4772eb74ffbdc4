#pragma once

// The engine started once per benchmark process, under X, with a new world of a fixed
// seed loaded as "New Game" loads it (the castle on the same site every time), at
// 1920x1080 with low shadows. Needs the run
// directory next to the benchmark's directory (build-*/run) and an X display: without
// DISPLAY it starts its own Xvfb.

#include "Engine/Types.h"

#include <string>

// The seed of every world the benchmarks start.
constexpr i32 RunningGameSeed = 7;

struct GameUnderTest {
    bool running = false;
    std::string problem; // why it is not running
    f64 loadingMs = 0;   // from "New Game" until the game ran
};

// Starts the game the first time; the engine shuts down when the process ends.
const GameUnderTest& runningGame();

// Runs frames until the game-logic thread has placed the buildings the loader queued
// (the castle and the portals are placed on its first tick, which a world that has
// just become ready may not have had). False when that takes too long.
bool placeQueuedBuildings();

// CPU time of the whole process (every thread: the renderer's workers too), in ms.
// On a busy machine a frame's wall time mostly measures the wait for a core; the CPU
// time it takes is what the frame costs.
f64 processCpuMs();

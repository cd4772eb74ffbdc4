#pragma once

#include "Engine/Types.h"

#include <atomic>

// The session state of a running game.
enum SessionState : u32 {
    SessionPlaying = 0,
    SessionPlayingOn = 1, // playing on after an end dialog's "Continue"
    SessionLost = 2,      // the castle was destroyed
    SessionWon = 3,       // the last wave was completed
};

// The wave record of a game, shared by the main thread ("Start wave {}", the wave
// panel) and the game-logic thread (the wave step), every field atomic. Whoever arms
// or ends a wave writes its counters first and `active` last (release); the other side
// reads `active` first (acquire) and then the counters, so it never sees a wave with
// the counters of another.
struct WaveState {
    std::atomic<bool> active{false};
    std::atomic<i32> wave{0};        // the running wave, or the next one while none runs
    std::atomic<i32> normalCount{0}; // normal enemies of the next wave
    std::atomic<i32> heavyCount{0};  // heavy enemies of the next wave
    std::atomic<i32> normalLeft{0};  // enemies of the running wave not yet spawned
    std::atomic<i32> heavyLeft{0};
    std::atomic<f32> spawnAccumulator{0.0f}; // fractional enemies owed
    std::atomic<f32> spawnRate{0.0f};        // enemies per wave step of the running wave
};

// The record of the game in progress (global `gameSession`, null in the main menu).
// Money changes only by atomic addition of a signed amount (debits add the negated
// cost); readers load it plainly.
struct GameSession {
    std::atomic<u32> state{SessionPlaying};
    std::atomic<i32>* money = nullptr; // owned
    WaveState* waveState = nullptr;    // owned

    // Money 5000 and wave 1 with 10 normal and no heavy enemies.
    GameSession();
    // "Start wave {}" (main thread): arms the next wave; false while one runs.
    bool startWave();
    ~GameSession();
    GameSession(const GameSession&) = delete;
    GameSession& operator=(const GameSession&) = delete;
};

extern GameSession* gameSession;

#pragma once

#include "Engine/Types.h"
#include "World/WorldMath.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

class BuildingManager;
class EnemyManager;
struct GameSession;

// The game-logic thread and its hand-over with the main thread. The thread runs the
// game in fixed ticks of 1/60 s (waves, buildings and enemies; smoke and projectiles
// join them) and publishes a snapshot of every moving thing after each batch into one
// of three slots; the main thread draws the blend of the two slots before it.
//
// Hand-over: once a frame the main thread adds its time (feed). When a whole tick has
// gathered and the thread has published since the last hand-over, the main thread
// takes that snapshot (consumedSnapshot) and grants the whole ticks (at most 5) as the
// next batch. The thread takes what is granted whole when it starts a batch, so a grant
// is run once and game time follows real time. It publishes the batch only once the main
// thread has taken the one before, so it never writes a slot that is being drawn. The
// thread publishes before it takes the grant that came while it waited to publish, so
// the next hand-over may come before it has taken that one: grants add up, and the
// batch runs both (at most ten ticks), none lost.
// Both waits are on `wake` under `wakeMutex`, and every change they wait for is made
// under it: no wake-up is lost.
class GameLogic {
public:
    std::atomic<u32> consumedSnapshot{0}; // the newer slot the renderers blend towards
    std::atomic<u32> producedSnapshot{1}; // the slot the thread published last
    f32 averageTickMs = 0.0f;             // smoothed work per tick (main thread)
    BuildingManager* buildings = nullptr;
    EnemyManager* enemies = nullptr; // set before start; null: no enemies, no waves
    GameSession* session = nullptr;  // the waves and the money; set before start
    std::thread thread;
    std::atomic<bool> stop{false};
    std::condition_variable wake;
    std::mutex wakeMutex;
    std::atomic<u32> ticksDue{1};         // granted ticks not yet taken; the first batch runs at once
    f32 interpolation = 0.0f;             // seconds past the newer slot (main thread)
    std::atomic<f32> lastBatchMs{0.0f};   // work time of the last batch
    std::atomic<u64> ticksGranted{0};     // ticks handed over so far, the first batch's not counted
    std::atomic<u64> ticksRun{0};         // ticks run so far

    // `speed`: the steps per tick (0 paused, 1, 2, 4), shared with the physics thread.
    GameLogic(BuildingManager* buildings, const std::atomic<u32>& speed);
    // Stops the thread if it still runs.
    ~GameLogic();
    GameLogic(const GameLogic&) = delete;
    GameLogic& operator=(const GameLogic&) = delete;

    void start();
    // Main thread, once a frame while playing, with the last frame's time.
    void feed(f32 frameMs);
    // Asks the thread to end and joins it; no snapshot is written after.
    void stopThread();
    // What renderers blend by: interpolation / (1/60).
    f32 interpolationAlpha() const;

    // One tick, on the thread, in this order: the wave step (speed times), the
    // buildings' update (which repeats its own work speed times), the queued enemies'
    // spawn (once), every enemy's update (speed times).
    void runTick();
    // The wave step `steps` times, releasing enemies at the portals.
    void runWaveSteps(u32 steps);
    // Into slot `slot`: every instance that draws from logic state.
    void storeSnapshots(u32 slot);

private:
    const std::atomic<u32>& speed;
    LogicTickFeed clock; // the main thread's side of the arithmetic

    void threadMain();
};

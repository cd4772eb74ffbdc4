#pragma once

#include "Engine/Physics/Pacing.h"
#include "Engine/Types.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

struct PhysicsWorld;
class btDispatcher;

// Everything the main thread and the simulation thread share. The flags and indices
// are atomics; stepMutex is held by the worker for each whole pass (list changes,
// pre-step hooks, steps and contact callbacks), so the debug drawer can walk the
// world under it.
struct SimulationState {
    // Main thread only (frame pacing).
    f32 accumulator = 0;
    f32 smoothedStepTimeMs = 0; // shown by the debug window
    // Written by the main thread; renderers read them (see Simulation::renderState).
    std::atomic<f32> interpolationTime{0};
    std::atomic<u32> acknowledgedIndex{0};
    std::atomic<u32> dueTicks{1};
    // Written by the worker.
    std::atomic<u32> stateIndex{1};
    std::atomic<f32> stepTimeMs{0};
    std::atomic<u64> batchCount{0}; // batches completed, for monitoring and tests
    std::atomic<u64> stepsRun{0};   // physics steps completed, for tests
    // Requests between the threads.
    std::atomic<u8> wakeRequested{0};
    std::atomic<u8> stopRequested{0}; // the worker clears it as it leaves
    std::atomic<u8> skipWait{0};
    // Steps per tick: 0 paused, 1, 2 or 4. The game session sets it.
    std::atomic<u32> gameSpeed{1};

    std::mutex stepMutex;
    // The worker waits on the condition with this mutex; wakes are set under it, so
    // none is lost between the worker's test and its wait.
    std::mutex wakeMutex;
    std::condition_variable simulationWakeCondition;
};

namespace Simulation {

// The engine's simulation state, paced by Engine::run.
extern SimulationState state;

// Body of Engine::simulationThread: runs the worker on the engine world with the
// debug drawer's fixed time step.
void threadMain();
// Main thread, once per frame with the last frame's time.
void frameTick(f32 frameMs);

// The worker loop on any world: applies the Registry's pending lists, runs the
// pre-step hooks, steps `fixedTimeStep` at a time, dispatches contacts and publishes
// the transforms at each hand-over. Returns once stopRequested is seen (and cleared).
void runWorker(SimulationState& s, PhysicsWorld& world, f32 fixedTimeStep);
// One pass of the worker without its waits and hand-over: the Registry's pending
// lists applied, then the batch's steps (s.dueTicks times s.gameSpeed), each after the
// pre-step hooks and followed by the contact callbacks. Headless games run their
// physics with it on their own thread.
void runPass(SimulationState& s, PhysicsWorld& world, f32 fixedTimeStep);
// One frame of pacing against `s`.
void frameTick(SimulationState& s, f32 frameMs);
// Sets the wake flag under the worker's mutex and notifies it.
void requestWake(SimulationState& s);
// Stop hand-shake: asks the worker to end, re-signals every 16 ms until it has
// acknowledged, then joins it.
void stopWorker(SimulationState& s, std::thread& worker);

// Worker only, after each step: calls the collision callbacks of every manifold
// whose closest point is within a reacting reference's threshold.
void dispatchContacts(btDispatcher* dispatcher);

// After the worker has stopped: takes every body out of `world` and deletes every
// physics object, shape and mesh the Registry still holds.
void releaseRemaining(PhysicsWorld& world);

// What renderers read: the transform slot index and the blend factor.
struct RenderState {
    u32 stateIndex = 0;
    f32 alpha = 0;
};
RenderState renderState(const SimulationState& s = state);

} // namespace Simulation

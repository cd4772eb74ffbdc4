#pragma once

#include "Engine/Types.h"

// Fixed-step pacing of the simulation thread: pure arithmetic, no threads.
//
// The main thread adds each frame's time to an accumulator. Once a whole tick (1/60 s)
// has gathered it wakes the worker; if the worker has published a state since the last
// take-over, that state is taken over and the whole ticks (at most 5) become the next
// batch, times the game speed. Time beyond 5 ticks is dropped. A worker that has not
// published yet lags: the main thread keeps at most one tick and shows the newest state.

constexpr f32 TickSeconds = 1.0f / 60.0f; // 0.016666668
constexpr u32 MaxTicksPerBatch = 5;
// Running average of the step time per tick: each tick weighs 1/31 (30/31 = 0.9677419).
constexpr f32 StepTimeSmoothing = 0.9677419f;
constexpr f32 StepTimeSmoothingDivisor = 30.0f;

// The main thread's side of the pacing.
struct PacingClock {
    f32 accumulator = 0;       // simulated seconds not yet handed over
    f32 interpolationTime = 0; // seconds past the acknowledged state
    u32 dueTicks = 1;          // fixed steps of the worker's next batch, before the game speed
    f32 smoothedStepTimeMs = 0;
};

enum class PacingAction : u8 {
    Idle,     // less than one tick gathered: nothing to do
    Lagging,  // a tick is due but the worker has not published: wake it, let it skip its wait
    HandOver, // take over the published state and wake the worker for the next batch
};

// Advances `clock` by one frame of `frameMs` milliseconds. `workerPublished`: the worker
// published a state since the last take-over; `stepTimeMs`: wall time of its last batch.
PacingAction advancePacing(PacingClock& clock, f32 frameMs, bool workerPublished, f32 stepTimeMs);

// Simulation steps of one batch.
constexpr u32 stepsForBatch(u32 dueTicks, u32 gameSpeed)
{
    return dueTicks * gameSpeed;
}

// Renderers blend from the previous to the current transform by this factor.
constexpr f32 interpolationAlpha(f32 interpolationTime)
{
    return interpolationTime / TickSeconds;
}

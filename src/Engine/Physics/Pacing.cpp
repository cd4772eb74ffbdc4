#include "Engine/Physics/Pacing.h"

#include <algorithm>
#include <cmath>

PacingAction advancePacing(PacingClock& clock, f32 frameMs, bool workerPublished, f32 stepTimeMs)
{
    const f32 dt = frameMs * 0.001f;
    clock.accumulator += dt;
    clock.interpolationTime = clock.accumulator;
    if (clock.accumulator < TickSeconds) {
        return PacingAction::Idle;
    }

    if (!workerPublished) {
        // The worker lags: keep one tick at most, show its newest state (alpha 1).
        clock.accumulator = std::min(clock.accumulator, TickSeconds);
        clock.interpolationTime = TickSeconds;
        return PacingAction::Lagging;
    }

    for (u32 i = 0; i < clock.dueTicks; i++) {
        const f32 perTick = stepTimeMs / (static_cast<f32>(clock.dueTicks) * StepTimeSmoothingDivisor);
        clock.smoothedStepTimeMs = (clock.smoothedStepTimeMs + perTick) * StepTimeSmoothing;
    }

    const f32 ticks = clock.accumulator / TickSeconds;
    clock.dueTicks = ticks >= static_cast<f32>(MaxTicksPerBatch) ? MaxTicksPerBatch : static_cast<u32>(ticks);
    if (dt >= TickSeconds) {
        clock.interpolationTime = std::min(clock.accumulator, TickSeconds);
    }
    // Only the remainder below one tick stays; rounding of the division may leave a
    // few ulps below zero, which would give a negative blend factor.
    clock.accumulator = std::max(0.0f, clock.accumulator - std::floor(ticks) * TickSeconds);
    if (dt < TickSeconds) {
        clock.interpolationTime = clock.accumulator;
    }
    return PacingAction::HandOver;
}

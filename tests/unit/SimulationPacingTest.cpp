#include "Engine/Physics/Pacing.h"
#include "Engine/Physics/Simulation.h"

#include <gtest/gtest.h>

// The pacing arithmetic alone, then Simulation::frameTick against a state whose worker
// the test scripts by hand (publishing = flipping stateIndex).

TEST(SimulationPacing, AHundredMillisecondFrameGivesFiveTicksAndDropsTheRest)
{
    PacingClock clock;
    EXPECT_EQ(advancePacing(clock, 100.0f, true, 0), PacingAction::HandOver);
    EXPECT_EQ(clock.dueTicks, 5u);
    EXPECT_GE(clock.accumulator, 0.0f) << "six whole ticks fit: no negative remainder";
    EXPECT_LT(clock.accumulator, 1e-6f);
    EXPECT_FLOAT_EQ(interpolationAlpha(clock.interpolationTime), 1.0f);

    // 110 ms: 6.6 ticks, 5 run, the 0.6 tick below one tick stays.
    PacingClock longer;
    advancePacing(longer, 110.0f, true, 0);
    EXPECT_EQ(longer.dueTicks, 5u);
    EXPECT_NEAR(longer.accumulator, 0.110f - 6 * TickSeconds, 1e-6f);
    EXPECT_FLOAT_EQ(interpolationAlpha(longer.interpolationTime), 1.0f);
}

TEST(SimulationPacing, ShortFramesGatherUntilATickIsDue)
{
    PacingClock clock;
    int frames = 0;
    while (advancePacing(clock, 1.0f, true, 0) == PacingAction::Idle) {
        frames++;
        EXPECT_NEAR(clock.interpolationTime, frames * 0.001f, 1e-6f);
    }
    EXPECT_EQ(frames, 16) << "the 17th millisecond completes the first tick";
    EXPECT_EQ(clock.dueTicks, 1u);
    EXPECT_NEAR(clock.accumulator, 0.017f - TickSeconds, 1e-6f);
    EXPECT_EQ(clock.interpolationTime, clock.accumulator) << "short frames keep the remainder as blend time";
}

TEST(SimulationPacing, FiveMillisecondFramesHandOverEveryThirdOrFourthFrame)
{
    PacingClock clock;
    int sinceHandOver = 0;
    int handOvers = 0;
    f32 lastAlpha = -1;
    for (int frame = 0; frame < 120; frame++) {
        const PacingAction action = advancePacing(clock, 5.0f, true, 0);
        const f32 alpha = interpolationAlpha(clock.interpolationTime);
        EXPECT_GE(alpha, 0.0f);
        EXPECT_LT(alpha, 1.0f);
        sinceHandOver++;
        if (action == PacingAction::HandOver) {
            EXPECT_GE(sinceHandOver, 3);
            EXPECT_LE(sinceHandOver, 4);
            EXPECT_EQ(clock.dueTicks, 1u);
            sinceHandOver = 0;
            handOvers++;
        } else {
            EXPECT_GT(alpha, lastAlpha) << "alpha rises between hand-overs";
        }
        lastAlpha = alpha;
    }
    EXPECT_NEAR(handOvers, 36, 1) << "0.6 s of frames is 36 ticks";
}

TEST(SimulationPacing, ALaggingWorkerKeepsOneTickAndShowsTheNewestState)
{
    PacingClock clock;
    clock.dueTicks = 3;
    EXPECT_EQ(advancePacing(clock, 40.0f, false, 0), PacingAction::Lagging);
    EXPECT_EQ(clock.accumulator, TickSeconds);
    EXPECT_EQ(clock.interpolationTime, TickSeconds);
    EXPECT_EQ(clock.dueTicks, 3u) << "the batch size waits for the next take-over";

    // Still lagging: no debt builds up.
    EXPECT_EQ(advancePacing(clock, 100.0f, false, 0), PacingAction::Lagging);
    EXPECT_EQ(clock.accumulator, TickSeconds);

    // Once the worker publishes, exactly one tick is handed over.
    EXPECT_EQ(advancePacing(clock, 1.0f, true, 0), PacingAction::HandOver);
    EXPECT_EQ(clock.dueTicks, 1u);
    EXPECT_NEAR(clock.accumulator, 0.001f, 1e-6f);
}

TEST(SimulationPacing, StepTimeIsAveragedPerTick)
{
    PacingClock clock; // dueTicks 1
    advancePacing(clock, 20.0f, true, 16.0f);
    EXPECT_FLOAT_EQ(clock.smoothedStepTimeMs, 16.0f / 30.0f * StepTimeSmoothing);

    // A batch of 5 ticks that took 50 ms counts as five ticks of 10 ms.
    PacingClock batch;
    batch.dueTicks = 5;
    batch.smoothedStepTimeMs = 10.0f;
    advancePacing(batch, 20.0f, true, 50.0f);
    EXPECT_NEAR(batch.smoothedStepTimeMs, 10.0f, 1e-4f) << "a steady 10 ms per tick stays at 10 ms";
}

TEST(SimulationPacing, RemainderStaysInZeroToOneTick)
{
    for (f32 frameMs = 0.5f; frameMs <= 100.0f; frameMs += 0.37f) {
        PacingClock clock;
        for (int i = 0; i < 50; i++) {
            advancePacing(clock, frameMs, true, 0);
            ASSERT_GE(clock.accumulator, 0.0f) << frameMs;
            ASSERT_LT(clock.accumulator, TickSeconds + frameMs * 0.001f) << frameMs;
            ASSERT_GE(clock.interpolationTime, 0.0f) << frameMs;
            ASSERT_LE(clock.interpolationTime, TickSeconds) << frameMs;
            ASSERT_LE(clock.dueTicks, MaxTicksPerBatch);
        }
    }
}

TEST(SimulationPacing, FrameTickHandsOverAndWakesTheWorker)
{
    SimulationState s; // stateIndex 1, acknowledgedIndex 0: the first batch counts as published
    Simulation::frameTick(s, 100.0f);
    EXPECT_EQ(s.acknowledgedIndex, 1u);
    EXPECT_EQ(s.dueTicks, 5u);
    EXPECT_EQ(s.wakeRequested, 1);
    EXPECT_EQ(s.skipWait, 0);
    EXPECT_EQ(Simulation::renderState(s).stateIndex, 1u);
    EXPECT_FLOAT_EQ(Simulation::renderState(s).alpha, 1.0f);

    // Below one tick: no wake, only the blend time moves.
    s.wakeRequested = 0;
    Simulation::frameTick(s, 5.0f);
    EXPECT_EQ(s.wakeRequested, 0);
    EXPECT_NEAR(Simulation::renderState(s).alpha, 0.3f, 1e-4f);
}

TEST(SimulationPacing, FrameTickTakesTheLagPathUntilTheWorkerPublishes)
{
    SimulationState s;
    Simulation::frameTick(s, 20.0f); // takes over the initial state
    s.wakeRequested = 0;

    Simulation::frameTick(s, 20.0f); // the worker has not published since
    EXPECT_EQ(s.skipWait, 1);
    EXPECT_EQ(s.wakeRequested, 1);
    EXPECT_EQ(s.acknowledgedIndex, 1u) << "nothing new to take over";
    EXPECT_EQ(s.accumulator, TickSeconds);
    EXPECT_FLOAT_EQ(Simulation::renderState(s).alpha, 1.0f);

    s.stateIndex = 0; // the scripted worker publishes into slot 0
    s.skipWait = 0;
    Simulation::frameTick(s, 1.0f);
    EXPECT_EQ(s.acknowledgedIndex, 0u);
    EXPECT_EQ(s.dueTicks, 1u);
}

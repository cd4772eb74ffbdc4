#include "World/WorldMath.h"
#include "World/WorldRules.h"

#include <gtest/gtest.h>

#include <random>

namespace {

constexpr f32 Tick = LogicTickRules::Tick;
constexpr f32 Radius = 12742.0f;

// A record whose worker has published a batch since the last hand-over.
LogicTickFeed readyWorker()
{
    LogicTickFeed feed;
    feed.consumed = 0;
    feed.produced = 1;
    return feed;
}

} // namespace

TEST(WorldCameraPlanes, NearThePlanetTheFarPlaneFollowsTheRadius)
{
    // About 50 units above the terrain at the start of a game.
    CameraPlanes start = cameraPlanes({30.0f, 60.0f, -12.0f}, Radius);
    EXPECT_EQ(start.nearPlane, 2.5f);
    EXPECT_EQ(start.farPlane, 38226.0f);

    // The switch lies at 1.3 radii (16564.6 units) from the centre (0, -radius, 0),
    // in every direction.
    EXPECT_EQ(cameraPlanes({0.0f, -Radius + 16564.0f, 0.0f}, Radius).nearPlane, 2.5f);
    CameraPlanes above = cameraPlanes({0.0f, -Radius + 16565.0f, 0.0f}, Radius);
    EXPECT_EQ(above.nearPlane, 100.0f);
    EXPECT_EQ(above.farPlane, 500000.0f);
    EXPECT_EQ(cameraPlanes({16565.0f, -Radius, 0.0f}, Radius).nearPlane, 100.0f);
    EXPECT_EQ(cameraPlanes({0.0f, -Radius, -16564.0f}, Radius).nearPlane, 2.5f);
}

TEST(WorldCameraPlanes, ASmallPlanetPutsTheStartCameraInSpace)
{
    // "Planet radius [km]" at 0.1: 100 units, the switch at 130 units from (0, -100, 0).
    CameraPlanes planes = cameraPlanes({0.0f, 50.0f, 0.0f}, 100.0f);
    EXPECT_EQ(planes.nearPlane, 100.0f);
    EXPECT_EQ(planes.farPlane, 500000.0f);
    planes = cameraPlanes({0.0f, 20.0f, 0.0f}, 100.0f);
    EXPECT_EQ(planes.nearPlane, 2.5f);
    EXPECT_EQ(planes.farPlane, 300.0f);
}

TEST(WorldLogicTicks, OneMillisecondFramesHandOverOneTickOnceTheyAddUpToIt)
{
    LogicTickFeed feed = readyWorker();
    int frames = 0;
    while (!feedLogicTicks(feed, 1.0f)) {
        frames++;
        ASSERT_LT(frames, 100);
        EXPECT_FALSE(feed.tickRequested);
        EXPECT_EQ(feed.consumed, 0u);
        EXPECT_FLOAT_EQ(feed.remainder, feed.accumulator) << "short frames interpolate by the time gathered";
    }
    EXPECT_EQ(frames, 16) << "the 17th millisecond completes the first tick";
    EXPECT_TRUE(feed.tickRequested);
    EXPECT_EQ(feed.ticksDue, 1u);
    EXPECT_EQ(feed.consumed, 1u);
    // What lies beyond the tick stays for the next one, and is the interpolation time.
    EXPECT_NEAR(feed.accumulator, 0.017f - Tick, 1e-6f);
    EXPECT_EQ(feed.remainder, feed.accumulator);
    EXPECT_FALSE(feed.skipWait);
}

TEST(WorldLogicTicks, AHundredMillisecondFrameDropsTheTicksBeyondFive)
{
    LogicTickFeed feed = readyWorker();
    EXPECT_TRUE(feedLogicTicks(feed, 100.0f));
    EXPECT_EQ(feed.ticksDue, 5u) << "six whole ticks fit, at most five run";
    // All six whole ticks leave the accumulator; nothing is carried into the next frame.
    EXPECT_GE(feed.accumulator, 0.0f);
    EXPECT_LT(feed.accumulator, 1e-6f);
    EXPECT_EQ(feed.remainder, Tick) << "a long frame interpolates over one whole tick";
    EXPECT_EQ(feed.consumed, feed.produced);

    // A 40 ms frame: two ticks run and the 6.7 ms beyond them stay.
    LogicTickFeed other = readyWorker();
    feedLogicTicks(other, 40.0f);
    EXPECT_EQ(other.ticksDue, 2u);
    EXPECT_NEAR(other.accumulator, 0.04f - 2.0f * Tick, 1e-6f);
    EXPECT_EQ(other.remainder, Tick);
}

TEST(WorldLogicTicks, ABusyWorkerKeepsTwoTicksOfBacklogAndIsToldNotToWait)
{
    LogicTickFeed feed = readyWorker();
    feed.consumed = 1; // nothing new since the last hand-over
    feed.ticksDue = 3;
    feed.averageBatchMs = 2.0f;
    feed.accumulator = 0.02f;
    EXPECT_TRUE(feedLogicTicks(feed, 50.0f));
    EXPECT_TRUE(feed.tickRequested) << "the request is made whether or not the worker is ready";
    EXPECT_TRUE(feed.skipWait);
    EXPECT_EQ(feed.accumulator, LogicTickRules::BacklogCap);
    EXPECT_EQ(feed.remainder, Tick);
    // No hand-over: the snapshot, the batch size and the smoothed time stay.
    EXPECT_EQ(feed.consumed, 1u);
    EXPECT_EQ(feed.ticksDue, 3u);
    EXPECT_EQ(feed.averageBatchMs, 2.0f);

    // Once the worker publishes, the kept backlog is handed over as two ticks.
    feed.produced = 2;
    feed.skipWait = false;
    feedLogicTicks(feed, 0.0f);
    EXPECT_EQ(feed.consumed, 2u);
    EXPECT_EQ(feed.ticksDue, 2u);
}

TEST(WorldLogicTicks, TheSmoothedTickTimeSettlesOnTheTimePerTick)
{
    LogicTickFeed feed = readyWorker();
    // One hand-over of a one-tick batch of 5 ms: 1/31 of it.
    feed.lastBatchMs = 5.0f;
    feedLogicTicks(feed, 20.0f);
    EXPECT_FLOAT_EQ(feed.averageBatchMs, 5.0f / 31.0f);

    // Batches of two ticks taking 8 ms each: 4 ms per tick in the long run.
    for (int frame = 0; frame < 2000; frame++) {
        feed.produced = feed.consumed + 1;
        feed.ticksDue = 2; // the batch just published
        feed.lastBatchMs = 8.0f;
        ASSERT_TRUE(feedLogicTicks(feed, 20.0f));
    }
    EXPECT_NEAR(feed.averageBatchMs, 4.0f, 0.01f);
}

TEST(WorldLogicTicks, AnyFrameSequenceKeepsTheRecordInRange)
{
    std::mt19937 generator(5);
    std::uniform_real_distribution<f32> frameTime(0.0f, 100.0f);
    std::bernoulli_distribution publishes(0.7);
    LogicTickFeed feed = readyWorker();
    for (int frame = 0; frame < 20000; frame++) {
        if (publishes(generator)) feed.produced = feed.consumed + 1;
        u32 before = feed.consumed;
        bool handedOver = feedLogicTicks(feed, frameTime(generator)) && feed.consumed != before;
        ASSERT_GE(feed.accumulator, 0.0f);
        ASSERT_GE(feed.remainder, 0.0f);
        ASSERT_LE(feed.remainder, Tick + 1e-6f);
        ASSERT_GE(feed.ticksDue, 1u);
        ASSERT_LE(feed.ticksDue, 5u);
        if (handedOver) {
            ASSERT_LT(feed.accumulator, Tick) << "a hand-over leaves less than one tick";
        } else {
            ASSERT_LE(feed.accumulator, 0.1f);
        }
    }
}

TEST(WorldStartCamera, StandsThirtyUnitsBesideAndFiftyAboveTheSite)
{
    glm::vec3 position = startCameraPosition({-512.0f, 0.0f, -512.0f}, {500, 10, 480});
    EXPECT_EQ(position, glm::vec3(18.0f, 54.0f, -32.0f));
}

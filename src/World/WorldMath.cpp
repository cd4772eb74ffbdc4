#include "World/WorldMath.h"

#include "World/Terrain/TerrainRules.h"
#include "World/WorldRules.h"

#include <algorithm>
#include <cmath>

CameraPlanes cameraPlanes(glm::vec3 position, f32 planetRadius)
{
    using namespace WorldCameraRules;
    f32 distance = glm::distance(position, glm::vec3(0.0f, -planetRadius, 0.0f));
    if (planetRadius * SpaceDistanceFactor > distance) {
        return {PlanetNear, planetRadius * PlanetFarFactor};
    }
    return {SpaceNear, SpaceFar};
}

bool feedLogicTicks(LogicTickFeed& feed, f32 frameMs)
{
    using namespace LogicTickRules;
    const f32 dt = frameMs * 0.001f;
    feed.accumulator += dt;
    feed.remainder = feed.accumulator;
    if (feed.accumulator < Tick) {
        return false;
    }

    feed.tickRequested = true;
    if (feed.consumed == feed.produced) {
        // The worker has not finished the batch it was given: keep at most two ticks of
        // backlog and let it start the next batch without waiting.
        feed.accumulator = std::min(feed.accumulator, BacklogCap);
        feed.remainder = Tick;
        feed.skipWait = true;
        return true;
    }

    // The worker published a batch since the last hand-over: fold its time into the
    // smoothed tick time, once per tick it ran.
    const u32 lastTicks = feed.ticksDue;
    for (u32 i = 0; i < lastTicks; i++) {
        feed.averageBatchMs =
            (feed.lastBatchMs / static_cast<f32>(lastTicks * BatchShare) + feed.averageBatchMs) * Smoothing;
    }
    const f32 wholeTicks = std::floor(feed.accumulator / Tick);
    feed.ticksDue = static_cast<u32>(std::min(static_cast<i32>(feed.accumulator / Tick), MaxTicksPerBatch));
    if (dt >= Tick) {
        feed.remainder = std::min(feed.accumulator, Tick);
    }
    // Every whole tick leaves the accumulator, also those beyond the batch limit: a
    // long frame is not made up later. The quotient can round up to the next whole
    // tick, which would leave a tiny negative time: it counts as none.
    feed.accumulator = std::max(feed.accumulator - wholeTicks * Tick, 0.0f);
    if (dt < Tick) {
        feed.remainder = feed.accumulator;
    }
    feed.consumed = feed.produced;
    return true;
}

glm::vec3 startCameraPosition(glm::vec3 origin, glm::ivec3 site)
{
    using namespace WorldCameraRules;
    return origin + glm::vec3(static_cast<f32>(site.x) + StartOffsetX,
                              static_cast<f32>(site.y) * TerrainGridRules::StepHeight + StartHeight,
                              static_cast<f32>(site.z));
}

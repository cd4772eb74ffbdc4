#include "Game/Towers/ReachGrid.h"

#include "Game/Towers/AimRules.h"
#include "Game/Towers/Ballistics.h"
#include "World/Terrain/TerrainRules.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// [first, last] of cells (or buckets) along one axis, clipped to [0, highest]; empty
// (first > last) when nothing is left or the input is not finite.
std::pair<i32, i32> clippedSpan(f32 low, f32 high, i32 highest)
{
    if (!std::isfinite(low) || !std::isfinite(high) || highest < 0) return {0, -1};
    // Far outside the grid the floors need not fit an i32.
    const f64 first = std::max(std::floor(static_cast<f64>(low)), 0.0);
    const f64 last = std::min(std::floor(static_cast<f64>(high)), static_cast<f64>(highest));
    if (first > last) return {0, -1};
    return {static_cast<i32>(first), static_cast<i32>(last)};
}

} // namespace

ReachGrid::ReachGrid(glm::vec2 position_, f32 radius_, f32 gravity_, ReachTerrain terrain_)
    : position(position_), radius(radius_), gravity(gravity_), terrain(std::move(terrain_))
{
    const i32 lastCell = static_cast<i32>(terrain.side) - 2;
    const auto [firstX, lastX] = clippedSpan(position.x - radius, position.x + radius, lastCell);
    const auto [firstZ, lastZ] = clippedSpan(position.y - radius, position.y + radius, lastCell);
    x0 = firstX;
    z0 = firstZ;
    width = static_cast<u32>(lastX - firstX + 1);
    depth = static_cast<u32>(lastZ - firstZ + 1);
    reachable.assign(static_cast<size_t>(width) * depth, 0);
}

void ReachGrid::rebuild(const glm::vec3& muzzle, f32 projSpeed, bool shootFlat)
{
    dirty = false;
    const i32 arcSign = shootFlat ? AimRules::FlatArc : AimRules::HighArc;
    const f32 mx = muzzle.x - terrain.origin.x;
    const f32 mz = muzzle.z - terrain.origin.z;
    const f64 radiusSquared = static_cast<f64>(radius) * radius;
    for (u32 row = 0; row < depth; row++) {
        const i32 cz = z0 + static_cast<i32>(row);
        for (u32 column = 0; column < width; column++) {
            const i32 cx = x0 + static_cast<i32>(column);
            u8& cell = reachable[static_cast<size_t>(row) * width + column];
            cell = 0;
            const i32 step = terrain.steps[static_cast<size_t>(cz) * terrain.side + static_cast<size_t>(cx)];
            const glm::vec3 d(static_cast<f32>(cx) + 0.5f - mx,
                              terrain.origin.y + static_cast<f32>(step) * TerrainGridRules::StepHeight +
                                  AimRules::AimAboveGround - muzzle.y,
                              static_cast<f32>(cz) + 0.5f - mz);
            const f64 distanceSquared = static_cast<f64>(d.x) * d.x + static_cast<f64>(d.z) * d.z;
            if (distanceSquared > radiusSquared || distanceSquared < AimRules::MinReachDistanceSquared) continue;
            const f32 pitch = Ballistics::launchAngle(d, projSpeed, arcSign, gravity);
            if (!Ballistics::hasSolution(pitch)) continue;
            cell = arcIsClear(muzzle, d, pitch, projSpeed) ? 1 : 0;
        }
    }
}

bool ReachGrid::arcIsClear(const glm::vec3& muzzle, const glm::vec3& d, f32 pitch, f32 speed) const
{
    const f32 x = std::sqrt(d.x * d.x + d.z * d.z);
    const f32 ux = d.x / x;
    const f32 uz = d.z / x;
    const f32 horizontalSpeed = speed * std::cos(pitch);
    const f32 verticalSpeed = speed * std::sin(pitch);
    const f32 halfGravity = gravity * 0.5f;
    const f32 time = Ballistics::flightTime(x, pitch, speed);
    if (!std::isfinite(time) || !(time > 0.0f)) return false;
    auto arcPoint = [&](f32 t) {
        return muzzle + glm::vec3(ux * horizontalSpeed * t, verticalSpeed * t - halfGravity * t * t,
                                  uz * horizontalSpeed * t);
    };
    glm::vec3 from = muzzle;
    for (i32 k = 1; k <= AimRules::ArcSegments; k++) {
        const glm::vec3 to = arcPoint(time * static_cast<f32>(k) / static_cast<f32>(AimRules::ArcSegments));
        if (terrain.segmentHitsTerrain && terrain.segmentHitsTerrain(from, to)) return false;
        from = to;
    }
    return true;
}

std::vector<u32> bucketsInReach(glm::vec2 position, f32 radius, u32 bucketsPerSide)
{
    const f32 size = static_cast<f32>(AimRules::BucketSize);
    const i32 last = static_cast<i32>(bucketsPerSide) - 1;
    const auto [firstColumn, lastColumn] = clippedSpan((position.x - radius) / size, (position.x + radius) / size, last);
    const auto [firstRow, lastRow] = clippedSpan((position.y - radius) / size, (position.y + radius) / size, last);
    std::vector<u32> buckets;
    for (i32 column = firstColumn; column <= lastColumn; column++) {
        for (i32 row = firstRow; row <= lastRow; row++) {
            buckets.push_back(static_cast<u32>(row) * bucketsPerSide + static_cast<u32>(column));
        }
    }
    return buckets;
}

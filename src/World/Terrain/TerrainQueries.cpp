#include "World/Terrain/TerrainGrid.h"

#include "Engine/Camera/Random.h"
#include "Engine/Engine.h"

#include <algorithm>
#include <cmath>
#include <numbers>

using namespace BuildSiteRules;

bool TerrainGrid::footprintStepRange(glm::ivec2 corner, glm::ivec2 size, glm::ivec2& range) const
{
    // 64-bit sums: no overflow for any corner and size.
    i64 n = gridSize;
    if (corner.x < 0 || corner.y < 0 || i64{corner.x} + size.x >= n || i64{corner.y} + size.y >= n) return false;
    i32 low = FootprintRules::NoMin;
    i32 high = FootprintRules::NoMax;
    // A negative size gives an empty scan and the untouched bounds.
    for (i64 z = corner.y; z <= i64{corner.y} + size.y; z++) {
        const i32* row = steps.data() + z * n;
        for (i64 x = corner.x; x <= i64{corner.x} + size.x; x++) {
            low = std::min(low, row[x]);
            high = std::max(high, row[x]);
        }
    }
    range = glm::ivec2(low, high);
    return true;
}

glm::ivec3 TerrainGrid::findBuildSite(glm::ivec2 centre, glm::ivec3 size, f32 maxRadius, i32 tolerance) const
{
    return findBuildSite(centre, size, maxRadius, tolerance, *Engine::random);
}

glm::ivec3 TerrainGrid::findBuildSite(glm::ivec2 centre, glm::ivec3 size, f32 maxRadius, i32 tolerance,
                                      Random& source) const
{
    return findBuildSite(centre, size, maxRadius, tolerance, source, [](const glm::ivec3&) { return true; });
}

glm::ivec3 TerrainGrid::findBuildSite(glm::ivec2 centre, glm::ivec3 size, f32 maxRadius, i32 tolerance,
                                      Random& source, const std::function<bool(const glm::ivec3&)>& accept) const
{
    const f64 scale = 1.0 / 4294967296.0;
    const f64 MaxOffset = 1e8;
    // Rings of equal area, from the centre outwards.
    for (u32 band = 0; band < BandCount; band++) {
        f64 low = BandWidth * band;
        f64 high = low + BandWidth;
        for (u32 attempt = 0; attempt < TriesPerBand; attempt++) {
            f64 angle = 2.0 * std::numbers::pi * (static_cast<f64>(source.engine()) * scale);
            f64 u = static_cast<f64>(source.engine()) * scale;
            f64 r = std::sqrt(low + u * (high - low)) * static_cast<f64>(maxRadius);
            f64 offsetX = std::cos(angle) * r;
            f64 offsetZ = std::sin(angle) * r;
            // A radius that is not a sane number finds nothing (and never converts badly).
            if (!(std::fabs(offsetX) < MaxOffset && std::fabs(offsetZ) < MaxOffset)) continue;
            glm::ivec2 corner(static_cast<i32>(offsetX) - size.x / 2 + centre.x,
                              centre.y + static_cast<i32>(offsetZ) - size.z / 2);
            glm::ivec2 range;
            if (footprintStepRange(corner, glm::ivec2(size.x, size.z), range) && range.y - range.x <= tolerance) {
                const glm::ivec3 site(corner.x, range.y, corner.y);
                if (accept(site)) return site;
            }
        }
    }

    // No flat place anywhere: the centred corner, kept inside the grid, with the
    // highest step of its footprint (or of its corner point when the footprint does
    // not fit the grid at all).
    i32 last = static_cast<i32>(gridSize) - 1;
    glm::ivec2 corner(centre.x - size.x / 2, centre.y - size.z / 2);
    corner.x = std::clamp(corner.x, 0, std::max(0, last - std::max(size.x, 0)));
    corner.y = std::clamp(corner.y, 0, std::max(0, last - std::max(size.z, 0)));
    glm::ivec2 range;
    i32 top = stepAt(static_cast<u32>(corner.x), static_cast<u32>(corner.y));
    if (footprintStepRange(corner, glm::ivec2(size.x, size.z), range) && range.x <= range.y) top = range.y;
    return glm::ivec3(corner.x, top, corner.y);
}

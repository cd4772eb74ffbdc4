#include "World/Shadow/ShadowReceivers.h"

#include <algorithm>
#include <cmath>
#include <limits>

CascadeSplit sampledRange(f32 nearPlane, u32 cascade)
{
    CascadeSplit range = cascadeSplit(nearPlane, cascade);
    range.start = cascade == 0 ? -std::numeric_limits<f32>::max() : range.start - ShadowReceiverRules::RangeSlack;
    range.end += ShadowReceiverRules::RangeSlack;
    return range;
}

namespace {

// Whether the box's view depths from `eye` along `forward` meet `range`.
bool inRange(const ReceiverBox& box, const glm::vec3& eye, const glm::vec3& forward, CascadeSplit range)
{
    const glm::vec3 centre = (box.min + box.max) * 0.5f;
    const glm::vec3 half = (box.max - box.min) * 0.5f;
    const f32 depth = glm::dot(centre - eye, forward);
    const f32 reach = glm::dot(half, glm::abs(forward));
    return depth + reach >= range.start && depth - reach <= range.end;
}

void addToRect(LightRect& rect, const LightRect& other)
{
    rect.minX = std::min(rect.minX, other.minX);
    rect.maxX = std::max(rect.maxX, other.maxX);
    rect.minY = std::min(rect.minY, other.minY);
    rect.maxY = std::max(rect.maxY, other.maxY);
    rect.nearest = std::min(rect.nearest, other.nearest);
    rect.deepest = std::max(rect.deepest, other.deepest);
}

// The bins (first and last, clamped to the grid) that a light-space span covers on one
// axis of `area`; false when it lies wholly outside.
bool binSpan(f32 low, f32 high, f32 areaLow, f32 areaHigh, u32& first, u32& last)
{
    if (high < areaLow || low > areaHigh || !(areaHigh > areaLow)) return false;
    const f32 scale = static_cast<f32>(ReceiverCoverage::Bins) / (areaHigh - areaLow);
    const f32 maxBin = static_cast<f32>(ReceiverCoverage::Bins - 1);
    first = static_cast<u32>(std::clamp(std::floor((low - areaLow) * scale), 0.0f, maxBin));
    last = static_cast<u32>(std::clamp(std::floor((high - areaLow) * scale), 0.0f, maxBin));
    return true;
}

} // namespace

LightRect lightRectOf(const glm::vec3& min, const glm::vec3& max, const glm::mat4& lightView)
{
    LightRect rect;
    for (u32 corner = 0; corner < 8; corner++) {
        const glm::vec3 p((corner & 1) ? max.x : min.x, (corner & 2) ? max.y : min.y, (corner & 4) ? max.z : min.z);
        const glm::vec4 light = lightView * glm::vec4(p, 1.0f);
        rect.minX = std::min(rect.minX, light.x);
        rect.maxX = std::max(rect.maxX, light.x);
        rect.minY = std::min(rect.minY, light.y);
        rect.maxY = std::max(rect.maxY, light.y);
        // The light camera looks along its -z.
        rect.nearest = std::min(rect.nearest, -light.z);
        rect.deepest = std::max(rect.deepest, -light.z);
    }
    return rect;
}

LightRect receiverRect(const std::vector<ReceiverBox>& boxes, const glm::mat4& lightView, const glm::vec3& eye,
                       const glm::vec3& forward, CascadeSplit range)
{
    LightRect rect;
    for (const ReceiverBox& box : boxes) {
        if (inRange(box, eye, forward, range)) addToRect(rect, lightRectOf(box.min, box.max, lightView));
    }
    return rect;
}

ReceiverCoverage receiverCoverage(const std::vector<ReceiverBox>& boxes, const glm::mat4& lightView,
                                  const glm::vec3& eye, const glm::vec3& forward, CascadeSplit range,
                                  const glm::vec4& area, f32 margin)
{
    constexpr u32 Bins = ReceiverCoverage::Bins;
    ReceiverCoverage coverage;
    coverage.area = area;
    coverage.deepest.assign(Bins * Bins, ReceiverCoverage::Uncovered);
    for (const ReceiverBox& box : boxes) {
        if (!inRange(box, eye, forward, range)) continue;
        const LightRect rect = lightRectOf(box.min, box.max, lightView);
        u32 x0 = 0, x1 = 0, y0 = 0, y1 = 0;
        if (!binSpan(rect.minX - margin, rect.maxX + margin, area.x, area.y, x0, x1)) continue;
        if (!binSpan(rect.minY - margin, rect.maxY + margin, area.z, area.w, y0, y1)) continue;
        for (u32 y = y0; y <= y1; y++) {
            for (u32 x = x0; x <= x1; x++) {
                f32& deepest = coverage.deepest[y * Bins + x];
                deepest = std::max(deepest, rect.deepest + ShadowReceiverRules::DepthSlack);
            }
        }
    }
    return coverage;
}

bool coverageMeets(const ReceiverCoverage& coverage, const LightRect& caster)
{
    if (!coverage.known()) return true;
    constexpr u32 Bins = ReceiverCoverage::Bins;
    const glm::vec4& area = coverage.area;
    u32 x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    if (!binSpan(caster.minX, caster.maxX, area.x, area.y, x0, x1)) return false;
    if (!binSpan(caster.minY, caster.maxY, area.z, area.w, y0, y1)) return false;
    for (u32 y = y0; y <= y1; y++) {
        for (u32 x = x0; x <= x1; x++) {
            if (caster.nearest <= coverage.deepest[y * Bins + x]) return true;
        }
    }
    return false;
}

bool casterBounds(const glm::vec4& exact, const LightRect& receivers, f32 margin, glm::vec4& bounds)
{
    if (receivers.empty()) return false;
    bounds.x = std::max(exact.x, receivers.minX - margin);
    bounds.y = std::min(exact.y, receivers.maxX + margin);
    bounds.z = std::max(exact.z, receivers.minY - margin);
    bounds.w = std::min(exact.w, receivers.maxY + margin);
    return bounds.x < bounds.y && bounds.z < bounds.w;
}

#include "World/Shadow/ShadowReceivers.h"

#include <algorithm>
#include <limits>

CascadeSplit sampledRange(f32 nearPlane, u32 cascade)
{
    CascadeSplit range = cascadeSplit(nearPlane, cascade);
    range.start = cascade == 0 ? -std::numeric_limits<f32>::max() : range.start - ShadowReceiverRules::RangeSlack;
    range.end += ShadowReceiverRules::RangeSlack;
    return range;
}

LightRect receiverRect(const std::vector<ReceiverBox>& boxes, const glm::mat4& lightView, const glm::vec3& eye,
                       const glm::vec3& forward, CascadeSplit range)
{
    LightRect rect;
    for (const ReceiverBox& box : boxes) {
        const glm::vec3 centre = (box.min + box.max) * 0.5f;
        const glm::vec3 half = (box.max - box.min) * 0.5f;
        const f32 depth = glm::dot(centre - eye, forward);
        const f32 reach = glm::dot(half, glm::abs(forward));
        if (depth + reach < range.start || depth - reach > range.end) continue;
        for (u32 corner = 0; corner < 8; corner++) {
            const glm::vec3 p((corner & 1) ? box.max.x : box.min.x, (corner & 2) ? box.max.y : box.min.y,
                              (corner & 4) ? box.max.z : box.min.z);
            const glm::vec4 light = lightView * glm::vec4(p, 1.0f);
            rect.minX = std::min(rect.minX, light.x);
            rect.maxX = std::max(rect.maxX, light.x);
            rect.minY = std::min(rect.minY, light.y);
            rect.maxY = std::max(rect.maxY, light.y);
        }
    }
    return rect;
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

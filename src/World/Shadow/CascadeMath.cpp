#include "World/Shadow/CascadeMath.h"

#include "Engine/Camera/CameraMath.h"

#include <algorithm>
#include <cmath>

CascadeSplit cascadeSplit(f32 nearPlane, u32 cascade)
{
    using namespace ShadowRules;
    const f32 range = ShadowDistance - nearPlane;
    const f32 count = static_cast<f32>(CascadeCount);
    const f32 index = static_cast<f32>(cascade);
    CascadeSplit split;
    split.start = nearPlane + range * std::pow(index / count, SplitExponent);
    split.end = nearPlane + range * std::pow((index + 1.0f) / count + CascadeOverlap, SplitExponent);
    return split;
}

glm::mat4 cascadeViewProjection(f32 fovDegrees, f32 aspect, CascadeSplit split, const glm::mat4& view)
{
    return perspectiveProjection(fovDegrees, aspect, split.start, split.end) * view;
}

std::array<glm::vec3, 8> cascadeCorners(const glm::mat4& cascadeViewProjection)
{
    const glm::mat4 inverse = glm::inverse(cascadeViewProjection);
    std::array<glm::vec3, 8> corners;
    u32 n = 0;
    for (f32 x : {-1.0f, 1.0f}) {
        for (f32 y : {-1.0f, 1.0f}) {
            for (f32 z : {-1.0f, 1.0f}) {
                const glm::vec4 corner = inverse * glm::vec4(x, y, z, 1.0f);
                corners[n++] = glm::vec3(corner) / corner.w;
            }
        }
    }
    return corners;
}

f32 cascadeExtentOf(const glm::mat4& cascadeViewProjection)
{
    const std::array<glm::vec3, 8> corners = cascadeCorners(cascadeViewProjection);
    f32 extent = 0.0f;
    for (size_t a = 0; a < corners.size(); a++) {
        for (size_t b = a + 1; b < corners.size(); b++) {
            extent = std::max(extent, glm::distance(corners[a], corners[b]));
        }
    }
    return extent;
}

LightBounds lightSpaceBounds(const glm::mat4& cascadeViewProjection, const glm::mat4& lightView)
{
    f32 minX = 1e30f, maxX = -1e30f, minY = 1e30f, maxY = -1e30f, minZ = 1e30f, maxZ = -1e30f;
    for (const glm::vec3& corner : cascadeCorners(cascadeViewProjection)) {
        const glm::vec3 p = glm::vec3(lightView * glm::vec4(corner, 1.0f));
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
        minZ = std::min(minZ, p.z);
        maxZ = std::max(maxZ, p.z);
    }
    // The light camera looks along -z: distances in front of it are -z.
    return {minX, maxX, minY, maxY, -maxZ, -minZ};
}

u32 coveredTexels(f32 origin, f32 edge, f32 texel, u32 mapSize)
{
    const f32 texels = std::ceil((edge - origin) / texel) + static_cast<f32>(ShadowRules::FilterMarginTexels);
    // NaN and non-positive spans (a degenerate cascade) still render one texel.
    if (!(texels >= 1.0f)) return 1;
    if (texels >= static_cast<f32>(mapSize)) return std::max(mapSize, 1u);
    return static_cast<u32>(texels);
}

CascadeFit fitCascade(const LightBounds& bounds, f32 extent, u32 mapWidth, u32 mapHeight)
{
    using namespace ShadowRules;
    CascadeFit fit;
    const f32 texel = extent / static_cast<f32>(mapWidth);
    const f32 x0 = std::floor(bounds.minX / texel) * texel;
    const f32 y0 = std::floor(bounds.minY / texel) * texel;
    fit.exact = {bounds.minX, bounds.maxX, bounds.minY, bounds.maxY};
    fit.snapped = {x0, x0 + extent, y0, y0 + extent};
    // A camera far out towards the sun has every corner more than 1000 units behind
    // the light: its farthest corner would then lie before the near plane and invert
    // the range. Nothing of the map can shadow those corners, so the range only has
    // to stay valid.
    fit.nearPlane = LightNear;
    fit.farPlane = std::max(bounds.farthest, LightNear + MinDepthRange);
    // The layer is rendered from its corner (0, 0), which the snapped square puts at
    // (x0, y0): cover up to the bounds' maximum in whole texels.
    fit.renderWidth = coveredTexels(x0, bounds.maxX, texel, mapWidth);
    fit.renderHeight = coveredTexels(y0, bounds.maxY, extent / static_cast<f32>(mapHeight), mapHeight);
    const f32 t = extent / (static_cast<f32>(mapWidth) * (fit.farPlane - fit.nearPlane));
    fit.bias = {-SlopeBiasTexels * t, -ConstantBiasTexels * t, 0.0f, 0.0f};
    return fit;
}

#pragma once

#include "Engine/Types.h"

#include <glm/glm.hpp>

#include <array>

// The arithmetic of the shadow cascades, free of GPU code: where each cascade starts
// and ends along the view, how large its light-space square is, where that square sits
// after snapping to whole texels, how much of the map layer it covers and its bias.

namespace ShadowRules {
constexpr u32 CascadeCount = 4;
constexpr f32 ShadowDistance = 1000.0f; // the cascades cover the view from the near plane to here
constexpr f32 SplitExponent = 2.1f;     // power curve of the split starts and ends
constexpr f32 CascadeOverlap = 0.025f;  // each cascade reaches this far into the next (curve parameter)
constexpr f32 LightNear = -1000.0f;     // the light's depth range starts 1000 units behind the light camera
constexpr f32 MinDepthRange = 1.0f;     // the light's far plane stays at least this far beyond its near plane
constexpr f32 SlopeBiasTexels = 4.0f;   // receiver bias per unit of surface slope, in texels of depth
constexpr f32 ConstantBiasTexels = 1.25f;
constexpr u32 FilterMarginTexels = 3;   // texels rendered beyond the cascade's bounds for filtered lookups
constexpr f32 CasterSlopeBias = 0.75f;  // the casters' hardware depth bias (slope factor)
} // namespace ShadowRules

// A cascade's view-depth range.
struct CascadeSplit {
    f32 start = 0.0f;
    f32 end = 0.0f;
};

// start = n + (D - n) (i/4)^2.1, end = n + (D - n) ((i+1)/4 + 0.025)^2.1 for near plane n
// and shadow distance D.
CascadeSplit cascadeSplit(f32 nearPlane, u32 cascade);

// The perspective of the game camera's field of view and aspect limited to the split,
// times its view.
glm::mat4 cascadeViewProjection(f32 fovDegrees, f32 aspect, CascadeSplit split, const glm::mat4& view);

// The eight corners of a cascade: its inverse applied to (+-1, +-1, +-1). The near face
// at clip depth -1 lies in front of the split start, so the box is a little longer.
std::array<glm::vec3, 8> cascadeCorners(const glm::mat4& cascadeViewProjection);

// The largest distance between two corners: the side of a square that holds the
// cascade whichever way the camera looks.
f32 cascadeExtentOf(const glm::mat4& cascadeViewProjection);

// The cascade's corners in light view space: x and y ranges, and the nearest and
// farthest distance in front of the light camera (-max z, -min z).
struct LightBounds {
    f32 minX = 0.0f;
    f32 maxX = 0.0f;
    f32 minY = 0.0f;
    f32 maxY = 0.0f;
    f32 nearest = 0.0f;
    f32 farthest = 0.0f;
};
LightBounds lightSpaceBounds(const glm::mat4& cascadeViewProjection, const glm::mat4& lightView);

// How one cascade is rendered into its map layer.
struct CascadeFit {
    glm::vec4 exact{0.0f};   // left, right, bottom, top of the cascade's corners: culls the casters
    glm::vec4 snapped{0.0f}; // the extent-sized square from the snapped corner: renders the layer
    f32 nearPlane = 0.0f;
    f32 farPlane = 0.0f;
    u32 renderWidth = 1;     // texels from the layer's corner that the cascade needs
    u32 renderHeight = 1;
    glm::vec4 bias{0.0f};    // (-4 t, -1.25 t, 0, 0), t = one texel in the range's normalised depth
};

// The square of side `extent` whose corner is the bounds' minimum snapped down to whole
// texels, the depth range from 1000 units behind the light to the farthest corner (kept
// above the near plane), the render area that covers the bounds with whole texels and
// a filter margin (within the map), and the bias terms.
CascadeFit fitCascade(const LightBounds& bounds, f32 extent, u32 mapWidth, u32 mapHeight);

// The texels from `origin` that cover up to `edge`, plus the filter margin, within
// 1..mapSize.
u32 coveredTexels(f32 origin, f32 edge, f32 texel, u32 mapSize);

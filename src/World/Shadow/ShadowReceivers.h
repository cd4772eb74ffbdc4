#pragma once

#include "Engine/Types.h"
#include "World/Shadow/CascadeMath.h"

#include <glm/glm.hpp>

#include <vector>

// Which casters a cascade needs, free of GPU code. A cascade's texels matter only where
// a surface the eye sees looks them up: the casters are culled against the part of the
// cascade's bounds that holds such receivers (grown by the lookups' filter reach), and
// a cascade that no visible surface samples draws no caster at all.

namespace ShadowReceiverRules {
// Texels around the receivers that lookups may still read: the widest filter (4 x 4
// taps one texel apart, each a bilinear comparison) reaches 2.5; the rest is slack.
constexpr f32 LookupMarginTexels = 8.0f;
// View-depth slack at the ends of a cascade's range against rounding in the shaders'
// own cascade choice.
constexpr f32 RangeSlack = 1.0f;
// World units along the light by which a caster may lie behind the deepest receiver
// it covers and still be drawn (the lookups' depth bias is far smaller).
constexpr f32 DepthSlack = 1.0f;
} // namespace ShadowReceiverRules

// A world-space box of surfaces that take the sun's shadow.
struct ReceiverBox {
    glm::vec3 min{0.0f};
    glm::vec3 max{0.0f};
};

// A light-space rectangle (x and y of the light camera's view), with the depths along
// the light (away from the sun) that it spans; empty at first.
struct LightRect {
    f32 minX = 1e30f;
    f32 maxX = -1e30f;
    f32 minY = 1e30f;
    f32 maxY = -1e30f;
    f32 nearest = 1e30f;
    f32 deepest = -1e30f;

    bool empty() const { return minX > maxX || minY > maxY; }
};

// The view depths (along the camera's forward vector) at which the scene shaders read
// cascade `cascade`: from its start (from anywhere nearer for the first) to its end,
// which takes in the overlap where the next cascade blends from it; with slack.
CascadeSplit sampledRange(f32 nearPlane, u32 cascade);

// The light-space rectangle of the boxes whose view-depth range from `eye` along
// `forward` meets `range`.
LightRect receiverRect(const std::vector<ReceiverBox>& boxes, const glm::mat4& lightView, const glm::vec3& eye,
                       const glm::vec3& forward, CascadeSplit range);

// The casters' bounds (left, right, bottom, top): the cascade's exact bounds cut to the
// receivers grown by `margin`. False when they do not meet: the cascade has nothing
// to shade.
bool casterBounds(const glm::vec4& exact, const LightRect& receivers, f32 margin, glm::vec4& bounds);

// The light-space rectangle of a world-space box.
LightRect lightRectOf(const glm::vec3& min, const glm::vec3& max, const glm::mat4& lightView);

// Where within the casters' bounds the receivers of a cascade lie, on a grid of bins:
// the light falls along the light camera's view direction, so a caster shades nothing
// in view unless its light-space rectangle meets a bin that a receiver (grown by the
// lookups' margin) covers, at a depth along the light before the deepest receiver of
// that bin. The bounds of a cascade reach round every receiver, so they take in much
// ground between, beside and behind them that no receiver lies beneath.
struct ReceiverCoverage {
    static constexpr u32 Bins = 64;     // per side
    static constexpr f32 Uncovered = -1e30f;
    glm::vec4 area{0.0f};               // left, right, bottom, top (the casters' bounds)
    std::vector<f32> deepest;           // Bins x Bins, row (y) by row; empty: not known

    bool known() const { return !deepest.empty(); }
};

// The coverage of the receivers whose view-depth range (from `eye` along `forward`)
// meets `range`, each grown by `margin` across the light (and by `DepthSlack` along
// it), over `area`.
ReceiverCoverage receiverCoverage(const std::vector<ReceiverBox>& boxes, const glm::mat4& lightView,
                                  const glm::vec3& eye, const glm::vec3& forward, CascadeSplit range,
                                  const glm::vec4& area, f32 margin);

// Whether a caster with this light-space rectangle and depths may shade a receiver:
// always when the coverage is not known.
bool coverageMeets(const ReceiverCoverage& coverage, const LightRect& caster);

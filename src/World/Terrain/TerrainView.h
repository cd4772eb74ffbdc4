#pragma once

#include "Engine/Types.h"
#include "World/Culling/BoundingAABB.h"

#include <glm/glm.hpp>

#include <vector>

struct ChunkCells;
struct Frustum;

// What the terrain's draws see, free of GPU code: which chunks of a set are in view,
// and the widened view of the water prepass.

// The visibility pass of one chunk set: with culling on every box is tested against
// the frustum (inactive boxes keep their flag), with culling off every box is marked
// visible. Returns how many boxes are both active and visible.
u32 updateChunkVisibility(std::vector<BoundingAABB>& boxes, const Frustum& frustum, bool cullingEnabled);

// The water prepass looks through a frustum twice as wide and twice as high at the same
// distance: 2 atan(2 tan(fov / 2)), in degrees.
f32 prepassFieldOfView(f32 fovDegrees);

// What the sea can show of the ground beneath it. The water samples the prepass along
// view rays through points below its crests at most `reach` from a point of the
// surface it shades (its depth times its refractive strength), so prepass ground is
// only ever seen beyond such a point, within the camera's view widened at its side
// planes (which pass through the eye) by `reach` times how much further the ray drops
// to that ground than to the point.
struct SeaView {
    glm::vec3 eye{0.0f}; // the camera
    f32 crest = 0.0f;    // the highest wave, above y = 0 (the top of the sea sphere)
    f32 reach = 0.0f;
};

namespace SeaViewRules {
// World units added to the widening: the prepass is sampled between texels.
constexpr f32 SampleSlack = 4.0f;
// A camera this close above the crests (or below them) may see any prepass ground.
constexpr f32 LowestEye = 0.5f;
} // namespace SeaViewRules

// Whether the box lies within the camera's view (`view`, planes 0-3 its sides) widened
// for the sea as above: the water never samples the prepass anywhere else, and nothing
// there stands in front of what it samples.
bool withinSeaView(const glm::vec3& min, const glm::vec3& max, const Frustum& view, const SeaView& sea);

// The mask of a chunk's cells (bit = cell index) that are not empty and lie within the
// sea's view.
u32 cellsWithinSeaView(const ChunkCells& cells, const Frustum& view, const SeaView& sea);

// Whether the box of prepass ground can be seen through the sea: within the sea's view,
// and not wholly above the crests (beyond a point below them, a ray from above only
// goes lower).
bool seenThroughSea(const glm::vec3& min, const glm::vec3& max, const Frustum& view, const SeaView& sea);

// The aspect of the prepass images, twice the window in each direction; 0 for a window
// without area (minimised).
f32 prepassAspect(i32 windowWidth, i32 windowHeight);

#pragma once

#include "Engine/Types.h"
#include "World/Culling/BoundingAABB.h"

#include <vector>

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

// The aspect of the prepass images, twice the window in each direction; 0 for a window
// without area (minimised).
f32 prepassAspect(i32 windowWidth, i32 windowHeight);

#pragma once

// The night sky as the six faces of a cube map: stars of many brightnesses and tints
// and a faint band of the galaxy across the sky. Every texel is computed from its
// direction, so the faces meet without seams.

#include "SkyTexture.h"

#include <array>

// Cube faces in layer order: +X, -X, +Y, -Y, +Z, -Z.
constexpr u32 CubeFaceCount = 6;

// The unit direction through texel (x, y) of a face of `size` texels, as a cube-map
// lookup selects it: face, then s across and t down the face.
glm::vec3 cubeTexelDirection(u32 face, u32 x, u32 y, u32 size);

// Where the ray of a direction crosses a face's plane, as (s, t) with [0, 1]^2 on the
// face itself; false when the direction points away from the face.
bool projectOntoFace(u32 face, glm::vec3 direction, glm::vec2* st);
// The face a direction falls on and its (s, t) in [0, 1]^2.
u32 cubeFaceOf(glm::vec3 direction, glm::vec2* st);

std::array<SkyImage, CubeFaceCount> renderStarField(u32 size, u64 seed);

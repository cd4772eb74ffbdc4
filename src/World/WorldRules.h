#pragma once

#include "Engine/Types.h"

// The numbers that shape a running world, grouped by what they govern.

// The game camera: its projection at the start and after a resize, the two plane
// pairs near and far from the planet, and where it starts above the centre site.
namespace WorldCameraRules {
constexpr f32 FieldOfView = 60.0f; // degrees
constexpr f32 StartNear = 2.5f;
constexpr f32 StartFar = 20000.0f;
constexpr f32 PlanetNear = 2.5f;            // within SpaceDistanceFactor radii of the planet centre
constexpr f32 PlanetFarFactor = 3.0f;       // far plane in planet radii near the planet
constexpr f32 SpaceDistanceFactor = 1.3f;   // beyond this many radii from the centre: the space planes
constexpr f32 SpaceNear = 100.0f;
constexpr f32 SpaceFar = 500000.0f;
constexpr f32 StartOffsetX = 30.0f;         // units along +x from the site
constexpr f32 StartHeight = 50.0f;          // units above the site's highest step
constexpr f32 StartYaw = -1.5708f;          // radians: looking along -x, back at the site
constexpr f32 StartPitch = 0.8f;            // radians, downwards
constexpr f32 CullingLookAhead = 100.0f;    // "Show Frustum Culling": cull from this far ahead
} // namespace WorldCameraRules

// Feeding the game-logic thread: fixed ticks, handed over in batches.
namespace LogicTickRules {
constexpr f32 Tick = 1.0f / 60.0f;        // seconds (0.016666668)
constexpr i32 MaxTicksPerBatch = 5;
constexpr f32 BacklogCap = 1.0f / 30.0f;  // seconds kept while the worker is behind
constexpr u32 BatchShare = 30;            // a batch's weight in the smoothed tick time is 1/31
constexpr f32 Smoothing = 0.9677419f;     // 30/31
} // namespace LogicTickRules

// The landscape a world is built on and the culling grid laid over it.
namespace WorldLayoutRules {
constexpr u32 ChunkSize = 64;
constexpr u32 ChunksPerSide = 16;
constexpr u32 CullingCellsPerChunk = 2; // per side: cells of 32 x 32 units
constexpr u32 LoadingStageCount = 6;
} // namespace WorldLayoutRules

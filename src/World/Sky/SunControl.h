#pragma once

#include "Engine/Types.h"

#include <glm/glm.hpp>

struct SkyboxParams;

// The sun's course: the player turns it about the z axis with the arrow keys.
namespace SunControl {
constexpr f32 StartAngle = -1.0f;         // radians; every world starts here
constexpr f32 TurnRate = 0.05f;           // radians per second
constexpr f32 FastTurnRate = 0.5f;        // radians per second while Shift is held
constexpr f32 FullTurn = 6.2831855f;      // 2 pi as a float
constexpr f32 MillisecondsToSeconds = 0.001f;
} // namespace SunControl

// The arrow keys and Shift as held this frame.
struct SunKeys {
    bool left = false;
    bool right = false;
    bool shift = false;
};

// The angle after one frame of `frameMs` milliseconds: Left turns back, Right forward,
// both together cancel; the result is wrapped into [0, 2 pi).
f32 turnSun(f32 angle, const SunKeys& keys, f32 frameMs);

// `angle` wrapped into [0, 2 pi).
f32 wrapSunAngle(f32 angle);

// The unit direction towards the sun: straight up at angle 0, moving in the x-y plane.
glm::vec3 sunDirectionOf(f32 angle);

// Every parameter back to its default, except the sun direction.
void resetSkyParams(SkyboxParams& params);

#pragma once

#include "Engine/Types.h"

#include <glm/glm.hpp>

#include <cstddef>

// The camera's arithmetic, free of GPU and window code. Matrices are column-major,
// right-handed, with clip depth 0 to 1. The views look along `forward` with the up
// vector (0, -1, 0), which turns the image upright in Vulkan's downward clip y.

namespace CameraConstants {
constexpr f32 degreesToRadians = 0.017453292f;
constexpr f32 lookDistance = 1000.0f;          // the look-at target lies this far ahead
constexpr f32 verticalAlignment = 0.999999f;   // beyond this |forward . up| the up vector is nudged
constexpr f32 mouseTurn = 0.002f;              // radians per pixel at mouse factor 1
constexpr f32 pitchLimit = 1.553343f;          // 89 degrees either way
constexpr f32 flightSpeed = 0.05f;             // units per millisecond of frame time
constexpr f32 fastFlight = 5.0f;               // speed factor while Shift is held
constexpr f32 rayDepth = 0.1f;                 // clip depth of the point a pick ray passes through
} // namespace CameraConstants

// The camera's uniform block as every world shader reads it (std140, 104 bytes).
struct CameraUniforms {
    glm::mat4 viewProjection{0.0f};
    glm::vec3 position{0.0f};
    f32 reserved0 = 0.0f;
    glm::vec3 forward{0.0f};
    f32 reserved1 = 0.0f;
    f32 nearPlane = 0.0f;
    f32 farPlane = 0.0f;
};
static_assert(sizeof(CameraUniforms) == 104);
static_assert(offsetof(CameraUniforms, position) == 64);
static_assert(offsetof(CameraUniforms, forward) == 80);
static_assert(offsetof(CameraUniforms, nearPlane) == 96);
static_assert(offsetof(CameraUniforms, farPlane) == 100);

glm::mat4 perspectiveProjection(f32 fovDegrees, f32 aspect, f32 nearPlane, f32 farPlane);
// bounds = (left, right, bottom, top)
glm::mat4 orthographicProjection(glm::vec4 bounds, f32 nearPlane, f32 farPlane);

// The unit view direction of yaw and pitch (radians): (sin yaw cos pitch, -sin pitch,
// cos yaw cos pitch).
glm::vec3 forwardFromAngles(f32 yaw, f32 pitch);

// The up vector of a view along `forward`: (0, -1, 0), or, when `forward` lies along
// that axis in either direction, (0, -1, 0.1) normalised so that the view stays defined.
glm::vec3 viewUp(glm::vec3 forward);

// Look-at from `eye` towards eye + forward * lookDistance with viewUp(forward).
glm::mat4 viewAlong(glm::vec3 eye, glm::vec3 forward);

// The unit direction of the ray through a cursor pixel (y grows downwards), from the
// projection and the view without translation.
glm::vec3 rayThroughPixel(const glm::mat4& projection, const glm::mat4& rotationView, glm::ivec2 cursor,
                          glm::ivec2 viewport);

// (pixel x, pixel y, depth) of a world point; points behind the camera are not filtered.
glm::vec3 projectToScreen(const glm::mat4& projection, const glm::mat4& view, glm::vec3 point, glm::ivec2 viewport);

// Mouse look: yaw follows the horizontal movement, pitch the vertical one within
// +-pitchLimit.
void turnByMouse(f32& yaw, f32& pitch, f32 deltaX, f32 deltaY, f32 mouseFactor);

// The flight keys held this frame.
struct FlightKeys {
    bool forward = false;  // W
    bool backward = false; // S
    bool left = false;     // A
    bool right = false;    // D
    bool up = false;       // Space
    bool down = false;     // Ctrl
    bool fast = false;     // left Shift
};

// The position after one frame of free flight: along `forward`, sideways along
// (-cos yaw, 0, sin yaw) and vertically, at flightSpeed * frame milliseconds.
glm::vec3 flightStep(glm::vec3 position, glm::vec3 forward, f32 yaw, const FlightKeys& keys, f32 frameMs);

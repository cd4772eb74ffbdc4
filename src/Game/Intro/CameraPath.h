#pragma once

#include "Engine/Types.h"

#include <glm/vec3.hpp>

#include <atomic>
#include <vector>

class Camera;

// One pose of the intro flight and how fast the flight passes it.
struct CameraKeyframe {
    glm::vec3 position{0.0f};  // world coordinates
    glm::vec3 direction{0.0f}; // the camera's forward vector, unit length or zero
    f32 speed = 0.0f;          // key intervals per second
};

// The intro flight from far out in space down to the castle (global
// Engine::cameraPath). A smootherstep blend of the four keys around the current time;
// the last two keys are the game camera's start pose, written for every new game.
class CameraPath {
public:
    // The path drives the game camera. Written by the loader thread before the world
    // is published, read by the main loop and the interface.
    std::atomic<bool> playing{false};
    f32 time = 0.0f; // along the path in key units: key k at time k
    std::vector<CameraKeyframe> keys;

    // The 23 keys of the flight; not playing.
    CameraPath();
    CameraPath(const CameraPath&) = delete;
    CameraPath& operator=(const CameraPath&) = delete;

    // The end of the flight becomes the game camera's pose (the last two keys), and
    // the flight starts from its beginning.
    void start(const glm::vec3& endPosition, const glm::vec3& endForward);

    // One frame of the flight while it plays: Enter (held) skips to the end; otherwise
    // the camera takes the blended pose and the time advances by the blended speed.
    void apply(f32 frameMs, Camera* camera);
    // The same with the state of the skip key given.
    void advance(f32 frameMs, Camera* camera, bool skipHeld);

    // The blended pose at `atTime` (clamped to the path): position and unit forward
    // (zero when the blended direction vanishes), and the blended speed.
    CameraKeyframe poseAt(f32 atTime) const;

private:
    void finish(Camera* camera);
};

// Smootherstep: ((6u - 15)u + 10)u^3.
constexpr f32 smootherstep(f32 u)
{
    return ((6.0f * u - 15.0f) * u + 10.0f) * u * u * u;
}

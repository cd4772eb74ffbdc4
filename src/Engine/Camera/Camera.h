#pragma once

#include "Engine/Camera/CameraMath.h"
#include "Engine/Types.h"

#include <glm/glm.hpp>

class GraphicsDevice;
class Input;
class DsUniformSingle;
struct StorageSlot;

// A view from `position` along `forward` with a perspective or orthographic
// projection, and the uniform block that the world shaders read at their camera
// binding. Also the free-flight control, pick rays and screen projection.
class Camera {
public:
    glm::mat4 rotationView{1.0f}; // the view without translation
    glm::mat4 view{1.0f};
    glm::mat4 projection{1.0f};
    StorageSlot* uniformSlot = nullptr; // 104 bytes in the per-frame uniform storage (owned)
    CameraUniforms uniforms{};
    glm::vec3 forward{-1.0f, 0.0f, 0.0f};
    glm::vec3 position{0.0f};
    GraphicsDevice* device = nullptr;
    Input* input = nullptr;
    DsUniformSingle* uniformStorage = nullptr;
    bool perspective = false;
    f32 fovDegrees = 0.0f;
    f32 aspect = 0.0f;
    f32 near = 0.0f;
    f32 far = 0.0f;
    glm::vec4 orthoBounds{0.0f}; // left, right, bottom, top
    f32 yaw = 0.0f;              // radians
    f32 pitch = 0.0f;            // radians

    // Takes the engine's device, input and per-frame uniform storage and writes the
    // zeroed block once. Without a uniform storage the block stays on the CPU.
    Camera();
    ~Camera();
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    void setPerspective(f32 fovDegrees, f32 aspect, f32 nearPlane, f32 farPlane);
    // bounds = (left, right, bottom, top)
    void setOrthographic(glm::vec4 bounds, f32 nearPlane, f32 farPlane);
    // forward from yaw and pitch
    void updateForward();
    // view, rotationView and the block from position and forward; uploads nothing
    void updateView();
    // One frame of free flight: right mouse button captures the cursor and turns the
    // view, W/S/A/D/Space/Ctrl move (Shift five times faster). moveFactor is the frame
    // time in milliseconds.
    void update(f32 moveFactor, f32 mouseFactor, bool uiCapturesMouse);

    // Unit direction of the ray from `position` through a cursor pixel.
    glm::vec3 screenToWorldRay(glm::ivec2 cursor, glm::ivec2 viewport) const;
    // (pixel x, pixel y, depth) of a world point.
    glm::vec3 worldToScreen(glm::vec3 point, glm::ivec2 viewport) const;

    // Writes the block into the per-frame storage's current half and keeps the new
    // offset in uniformSlot; the owner calls it once per frame after the last change.
    void uploadUniforms();
};

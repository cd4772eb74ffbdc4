#include "Engine/Camera/Camera.h"

#include "Engine/Engine.h"
#include "Engine/Storage/DataStorage.h"
#include "Engine/Window/Input.h"
#include "Engine/Window/Window.h"

#include <GLFW/glfw3.h>

namespace {

// Flight keys by Windows virtual-key code.
FlightKeys heldFlightKeys(const Input& input)
{
    FlightKeys keys;
    keys.forward = input.isDown(Key::letter('w'));
    keys.backward = input.isDown(Key::letter('s'));
    keys.left = input.isDown(Key::letter('a'));
    keys.right = input.isDown(Key::letter('d'));
    keys.up = input.isDown(Key::Space);
    keys.down = input.isDown(Key::Control);
    keys.fast = input.isDown(Key::LeftShift);
    return keys;
}

void setCursorCaptured(Input& input, bool captured)
{
    if (input.window != nullptr && input.window->handle != nullptr) {
        glfwSetInputMode(input.window->handle, GLFW_CURSOR, captured ? GLFW_CURSOR_DISABLED : GLFW_CURSOR_NORMAL);
    }
    input.cursorCaptured = captured ? 1 : 0;
}

} // namespace

Camera::Camera()
    : device(Engine::graphicsDevice), input(Engine::input), uniformStorage(Engine::frameUniforms)
{
    uniformSlot = new StorageSlot{uniformStorage, sizeof(CameraUniforms), NoOffset};
    uploadUniforms();
}

Camera::~Camera()
{
    delete uniformSlot;
}

void Camera::setPerspective(f32 fovDegrees_, f32 aspect_, f32 nearPlane, f32 farPlane)
{
    perspective = true;
    fovDegrees = fovDegrees_;
    aspect = aspect_;
    near = nearPlane;
    far = farPlane;
    orthoBounds = glm::vec4(0.0f);
    projection = perspectiveProjection(fovDegrees, aspect, near, far);
    uniforms.nearPlane = near;
    uniforms.farPlane = far;
    updateView();
}

void Camera::setOrthographic(glm::vec4 bounds, f32 nearPlane, f32 farPlane)
{
    perspective = false;
    fovDegrees = 0.0f;
    aspect = 0.0f;
    near = nearPlane;
    far = farPlane;
    orthoBounds = bounds;
    projection = orthographicProjection(bounds, near, far);
    uniforms.nearPlane = near;
    uniforms.farPlane = far;
    updateView();
}

void Camera::updateForward()
{
    forward = forwardFromAngles(yaw, pitch);
}

void Camera::updateView()
{
    view = viewAlong(position, forward);
    rotationView = viewAlong(glm::vec3(0.0f), forward);
    uniforms.position = position;
    uniforms.forward = forward;
    uniforms.viewProjection = projection * view;
}

void Camera::update(f32 moveFactor, f32 mouseFactor, bool uiCapturesMouse)
{
    const bool turning = input->isDown(Key::MouseRight);
    if (turning && !uiCapturesMouse && !input->cursorCaptured) {
        setCursorCaptured(*input, true);
    } else if (!turning && input->cursorCaptured) {
        setCursorCaptured(*input, false);
    }
    if (turning && !uiCapturesMouse) {
        turnByMouse(yaw, pitch, input->mouseDeltaX(), input->mouseDeltaY(), mouseFactor);
    }
    updateForward();
    position = flightStep(position, forward, yaw, heldFlightKeys(*input), moveFactor);
    updateView();
}

glm::vec3 Camera::screenToWorldRay(glm::ivec2 cursor, glm::ivec2 viewport) const
{
    return rayThroughPixel(projection, rotationView, cursor, viewport);
}

glm::vec3 Camera::worldToScreen(glm::vec3 point, glm::ivec2 viewport) const
{
    return projectToScreen(projection, view, point, viewport);
}

void Camera::uploadUniforms()
{
    if (uniformStorage != nullptr) {
        uniformSlot->offset = uniformStorage->write(uniformSlot->offset, &uniforms, sizeof(CameraUniforms), false);
    }
}

#include "Engine/Camera/CameraMath.h"

#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <cmath>

glm::mat4 perspectiveProjection(f32 fovDegrees, f32 aspect, f32 nearPlane, f32 farPlane)
{
    const f32 t = std::tan(fovDegrees * CameraConstants::degreesToRadians * 0.5f);
    glm::mat4 m(0.0f);
    m[0][0] = 1.0f / (aspect * t);
    m[1][1] = 1.0f / t;
    m[2][2] = farPlane / (nearPlane - farPlane);
    m[2][3] = -1.0f;
    m[3][2] = -(farPlane * nearPlane) / (farPlane - nearPlane);
    return m;
}

glm::mat4 orthographicProjection(glm::vec4 bounds, f32 nearPlane, f32 farPlane)
{
    const f32 left = bounds.x, right = bounds.y, bottom = bounds.z, top = bounds.w;
    glm::mat4 m(0.0f);
    m[0][0] = 2.0f / (right - left);
    m[1][1] = 2.0f / (top - bottom);
    m[2][2] = -1.0f / (farPlane - nearPlane);
    m[3][0] = -(right + left) / (right - left);
    m[3][1] = -(top + bottom) / (top - bottom);
    m[3][2] = -nearPlane / (farPlane - nearPlane);
    m[3][3] = 1.0f;
    return m;
}

glm::vec3 forwardFromAngles(f32 yaw, f32 pitch)
{
    return glm::normalize(glm::vec3(std::sin(yaw) * std::cos(pitch), -std::sin(pitch), std::cos(yaw) * std::cos(pitch)));
}

glm::vec3 viewUp(glm::vec3 forward)
{
    const glm::vec3 up(0.0f, -1.0f, 0.0f);
    // Looking straight down or straight up, the up vector would be parallel to the
    // view direction and the look-at degenerate: nudge it in both cases.
    if (std::abs(glm::dot(forward, up)) > CameraConstants::verticalAlignment) {
        return glm::normalize(glm::vec3(0.0f, -1.0f, 0.1f));
    }
    return up;
}

glm::mat4 viewAlong(glm::vec3 eye, glm::vec3 forward)
{
    return glm::lookAtRH(eye, eye + forward * CameraConstants::lookDistance, viewUp(forward));
}

glm::vec3 rayThroughPixel(const glm::mat4& projection, const glm::mat4& rotationView, glm::ivec2 cursor,
                          glm::ivec2 viewport)
{
    const glm::mat4 inverse = glm::inverse(projection * rotationView);
    const f32 x = 2.0f * static_cast<f32>(cursor.x) / static_cast<f32>(viewport.x) - 1.0f;
    const f32 y = 2.0f * static_cast<f32>(cursor.y) / static_cast<f32>(viewport.y) - 1.0f;
    const glm::vec4 q = inverse * glm::vec4(x, y, CameraConstants::rayDepth, 1.0f);
    return glm::normalize(glm::vec3(q) / q.w);
}

glm::vec3 projectToScreen(const glm::mat4& projection, const glm::mat4& view, glm::vec3 point, glm::ivec2 viewport)
{
    const glm::vec4 clip = projection * (view * glm::vec4(point, 1.0f));
    const glm::vec3 n = glm::vec3(clip) / clip.w;
    return {(n.x * 0.5f + 0.5f) * static_cast<f32>(viewport.x), (n.y * 0.5f + 0.5f) * static_cast<f32>(viewport.y), n.z};
}

void turnByMouse(f32& yaw, f32& pitch, f32 deltaX, f32 deltaY, f32 mouseFactor)
{
    using namespace CameraConstants;
    yaw += deltaX * mouseTurn * mouseFactor;
    pitch = std::clamp(pitch + deltaY * mouseTurn * mouseFactor, -pitchLimit, pitchLimit);
}

glm::vec3 flightStep(glm::vec3 position, glm::vec3 forward, f32 yaw, const FlightKeys& keys, f32 frameMs)
{
    using namespace CameraConstants;
    const f32 speed = flightSpeed * frameMs * (keys.fast ? fastFlight : 1.0f);
    const glm::vec3 side(-std::cos(yaw), 0.0f, std::sin(yaw));
    if (keys.forward) position += forward * speed;
    if (keys.backward) position -= forward * speed;
    if (keys.left) position += side * speed;
    if (keys.right) position -= side * speed;
    if (keys.up) position.y += speed;
    if (keys.down) position.y -= speed;
    return position;
}

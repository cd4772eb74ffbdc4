#include "Engine/Camera/Camera.h"
#include "Engine/Camera/CameraMath.h"
#include "Engine/Camera/Frustum.h"
#include "Engine/Storage/DataStorage.h"
#include "Engine/Window/Input.h"

#include <glm/gtc/constants.hpp>
#include <gtest/gtest.h>

#include <cmath>

namespace {

void expectMatrixNear(const glm::mat4& actual, const glm::mat4& expected, f32 tolerance = 1e-5f)
{
    for (int c = 0; c < 4; c++) {
        for (int r = 0; r < 4; r++) {
            EXPECT_NEAR(actual[c][r], expected[c][r], tolerance) << "column " << c << " row " << r;
        }
    }
}

void expectVecNear(glm::vec3 actual, glm::vec3 expected, f32 tolerance = 1e-5f)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

bool finite(const glm::mat4& m)
{
    for (int c = 0; c < 4; c++) {
        for (int r = 0; r < 4; r++) {
            if (!std::isfinite(m[c][r])) {
                return false;
            }
        }
    }
    return true;
}

f32 planeDistance(const glm::vec4& plane, glm::vec3 p)
{
    return plane.x * p.x + plane.y * p.y + plane.z * p.z + plane.w;
}

bool insideFrustum(const Frustum& frustum, glm::vec3 p)
{
    for (const glm::vec4& plane : frustum.planes) {
        if (planeDistance(plane, p) < 0.0f) {
            return false;
        }
    }
    return true;
}

// The game camera's projection at an even-sized viewport.
constexpr glm::ivec2 viewport{1280, 720};

} // namespace

TEST(CameraMath, ProjectionsMatchHandComputedMatrices)
{
    // 90 degrees: t = tan(45 degrees) = 1.
    glm::mat4 expected(0.0f);
    expected[0][0] = 0.5f;           // 1 / (aspect 2 * t)
    expected[1][1] = 1.0f;           // 1 / t
    expected[2][2] = -101.0f / 100;  // far / (near - far)
    expected[2][3] = -1.0f;
    expected[3][2] = -101.0f / 100;  // -(far * near) / (far - near)
    glm::mat4 perspective = perspectiveProjection(90.0f, 2.0f, 1.0f, 101.0f);
    expectMatrixNear(perspective, expected);
    // Clip depth runs from 0 at the near plane to 1 at the far plane.
    glm::vec4 nearPoint = perspective * glm::vec4(0, 0, -1, 1);
    glm::vec4 farPoint = perspective * glm::vec4(0, 0, -101, 1);
    EXPECT_NEAR(nearPoint.z / nearPoint.w, 0.0f, 1e-6f);
    EXPECT_NEAR(farPoint.z / farPoint.w, 1.0f, 1e-6f);

    glm::mat4 ortho(0.0f);
    ortho[0][0] = 2.0f / 40;  // right - left = 30 - (-10)
    ortho[1][1] = 2.0f / 20;  // top - bottom = 15 - (-5)
    ortho[2][2] = -1.0f / 10; // far - near = 12 - 2
    ortho[3][0] = -20.0f / 40;
    ortho[3][1] = -10.0f / 20;
    ortho[3][2] = -2.0f / 10;
    ortho[3][3] = 1.0f;
    expectMatrixNear(orthographicProjection({-10, 30, -5, 15}, 2.0f, 12.0f), ortho);
}

TEST(CameraMath, ViewLooksAlongForwardWithWorldUpAtTheTopOfTheScreen)
{
    // From (1, 2, 3) along +z the up vector is (0, -1, 0): right = forward x up =
    // (1, 0, 0), the view's y = right x forward = (0, -1, 0).
    glm::mat4 expected(0.0f);
    expected[0] = {1, 0, 0, 0};
    expected[1] = {0, -1, 0, 0};
    expected[2] = {0, 0, -1, 0};
    expected[3] = {-1, 2, 3, 1};
    expectMatrixNear(viewAlong({1, 2, 3}, {0, 0, 1}), expected);

    // A point above the view centre shows in the upper half of the screen (pixel y
    // grows downwards), a point ahead lands in the middle.
    glm::mat4 projection = perspectiveProjection(60.0f, 16.0f / 9.0f, 2.5f, 20000.0f);
    glm::mat4 view = viewAlong({1, 2, 3}, {0, 0, 1});
    glm::vec3 ahead = projectToScreen(projection, view, {1, 2, 53}, viewport);
    EXPECT_NEAR(ahead.x, 640.0f, 1e-3f);
    EXPECT_NEAR(ahead.y, 360.0f, 1e-3f);
    EXPECT_GT(ahead.z, 0.0f);
    EXPECT_LT(ahead.z, 1.0f);
    EXPECT_LT(projectToScreen(projection, view, {1, 12, 53}, viewport).y, 300.0f);
}

TEST(CameraMath, ForwardFromAnglesAndMouseLook)
{
    expectVecNear(forwardFromAngles(0, 0), {0, 0, 1});
    expectVecNear(forwardFromAngles(glm::half_pi<f32>(), 0), {1, 0, 0});
    // Positive pitch looks down.
    expectVecNear(forwardFromAngles(0, 0.5f), {0, -std::sin(0.5f), std::cos(0.5f)});

    f32 yaw = 0, pitch = 0;
    turnByMouse(yaw, pitch, 100, 50, 2.0f);
    EXPECT_FLOAT_EQ(yaw, 0.4f);
    EXPECT_FLOAT_EQ(pitch, 0.2f);
    turnByMouse(yaw, pitch, 0, 1e6f, 1.0f);
    EXPECT_FLOAT_EQ(pitch, CameraConstants::pitchLimit);
    turnByMouse(yaw, pitch, 0, -1e6f, 1.0f);
    EXPECT_FLOAT_EQ(pitch, -CameraConstants::pitchLimit);
}

TEST(CameraMath, FlightStepMovesBySpeedAndFrameTime)
{
    glm::vec3 forward(0, 0, 1);
    FlightKeys keys;
    keys.forward = true;
    expectVecNear(flightStep({0, 0, 0}, forward, 0, keys, 20.0f), {0, 0, 1.0f}); // 0.05 * 20
    keys.fast = true;
    expectVecNear(flightStep({0, 0, 0}, forward, 0, keys, 20.0f), {0, 0, 5.0f});
    keys = {};
    keys.forward = keys.backward = true;
    expectVecNear(flightStep({1, 2, 3}, forward, 0, keys, 20.0f), {1, 2, 3});
    keys = {};
    keys.left = true;
    keys.up = true;
    expectVecNear(flightStep({0, 0, 0}, forward, 0, keys, 10.0f), {-0.5f, 0.5f, 0});
    keys = {};
    keys.right = true;
    keys.down = true;
    expectVecNear(flightStep({0, 0, 0}, forward, glm::half_pi<f32>(), keys, 10.0f), {0, -0.5f, -0.5f});
}

TEST(Camera, PickRayAndScreenProjectionAgree)
{
    Camera camera;
    camera.setPerspective(60.0f, 16.0f / 9.0f, 2.5f, 20000.0f);
    const f32 poses[][2] = {{0, 0}, {0.7f, 0.3f}, {-2.5f, -1.2f}, {3.0f, 1.55f}, {1.0f, -1.55f}};
    for (const auto& pose : poses) {
        camera.position = {120.0f, 35.0f, -60.0f};
        camera.yaw = pose[0];
        camera.pitch = pose[1];
        camera.updateForward();
        camera.updateView();
        // The ray through the screen centre is the view direction.
        expectVecNear(camera.screenToWorldRay(viewport / 2, viewport), camera.forward);
        // A point ahead lands in the centre of the screen.
        glm::vec3 centre = camera.worldToScreen(camera.position + camera.forward * 80.0f, viewport);
        EXPECT_NEAR(centre.x, 640.0f, 0.01f);
        EXPECT_NEAR(centre.y, 360.0f, 0.01f);
        // A point on the ray through any pixel projects back onto that pixel.
        glm::ivec2 pixel(100, 650);
        glm::vec3 ray = camera.screenToWorldRay(pixel, viewport);
        EXPECT_NEAR(glm::length(ray), 1.0f, 1e-5f);
        glm::vec3 back = camera.worldToScreen(camera.position + ray * 40.0f, viewport);
        EXPECT_NEAR(back.x, 100.0f, 0.05f);
        EXPECT_NEAR(back.y, 650.0f, 0.05f);
    }
}

TEST(Camera, LookingStraightUpOrDownGivesADefinedView)
{
    Camera camera;
    camera.setPerspective(60.0f, 1.5f, 2.5f, 20000.0f);
    camera.position = {10, 50, 10};
    for (glm::vec3 forward : {glm::vec3(0, -1, 0), glm::vec3(0, 1, 0)}) {
        camera.forward = forward;
        camera.updateView();
        EXPECT_TRUE(finite(camera.view));
        EXPECT_TRUE(finite(camera.rotationView));
        EXPECT_TRUE(finite(camera.uniforms.viewProjection));
        expectVecNear(camera.screenToWorldRay(viewport / 2, viewport), forward);
        glm::vec3 below = camera.worldToScreen(camera.position + forward * 30.0f, viewport);
        EXPECT_NEAR(below.x, 640.0f, 0.01f);
        EXPECT_NEAR(below.y, 360.0f, 0.01f);
    }
    // Almost vertical but inside the limit: the plain up vector still works.
    camera.forward = glm::normalize(glm::vec3(0.002f, 1.0f, 0.0f));
    camera.updateView();
    EXPECT_TRUE(finite(camera.view));
    expectVecNear(camera.screenToWorldRay(viewport / 2, viewport), camera.forward, 1e-4f);
}

TEST(Camera, NewCameraAndItsUniformBlock)
{
    Camera camera;
    expectVecNear(camera.forward, {-1, 0, 0});
    expectVecNear(camera.position, {0, 0, 0});
    EXPECT_EQ(camera.uniformSlot->size, 104u);
    camera.updateForward();
    expectVecNear(camera.forward, {0, 0, 1});

    camera.position = {4, 5, 6};
    camera.setPerspective(60.0f, 2.0f, 2.5f, 20000.0f);
    EXPECT_TRUE(camera.perspective);
    EXPECT_EQ(camera.orthoBounds, glm::vec4(0.0f));
    EXPECT_FLOAT_EQ(camera.uniforms.nearPlane, 2.5f);
    EXPECT_FLOAT_EQ(camera.uniforms.farPlane, 20000.0f);
    expectVecNear(camera.uniforms.position, {4, 5, 6});
    expectVecNear(camera.uniforms.forward, {0, 0, 1});
    expectMatrixNear(camera.uniforms.viewProjection, camera.projection * camera.view);
    EXPECT_EQ(camera.uniforms.reserved0, 0.0f);
    EXPECT_EQ(camera.uniforms.reserved1, 0.0f);

    camera.setOrthographic({-50, 50, -50, 50}, 0.0f, 400.0f);
    EXPECT_FALSE(camera.perspective);
    EXPECT_EQ(camera.fovDegrees, 0.0f);
    EXPECT_EQ(camera.aspect, 0.0f);
    EXPECT_FLOAT_EQ(camera.uniforms.farPlane, 400.0f);
    expectMatrixNear(camera.projection, orthographicProjection({-50, 50, -50, 50}, 0.0f, 400.0f));
}

TEST(Camera, FreeFlightFollowsKeysAndMouse)
{
    Input input(nullptr);
    Camera camera;
    camera.input = &input;
    camera.setPerspective(60.0f, 1.0f, 2.5f, 20000.0f);

    input.keys[Key::letter('w')] = 0x80;
    camera.update(20.0f, 1.0f, false);
    expectVecNear(camera.position, {0, 0, 1.0f});
    input.keys[Key::LeftShift] = 0x80;
    camera.update(20.0f, 1.0f, false);
    expectVecNear(camera.position, {0, 0, 6.0f});
    input.keys[Key::letter('s')] = 0x80;
    camera.update(20.0f, 1.0f, false);
    expectVecNear(camera.position, {0, 0, 6.0f});
    input.keys[Key::letter('w')] = input.keys[Key::letter('s')] = input.keys[Key::LeftShift] = 0;

    // The right button captures the cursor and turns the view; pitch stops at 89 degrees.
    input.keys[Key::MouseRight] = 0x80;
    input.previousCursorY = 0;
    input.cursorY = 1e6f;
    camera.update(16.0f, 1.0f, false);
    EXPECT_TRUE(input.cursorCaptured);
    EXPECT_FLOAT_EQ(camera.pitch, CameraConstants::pitchLimit);
    expectVecNear(camera.forward, forwardFromAngles(0, CameraConstants::pitchLimit));
    expectMatrixNear(camera.uniforms.viewProjection, camera.projection * camera.view);

    // While the interface owns the mouse the view does not turn.
    input.previousCursorX = 0;
    input.cursorX = 100;
    camera.update(16.0f, 1.0f, true);
    EXPECT_FLOAT_EQ(camera.yaw, 0.0f);
    // Releasing the button frees the cursor.
    input.keys[Key::MouseRight] = 0;
    camera.update(16.0f, 1.0f, true);
    EXPECT_FALSE(input.cursorCaptured);
}

TEST(Frustum, PlanesOfARealPerspective)
{
    // From the origin along +z, 90 degrees, square: the sides run at |x| = z and |y| = z.
    glm::mat4 projection = perspectiveProjection(90.0f, 1.0f, 1.0f, 100.0f);
    Frustum frustum;
    frustum.fromMatrix(projection * viewAlong({0, 0, 0}, {0, 0, 1}));
    for (const glm::vec4& plane : frustum.planes) {
        EXPECT_NEAR(glm::length(glm::vec3(plane)), 1.0f, 1e-5f);
    }
    EXPECT_TRUE(insideFrustum(frustum, {0, 0, 50}));
    EXPECT_TRUE(insideFrustum(frustum, {49, 0, 50}));
    EXPECT_TRUE(insideFrustum(frustum, {0, -49, 50}));
    EXPECT_FALSE(insideFrustum(frustum, {51, 0, 50}));
    EXPECT_FALSE(insideFrustum(frustum, {-51, 0, 50}));
    EXPECT_FALSE(insideFrustum(frustum, {0, 51, 50}));
    EXPECT_FALSE(insideFrustum(frustum, {0, -51, 50}));
    EXPECT_FALSE(insideFrustum(frustum, {0, 0, -5}));
    // The far plane lies at 100.
    EXPECT_NEAR(planeDistance(frustum.planes[4], {0, 0, 100}), 0.0f, 1e-3f);
    EXPECT_TRUE(insideFrustum(frustum, {0, 0, 99.5f}));
    EXPECT_FALSE(insideFrustum(frustum, {0, 0, 100.5f}));
    // The near test (w + z >= 0) keeps a margin in front of the eye: it lies at
    // near * far / (2 * far - near) = 100 / 199, closer than the near plane itself.
    EXPECT_NEAR(planeDistance(frustum.planes[5], {0, 0, 100.0f / 199.0f}), 0.0f, 1e-4f);
    EXPECT_TRUE(insideFrustum(frustum, {0, 0, 0.6f}));
    EXPECT_FALSE(insideFrustum(frustum, {0, 0, 0.4f}));
}

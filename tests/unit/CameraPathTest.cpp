#include "Engine/Camera/Camera.h"
#include "Engine/Engine.h"
#include "Engine/Window/Input.h"
#include "Game/Intro/CameraPath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

const glm::vec3 StartPosition(100000.0f, -80000.0f, 0.0f);
const glm::vec3 StartForward(0.0f, 0.0f, -1.0f);
// A game camera's start pose beside the castle.
const glm::vec3 EndPosition(30.5f, 62.0f, 0.5f);
const glm::vec3 EndForward(-0.0f, -0.7173561f, 0.6967067f);

bool finite(const glm::vec3& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

void expectNear(const glm::vec3& a, const glm::vec3& b, f32 tolerance)
{
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

} // namespace

TEST(CameraPath, KeyDirectionsAsBuilt)
{
    // Each direction is built from the one before it in single precision.
    CameraPath path;
    EXPECT_FALSE(path.playing.load());
    ASSERT_EQ(path.keys.size(), 23u);
    const glm::vec3 d0(-0.78087f, 0.62470f, 0.0f), d1(-0.84227f, 0.53905f, 0.0f), d2(-0.89011f, 0.45574f, 0.0f);
    const glm::vec3 d3(-0.95591f, 0.29366f, 0.0f), d4(-0.98343f, 0.18127f, 0.0f), d5(-0.51450f, -0.85749f, 0.0f);
    const glm::vec3 d6(-0.76853f, -0.63982f, 0.0f), d7(-0.42437f, -0.90549f, 0.0f), d8(-0.17374f, -0.98479f, 0.0f);
    const glm::vec3 directions[21] = {StartForward, StartForward, StartForward, d0, d0, d0, d0, d1, d2, d3, d4,
                                      d4, d4, d5, d5, d5, d6, d7, d8, d8, d8};
    for (size_t k = 0; k < 21; k++) {
        SCOPED_TRACE(k);
        expectNear(path.keys[k].direction, directions[k], 1e-5f);
    }
}

// Where the flight passes and how long it lingers there: each key's position and its
// speed in key intervals per second (1.0, 0.5 or 0.33333334).
TEST(CameraPath, KeyPositionsAndSpeedsAsBuilt)
{
    CameraPath path;
    ASSERT_EQ(path.keys.size(), 23u);
    struct Key {
        glm::vec3 position;
        f32 speed;
    };
    const f32 third = 0.33333334f;
    const Key keys[21] = {
        {{100000, -80000, 0}, 1.0f}, {{100000, -80000, 0}, 1.0f}, {{100000, -80000, 0}, 1.0f},
        {{100000, -80000, 0}, 0.5f}, {{100000, -80000, 0}, 0.5f}, {{50000, -40000, 0}, third},
        {{25000, -12000, 0}, third}, {{12500, -4000, 0}, third},  {{6250, -1000, 0}, third},
        {{4000, 0, 0}, 0.5f},        {{2000, 0, 0}, third},       {{1000, 0, 0}, 0.5f},
        {{650, 80, 0}, 0.5f},        {{500, 80, 0}, 0.5f},        {{500, 80, 0}, 0.5f},
        {{500, 100, 0}, 0.5f},       {{500, 200, 0}, third},      {{250, 400, 0}, 0.5f},
        {{250, 800, 0}, 0.5f},       {{250, 800, 0}, 0.5f},       {{250, 800, 0}, 1.0f},
    };
    for (size_t k = 0; k < 21; k++) {
        SCOPED_TRACE(k);
        EXPECT_EQ(path.keys[k].position, keys[k].position);
        EXPECT_EQ(path.keys[k].speed, keys[k].speed);
    }
    EXPECT_EQ(path.keys[21].speed, 0.5f);
    EXPECT_EQ(path.keys[22].speed, 0.5f);
}

TEST(CameraPath, FlightFromSpaceToTheGameCamera)
{
    CameraPath path;
    Camera camera;
    path.start(EndPosition, EndForward);
    EXPECT_TRUE(path.playing.load());
    EXPECT_EQ(path.time, 0.0f);
    EXPECT_EQ(path.keys[21].position, EndPosition);
    EXPECT_EQ(path.keys[22].direction, EndForward);
    EXPECT_EQ(path.keys[22].speed, 0.5f);

    // The first second holds far out in space, looking along -z.
    int frames = 0;
    while (path.time <= 1.0f) {
        path.advance(1000.0f / 60.0f, &camera, false);
        frames++;
        ASSERT_TRUE(path.playing.load());
        expectNear(camera.position, StartPosition, 0.01f);
        expectNear(camera.forward, StartForward, 1e-6f);
    }
    EXPECT_NEAR(frames, 60, 1);

    // The rest of the flight at 60 frames per second: about 45 s in all, the time
    // never past the last key, and the last frame on the handed-over pose.
    f32 before = path.time;
    while (path.playing.load()) {
        path.advance(1000.0f / 60.0f, &camera, false);
        frames++;
        ASSERT_LE(path.time, 22.0f);
        ASSERT_GE(path.time, before);
        before = path.time;
        ASSERT_TRUE(finite(camera.position));
        ASSERT_NEAR(glm::length(camera.forward), 1.0f, 1e-4f);
        ASSERT_LT(frames, 60 * 60);
    }
    EXPECT_NEAR(frames / 60.0f, 45.0f, 1.0f);
    EXPECT_EQ(path.time, 22.0f);
    EXPECT_EQ(camera.position, EndPosition);
    EXPECT_EQ(camera.forward, EndForward);

    // Once ended, further frames change nothing.
    camera.position = glm::vec3(1.0f);
    path.advance(16.0f, &camera, true);
    path.advance(16.0f, &camera, false);
    EXPECT_EQ(camera.position, glm::vec3(1.0f));
}

TEST(CameraPath, EnterSkipsToTheEnd)
{
    CameraPath path;
    Camera camera;
    path.start(EndPosition, EndForward);
    for (int i = 0; i < 600; i++) path.advance(16.0f, &camera, false);
    ASSERT_TRUE(path.playing.load());
    EXPECT_GT(glm::length(camera.position - EndPosition), 100.0f);

    // Enter read from the engine's input record, held this frame.
    Input input(nullptr);
    Input* saved = Engine::input;
    Engine::input = &input;
    path.apply(16.0f, &camera);
    EXPECT_TRUE(path.playing.load());
    input.keys[Key::Enter] = 0x80;
    path.apply(16.0f, &camera);
    Engine::input = saved;

    EXPECT_FALSE(path.playing.load());
    EXPECT_EQ(camera.position, EndPosition);
    EXPECT_EQ(camera.forward, EndForward);

    // A new game restarts the flight from the beginning with its own end pose.
    path.start(glm::vec3(5.0f), glm::vec3(1.0f, 0.0f, 0.0f));
    path.advance(0.0f, &camera, false);
    expectNear(camera.position, StartPosition, 0.01f);
    EXPECT_EQ(path.keys[21].position, glm::vec3(5.0f));
}

TEST(CameraPath, NoNaNAtAnyFrameTime)
{
    std::mt19937 random(3);
    std::uniform_real_distribution<f32> frameMs(0.0f, 100.0f);
    for (int run = 0; run < 20; run++) {
        CameraPath path;
        Camera camera;
        path.start(EndPosition, EndForward);
        int frames = 0;
        while (path.playing.load()) {
            // Whole-range frame times with the cap and a zero now and then.
            const f32 ms = frames % 17 == 0 ? 0.0f : frames % 13 == 0 ? 100.0f : frameMs(random);
            path.advance(ms, &camera, false);
            ASSERT_TRUE(finite(camera.position));
            ASSERT_TRUE(finite(camera.forward));
            ASSERT_LE(path.time, 22.0f);
            ASSERT_LT(++frames, 100000);
        }
        EXPECT_EQ(camera.position, EndPosition);
    }

    // Any time, with the last keys not yet written (zero directions): a finite pose.
    CameraPath fresh;
    for (f32 t = -3.0f; t <= 25.0f; t += 0.01f) {
        const CameraKeyframe pose = fresh.poseAt(t);
        ASSERT_TRUE(finite(pose.position)) << t;
        ASSERT_TRUE(finite(pose.direction)) << t;
        ASSERT_TRUE(std::isfinite(pose.speed)) << t;
        ASSERT_GT(pose.speed, 0.0f);
    }
    EXPECT_EQ(fresh.poseAt(22.0f).direction, glm::vec3(0.0f));
    // Frame times that are not numbers do not move the flight.
    CameraPath path;
    Camera camera;
    path.start(EndPosition, EndForward);
    path.advance(std::nanf(""), &camera, false);
    path.advance(-50.0f, &camera, false);
    EXPECT_EQ(path.time, 0.0f);
    EXPECT_TRUE(finite(camera.position));
}

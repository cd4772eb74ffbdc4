#include "Game/Intro/CameraPath.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Engine.h"
#include "Engine/Window/Input.h"

#include <algorithm>
#include <cmath>

namespace {

glm::vec3 normalise(const glm::vec3& v)
{
    return v * (1.0f / std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z));
}

// Seconds per key interval: 1, 2 or 3.
constexpr f32 OneSecond = 1.0f;
constexpr f32 TwoSeconds = 0.5f;
constexpr f32 ThreeSeconds = 0.33333334f;

} // namespace

CameraPath::CameraPath()
{
    // Far out in space the camera first looks along the planet's horizon, then turns
    // towards it, dives through the atmosphere towards the island, swings down over
    // the coast and climbs to look down on it before it settles on the game camera.
    const glm::vec3 d0 = normalise(glm::vec3(-100000.0f, 80000.0f, -0.0f));
    const glm::vec3 d1 = normalise(glm::vec3(d0.x, d0.y * 0.8f, d0.z));
    const glm::vec3 d2 = normalise(glm::vec3(d1.x, d1.y * 0.8f, d1.z));
    const glm::vec3 d3 = normalise(glm::vec3(d2.x, d2.y * 0.6f, d2.z));
    const glm::vec3 d4 = normalise(glm::vec3(d3.x, d3.y * 0.6f, d3.z));
    const glm::vec3 d5 = glm::vec3(-0.6f, -1.0f, 0.0f) / std::sqrt(1.36f);
    const glm::vec3 d6 = normalise(glm::vec3(d4.x + 0.0f, d4.y - 1.0f, d4.z + 0.0f));
    const glm::vec3 d7 = normalise(glm::vec3(d6.x, d6.y - 1.0f, d6.z));
    const glm::vec3 d8 = normalise(glm::vec3(d7.x, d7.y - 1.5f, d7.z));
    const glm::vec3 space(100000.0f, -80000.0f, 0.0f);
    const glm::vec3 ahead(0.0f, 0.0f, -1.0f);

    keys = {
        {space, ahead, OneSecond},
        {space, ahead, OneSecond},
        {space, ahead, OneSecond},
        {space, d0, TwoSeconds},
        {space, d0, TwoSeconds},
        {{50000.0f, -40000.0f, 0.0f}, d0, ThreeSeconds},
        {{25000.0f, -12000.0f, 0.0f}, d0, ThreeSeconds},
        {{12500.0f, -4000.0f, 0.0f}, d1, ThreeSeconds},
        {{6250.0f, -1000.0f, 0.0f}, d2, ThreeSeconds},
        {{4000.0f, 0.0f, 0.0f}, d3, TwoSeconds},
        {{2000.0f, 0.0f, 0.0f}, d4, ThreeSeconds},
        {{1000.0f, 0.0f, 0.0f}, d4, TwoSeconds},
        {{650.0f, 80.0f, 0.0f}, d4, TwoSeconds},
        {{500.0f, 80.0f, 0.0f}, d5, TwoSeconds},
        {{500.0f, 80.0f, 0.0f}, d5, TwoSeconds},
        {{500.0f, 100.0f, 0.0f}, d5, TwoSeconds},
        {{500.0f, 200.0f, 0.0f}, d6, ThreeSeconds},
        {{250.0f, 400.0f, 0.0f}, d7, TwoSeconds},
        {{250.0f, 800.0f, 0.0f}, d8, TwoSeconds},
        {{250.0f, 800.0f, 0.0f}, d8, TwoSeconds},
        {{250.0f, 800.0f, 0.0f}, d8, OneSecond},
        // The game camera's start pose, written for every new game by start().
        {{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, TwoSeconds},
        {{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, TwoSeconds},
    };
}

void CameraPath::start(const glm::vec3& endPosition, const glm::vec3& endForward)
{
    const CameraKeyframe end{endPosition, endForward, TwoSeconds};
    keys[keys.size() - 1] = end;
    keys[keys.size() - 2] = end;
    time = 0.0f;
    playing.store(true);
}

void CameraPath::apply(f32 frameMs, Camera* camera)
{
    const Input* input = Engine::input;
    advance(frameMs, camera, input != nullptr && input->isDown(Key::Enter));
}

void CameraPath::advance(f32 frameMs, Camera* camera, bool skipHeld)
{
    if (!playing.load()) return;
    if (skipHeld) {
        finish(camera);
        return;
    }
    const CameraKeyframe pose = poseAt(time);
    camera->position = pose.position;
    if (pose.direction != glm::vec3(0.0f)) camera->forward = pose.direction;
    // A frame time that is not a positive number does not move the flight.
    const f32 ms = std::isfinite(frameMs) && frameMs > 0.0f ? frameMs : 0.0f;
    time += pose.speed * ms * 0.001f;
    camera->updateView();

    const f32 end = static_cast<f32>(keys.size() - 1);
    time = std::min(time, end);
    // The flight's last frame shows exactly the pose the game camera takes over.
    if (time >= end) finish(camera);
}

CameraKeyframe CameraPath::poseAt(f32 atTime) const
{
    const i32 n = static_cast<i32>(keys.size());
    const f32 t = std::isfinite(atTime) ? std::clamp(atTime, 0.0f, static_cast<f32>(n - 1)) : 0.0f;
    const i32 i = static_cast<i32>(t);

    // A smootherstep kernel of radius two key units: the weight of key k is
    // S(1 - |t - k| / 2), over the four keys around t that exist.
    struct Weighted {
        i32 key;
        f32 weight;
    };
    const Weighted around[4] = {
        {i, i >= 0 ? smootherstep((static_cast<f32>(i) - t) * 0.5f + 1.0f) : 0.0f},
        {i - 1, i - 1 >= 0 ? smootherstep((static_cast<f32>(i - 1) - t) * 0.5f + 1.0f) : 0.0f},
        {i + 1, i + 1 < n ? smootherstep((t - static_cast<f32>(i + 1)) * 0.5f + 1.0f) : 0.0f},
        {i + 2, i + 2 < n ? smootherstep((t - static_cast<f32>(i + 2)) * 0.5f + 1.0f) : 0.0f},
    };
    const f32 sum = around[1].weight + around[0].weight + around[2].weight + around[3].weight;

    CameraKeyframe pose;
    for (const Weighted& w : around) {
        if (w.weight == 0.0f) continue;
        const CameraKeyframe& key = keys[static_cast<size_t>(w.key)];
        const f32 share = w.weight / sum;
        pose.position += share * key.position;
        pose.direction += share * key.direction;
        pose.speed += share * key.speed;
    }
    const f32 length = std::sqrt(glm::dot(pose.direction, pose.direction));
    pose.direction = length > 0.0f && std::isfinite(length) ? pose.direction * (1.0f / length) : glm::vec3(0.0f);
    return pose;
}

void CameraPath::finish(Camera* camera)
{
    playing.store(false);
    const CameraKeyframe& last = keys.back();
    camera->position = last.position;
    if (last.direction != glm::vec3(0.0f)) camera->forward = last.direction;
    camera->updateView();
}

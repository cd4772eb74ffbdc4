// Frames of the running game (seed 7, 1920x1080, low shadows) from fixed views with the
// clock stopped: the start view over the castle, land alone, a coast, the sea up to
// the horizon, and the coast against a low sun; with the normal and with the
// optimised ("Opt") shaders. Reports the median frame time of each view and the median
// CPU time of the process per frame.
//
//   build-*/bench/benchmarks --benchmark_filter=WorldViews
//
// With BRACKENHOLD_VIEW_SHOTS naming a directory, each view's picture is also saved
// there as <view>-<shaders>.png (ImageMagick's `import` of the X screen), and the same
// view drawn with culling switched off as <view>-<shaders>-unculled.png, for
// comparing pictures before and after a change to the drawing, for example with
// `compare -metric AE a.png b.png null:`. The water's clock and the sun stand still,
// so the same code draws the same picture.

#include "RunningGame.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Engine.h"
#include "Game/Intro/CameraPath.h"
#include "Game/Ui/Ui.h"
#include "World/Culling/CullingGrid.h"
#include "World/Sky/Skybox.h"
#include "World/Water/Water.h"
#include "World/World.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int WarmUpFrames = 2;
constexpr int MeasuredFrames = 5;
constexpr f32 WaterSeconds = 12.5f;

struct View {
    const char* name;
    bool startView; // the camera where the intro leaves it
    glm::vec3 position;
    f32 yaw;   // radians, 0 looks along +z
    f32 pitch; // radians, positive looks down
    f32 sunAngle;
};

const View Views[] = {
    {"start", true, {}, 0.0f, 0.0f, -1.0f},
    {"land", false, {-40.0f, 45.0f, -120.0f}, 0.3f, 0.75f, -1.0f},
    {"coast", false, {0.0f, 45.0f, 330.0f}, 0.0f, 0.3f, -1.0f},
    {"horizon", false, {0.0f, 25.0f, 440.0f}, 0.0f, 0.02f, -1.0f},
    {"lowsun", false, {330.0f, 30.0f, 60.0f}, 1.45f, 0.08f, 1.47f},
};

f64 median(std::vector<f64> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// One frame with the clock stopped: no logic tick, no camera or sun motion, the water
// at the same moment.
void stillFrame()
{
    world->water->params.time = WaterSeconds;
    Engine::frameTimeMs = 0.0f;
    Engine::runFrame();
}

void placeCamera(const View& view)
{
    Camera* camera = world->camera;
    if (Engine::cameraPath != nullptr && Engine::cameraPath->playing.load()) {
        Engine::cameraPath->advance(0.0f, camera, true);
    }
    // The start view: where the intro flight ends, looking along its last direction.
    static glm::vec3 startPosition;
    static f32 startYaw = 0.0f;
    static f32 startPitch = 0.0f;
    static bool startKept = false;
    if (!startKept && Engine::cameraPath != nullptr) {
        const CameraKeyframe end = Engine::cameraPath->poseAt(1e9f); // clamped to the last key
        startPosition = end.position;
        startPitch = -std::asin(glm::clamp(end.direction.y, -1.0f, 1.0f));
        startYaw = std::atan2(end.direction.x, end.direction.z);
        startKept = true;
    }
    camera->position = view.startView ? startPosition : view.position;
    camera->yaw = view.startView ? startYaw : view.yaw;
    camera->pitch = view.startView ? startPitch : view.pitch;
    world->sky->sunAngle = view.sunAngle;
}

bool savePicture(const std::string& path)
{
    const std::string command = "import -window root '" + path + "'";
    return std::system(command.c_str()) == 0;
}

// Argument 0: the view; argument 1: 0 normal shaders, 1 the optimised ones.
void WorldViews(benchmark::State& state)
{
    const GameUnderTest& running = runningGame();
    if (!running.running) {
        state.SkipWithError(running.problem.c_str());
        return;
    }
    // A world started afresh by an earlier benchmark may not have placed its castle yet.
    if (!placeQueuedBuildings()) {
        state.SkipWithError("the castle and the portals were not placed");
        return;
    }
    const View& view = Views[state.range(0)];
    const bool optimized = state.range(1) == 1;
    Ui::debugFlags->useOptimizedShaders = optimized;
    placeCamera(view);
    for (int frame = 0; frame < WarmUpFrames; frame++) stillFrame();

    std::vector<f64> frameMs;
    std::vector<f64> cpuMs;
    for (auto _ : state) {
        Clock::time_point start = Clock::now();
        const f64 cpuStart = processCpuMs();
        stillFrame();
        f64 ms = std::chrono::duration<f64, std::milli>(Clock::now() - start).count();
        cpuMs.push_back(processCpuMs() - cpuStart);
        state.SetIterationTime(ms * 0.001);
        frameMs.push_back(ms);
    }
    state.SetLabel(std::string(view.name) + (optimized ? " Opt shaders" : " normal shaders"));
    state.counters["median_ms"] = median(frameMs);
    state.counters["cpu_median_ms"] = median(cpuMs);

    const char* shots = std::getenv("BRACKENHOLD_VIEW_SHOTS");
    if (shots != nullptr) {
        const std::string name = std::string(shots) + "/" + view.name + (optimized ? "-opt" : "-normal");
        if (!savePicture(name + ".png")) state.SkipWithError("the picture could not be saved");
        // The same view with culling switched off (everything drawn): culling must not
        // change the picture.
        frustumCullingEnabled = 0;
        for (int frame = 0; frame < WarmUpFrames; frame++) stillFrame();
        if (!savePicture(name + "-unculled.png")) state.SkipWithError("the picture could not be saved");
        frustumCullingEnabled = 1;
    }
}

} // namespace

BENCHMARK(WorldViews)
    ->ArgsProduct({{0, 1, 2, 3, 4}, {0, 1}})
    ->Iterations(MeasuredFrames)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

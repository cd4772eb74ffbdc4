// The tools' share of a frame, in the running game (see RunningGame.h), with the cursor
// on the new game's castle:
// - ToolPick/0: the pick under the cursor that every preview, the outline and a click
//   make (a ray into the query world, buildings and terrain, taking its mutex); /1: the
//   cell under the cursor for a placement (a terrain pick and the footprint's steps);
// - OutlineRecord: recording the hover outline (the castle's depth pass and the
//   outline pass) into a command buffer;
// - OutlinePass: the same submitted and waited for, so that the GPU's work (lavapipe's,
//   here) is in the time.
//
//   build-*/bench/benchmarks --benchmark_filter=Tool\|Outline

#include "RunningGame.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Command/CommandBuffer.h"
#include "Engine/Command/CommandPool.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Physics/RayHit.h"
#include "Engine/Storage/DataStorage.h"
#include "Engine/Window/Input.h"
#include "Engine/Window/Window.h"
#include "Game/Buildings/BuildingInstance.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "Game/Intro/CameraPath.h"
#include "Game/Session/BuildingManager.h"
#include "Game/Tools/BuildTool.h"
#include "Game/Tools/EdgeEffect.h"
#include "Game/Tools/Picker.h"
#include "Game/Tools/ToolRules.h"
#include "World/World.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

// The game's castle, with the cursor put on it; null (and the benchmark skipped) when
// the game does not run.
BuildingInstance* castleUnderCursor(benchmark::State& state)
{
    const GameUnderTest& running = runningGame();
    if (!running.running) {
        state.SkipWithError(running.problem.c_str());
        return nullptr;
    }
    Building* kind = buildingTypes[BuildingTypeCastle];
    if (kind->instances.empty()) {
        state.SkipWithError("the castle does not stand");
        return nullptr;
    }
    BuildingInstance* castle = kind->instances.front().get();
    // The intro flight ends on the start view over the castle, as Enter ends it.
    if (Engine::cameraPath != nullptr && Engine::cameraPath->playing.load()) {
        Engine::cameraPath->advance(0.0f, world->camera, true);
        Engine::runFrame();
    }
    const glm::vec3 screen = world->camera->worldToScreen(castle->footprintCentre() + glm::vec3(0.0f, 1.0f, 0.0f),
                                                          {Engine::window->width, Engine::window->height});
    Engine::input->freeCursorX = screen.x;
    Engine::input->freeCursorY = screen.y;
    return castle;
}

// Argument 0: the pick of a building; 1: the cell for a 2 x 2 footprint.
void ToolPick(benchmark::State& state)
{
    if (castleUnderCursor(state) == nullptr) return;
    BuildingManager& manager = *world->buildingManager;
    const bool cell = state.range(0) == 1;
    bool found = false;
    for (auto _ : state) {
        if (cell) {
            glm::ivec3 at;
            found = Picker::cursorGridCell(manager, 2, 2, at);
            benchmark::DoNotOptimize(at);
        } else {
            RayHit hit;
            Picker::pickUnderCursor(manager, hit, ToolPickRules::BuildingMask, true);
            found = hit.hit && hit.type == CollisionBuilding;
            benchmark::DoNotOptimize(hit.point);
        }
    }
    state.SetLabel(cell ? "cell under the cursor" : "building under the cursor");
    if (!found) state.SkipWithError("the cursor is on nothing");
}

CommandBuffer* beginRecording()
{
    GraphicsDevice* device = Engine::graphicsDevice;
    CommandBuffer* cmd = device->commandPool->getCommandBuffer();
    cmd->free = 0;
    VkCommandBufferBeginInfo begin{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
    vkBeginCommandBuffer(cmd->handle, &begin);
    return cmd;
}

void endRecording(CommandBuffer* cmd, bool submit)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    vkEndCommandBuffer(cmd->handle);
    if (submit) {
        VkSubmitInfo info{VK_STRUCTURE_TYPE_SUBMIT_INFO};
        info.commandBufferCount = 1;
        info.pCommandBuffers = &cmd->handle;
        vkQueueSubmit(device->queue, 1, &info, VK_NULL_HANDLE);
        vkQueueWaitIdle(device->queue);
    }
    cmd->pipeline = nullptr;
    cmd->lastMesh = nullptr;
    cmd->lastLayout = nullptr;
    device->commandPool->resetHalf(device->frameIndex);
}

// Argument 0: recording only; 1: submitted and waited for.
void Outline(benchmark::State& state)
{
    BuildingInstance* castle = castleUnderCursor(state);
    if (castle == nullptr) return;
    BuildingManager& manager = *world->buildingManager;
    const bool submit = state.range(0) == 1;
    // Nothing of this frame is in flight between the game's frames.
    vkDeviceWaitIdle(Engine::graphicsDevice->device);
    for (auto _ : state) {
        // The preview blocks of one iteration go into a fresh half of the frame storage.
        Engine::frameStorage->switchHalf();
        const auto start = Clock::now();
        CommandBuffer* cmd = beginRecording();
        BuildTool::renderPreviewPass(manager, *cmd, castle->getRenderObjects(), ToolColours::Outline);
        endRecording(cmd, submit);
        state.SetIterationTime(std::chrono::duration<f64>(Clock::now() - start).count());
    }
    const VkExtent2D extent = manager.edgeEffect->extent;
    state.SetLabel(std::to_string(extent.width) + "x" + std::to_string(extent.height) +
                   (submit ? ", recorded and run" : ", recorded"));
}

} // namespace

BENCHMARK(ToolPick)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(Outline)->Name("OutlineRecord")->Arg(0)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(Outline)->Name("OutlinePass")->Arg(1)->UseManualTime()->Unit(benchmark::kMicrosecond);

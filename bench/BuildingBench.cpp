// The main thread's share of drawing buildings, in the running game (see
// RunningGame.h): 1000 walls and 100 castles added to the world of a new game (with
// its own castle and portals), then
// - BuildingRecording/1: recording every building's main-pass draw into the scene pass
//   (World::draw step 8) with every culling cell visible; /0 with every cell culled;
// - BuildingBounds: the culling grid reset and every building growing its cell
//   (World::draw steps 2 and 3).
// Only the measured calls are timed; the command buffer is reset between iterations.
//
//   build-*/bench/benchmarks --benchmark_filter=Building

#include "RunningGame.h"

#include "Engine/Command/CommandBuffer.h"
#include "Engine/Command/CommandPool.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Image/Image.h"
#include "Game/Buildings/BuildingInstance.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "Game/Session/BuildingManager.h"
#include "World/Culling/CullingGrid.h"
#include "World/Terrain/Terrain.h"
#include "World/World.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

constexpr i32 Walls = 1000;
constexpr i32 Castles = 100;

// Places the extra buildings once and runs frames until the logic thread has spawned
// them (and every one has drawn once, so its matrix is in the instance storage).
bool addBuildings(std::string& problem)
{
    static bool added = false;
    if (added) return true;
    World* running = world;
    BuildingManager* manager = running->buildingManager;
    auto place = [&](u32 kind, i32 x, i32 z) {
        const glm::ivec3 at(x, running->terrain->stepAt(static_cast<u32>(x), static_cast<u32>(z)), z);
        return manager->place(buildingTypes[kind]->createInstance(at, 0.0f));
    };
    i32 walls = 0;
    for (i32 z = 560; z < 700 && walls < Walls; z++) {
        for (i32 x = 300; x < 400 && walls < Walls; x += 2) walls += place(BuildingTypeWall, x, z);
    }
    i32 castles = 0;
    for (i32 z = 300; z < 500 && castles < Castles; z += 9) {
        for (i32 x = 600; x < 700 && castles < Castles; x += 9) castles += place(BuildingTypeCastle, x, z);
    }
    const auto start = Clock::now();
    while (buildingTypes[BuildingTypeWall]->instances.size() < static_cast<size_t>(walls) ||
           buildingTypes[BuildingTypeCastle]->instances.size() < static_cast<size_t>(castles) + 1) {
        if (Clock::now() - start > std::chrono::seconds(60)) {
            problem = "the buildings were not spawned";
            return false;
        }
        Engine::runFrame();
    }
    added = true;
    return true;
}

bool ready(benchmark::State& state)
{
    const GameUnderTest& running = runningGame();
    std::string problem = running.problem;
    if (!running.running || !addBuildings(problem)) {
        state.SkipWithError(problem.c_str());
        return false;
    }
    return true;
}

size_t buildingCount()
{
    size_t count = 0;
    for (Building* kind : buildingTypes) count += kind->instances.size();
    return count;
}

// Every building grows its cell; then every active cell is shown or culled.
void fillCulling(bool visible)
{
    world->cullingGrid->reset();
    for (Building* kind : buildingTypes) kind->updateAllBounds();
    for (BoundingAABB* cell : world->cullingGrid->activeCells) cell->visible = visible ? 1 : 0;
}

void beginScenePass(CommandBuffer* cmd, VkExtent2D extent)
{
    VkCommandBufferBeginInfo begin{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
    vkBeginCommandBuffer(cmd->handle, &begin);
    cmd->imageBarrier(world->sceneColor, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                      VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT, VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, 0,
                      VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT);
    cmd->imageBarrier(world->sceneDepth, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL,
                      VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT, VK_PIPELINE_STAGE_EARLY_FRAGMENT_TESTS_BIT, 0,
                      VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT);
    VkRenderingAttachmentInfo color{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
    color.imageView = world->sceneColor->view->view;
    color.imageLayout = VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
    color.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
    color.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    VkRenderingAttachmentInfo depth{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
    depth.imageView = world->sceneDepth->view->view;
    depth.imageLayout = VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL;
    depth.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
    depth.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    VkRenderingInfo rendering{VK_STRUCTURE_TYPE_RENDERING_INFO};
    rendering.renderArea = {{0, 0}, extent};
    rendering.layerCount = 1;
    rendering.colorAttachmentCount = 1;
    rendering.pColorAttachments = &color;
    rendering.pDepthAttachment = &depth;
    vkCmdBeginRendering(cmd->handle, &rendering);
    cmd->renderExtent = extent;
}

// Argument 1: every building visible; 0: every one culled.
void BuildingRecording(benchmark::State& state)
{
    if (!ready(state)) return;
    const bool visible = state.range(0) == 1;
    fillCulling(visible);
    GraphicsDevice* device = Engine::graphicsDevice;
    const VkExtent2D extent{world->targetWidth, world->targetHeight};
    const u32 frame = 0;
    for (auto _ : state) {
        CommandBuffer* cmd = device->commandPool->getCommandBuffer();
        cmd->free = 0;
        beginScenePass(cmd, extent);
        const auto start = Clock::now();
        world->buildingManager->drawBuildings(cmd, extent, frame);
        state.SetIterationTime(std::chrono::duration<f64>(Clock::now() - start).count());
        vkCmdEndRendering(cmd->handle);
        vkEndCommandBuffer(cmd->handle);
        cmd->pipeline = nullptr;
        cmd->lastMesh = nullptr;
        cmd->lastLayout = nullptr;
        // Nothing of this half is in flight between frames: its pool can be reset.
        device->commandPool->resetHalf(device->frameIndex);
    }
    state.SetLabel(visible ? "all visible" : "all culled");
    state.counters["buildings"] = static_cast<f64>(buildingCount());
}

void BuildingBounds(benchmark::State& state)
{
    if (!ready(state)) return;
    for (auto _ : state) {
        world->cullingGrid->reset();
        for (Building* kind : buildingTypes) kind->updateAllBounds();
        benchmark::DoNotOptimize(world->cullingGrid->activeCells.data());
    }
    state.counters["buildings"] = static_cast<f64>(buildingCount());
}

} // namespace

BENCHMARK(BuildingRecording)->Arg(1)->Arg(0)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BuildingBounds)->Unit(benchmark::kMicrosecond);

// The main thread's share of drawing a battle, in the running game (see RunningGame.h):
// 25 cannon and 25 mortar towers added to the world of a new game, 200 cannonballs,
// 25 bombs and 25 rings of 50 smoke puffs in the air, every culling cell visible; then
// the main-pass recording of
// - TowerRecording: the towers' snapshot blends with their matrix writes (World::draw
//   step 1) and their three-part draws (step 8, the tower kinds);
// - ProjectileRecording: both projectile kinds' instanced draws (step 9);
// - SmokeRecording: the smoke's instanced draw (step 14).
// The shadow cascades record the towers and projectiles again, four times. Only the
// measured calls are timed; the command buffer is reset between iterations.
//
//   build-*/bench/benchmarks --benchmark_filter=Recording

#include "RunningGame.h"

#include "Engine/Command/CommandBuffer.h"
#include "Engine/Command/CommandPool.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Image/Image.h"
#include "Engine/Storage/DataStorage.h"
#include "Game/Buildings/BuildingInstance.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "Game/Particles/ParticleRenderer.h"
#include "Game/Particles/PcSmoke.h"
#include "Game/Projectiles/Blast.h"
#include "Game/Projectiles/ProjectileRenderer.h"
#include "Game/Projectiles/PtBombInstance.h"
#include "Game/Projectiles/PtCannonBallInstance.h"
#include "Game/Session/BuildingManager.h"
#include "Game/Session/GameLogic.h"
#include "World/Culling/CullingGrid.h"
#include "World/Terrain/Terrain.h"
#include "World/World.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr i32 TowersPerKind = 25;
constexpr i32 Balls = 200;
constexpr i32 Bombs = 25;
constexpr i32 Rings = 25;

glm::vec3 above(i32 x, i32 z, f32 height)
{
    return world->origin + glm::vec3(static_cast<f32>(x),
                                     world->terrain->stepAt(static_cast<u32>(x), static_cast<u32>(z)) * 0.4f + height,
                                     static_cast<f32>(z));
}

// Places the towers once and runs frames until the logic thread has spawned them and
// they have drawn; then, with the logic thread waiting for its next grant, puts the
// shots and the smoke in the air.
bool addBattle(std::string& problem)
{
    static bool added = false;
    if (added) return true;
    BuildingManager* manager = world->buildingManager;
    i32 placed[2] = {0, 0};
    for (i32 z = 380; z < 460; z += 3) {
        for (i32 x = 560; x < 680; x += 3) {
            const u32 kind = (x / 3 + z / 3) % 2 == 0 ? BuildingTypeCannon : BuildingTypeMortar;
            i32& count = placed[kind == BuildingTypeCannon ? 0 : 1];
            if (count >= TowersPerKind) continue;
            const glm::ivec3 at(x, world->terrain->stepAt(static_cast<u32>(x), static_cast<u32>(z)), z);
            count += manager->place(buildingTypes[kind]->createInstance(at, 0.0f)) ? 1 : 0;
        }
    }
    const auto start = Clock::now();
    auto spawned = [&] {
        return buildingTypes[BuildingTypeCannon]->instances.size() == static_cast<size_t>(placed[0]) &&
               buildingTypes[BuildingTypeMortar]->instances.size() == static_cast<size_t>(placed[1]);
    };
    while (!spawned()) {
        if (Clock::now() - start > std::chrono::seconds(60)) {
            problem = "the towers were not spawned";
            return false;
        }
        Engine::runFrame();
    }
    Engine::runFrame();
    GameLogic* logic = world->gameLogic;
    while (logic->producedSnapshot.load() == logic->consumedSnapshot.load()) std::this_thread::yield();
    for (i32 i = 0; i < Balls; i++) {
        PtCannonBallInstance::create(above(560 + (i % 40) * 3, 380 + (i / 40) * 8, 6.0f), glm::vec3(0.0f), 35, 5.0f);
    }
    for (i32 i = 0; i < Bombs; i++) {
        PtBombInstance::create(above(565 + i * 4, 430, 12.0f), glm::vec3(0.0f), 150, 10.0f);
    }
    for (i32 ring = 0; ring < Rings; ring++) {
        const glm::vec3 centre = above(570 + (ring % 5) * 20, 390 + (ring / 5) * 15, 1.0f);
        for (i32 i = 0; i < 50; i++) {
            std::shared_ptr<PcSmokeInstance> puff = PcSmokeInstance::create(smokeRingPuff(centre, i, 0.5f, 0.5f));
            for (u32 slot = 0; slot < 3; slot++) puff->storeSnapshot(slot);
        }
    }
    problem.clear();
    added = true;
    return true;
}

bool ready(benchmark::State& state)
{
    const GameUnderTest& running = runningGame();
    std::string problem = running.problem;
    if (!running.running || !addBattle(problem)) {
        state.SkipWithError(problem.c_str());
        return false;
    }
    return true;
}

// Every instance grows its cell; every active cell is shown.
void fillCulling(u32 frame)
{
    world->cullingGrid->reset();
    for (Building* kind : buildingTypes) kind->updateAllBounds();
    smokeType->updateAllBounds(*world->cullingGrid, frame);
    for (Projectile* kind : projectileTypes) kind->updateAllBounds(*world->cullingGrid);
    world->cullingGrid->markAllVisible();
}

void beginScenePass(CommandBuffer* cmd, VkExtent2D extent)
{
    VkCommandBufferBeginInfo begin{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
    vkBeginCommandBuffer(cmd->handle, &begin);
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

// Runs `record` inside a scene pass once per iteration, timing only it; the storages
// the draws write are recycled between iterations, as frames do.
template <typename Record> void measure(benchmark::State& state, Record&& record)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    const VkExtent2D extent{world->targetWidth, world->targetHeight};
    const u32 frame = world->gameLogic->consumedSnapshot.load();
    fillCulling(frame);
    for (auto _ : state) {
        CommandBuffer* cmd = device->commandPool->getCommandBuffer();
        cmd->free = 0;
        beginScenePass(cmd, extent);
        const auto start = Clock::now();
        record(cmd, extent, frame);
        state.SetIterationTime(std::chrono::duration<f64>(Clock::now() - start).count());
        vkCmdEndRendering(cmd->handle);
        vkEndCommandBuffer(cmd->handle);
        cmd->pipeline = nullptr;
        cmd->lastMesh = nullptr;
        cmd->lastLayout = nullptr;
        device->commandPool->resetHalf(device->frameIndex);
        Engine::frameStorage->switchHalf();
        EntityTypes::recycleInstanceSlots();
    }
}

void TowerRecording(benchmark::State& state)
{
    if (!ready(state)) return;
    measure(state, [](CommandBuffer* cmd, VkExtent2D, u32 frame) {
        for (u32 index : {BuildingTypeCannon, BuildingTypeMortar}) {
            Building* kind = buildingTypes[index];
            std::lock_guard lock(kind->instancesMutex);
            for (size_t i = kind->instances.size(); i-- > 0;) kind->instances[i]->interpolateSnapshot(frame);
        }
        cmd->bindPipeline(towerPipeline);
        cmd->addDataSet(world->buildingManager->sceneSet);
        cmd->bindDataSets(0);
        for (u32 index : {BuildingTypeCannon, BuildingTypeMortar}) buildingTypes[index]->drawInstances(*cmd, 1, frame);
    });
    state.counters["towers"] = static_cast<f64>(buildingTypes[BuildingTypeCannon]->instances.size() +
                                                buildingTypes[BuildingTypeMortar]->instances.size());
}

void ProjectileRecording(benchmark::State& state)
{
    if (!ready(state)) return;
    measure(state, [](CommandBuffer* cmd, VkExtent2D extent, u32 frame) {
        ProjectileRenderer& renderer = *world->projectileRenderer;
        cmd->bindPipeline(renderer.pipeline);
        cmd->setViewportAndScissor(extent);
        cmd->addDataSet(renderer.sceneSet);
        cmd->bindDataSets(0);
        for (Projectile* kind : projectileTypes) kind->drawAll(*cmd, frame, renderer);
    });
    state.counters["projectiles"] = static_cast<f64>(projectileTypes[0]->count() + projectileTypes[1]->count());
}

void SmokeRecording(benchmark::State& state)
{
    if (!ready(state)) return;
    measure(state, [](CommandBuffer* cmd, VkExtent2D extent, u32 frame) {
        ParticleRenderer& renderer = *world->particleRenderer;
        cmd->bindPipeline(renderer.pipeline);
        cmd->setViewportAndScissor(extent);
        cmd->addDataSet(renderer.sceneSet);
        cmd->bindDataSets(0);
        smokeType->drawAll(*cmd, SnapshotBlend{frame, 0.5f}, renderer);
    });
    state.counters["puffs"] = static_cast<f64>(smokeType->count());
}

} // namespace

BENCHMARK(TowerRecording)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(ProjectileRecording)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(SmokeRecording)->UseManualTime()->Unit(benchmark::kMicrosecond);

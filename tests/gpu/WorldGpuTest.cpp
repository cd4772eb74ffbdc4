#include "GameKinds.h"
#include "GpuTest.h"
#include "Offscreen.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Command/CommandBuffer.h"
#include "Engine/Descriptor/DataSet.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Image/Image.h"
#include "Engine/Image/Sampler.h"
#include "Engine/Physics/BulletHandler.h"
#include "Engine/Physics/PhysicsWorld.h"
#include "Engine/Physics/Simulation.h"
#include "Engine/Settings/Settings.h"
#include "Engine/Storage/DataStorage.h"
#include "Engine/SwapChain/SwapChain.h"
#include "Engine/Window/Input.h"
#include "Engine/Window/Window.h"
#include "Game/Buildings/BuildingInstance.h"
#include "Game/Enemies/Enemy.h"
#include "Game/Enemies/EnemyInstance.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "Game/Intro/CameraPath.h"
#include "Game/Session/BuildingManager.h"
#include "Game/Session/GameSession.h"
#include "Game/Ui/Ui.h"
#include "World/Shadow/ShadowRenderer.h"
#include "World/Terrain/GenerationProgress.h"
#include "World/Terrain/Terrain.h"
#include "World/World.h"
#include "World/WorldMath.h"
#include "World/WorldTargets.h"

#include <GLFW/glfw3.h>
#include <btBulletDynamicsCommon.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// The engine objects a world uses: the swap chain (formats, resize listeners, the
// image a frame draws into), the descriptor pool, the per-frame rings and the
// interface's records (loading progress, debug switches, menu stack).
class WorldGpuTest : public GpuTest {
protected:
    WorldGpuTest() : GpuTest({.frameStorage = true}) {}

    void SetUp() override
    {
        GpuTest::SetUp();
        if (HasFatalFailure()) return;
        startGameEngine();
    }

    void TearDown() override
    {
        stopGameEngine();
        Engine::cameraPath = nullptr;
        GpuTest::TearDown();
        releaseGameKinds();
    }

    // Waits for the loader to publish the world.
    static bool waitUntilReady(World* loading)
    {
        auto limit = std::chrono::steady_clock::now() + std::chrono::minutes(3);
        while (!loading->ready.load(std::memory_order_acquire)) {
            if (std::chrono::steady_clock::now() > limit) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

    // One frame of the main loop with a running world, as Engine::runFrame does.
    static void playFrame(f32 frameMs)
    {
        Engine::frameUniforms->switchHalf();
        Engine::frameStorage->switchHalf();
        world->update(frameMs);
        Simulation::frameTick(frameMs);
        Engine::drawFrame();
    }

    // Frames of five ticks, the most one batch of the physics and logic threads takes:
    // game time passes in a fifth of the frames that 60 a second would take.
    static constexpr f32 FrameMs = 84.0f;

    // "Start wave 1" at four times the speed in the running world: its normal enemies
    // come out of the portals, each seen a few steps from its portal in the frame after
    // its spawn, and walk towards the castle along the field; nothing kills them.
    static void walkAWave()
    {
        Building* portals = buildingTypes[BuildingTypePortal];
        const glm::vec3 castle = buildingTypes[BuildingTypeCastle]->instances[0]->footprintCentre();
        ASSERT_TRUE(gameSession->startWave());
        Simulation::state.gameSpeed = 4;
        Enemy* normal = enemyTypes[EnemyTypeBase];
        auto nearestPortal = [&](glm::vec3 p) {
            f32 nearest = 1e9f;
            for (const auto& portal : portals->instances) {
                const glm::vec3 centre = portal->footprintCentre();
                nearest = std::min(nearest, glm::length(glm::vec2(p.x - centre.x, p.z - centre.z)));
            }
            return nearest;
        };
        std::vector<EnemyInstance*> seen;
        for (int i = 0; i < 80 && seen.size() < 3; i++) {
            playFrame(FrameMs);
            std::lock_guard lock(normal->mutex);
            for (const auto& enemy : normal->instances) {
                if (std::find(seen.begin(), seen.end(), enemy.get()) != seen.end()) continue;
                seen.push_back(enemy.get());
                EXPECT_LT(nearestPortal(enemy->position.load()), 8.0f) << "it leaves a portal";
            }
        }
        ASSERT_GE(seen.size(), 3u);
        std::shared_ptr<EnemyInstance> first = normal->instances[0];
        const f32 start = glm::length(first->position.load() - castle);

        for (int i = 0; i < 24; i++) playFrame(FrameMs);
        EXPECT_LT(glm::length(first->position.load() - castle), start - 5.0f);
        first.reset(); // as the world lets go of whatever the tools hold
        EXPECT_TRUE(gameSession->waveState->active.load());
        EXPECT_EQ(gameSession->money->load(), 5000) << "no enemy was killed";
    }

    // Clears `image` (a colour target) to `color` and leaves it ready for sampling.
    static void clearTarget(CommandBuffer* cmd, Image2D* image, const float color[4])
    {
        cmd->imageBarrier(image, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                          VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT, VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, 0,
                          VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT);
        VkRenderingAttachmentInfo attachment{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
        attachment.imageView = image->view->view;
        attachment.imageLayout = VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
        attachment.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
        attachment.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
        std::memcpy(attachment.clearValue.color.float32, color, sizeof(float) * 4);
        VkRenderingInfo rendering{VK_STRUCTURE_TYPE_RENDERING_INFO};
        rendering.renderArea = {{0, 0}, image->extent};
        rendering.layerCount = 1;
        rendering.colorAttachmentCount = 1;
        rendering.pColorAttachments = &attachment;
        vkCmdBeginRendering(cmd->handle, &rendering);
        vkCmdEndRendering(cmd->handle);
        cmd->imageBarrier(image, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL,
                          VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT,
                          VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT, VK_ACCESS_SHADER_READ_BIT);
    }

    // The final pass of `bare` into a target of the composite's size; its pixels.
    static std::vector<u8> runPostProcess(World& bare, u32 outlineFlag, const float compositeColor[4])
    {
        const VkExtent2D extent = bare.composite->extent;
        OffscreenTarget target = createOffscreenTarget(extent.width, extent.height, Engine::swapChain->format,
                                                       VK_FORMAT_UNDEFINED);
        CommandBuffer* cmd = beginCommands();
        cmd->flushUploads(); // the placeholder outline image
        clearTarget(cmd, bare.composite, compositeColor);
        const float black[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        beginOffscreenPass(cmd, target, black);
        cmd->bindPipeline(bare.postProcessPipeline);
        StorageSlot* slot = bare.postProcessUniform;
        slot->offset = slot->storage->write(slot->offset, &outlineFlag, sizeof(outlineFlag), false);
        cmd->addDataSet(bare.postProcessDataSet);
        cmd->bindDataSets(0);
        vkCmdDraw(cmd->handle, 3, 1, 0, 0);
        endOffscreenPass(cmd, target);
        submitCommandsAndWait(cmd);
        std::vector<u8> pixels = readPixels(target);
        destroyOffscreenTarget(target);
        return pixels;
    }
};

// The bytes a colour is stored as in `format` (8-bit RGBA or BGRA, sRGB or not).
std::vector<u8> storedBytes(VkFormat format, const float color[4])
{
    const bool srgb = format == VK_FORMAT_B8G8R8A8_SRGB || format == VK_FORMAT_R8G8B8A8_SRGB;
    const bool bgra = format == VK_FORMAT_B8G8R8A8_SRGB || format == VK_FORMAT_B8G8R8A8_UNORM;
    auto encode = [srgb](float linear) {
        float value = srgb ? (linear <= 0.0031308f ? linear * 12.92f : 1.055f * std::pow(linear, 1.0f / 2.4f) - 0.055f)
                           : linear;
        return static_cast<u8>(std::lround(value * 255.0f));
    };
    std::vector<u8> bytes = {encode(color[0]), encode(color[1]), encode(color[2]), 255};
    if (bgra) std::swap(bytes[0], bytes[2]);
    return bytes;
}

// Every pixel of `pixels` (4 bytes each) equals `expected` within one step.
::testing::AssertionResult allPixelsAre(const std::vector<u8>& pixels, const u8 expected[4])
{
    for (size_t p = 0; p < pixels.size(); p += 4) {
        for (int c = 0; c < 3; c++) {
            if (std::abs(int(pixels[p + c]) - int(expected[c])) > 1) {
                return ::testing::AssertionFailure() << "pixel " << p / 4 << " channel " << c << " is "
                                                     << int(pixels[p + c]) << ", expected " << int(expected[c]);
            }
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace

TEST_F(WorldGpuTest, FinalPassCopiesTheCompositeAndFollowsItsReplacement)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    World bare;
    bare.targetSampler = new Sampler(device, targetSamplerInfo());
    bare.depthSampler = new Sampler(device, depthTargetSamplerInfo());
    createRenderTargets(bare, 24, 16);
    createPostProcess(bare);
    ASSERT_EQ(bare.sceneDepthBinding->sampler, bare.depthSampler) << "depth is sampled without filtering";
    EXPECT_EQ(bare.postProcessUniform->size, 4u);

    // Without the outline flag the scene comes through unchanged: the composite's colour
    // on every pixel of a target of the same format.
    const VkFormat format = Engine::swapChain->format;
    const float teal[4] = {0.1f, 0.5f, 0.6f, 1.0f};
    std::vector<u8> pixels = runPostProcess(bare, 0, teal);
    ASSERT_EQ(pixels.size(), 24u * 16u * 4u);
    EXPECT_TRUE(allPixelsAre(pixels, storedBytes(format, teal).data()));

    // With it, the outline image (the opaque white placeholder here) covers the scene.
    const u8 white[4] = {255, 255, 255, 255};
    EXPECT_TRUE(allPixelsAre(runPostProcess(bare, 1, teal), white));

    // New targets at another size: the bindings stay, their data sets rebuild and the
    // final pass reads the new composite.
    ImageBinding* binding = bare.compositeBinding;
    releaseRenderTargets(bare);
    createRenderTargets(bare, 8, 6);
    EXPECT_EQ(bare.compositeBinding, binding);
    EXPECT_EQ(bare.compositeBinding->view, bare.composite->view);
    EXPECT_TRUE(bare.postProcessDataSet->dirty);
    const float orange[4] = {0.9f, 0.4f, 0.05f, 1.0f};
    pixels = runPostProcess(bare, 0, orange);
    ASSERT_EQ(pixels.size(), 8u * 6u * 4u);
    EXPECT_TRUE(allPixelsAre(pixels, storedBytes(format, orange).data()));
    EXPECT_FALSE(bare.postProcessDataSet->dirty);
}

TEST_F(WorldGpuTest, ALoadedWorldTakesAResizeFromItsLoadingTimeAndDrawsFrames)
{
    auto intro = std::make_unique<CameraPath>();
    Engine::cameraPath = intro.get();
    World::startNew(5);
    World* loading = world;
    ASSERT_NE(loading, nullptr);
    EXPECT_EQ(Engine::gameState, GameStateLoading);
    EXPECT_EQ(Ui::currentMenuState(), MenuStateLoading) << "the loading window shows from the next frame on";
    EXPECT_EQ(Engine::swapChain->resizeListeners->size(), 1u);

    // Leaving is refused while the world loads.
    World::shutdown();
    EXPECT_EQ(world, loading);

    // The window shrinks while the loader builds: the swap chain is rebuilt at once,
    // the half-built world only notes it.
    glfwSetWindowSize(Engine::window->handle, 320, 200);
    for (int i = 0; i < 100 && Engine::window->width != 320; i++) glfwWaitEventsTimeout(0.01);
    ASSERT_EQ(Engine::window->width, 320);
    Engine::swapChain->recreate();

    ASSERT_TRUE(waitUntilReady(loading));
    EXPECT_TRUE(loading->resizePending);
    EXPECT_EQ(Ui::currentMenuState(), MenuStateLoading)
        << "the loading window stays until the main loop starts the game with the world's first frame";
    EXPECT_EQ(Ui::loadingProgress->stageCount.load(), 6u);
    EXPECT_EQ(Ui::loadingProgress->currentStage.load(), 5);
    EXPECT_STREQ(Ui::loadingProgress->stageText.load(), "Creating physics bodies");
    EXPECT_EQ(loading->origin, glm::vec3(-512.0f, 0.0f, -512.0f));
    // The loader handed the start pose to the intro flight and started it.
    EXPECT_TRUE(intro->playing.load());
    EXPECT_EQ(intro->time, 0.0f);
    EXPECT_EQ(intro->keys[21].position, loading->camera->position);
    EXPECT_EQ(intro->keys[22].position, loading->camera->position);
    EXPECT_EQ(intro->keys[22].direction, loading->camera->forward);

    // The game starts: the first update applies the resize. While the intro flies,
    // the flight keys do not move the camera.
    Engine::gameState = GameStatePlaying;
    const glm::vec3 start = loading->camera->position;
    Engine::input->keys[Key::letter('w')] = 0x80;
    playFrame(16.0f);
    EXPECT_EQ(loading->camera->position, start);
    intro->playing = false;
    playFrame(16.0f);
    Engine::input->keys[Key::letter('w')] = 0;
    EXPECT_NE(loading->camera->position, start);
    EXPECT_FALSE(loading->resizePending);
    EXPECT_EQ(loading->sceneColor->extent.width, 320u);
    EXPECT_EQ(loading->composite->extent.height, static_cast<u32>(Engine::window->height));
    EXPECT_EQ(loading->terrain->prepassColor->extent.width, 640u);
    EXPECT_FLOAT_EQ(loading->camera->aspect, 320.0f / static_cast<f32>(Engine::window->height));
    EXPECT_EQ(loading->camera->near, 2.5f);

    // Frames with both shader sets, culling off and on, and after another resize.
    for (bool optimized : {true, false}) {
        Ui::debugFlags->useOptimizedShaders = optimized;
        playFrame(16.0f);
        playFrame(16.0f);
    }
    Ui::debugFlags->showFrustumCulling = true;
    playFrame(16.0f);
    Ui::debugFlags->showFrustumCulling = false;

    // The physics wireframe is drawn inside the scene pass, with its depth.
    PhysicsWorld physics;
    physics.init(EngineWorldGravity);
    btBoxShape box(btVector3(4, 4, 4));
    btCollisionObject body;
    body.setCollisionShape(&box);
    body.getWorldTransform().setOrigin(btVector3(0, 20, 0));
    physics.world->addCollisionObject(&body);
    Engine::bulletHandler = new BulletHandler(1.0f / 60.0f, physics.world);
    physics.world->setDebugDrawer(Engine::bulletHandler);
    Engine::renderPhysicsDebug = 1;
    playFrame(16.0f);
    Engine::renderPhysicsDebug = 0;
    EXPECT_EQ(Engine::bulletHandler->lines.size(), 24u);
    physics.world->removeCollisionObject(&body);
    physics.world->setDebugDrawer(nullptr);
    delete Engine::bulletHandler;
    Engine::bulletHandler = nullptr;

    glfwSetWindowSize(Engine::window->handle, 200, 120);
    for (int i = 0; i < 100 && Engine::window->width != 200; i++) glfwWaitEventsTimeout(0.01);
    playFrame(16.0f); // the rebuild frame: the world follows at once
    EXPECT_EQ(loading->sceneDepth->extent.width, 200u);
    playFrame(16.0f);
    // Another shadow quality replaces the running world's map; the scene sets that
    // sample it follow.
    const u32 quality = Settings::shadowQuality;
    const i32 mapSize = Settings::shadowMapSize;
    Settings::shadowQuality = 1;
    Settings::apply();
    EXPECT_EQ(loading->shadows->map->extent.width, 4096u);
    playFrame(16.0f); // the rebuild the settings ask for
    playFrame(16.0f);
    Settings::shadowQuality = quality;
    Settings::shadowMapSize = mapSize;

    vkDeviceWaitIdle(Engine::graphicsDevice->device);
    EXPECT_TRUE(validationErrors().empty());

    World::shutdown();
    EXPECT_EQ(world, nullptr);
    EXPECT_EQ(Engine::gameState, GameStateMainMenu);
    EXPECT_TRUE(Engine::swapChain->resizeListeners->empty());
}

TEST_F(WorldGpuTest, AWorldTornDownWhileLoadingWaitsForItsLoader)
{
    World::startNew(9);
    ASSERT_NE(world, nullptr);
    // As when the window is closed during loading: the teardown waits for the loader
    // and then releases a complete world.
    delete world;
    world = nullptr;
    EXPECT_TRUE(Engine::swapChain->resizeListeners->empty());
    EXPECT_EQ(Ui::loadingProgress->liveStageProgress.load(), nullptr);
    Engine::graphicsDevice->deleteDeferred();
    EXPECT_TRUE(validationErrors().empty());
}

// What every new game holds once the logic thread has run: the castle and four
// portals on their cells, the view beside the castle, the castle's body in the engine
// world beside the terrain's.
void expectCastleAndPortals(World* loaded)
{
    Building* castles = buildingTypes[BuildingTypeCastle];
    Building* portals = buildingTypes[BuildingTypePortal];
    ASSERT_EQ(castles->instances.size(), 1u);
    ASSERT_EQ(portals->instances.size(), 4u);
    const BuildingInstance& castle = *castles->instances[0];
    EXPECT_EQ(loaded->camera->position, startCameraPosition(loaded->origin, castle.gridPos))
        << "the view starts beside the castle";
    const glm::ivec2 middle = glm::ivec2(castle.gridPos.x, castle.gridPos.z) + 4;
    EXPECT_LE(glm::length(glm::vec2(middle - glm::ivec2(512))), 360.0f);
    for (const auto& portal : portals->instances) {
        for (i32 dz = 0; dz < 6; dz++) {
            for (i32 dx = 0; dx < 6; dx++) {
                EXPECT_EQ(loaded->buildingManager->occupancy.at(portal->gridPos.x + dx, portal->gridPos.z + dz),
                          portal.get());
            }
        }
    }
    EXPECT_EQ(portals->instances[0]->physicsObject, nullptr) << "portals have no body";
    ASSERT_NE(castle.physicsObject, nullptr);
}

// A new game on two islands: its castle and portals; on the first, "Start wave 1" at
// four times the speed sends enemies out of the portals towards the castle, and
// leaving mid-wave leaves nothing behind. One world serves the new game's checks and
// the wave.
TEST_F(WorldGpuTest, ANewGameHasItsCastleAndPortalsAWaveWalksAndLeavingMidWaveLeavesNothing)
{
    Building* castles = buildingTypes[BuildingTypeCastle];
    Building* portals = buildingTypes[BuildingTypePortal];
    for (i32 seed : {6, 5}) {
        SCOPED_TRACE(seed);
        World::startNew(seed);
        World* loaded = world;
        ASSERT_NE(gameSession, nullptr);
        EXPECT_EQ(gameSession->money->load(), 5000);
        EXPECT_EQ(gameSession->waveState->wave, 1);
        EXPECT_EQ(gameSession->waveState->normalCount, 10);
        EXPECT_EQ(gameSession->waveState->heavyCount, 0);
        ASSERT_TRUE(waitUntilReady(loaded));
        Engine::gameState = GameStatePlaying;

        // The logic thread spawns what the loader queued once the game feeds it ticks.
        for (int frame = 0; frame < 40 && portals->instances.size() < 4; frame++) {
            playFrame(FrameMs);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        expectCastleAndPortals(loaded);
        if (HasFatalFailure()) return;
        // The physics thread takes the castle's body into the engine world beside the
        // terrain's (what the debug window's physics view draws).
        int bodies = 0;
        for (int frame = 0; frame < 20 && bodies < 2; frame++) {
            playFrame(FrameMs);
            std::lock_guard lock(Simulation::state.stepMutex);
            bodies = Engine::physicsWorld->world->getNumCollisionObjects();
        }
        EXPECT_EQ(bodies, 2);
        if (seed == 5) walkAWave();

        World::shutdown();
        EXPECT_EQ(world, nullptr);
        EXPECT_EQ(gameSession, nullptr);
        EXPECT_TRUE(castles->instances.empty());
        EXPECT_TRUE(portals->instances.empty());
        EXPECT_EQ(liveBuildingCount.load(), 0) << "no building outlives its world";
        EXPECT_EQ(aliveEnemyCount.load(), 0) << "every enemy goes with its world";
        EXPECT_TRUE(enemyTypes[EnemyTypeBase]->instances.empty());
        EXPECT_EQ(Simulation::state.gameSpeed.load(), 1u) << "the next game runs at 1";
    }
    vkDeviceWaitIdle(Engine::graphicsDevice->device);
    EXPECT_TRUE(validationErrors().empty());
}

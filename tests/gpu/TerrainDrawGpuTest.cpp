#include "GpuTest.h"
#include "Offscreen.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Camera/Frustum.h"
#include "Engine/Camera/Random.h"
#include "Engine/Command/CommandBuffer.h"
#include "Engine/Descriptor/DataSet.h"
#include "Engine/Descriptor/DescriptorPool.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Image/Image.h"
#include "Engine/Image/Sampler.h"
#include "Engine/Mesh/Mesh.h"
#include "Engine/Mesh/VertexLayout.h"
#include "Engine/Pipeline/Pipeline.h"
#include "Engine/Settings/Settings.h"
#include "Engine/Storage/DataStorage.h"
#include "Engine/Window/Window.h"
#include "Game/Ui/UiState.h"
#include "World/Culling/CullingGrid.h"
#include "World/Shadow/ShadowRenderer.h"
#include "World/Sky/Skybox.h"
#include "World/Terrain/ChunkMeshBuilder.h"
#include "World/Terrain/Terrain.h"
#include "World/Water/Water.h"

#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

const float Clear[4] = {0.0f, 0.0f, 0.0f, 0.0f};
constexpr u32 TargetSize = 64;
constexpr i32 MapSize = 256;

template <typename T> void place(std::vector<u8>& block, size_t offset, const T& value)
{
    std::memcpy(block.data() + offset, &value, sizeof(T));
}

StorageSlot* writtenSlot(const std::vector<u8>& block)
{
    auto* slot = new StorageSlot{Engine::frameUniforms, static_cast<u32>(block.size()), NoOffset};
    slot->offset = Engine::frameUniforms->write(slot->offset, block.data(), slot->size, false);
    return slot;
}

// A full-screen pass of a test shader that shows what images hold, into a target of
// `format` (an integer format is written without blending, which it does not allow).
struct Probe {
    Pipeline* pipeline = nullptr;
    DataSet* dataSet = nullptr;

    Probe(const char* fragmentShader, const char* descriptorLayout, std::vector<DataSetBinding> bindings,
          VkFormat format = VK_FORMAT_R8G8B8A8_UNORM)
    {
        GraphicsDevice* device = Engine::graphicsDevice;
        pipeline = new Pipeline(device);
        pipeline->loadShaderModule("testshaders/fullscreenVert.spv", &pipeline->vertexShader);
        pipeline->loadShaderModule(fragmentShader, &pipeline->fragmentShader);
        pipeline->setVertexLayout(vertexLayoutEmpty, false);
        pipeline->setDescriptorLayout(descriptorLayout);
        pipeline->state->cullMode = VK_CULL_MODE_NONE;
        if (format == VK_FORMAT_R32_UINT) pipeline->state->blendEnable = 0;
        pipeline->state->dynamicStates = {VK_DYNAMIC_STATE_SCISSOR, VK_DYNAMIC_STATE_VIEWPORT};
        pipeline->create(AttachmentFormats{{format}, VK_FORMAT_UNDEFINED});
        dataSet = new DataSet(device, Engine::descriptorPool, std::move(bindings));
    }

    void record(CommandBuffer* cmd, const OffscreenTarget& target)
    {
        beginOffscreenPass(cmd, target, Clear);
        cmd->bindPipeline(pipeline);
        cmd->addDataSet(dataSet);
        cmd->bindDataSets(0);
        vkCmdDraw(cmd->handle, 3, 1, 0, 0);
        endOffscreenPass(cmd, target);
    }

    void release()
    {
        Engine::graphicsDevice->releaseResource(dataSet);
        Engine::graphicsDevice->releaseResource(pipeline);
    }
};

// Red and green of each pixel of a probe's image.
struct ProbeCounts {
    u32 covered = 0;  // red 255
    u32 cleared = 0;  // red 0 and green 255 (depth 1)
};

ProbeCounts countProbe(const std::vector<u8>& pixels, u32 x0, u32 y0, u32 x1, u32 y1)
{
    ProbeCounts counts;
    for (u32 y = y0; y < y1; y++) {
        for (u32 x = x0; x < x1; x++) {
            Pixel p = pixelAt(pixels, TargetSize, x, y);
            counts.covered += p.c[0] == 255;
            counts.cleared += p.c[0] == 0 && p.c[1] == 255;
        }
    }
    return counts;
}

// Everything of a camera that the rest of a frame reads.
struct CameraState {
    bool perspective;
    f32 fovDegrees, aspect, nearPlane, farPlane;
    glm::vec4 orthoBounds;
    glm::mat4 projection, view;
    CameraUniforms uniforms;

    explicit CameraState(const Camera& camera)
        : perspective(camera.perspective), fovDegrees(camera.fovDegrees), aspect(camera.aspect),
          nearPlane(camera.near), farPlane(camera.far), orthoBounds(camera.orthoBounds),
          projection(camera.projection), view(camera.view), uniforms(camera.uniforms)
    {
    }
};

void expectSameCamera(const CameraState& before, const Camera& camera)
{
    const CameraState after(camera);
    EXPECT_EQ(after.perspective, before.perspective);
    EXPECT_EQ(after.fovDegrees, before.fovDegrees);
    EXPECT_EQ(after.aspect, before.aspect);
    EXPECT_EQ(after.nearPlane, before.nearPlane);
    EXPECT_EQ(after.farPlane, before.farPlane);
    EXPECT_EQ(after.orthoBounds, before.orthoBounds);
    EXPECT_EQ(after.projection, before.projection);
    EXPECT_EQ(after.view, before.view);
    EXPECT_EQ(0, std::memcmp(&after.uniforms, &before.uniforms, sizeof(CameraUniforms)));
    // The block the later passes bind is the camera's own again.
    EXPECT_EQ(0, std::memcmp(Engine::frameUniforms->mapped + camera.uniformSlot->offset, &before.uniforms,
                             sizeof(CameraUniforms)));
}

// The terrain with its real shaders and data sets on a landscape of 8 x 8 chunks of
// 8 x 8 quads, the real shadow renderer with a small map, and the blocks of the sky
// and the water as those write them.
class TerrainDrawGpuTest : public GpuTest {
protected:
    TerrainDrawGpuTest() : GpuTest({.swapChain = false}) {}

    void SetUp() override
    {
        GpuTest::SetUp();
        if (HasFatalFailure()) return;
        GraphicsDevice* device = Engine::graphicsDevice;
        savedFlags = Ui::debugFlags;
        Ui::debugFlags = &flags;
        savedMapSize = Settings::shadowMapSize;
        Settings::shadowMapSize = MapSize;
        savedCulling = frustumCullingEnabled;

        targetSampler = new Sampler(device, samplerClampToEdge());
        nearestSampler = new Sampler(device, samplerClampToEdgeNearest());
        shadows = new ShadowRenderer();
        shadows->sunDirection = &sun;
        std::vector<u8> shadowBlock(sizeof(ShadowUniforms), 0);
        shadows->uniformSlot->offset =
            Engine::frameUniforms->write(NoOffset, shadowBlock.data(), sizeof(ShadowUniforms), false);

        std::vector<u8> skyBlock(sizeof(SkyboxParams), 0);
        place(skyBlock, offsetof(SkyboxParams, sunDirection), sun);
        place(skyBlock, offsetof(SkyboxParams, sunColor), glm::vec3(1.0f));
        place(skyBlock, offsetof(SkyboxParams, rgbScatter), glm::vec3(0.10662f, 0.32444f, 0.68301f));
        place(skyBlock, offsetof(SkyboxParams, planetRadius), 12742.0f);
        place(skyBlock, offsetof(SkyboxParams, atmosphereThickness), 1000.0f);
        place(skyBlock, offsetof(SkyboxParams, atmosphereDensity), 1.0f);
        place(skyBlock, offsetof(SkyboxParams, rayleighIntensity), 1.8f);
        place(skyBlock, offsetof(SkyboxParams, mieIntensity), 1.5f);
        skySlot = writtenSlot(skyBlock);
        std::vector<u8> sunBlock(12, 0);
        place(sunBlock, 0, sun);
        sunSlot = writtenSlot(sunBlock);
        std::vector<u8> waterBlock(sizeof(WaterParams), 0);
        place(waterBlock, offsetof(WaterParams, rgbAbsorption), glm::vec3(0.6f, 0.08f, 0.015f));
        place(waterBlock, offsetof(WaterParams, timeMultiplier), 1.0f);
        place(waterBlock, offsetof(WaterParams, density), 0.05f);
        waterSlot = writtenSlot(waterBlock);

        camera = new Camera();
        lookDown(60.0f);

        TerrainBindings bindings;
        bindings.skyParams = skySlot;
        bindings.sunDirection = sunSlot;
        bindings.shadowUniforms = shadows->uniformSlot;
        bindings.shadowMap = shadows->mapBinding;
        bindings.waterParams = waterSlot;
        bindings.lightCamera = shadows->lightCamera->uniformSlot;
        bindings.targetSampler = targetSampler;
        bindings.depthSampler = nearestSampler;
        bindings.colorFormat = VK_FORMAT_R8G8B8A8_UNORM;
        bindings.depthFormat = findDepthFormat(device->physicalDevice);
        bindings.shadowFormat = VK_FORMAT_D32_SFLOAT;
        bindings.windowWidth = 64;
        bindings.windowHeight = 48;
        makeIsland(8, 8, bindings);
        shadows->casterCallback = [this](CommandBuffer* cmd, Camera* light, const Frustum& frustum) {
            terrain->drawShadow(cmd, light, frustum);
        };
        target = createOffscreenTarget(TargetSize, TargetSize, VK_FORMAT_R8G8B8A8_UNORM, terrain->bindings.depthFormat);
        probeTarget = createOffscreenTarget(TargetSize, TargetSize, VK_FORMAT_R8G8B8A8_UNORM, VK_FORMAT_UNDEFINED);

        CommandBuffer* cmd = beginCommands();
        cmd->flushUploads();
        submitCommandsAndWait(cmd);
    }

    void TearDown() override
    {
        if (terrain) {
            destroyOffscreenTarget(target);
            destroyOffscreenTarget(probeTarget);
            delete terrain;
            delete shadows;
            delete camera;
            delete skySlot;
            delete sunSlot;
            delete waterSlot;
        }
        Ui::debugFlags = savedFlags;
        Settings::shadowMapSize = savedMapSize;
        frustumCullingEnabled = savedCulling;
        GpuTest::TearDown();
    }

    // The island of seed 11 in `chunksPerSide` x `chunksPerSide` chunks of `chunkSize`
    // quads, with its three chunk sets. No erosion: a grid this small would be dug into
    // pits far below the sea, and chunk boxes that tall would pass every frustum test.
    void makeIsland(u32 chunkSize, u32 chunksPerSide, const TerrainBindings& bindings)
    {
        terrain = new Terrain(camera, chunkSize, chunksPerSide, bindings, nullptr);
        terrain->threadCount = 2;
        terrain->generateHeightMap(11);
        terrain->erode(0);
        terrain->createSteps();
        terrain->meshStorage->switchHalf();
        terrain->chunkUniforms->returnPendingFrees();
        terrain->buildChunkMeshes({ChunkRules::MainLow, ChunkRules::MainHigh}, terrain->mainSet);
        terrain->buildChunkMeshes({ChunkRules::PrepassLow, ChunkRules::PrepassHigh}, terrain->prepassSet);
        terrain->buildChunkMeshes({ChunkRules::ShadowLow, ChunkRules::ShadowHigh}, terrain->shadowSet);
    }

    // High above the middle of the island, looking straight down.
    void lookDown(f32 fovDegrees)
    {
        camera->position = glm::vec3(0.0f, 60.0f, 0.0f);
        camera->forward = glm::vec3(0.0f, -1.0f, 0.0f);
        camera->setPerspective(fovDegrees, 1.0f, 1.0f, 2000.0f);
        camera->uploadUniforms();
    }

    // Straight up into the sky from high above: no chunk in view.
    void lookUp()
    {
        camera->position = glm::vec3(0.0f, 300.0f, 0.0f);
        camera->forward = glm::vec3(0.0f, 1.0f, 0.0f);
        camera->updateView();
        camera->uploadUniforms();
    }

    u32 activeChunks(const ChunkSet& set) const
    {
        u32 count = 0;
        for (const BoundingAABB& box : set.boxes) count += box.active;
        return count;
    }

    // A frame of the terrain's passes as the world records them; returns the draws of
    // the main pass.
    u32 recordFrame()
    {
        CommandBuffer* cmd = beginCommands();
        shadows->render(cmd, camera);
        terrain->drawWaterPrepass(cmd, camera);
        beginOffscreenPass(cmd, target, Clear);
        const u32 before = Engine::graphicsDevice->drawnInstances;
        terrain->draw(cmd, camera);
        const u32 drawn = Engine::graphicsDevice->drawnInstances - before;
        endOffscreenPass(cmd, target);
        submitCommandsAndWait(cmd);
        return drawn;
    }

    u32 coloredPixels()
    {
        std::vector<u8> pixels = readPixels(target);
        u32 count = 0;
        for (size_t p = 0; p < pixels.size(); p += 4) count += (pixels[p] | pixels[p + 1] | pixels[p + 2]) != 0;
        return count;
    }

    DebugFlags flags;
    DebugFlags* savedFlags = nullptr;
    i32 savedMapSize = 0;
    u8 savedCulling = 1;
    glm::vec3 sun = glm::normalize(glm::vec3(0.5f, 0.8f, 0.3f));
    Sampler* targetSampler = nullptr;
    Sampler* nearestSampler = nullptr;
    ShadowRenderer* shadows = nullptr;
    StorageSlot* skySlot = nullptr;
    StorageSlot* sunSlot = nullptr;
    StorageSlot* waterSlot = nullptr;
    Camera* camera = nullptr;
    Terrain* terrain = nullptr;
    OffscreenTarget target;
    OffscreenTarget probeTarget; // colour only, for the probes
};

} // namespace

TEST_F(TerrainDrawGpuTest, DrawsTheChunksInViewWithCullingAndEveryActiveChunkWithout)
{
    const u32 active = activeChunks(terrain->mainSet);
    ASSERT_GT(active, 4u);
    // Close above one corner with a narrow view: only some chunks are in the frustum.
    camera->position = glm::vec3(-20.0f, 12.0f, -20.0f);
    camera->setPerspective(30.0f, 1.0f, 1.0f, 100.0f);
    camera->uploadUniforms();
    for (bool optimized : {false, true}) {
        SCOPED_TRACE(optimized ? "optimised shaders" : "normal shaders");
        flags.useOptimizedShaders = optimized;
        frustumCullingEnabled = 1;
        const u32 culled = recordFrame();
        EXPECT_GT(culled, 0u);
        EXPECT_LT(culled, active);
        // Chunks that pass the generous chunk test but have no cell in view are not drawn.
        u32 visible = 0;
        for (const BoundingAABB& box : terrain->mainSet.boxes) visible += box.active && box.visible;
        EXPECT_LE(culled, visible);
        EXPECT_GT(coloredPixels(), TargetSize * TargetSize / 10);
        const std::vector<u8> withCulling = readPixels(target);

        frustumCullingEnabled = 0;
        EXPECT_EQ(recordFrame(), active);
        EXPECT_GT(coloredPixels(), TargetSize * TargetSize / 10);
        // Culling, by chunks and by cells within them, changes no pixel.
        EXPECT_TRUE(readPixels(target) == withCulling);
    }
}

TEST_F(TerrainDrawGpuTest, WithEveryChunkOutOfViewNothingIsBound)
{
    lookUp();
    CommandBuffer* cmd = beginCommands();
    beginOffscreenPass(cmd, target, Clear);
    const u32 before = Engine::graphicsDevice->drawnInstances;
    terrain->draw(cmd, camera);
    EXPECT_EQ(cmd->pipeline, nullptr);
    EXPECT_EQ(cmd->pendingSetCount, 0u);
    EXPECT_EQ(Engine::graphicsDevice->drawnInstances, before);
    endOffscreenPass(cmd, target);

    // Culled from 100 units ahead, a camera looking down at the island from 60 units
    // sees nothing either; the camera itself stays where it was.
    lookDown(60.0f);
    flags.showFrustumCulling = true;
    const CameraState state(*camera);
    beginOffscreenPass(cmd, target, Clear);
    terrain->draw(cmd, camera);
    EXPECT_EQ(cmd->pipeline, nullptr);
    EXPECT_EQ(Engine::graphicsDevice->drawnInstances, before);
    expectSameCamera(state, *camera);
    endOffscreenPass(cmd, target);

    // A light frustum far from the island: the shadow set binds nothing either.
    Frustum away;
    away.fromMatrix(glm::translate(glm::mat4(1.0f), glm::vec3(5000.0f, 5000.0f, 0.0f)));
    terrain->drawShadow(cmd, shadows->lightCamera, away);
    EXPECT_EQ(cmd->pipeline, nullptr);
    submitCommandsAndWait(cmd);
}

TEST_F(TerrainDrawGpuTest, PrepassClearsItsImagesAndLeavesTheCameraAsItCame)
{
    ASSERT_GT(activeChunks(terrain->prepassSet), 0u);
    Probe probe("testshaders/prepassProbeFrag.spv", "CIS_0+CIS_1",
                {{0, DataSetImage, terrain->prepassColorBinding}, {1, DataSetImage, terrain->prepassDepthBinding}});
    auto prepassAndProbe = [&]() {
        CommandBuffer* cmd = beginCommands();
        shadows->render(cmd, camera);
        terrain->drawWaterPrepass(cmd, camera);
        probe.record(cmd, probeTarget);
        submitCommandsAndWait(cmd);
        return countProbe(readPixels(probeTarget), 0, 0, TargetSize, TargetSize);
    };

    for (bool optimized : {false, true}) {
        SCOPED_TRACE(optimized ? "optimised shaders" : "normal shaders");
        flags.useOptimizedShaders = optimized;
        lookDown(60.0f);
        CameraState state(*camera);
        ProbeCounts ground = prepassAndProbe();
        EXPECT_GT(ground.covered, 0u);
        EXPECT_LT(ground.cleared, TargetSize * TargetSize);
        expectSameCamera(state, *camera);

        lookUp();
        state = CameraState(*camera);
        ProbeCounts empty = prepassAndProbe();
        EXPECT_EQ(empty.covered, 0u);
        EXPECT_EQ(empty.cleared, TargetSize * TargetSize);
        expectSameCamera(state, *camera);
    }

    // The widened view of a 60 degree camera in a 640 x 480 window.
    EXPECT_EQ(terrain->waterView.perspective, 1);
    EXPECT_NEAR(terrain->waterView.fovDegrees, 98.2132f, 1e-3f);
    EXPECT_FLOAT_EQ(terrain->waterView.aspect, 1280.0f / 960.0f);
    EXPECT_EQ(terrain->waterView.nearPlane, 1.0f);
    EXPECT_EQ(terrain->waterView.farPlane, 2000.0f);

    // An orthographic camera comes out of the prepass unchanged too.
    camera->forward = glm::vec3(0.0f, -1.0f, 0.0f);
    camera->setOrthographic({-40.0f, 40.0f, -40.0f, 40.0f}, -100.0f, 300.0f);
    camera->uploadUniforms();
    const CameraState ortho(*camera);
    prepassAndProbe();
    expectSameCamera(ortho, *camera);
    probe.release();
}

TEST_F(TerrainDrawGpuTest, AfterAResizeThePrepassImagesAreTwiceTheNewWindow)
{
    Probe probe("testshaders/prepassProbeFrag.spv", "CIS_0+CIS_1",
                {{0, DataSetImage, terrain->prepassColorBinding}, {1, DataSetImage, terrain->prepassDepthBinding}});
    Image2D* oldColor = terrain->prepassColor;
    const i32 width = Engine::window->width, height = Engine::window->height;
    Engine::window->width = 40;
    Engine::window->height = 30;
    terrain->updateWaterViewParams(camera);
    terrain->recreateResources();
    EXPECT_NE(terrain->prepassColor, oldColor);
    EXPECT_EQ(terrain->prepassColor->extent.width, 80u);
    EXPECT_EQ(terrain->prepassColor->extent.height, 60u);
    EXPECT_EQ(terrain->prepassDepth->extent.width, 80u);
    EXPECT_EQ(terrain->prepassDepth->extent.height, 60u);
    EXPECT_EQ(terrain->prepassColorBinding->view, terrain->prepassColor->view);
    EXPECT_EQ(terrain->prepassDepthBinding->view, terrain->prepassDepth->view);
    EXPECT_EQ(terrain->waterView.aspect, 80.0f / 60.0f);
    // The water's set samples the new images from its next bind.
    EXPECT_EQ(probe.dataSet->dirty, 1);

    // A minimised window keeps the images.
    Engine::window->width = 0;
    Engine::window->height = 0;
    Image2D* kept = terrain->prepassColor;
    terrain->recreateResources();
    EXPECT_EQ(terrain->prepassColor, kept);
    Engine::window->width = width;
    Engine::window->height = height;

    CommandBuffer* cmd = beginCommands();
    shadows->render(cmd, camera);
    terrain->drawWaterPrepass(cmd, camera);
    probe.record(cmd, probeTarget);
    submitCommandsAndWait(cmd);
    EXPECT_GT(countProbe(readPixels(probeTarget), 0, 0, TargetSize, TargetSize).covered, 0u);
    probe.release();
}

TEST_F(TerrainDrawGpuTest, ShadowRendererRecordsFourCascadesIntoTheDepthArray)
{
    struct Call {
        VkExtent2D area;
        Camera* light;
        glm::mat4 viewProjection;
    };
    std::vector<Call> calls;
    shadows->casterCallback = [&](CommandBuffer* cmd, Camera* light, const Frustum& frustum) {
        calls.push_back({cmd->renderExtent, light, light->uniforms.viewProjection});
        terrain->drawShadow(cmd, light, frustum);
    };
    ImageBinding layers(shadows->map->arrayView, nearestSampler);
    Probe probe("testshaders/depthLayersProbeFrag.spv", "CIS_0", {{0, DataSetImage, &layers}});

    // Low over the island's edge, looking across it: the first cascade holds ground.
    camera->position = glm::vec3(-30.0f, 20.0f, 0.0f);
    camera->forward = glm::normalize(glm::vec3(1.0f, -0.4f, 0.0f));
    camera->setPerspective(60.0f, 1.0f, 2.5f, 2000.0f);
    camera->uploadUniforms();
    CommandBuffer* cmd = beginCommands();
    shadows->render(cmd, camera);
    probe.record(cmd, probeTarget);
    submitCommandsAndWait(cmd);

    ASSERT_EQ(calls.size(), 4u);
    for (u32 i = 0; i < 4; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(calls[i].light, shadows->lightCamera);
        EXPECT_GE(calls[i].area.width, 1u);
        EXPECT_LE(calls[i].area.width, static_cast<u32>(MapSize));
        EXPECT_GE(calls[i].area.height, 1u);
        EXPECT_LE(calls[i].area.height, static_cast<u32>(MapSize));
        EXPECT_EQ(shadows->uniforms.lightViewProjection[i], calls[i].viewProjection);
        EXPECT_LT(shadows->uniforms.bias[i].x, shadows->uniforms.bias[i].y);
        EXPECT_LT(shadows->uniforms.bias[i].y, 0.0f);
        EXPECT_EQ(shadows->cascadeExtents[i], ShadowRenderer::cascadeExtent(camera, i));
    }
    // The light looks along the sun's rays.
    EXPECT_NEAR(glm::dot(shadows->lightCamera->forward, -sun), 1.0f, 1e-6f);
    EXPECT_EQ(shadows->uniforms.splitExponent, 2.1f);
    EXPECT_EQ(0, std::memcmp(Engine::frameUniforms->mapped + shadows->uniformSlot->offset, &shadows->uniforms,
                             sizeof(ShadowUniforms)));
    // The first layer holds the ground's depth.
    EXPECT_GT(countProbe(readPixels(probeTarget), 0, 0, TargetSize / 2, TargetSize / 2).covered, 0u);
    probe.release();
}

TEST_F(TerrainDrawGpuTest, ShadowMapFollowsTheQualityAndExtentsAreRecomputedOnlyWhenDirty)
{
    recordFrame();
    EXPECT_EQ(shadows->dirty, 0);
    f32 extents[4];
    std::memcpy(extents, shadows->cascadeExtents, sizeof(extents));

    // A new near plane alone does not recompute the cached extents; marking them dirty does.
    camera->setPerspective(60.0f, 1.0f, 10.0f, 2000.0f);
    camera->uploadUniforms();
    recordFrame();
    EXPECT_EQ(0, std::memcmp(extents, shadows->cascadeExtents, sizeof(extents)));
    shadows->dirty = 1;
    recordFrame();
    EXPECT_EQ(shadows->dirty, 0);
    for (u32 i = 0; i < 4; i++) EXPECT_EQ(shadows->cascadeExtents[i], ShadowRenderer::cascadeExtent(camera, i));
    EXPECT_NE(extents[0], shadows->cascadeExtents[0]);

    // Another shadow quality: the next frame renders into a map of the new size, and the
    // sets that sample the map rebuild.
    Settings::shadowMapSize = 128;
    recordFrame();
    EXPECT_EQ(shadows->map->extent.width, 128u);
    EXPECT_EQ(shadows->map->extent.height, 128u);
    EXPECT_EQ(shadows->mapBinding->view, shadows->map->arrayView);
    EXPECT_GT(coloredPixels(), 0u);
}

TEST_F(TerrainDrawGpuTest, CascadesDrawOnlyCastersOverTheReceiversThatReadThem)
{
    std::vector<Frustum> calls; // the casters' frustum of each cascade that draws
    shadows->casterCallback = [&](CommandBuffer*, Camera*, const Frustum& frustum) { calls.push_back(frustum); };
    camera->position = glm::vec3(-30.0f, 20.0f, 0.0f);
    camera->forward = glm::normalize(glm::vec3(1.0f, -0.4f, 0.0f));
    camera->setPerspective(60.0f, 1.0f, 2.5f, 2000.0f);
    camera->uploadUniforms();

    auto render = [&]() {
        calls.clear();
        CommandBuffer* cmd = beginCommands();
        shadows->render(cmd, camera);
        submitCommandsAndWait(cmd);
    };
    // Unknown receivers: every cascade draws its casters.
    shadows->receiversKnown = 0;
    render();
    EXPECT_EQ(calls.size(), 4u);
    EXPECT_EQ(shadows->cascadesDrawn, 0xFu);

    // One small receiver 20 units ahead: only the first cascade reads the map there, and
    // its casters are culled to a frustum around that receiver.
    const glm::vec3 ahead = camera->position + camera->forward * 20.0f;
    shadows->receivers = {{ahead - glm::vec3(1.0f), ahead + glm::vec3(1.0f)}};
    shadows->receiversKnown = 1;
    render();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(shadows->cascadesDrawn, 1u);
    const Frustum casters = calls[0];
    EXPECT_FALSE(boxOutsideFrustum(ahead - glm::vec3(1.0f), ahead + glm::vec3(1.0f), casters));
    // Ground far to the side of the receiver casts nothing onto it.
    const glm::vec3 aside = ahead + glm::vec3(0.0f, 0.0f, 30.0f);
    EXPECT_TRUE(boxOutsideFrustum(aside - glm::vec3(1.0f), aside + glm::vec3(1.0f), casters));
    // The uniform block still holds all four cascades' matrices (the layers are cleared).
    for (u32 i = 0; i < 4; i++) EXPECT_NE(shadows->uniforms.lightViewProjection[i], glm::mat4(0.0f));

    // No receiver at all: no cascade draws.
    shadows->receivers.clear();
    render();
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(shadows->cascadesDrawn, 0u);
    shadows->receiversKnown = 0;
    EXPECT_TRUE(validationErrors().empty());
}

TEST_F(TerrainDrawGpuTest, IndexedShadowSetCastsTheSameCascadesAsTheShadedOne)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    // The same island in 2 x 2 chunks of 32 x 32 quads: chunks of 2 x 2 cells, so that
    // a cascade can take some cells of a chunk and leave others.
    constexpr u32 Chunks = 4;
    constexpr u32 ChunkQuads = 32;
    const TerrainBindings bindings = terrain->bindings;
    delete terrain;
    makeIsland(ChunkQuads, 2, bindings);

    // The shadow set is built position-only and indexed, one index per vertex.
    const ChunkSetData shadedData = buildChunkSet(*terrain, {ChunkRules::ShadowLow, ChunkRules::ShadowHigh},
                                                  terrain->planetRadius, *std::make_unique<Random>(1), 2);
    u32 positions = 0;
    u32 indices = 0;
    for (u32 index = 0; index < Chunks; index++) {
        SCOPED_TRACE(index);
        ASSERT_EQ(terrain->shadowSet.boxes[index].active != 0, shadedData.chunks[index].vertexCount > 0);
        if (!terrain->shadowSet.boxes[index].active) continue;
        const Mesh* mesh = terrain->shadowSet.meshes[index];
        ASSERT_NE(mesh->indexBuffer, nullptr);
        EXPECT_EQ(mesh->vertexBuffer->layout, vertexLayoutPosition);
        EXPECT_EQ(mesh->indexBuffer->count, shadedData.chunks[index].vertexCount);
        positions += mesh->vertexBuffer->vertexCount;
        indices += mesh->indexBuffer->count;
        // The cells' stretches are the same index ranges as the vertex ranges.
        const glm::vec3 chunkOrigin =
            terrain->origin + glm::vec3((index % 2) * f32{ChunkQuads}, 0.0f, (index / 2) * f32{ChunkQuads});
        EXPECT_EQ(terrain->shadowSet.cells[index].cellsPerSide, 2u);
        EXPECT_EQ(terrain->shadowSet.cells[index].stretchStart,
                  chunkCellsOf(shadedData.chunks[index], ChunkQuads, chunkOrigin).stretchStart);
    }
    ASSERT_GT(indices, 0u);
    EXPECT_LT(positions * 4, indices);

    // The same set as the scene pipelines' non-indexed streams, in a storage of its own.
    ChunkSetData data = shadedData;
    const u32 bytes = Chunks * ChunkQuads * ChunkQuads * 6u * 40u + Chunks * 3u * 16u;
    auto* storage = new DsDeviceMeshSingle(device, bytes);
    storage->switchHalf();
    ChunkSet shaded;
    initChunkSet(shaded, Chunks, terrain->chunkSlot);
    uploadChunkSet(data, terrain->origin, storage, terrain->chunkUniforms, shaded, 2);

    // Low over the island's edge, looking across it: cascades cut through chunks, so
    // some chunks draw only some of their cells.
    camera->position = glm::vec3(-30.0f, 20.0f, 0.0f);
    camera->forward = glm::normalize(glm::vec3(1.0f, -0.4f, 0.0f));
    camera->setPerspective(60.0f, 1.0f, 2.5f, 2000.0f);
    camera->uploadUniforms();
    std::vector<VkExtent2D> areas;
    u32 partialChunks = 0;
    shadows->casterCallback = [&](CommandBuffer* cmd, Camera* light, const Frustum& frustum) {
        areas.push_back(cmd->renderExtent);
        for (u32 index = 0; index < Chunks; index++) {
            const ChunkSet& set = terrain->shadowSet;
            if (!set.boxes[index].active) continue;
            const u32 cells = visibleCells(set.cells[index], frustum);
            partialChunks += cells != 0 && cells != set.occupiedCells[index];
        }
        terrain->drawShadow(cmd, light, frustum, &shadows->casterCoverage);
    };
    // The map's bits, layer under layer, copied by a probe into an integer target.
    const u32 layerCount = ShadowRenderer::CascadeCount;
    OffscreenTarget bitsTarget = createOffscreenTarget(MapSize, MapSize * layerCount, VK_FORMAT_R32_UINT,
                                                       VK_FORMAT_UNDEFINED);
    ImageBinding layers(shadows->map->arrayView, nearestSampler);
    Probe bits("testshaders/depthBitsProbeFrag.spv", "CIS_0", {{0, DataSetImage, &layers}}, VK_FORMAT_R32_UINT);

    // Every cascade's depth within the area it was rendered into.
    auto renderCascades = [&]() {
        areas.clear();
        CommandBuffer* cmd = beginCommands();
        cmd->flushUploads();
        shadows->render(cmd, camera);
        bits.record(cmd, bitsTarget);
        submitCommandsAndWait(cmd);
        const std::vector<u8> texels = readPixels(bitsTarget);
        std::vector<std::vector<f32>> depths;
        for (u32 layer = 0; layer < layerCount; layer++) {
            std::vector<f32> area;
            if (layer < areas.size()) {
                for (u32 y = 0; y < areas[layer].height; y++) {
                    for (u32 x = 0; x < areas[layer].width; x++) {
                        const size_t row = static_cast<size_t>(layer) * MapSize + y;
                        f32 depth;
                        std::memcpy(&depth, texels.data() + 4 * (row * MapSize + x), 4);
                        area.push_back(depth);
                    }
                }
            }
            depths.push_back(std::move(area));
        }
        return depths;
    };
    auto castTexels = [](const std::vector<std::vector<f32>>& depths) {
        u32 count = 0;
        for (const std::vector<f32>& layer : depths) count += static_cast<u32>(std::count_if(
                                                          layer.begin(), layer.end(), [](f32 d) { return d < 1.0f; }));
        return count;
    };

    // Every cascade with all its casters, then only the casters over one receiver, as
    // the world draws them.
    const glm::vec3 ahead = camera->position + camera->forward * 20.0f;
    for (bool receivers : {false, true}) {
        SCOPED_TRACE(receivers ? "casters over a receiver" : "every caster");
        shadows->receivers = {{ahead - glm::vec3(4.0f), ahead + glm::vec3(4.0f)}};
        shadows->receiversKnown = receivers ? 1 : 0;
        partialChunks = 0;
        const std::vector<std::vector<f32>> fromIndexed = renderCascades();
        EXPECT_GT(partialChunks, 0u);
        EXPECT_GT(castTexels(fromIndexed), 0u);
        std::swap(terrain->shadowSet, shaded);
        const std::vector<std::vector<f32>> fromShaded = renderCascades();
        std::swap(terrain->shadowSet, shaded);
        ASSERT_EQ(fromIndexed.size(), fromShaded.size());
        for (size_t layer = 0; layer < fromIndexed.size(); layer++) {
            SCOPED_TRACE(layer);
            ASSERT_EQ(fromIndexed[layer].size(), fromShaded[layer].size());
            EXPECT_EQ(0, std::memcmp(fromIndexed[layer].data(), fromShaded[layer].data(),
                                     fromIndexed[layer].size() * sizeof(f32)));
        }
    }
    shadows->receiversKnown = 0;
    shadows->receivers.clear();

    releaseChunkSet(shaded);
    device->releaseResource(storage);
    bits.release();
    destroyOffscreenTarget(bitsTarget);
    EXPECT_TRUE(validationErrors().empty());
}

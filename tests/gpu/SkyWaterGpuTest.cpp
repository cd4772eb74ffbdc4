#include "GpuTest.h"
#include "Offscreen.h"
#include "Readback.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Command/CommandBuffer.h"
#include "Engine/Descriptor/DataSet.h"
#include "Engine/Descriptor/DescriptorPool.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Image/Dds.h"
#include "Engine/Image/Image.h"
#include "Engine/Image/Sampler.h"
#include "Engine/Mesh/Mesh.h"
#include "Engine/Pipeline/Pipeline.h"
#include "Engine/Storage/DataStorage.h"
#include "Engine/SwapChain/SwapChain.h"
#include "World/Sky/SkyTables.h"
#include "World/Sky/Skybox.h"
#include "World/Terrain/Terrain.h"
#include "World/Water/Water.h"
#include "World/Water/WaterGrid.h"
#include "World/World.h"
#include "World/WorldTargets.h"

#include <glm/gtc/constants.hpp>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr u32 Width = 320;
constexpr u32 Height = 180;
constexpr f32 CameraHeight = 30.0f;
const float Magenta[4] = {1.0f, 0.0f, 1.0f, 1.0f};

// A pixel read back from a B8G8R8A8 or R8G8B8A8 target as red, green, blue.
struct Rgb {
    int r, g, b;
};

Rgb rgbAt(const std::vector<u8>& pixels, VkFormat format, u32 x, u32 y)
{
    Pixel p = pixelAt(pixels, Width, x, y);
    bool bgr = format == VK_FORMAT_B8G8R8A8_SRGB || format == VK_FORMAT_B8G8R8A8_UNORM;
    return bgr ? Rgb{p.c[2], p.c[1], p.c[0]} : Rgb{p.c[0], p.c[1], p.c[2]};
}

bool isMagenta(Rgb c)
{
    return c.r > 250 && c.g < 5 && c.b > 250;
}

// Writes a read-back image as a PPM file when BRACKENHOLD_TEST_IMAGES names a
// directory, for looking at what the passes drew.
void saveImage(const std::vector<u8>& pixels, VkFormat format, const std::string& name)
{
    const char* directory = std::getenv("BRACKENHOLD_TEST_IMAGES");
    if (!directory) return;
    std::string path = std::string(directory) + "/" + name + ".ppm";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return;
    std::fprintf(file, "P6 %u %u 255\n", Width, Height);
    for (u32 y = 0; y < Height; y++) {
        for (u32 x = 0; x < Width; x++) {
            Rgb c = rgbAt(pixels, format, x, y);
            const unsigned char rgb[3] = {static_cast<unsigned char>(c.r), static_cast<unsigned char>(c.g),
                                          static_cast<unsigned char>(c.b)};
            std::fwrite(rgb, 1, 3, file);
        }
    }
    std::fclose(file);
}

// Clears an image to a colour or a depth by beginning and ending a rendering into it,
// then leaves it ready for sampling, as a pass that drew nothing would.
void clearForSampling(CommandBuffer* cmd, Image2D* image, bool depth, const float color[4], f32 depthValue)
{
    const VkImageLayout attachment =
        depth ? VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL : VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
    const VkPipelineStageFlags stage =
        depth ? VK_PIPELINE_STAGE_LATE_FRAGMENT_TESTS_BIT : VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT;
    const VkAccessFlags write =
        depth ? VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT : VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT;
    cmd->imageBarrier(image, VK_IMAGE_LAYOUT_UNDEFINED, attachment, VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT,
                      VK_PIPELINE_STAGE_EARLY_FRAGMENT_TESTS_BIT | stage, 0, write);
    VkRenderingAttachmentInfo info{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
    info.imageView = image->view->view;
    info.imageLayout = attachment;
    info.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
    info.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    if (depth) {
        info.clearValue.depthStencil = {depthValue, 0};
    } else {
        std::memcpy(info.clearValue.color.float32, color, 4 * sizeof(float));
    }
    VkRenderingInfo rendering{VK_STRUCTURE_TYPE_RENDERING_INFO};
    rendering.renderArea = {{0, 0}, image->extent};
    rendering.layerCount = 1;
    rendering.colorAttachmentCount = depth ? 0 : 1;
    rendering.pColorAttachments = depth ? nullptr : &info;
    rendering.pDepthAttachment = depth ? &info : nullptr;
    vkCmdBeginRendering(cmd->handle, &rendering);
    vkCmdEndRendering(cmd->handle);
    cmd->imageBarrier(image, attachment, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL, stage,
                      VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, write, VK_ACCESS_SHADER_READ_BIT);
}

// The camera's perspective depth (0 near, 1 far) of a point `distance` ahead.
f32 depthAt(const Camera& camera, f32 distance)
{
    return camera.far / (camera.far - camera.near) * (1.0f - camera.near / distance);
}

// A world as World::init leaves it for the sky and the water: the game camera, the
// scene targets with their bindings, the sky, the water and a terrain whose prepass
// images stand in for the ground below the sea. The world's teardown releases it all.
class SkyWaterGpuTest : public GpuTest {
protected:
    SkyWaterGpuTest() : GpuTest(FrameResourceNeeds{}) {}

    void SetUp() override
    {
        GpuTest::SetUp();
        if (HasFatalFailure()) return;
        GraphicsDevice* device = Engine::graphicsDevice;
        colorFormat = Engine::swapChain->format;
        depthFormat = findDepthFormat(device->physicalDevice);

        world = new World();
        world->camera = new Camera();
        camera = world->camera;
        camera->setPerspective(60.0f, static_cast<f32>(Width) / Height, 2.5f, 3.0f * 12742.0f);
        look(0.0f, 0.0f);

        world->targetSampler = new Sampler(device, samplerClampToEdge());
        world->depthSampler = new Sampler(device, samplerClampToEdgeNearest());
        // Readable too, so the tests can see what the main pass drew.
        world->sceneColor = makeTarget(colorFormat, VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT,
                                       VK_IMAGE_ASPECT_COLOR_BIT);
        world->sceneDepth = makeTarget(depthFormat,
                                       VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT,
                                       VK_IMAGE_ASPECT_DEPTH_BIT);
        world->sceneColorBinding = new ImageBinding(world->sceneColor->view, world->targetSampler);
        world->sceneDepthBinding = new ImageBinding(world->sceneDepth->view, world->depthSampler);
        world->sceneDepthBinding->layout = SceneDepthSkyLayout;
        world->sceneDepthCopy = makeTarget(depthFormat, VK_IMAGE_USAGE_TRANSFER_DST_BIT, VK_IMAGE_ASPECT_DEPTH_BIT);
        world->sceneDepthCopyBinding = new ImageBinding(world->sceneDepthCopy->view, world->depthSampler);
        world->surfaceDepth = makeTarget(SurfaceDepthFormat, VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT,
                                         VK_IMAGE_ASPECT_COLOR_BIT);
        world->surfaceDepthBinding = new ImageBinding(world->surfaceDepth->view, world->depthSampler);

        world->sky = new Skybox(camera);
        world->water = new Water();
        sky = world->sky;
        water = world->water;

        // The terrain only for its prepass images and the bindings over them.
        StorageSlot* shadowSlot = standInSlot(sizeof(ShadowUniformsStandIn));
        StorageSlot* lightSlot = standInSlot(sizeof(CameraUniforms));
        shadowMap = new ImageBinding(Engine::descriptorPool->fallbackView(), Engine::descriptorPool->fallbackSampler);
        TerrainBindings bindings;
        bindings.skyParams = sky->paramSlot;
        bindings.sunDirection = sky->sunSlot;
        bindings.shadowUniforms = shadowSlot;
        bindings.shadowMap = shadowMap;
        bindings.waterParams = water->paramSlot;
        bindings.lightCamera = lightSlot;
        bindings.targetSampler = world->targetSampler;
        bindings.depthSampler = world->depthSampler;
        bindings.colorFormat = colorFormat;
        bindings.depthFormat = depthFormat;
        bindings.shadowFormat = depthFormat;
        bindings.windowWidth = Width;
        bindings.windowHeight = Height;
        world->terrain = new Terrain(camera, 8, 4, bindings, nullptr);
        water->createDataSets(camera);

        composite = createOffscreenTarget(Width, Height, colorFormat, VK_FORMAT_UNDEFINED);
    }

    void TearDown() override
    {
        if (world) {
            destroyOffscreenTarget(composite);
            delete world;
            world = nullptr;
            delete shadowMap;
            for (StorageSlot* slot : standIns) delete slot;
        }
        GpuTest::TearDown();
    }

    // The shadow block's size, without depending on the shadow renderer here.
    struct ShadowUniformsStandIn {
        u8 bytes[484];
    };

    StorageSlot* standInSlot(u32 size)
    {
        std::vector<u8> zeros(size, 0);
        auto* slot = new StorageSlot{Engine::frameUniforms, size, NoOffset};
        slot->offset = Engine::frameUniforms->write(NoOffset, zeros.data(), size, false);
        standIns.push_back(slot);
        return slot;
    }

    Image2D* makeTarget(VkFormat format, VkImageUsageFlags usage, VkImageAspectFlags aspect)
    {
        GraphicsDevice* device = Engine::graphicsDevice;
        auto* image = new Image2D(device, Width, Height, format, usage | VK_IMAGE_USAGE_SAMPLED_BIT, aspect, 1, 1, 0);
        image->view = new ImageView(device, image, 1, 1);
        return image;
    }

    // At CameraHeight above the sea, turned by yaw and pitch (radians, pitch > 0 down).
    void look(f32 yaw, f32 pitch)
    {
        camera->position = glm::vec3(0.0f, CameraHeight, 0.0f);
        camera->yaw = yaw;
        camera->pitch = pitch;
        camera->updateForward();
        camera->updateView();
        camera->uploadUniforms();
    }

    // The per-frame blocks as the world's update writes them, with the sun at `angle`.
    void updateBlocks(f32 sunAngle)
    {
        sky->sunAngle = sunAngle;
        sky->update(0.0f, camera);
        const glm::mat4 inverse = glm::inverse(camera->projection * camera->rotationView);
        water->params.inverseViewProjection = inverse;
        water->params.prepassScale = glm::vec2(0.5f);
        water->params.time = 12.5f;
        water->optParams.inverseViewProjection = inverse;
        water->optParams.prepassScale = glm::vec2(0.5f);
        water->optParams.time = 12.5f;
        water->paramSlot->offset =
            Engine::frameUniforms->write(water->paramSlot->offset, &water->params, sizeof(WaterParams), false);
        water->optParamSlot->offset =
            Engine::frameUniforms->write(water->optParamSlot->offset, &water->optParams, sizeof(WaterOptParams), false);
    }

    // The prepass stand-in: sandy ground `groundDistance` ahead everywhere.
    void recordPrepass(CommandBuffer* cmd, f32 groundDistance)
    {
        const float sand[4] = {0.55f, 0.45f, 0.3f, 1.0f};
        clearForSampling(cmd, world->terrain->prepassColor, false, sand, 0.0f);
        clearForSampling(cmd, world->terrain->prepassDepth, true, nullptr, depthAt(*camera, groundDistance));
    }

    // The main pass: cleared to `clearColor` and depth 1, with stand-ins for geometry
    // drawn before the water (depth cleared over rectangles), then the water if asked.
    struct DepthRect {
        VkRect2D rect;
        f32 depth;
    };
    void recordScene(CommandBuffer* cmd, const float clearColor[4], const std::vector<DepthRect>& occluders,
                     bool drawWater, bool optimized)
    {
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
        std::memcpy(color.clearValue.color.float32, clearColor, 4 * sizeof(float));
        VkRenderingAttachmentInfo depth{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
        depth.imageView = world->sceneDepth->view->view;
        depth.imageLayout = VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL;
        depth.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
        depth.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
        depth.clearValue.depthStencil = {1.0f, 0};
        VkRenderingInfo rendering{VK_STRUCTURE_TYPE_RENDERING_INFO};
        rendering.renderArea = {{0, 0}, {Width, Height}};
        rendering.layerCount = 1;
        rendering.colorAttachmentCount = 1;
        rendering.pColorAttachments = &color;
        rendering.pDepthAttachment = &depth;
        vkCmdBeginRendering(cmd->handle, &rendering);
        cmd->renderExtent = {Width, Height};
        for (const DepthRect& occluder : occluders) {
            VkClearAttachment clear{VK_IMAGE_ASPECT_DEPTH_BIT, 0, {}};
            clear.clearValue.depthStencil = {occluder.depth, 0};
            VkClearRect rect{occluder.rect, 0, 1};
            vkCmdClearAttachments(cmd->handle, 1, &clear, 1, &rect);
        }
        if (drawWater) drawSea(cmd, *world, color, depth, {Width, Height}, optimized);
        vkCmdEndRendering(cmd->handle);
        cmd->imageBarrier(world->sceneColor, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                          VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL, VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT,
                          VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT,
                          VK_ACCESS_SHADER_READ_BIT);
        cmd->imageBarrier(world->sceneDepth, VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL, SceneDepthSkyLayout,
                          VK_PIPELINE_STAGE_LATE_FRAGMENT_TESTS_BIT,
                          VK_PIPELINE_STAGE_EARLY_FRAGMENT_TESTS_BIT | VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT,
                          VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT,
                          VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_READ_BIT | VK_ACCESS_SHADER_READ_BIT);
    }

    // The sky pass into the composite stand-in, which the test reads back.
    void recordSky(CommandBuffer* cmd, bool optimized)
    {
        cmd->imageBarrier(composite.color, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                          VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT,
                          0, VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT);
        // Cleared to magenta: a pixel that neither half of the pass draws shows.
        VkRenderingAttachmentInfo target =
            targetAttachment(composite.color, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_ATTACHMENT_LOAD_OP_CLEAR);
        std::memcpy(target.clearValue.color.float32, Magenta, 4 * sizeof(float));
        drawSkyPass(cmd, *world, target, {Width, Height}, optimized);
        copyOffscreenColor(cmd, composite);
    }

    // One frame: uploads, prepass stand-in, main pass with the water, sky pass.
    std::vector<u8> renderFrame(bool optimized, f32 sunAngle, f32 groundDistance = 200.0f)
    {
        updateBlocks(sunAngle);
        CommandBuffer* cmd = beginCommands();
        cmd->flushUploads();
        recordPrepass(cmd, groundDistance);
        recordScene(cmd, Magenta, {}, true, optimized);
        recordSky(cmd, optimized);
        submitCommandsAndWait(cmd);
        Engine::frameUniforms->switchHalf();
        return readPixels(composite);
    }

    Camera* camera = nullptr; // the world (the global `world`) owns it
    Skybox* sky = nullptr;
    Water* water = nullptr;
    ImageBinding* shadowMap = nullptr;
    std::vector<StorageSlot*> standIns;
    OffscreenTarget composite; // stands in for the world's composite target
    VkFormat colorFormat = VK_FORMAT_UNDEFINED;
    VkFormat depthFormat = VK_FORMAT_UNDEFINED;
};

// Mean brightness and blueness over a band of rows.
struct RowStats {
    f32 brightness = 0;
    f32 blueOverRed = 0;
};

RowStats rowStats(const std::vector<u8>& pixels, VkFormat format, u32 y0, u32 y1)
{
    RowStats stats;
    f32 r = 0, g = 0, b = 0, n = 0;
    for (u32 y = y0; y < y1; y++) {
        for (u32 x = 0; x < Width; x++) {
            Rgb c = rgbAt(pixels, format, x, y);
            r += c.r;
            g += c.g;
            b += c.b;
            n++;
        }
    }
    stats.brightness = (r + g + b) / (3 * n);
    stats.blueOverRed = (b + 1) / (r + 1);
    return stats;
}

} // namespace

TEST_F(SkyWaterGpuTest, ObjectsAreBuiltAsTheWorldUsesThem)
{
    EXPECT_EQ(sky->sunAngle, -1.0f);
    ASSERT_NE(sky->cube, nullptr);
    EXPECT_EQ(sky->cube->indexBuffer->count, 36u);
    EXPECT_EQ(sky->paramSlot->size, 88u);
    EXPECT_EQ(sky->sunSlot->size, 12u);
    EXPECT_EQ(sky->placementSlot->size, 64u);
    EXPECT_EQ(sky->stars->extent.width, sky->stars->extent.height);
    EXPECT_EQ(sky->pipeline->descriptorLayout, "UBD_0+UBD_1+UBD_2 CIS_3+CIS_4+CIS_5+CIS_6+CIS_7");

    EXPECT_EQ(water->paramSlot->size, 164u);
    EXPECT_EQ(water->optParamSlot->size, 76u);
    EXPECT_EQ(water->optParams.time, 0.0f);
    ASSERT_NE(water->mesh, nullptr);
    EXPECT_EQ(water->mesh->vertexBuffer->vertexCount, WaterGrid::VertexCount);
    EXPECT_EQ(water->mesh->indexBuffer->count, 58806u);
    EXPECT_EQ(water->pipeline->descriptorLayout, "UBD_0+UBD_1+UBD_2 CIS_3+CIS_4+CIS_5");

    // The grid reaches the device as written.
    CommandBuffer* cmd = beginCommands();
    cmd->flushUploads();
    submitCommandsAndWait(cmd);
    const VertexStreamSlot& stream = water->mesh->vertexBuffer->streams[0];
    std::vector<u8> bytes = readBuffer(water->meshStorage->buffer, stream.offset, stream.byteSize);
    std::vector<glm::vec2> grid = waterGridVertices();
    ASSERT_EQ(bytes.size(), grid.size() * sizeof(glm::vec2));
    EXPECT_EQ(0, std::memcmp(bytes.data(), grid.data(), bytes.size()));
    std::vector<u8> indexBytes =
        readBuffer(water->meshStorage->buffer, water->mesh->indexBuffer->offset, water->mesh->indexBuffer->byteSize);
    std::vector<u32> indices = waterGridIndices();
    EXPECT_EQ(0, std::memcmp(indexBytes.data(), indices.data(), indexBytes.size()));

    // The update turns the start angle into the first sun and places the cube.
    sky->update(16.0f, camera);
    EXPECT_NEAR(sky->sunAngle, 5.2831855f, 1e-5f);
    EXPECT_NEAR(sky->params.sunDirection.x, -0.841f, 1e-3f);
    EXPECT_EQ(sky->sunBlock, sky->params.sunDirection);
    glm::mat4 placement;
    std::memcpy(&placement, Engine::frameUniforms->mapped + sky->placementSlot->offset, sizeof(placement));
    EXPECT_EQ(placement[3], glm::vec4(camera->position, 1.0f));
    EXPECT_EQ(0, std::memcmp(Engine::frameUniforms->mapped + sky->paramSlot->offset, &sky->params, 88));
    EXPECT_TRUE(validationErrors().empty());
}

TEST_F(SkyWaterGpuTest, ImageSetsFollowTheTargetsTheyRead)
{
    // A resize gives the scene and prepass bindings new views and tells their sets,
    // which rebuild at their next bind; the frame after that is drawn as before.
    ASSERT_EQ(sky->setC->dirty, 0);
    ASSERT_EQ(water->setC->dirty, 0);
    Image2D* oldColor = world->sceneColor;
    world->sceneColor = makeTarget(colorFormat, VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT,
                                   VK_IMAGE_ASPECT_COLOR_BIT);
    Engine::graphicsDevice->releaseResource(oldColor);
    world->sceneColorBinding->view = world->sceneColor->view;
    notifyListeners(world->sceneColorBinding->listeners, world->sceneColorBinding);
    EXPECT_EQ(sky->setC->dirty, 1);
    EXPECT_EQ(water->setC->dirty, 0);

    notifyListeners(world->terrain->prepassColorBinding->listeners, world->terrain->prepassColorBinding);
    EXPECT_EQ(water->setC->dirty, 1);

    std::vector<u8> frame = renderFrame(true, 0.6f);
    EXPECT_EQ(sky->setC->dirty, 0);
    EXPECT_EQ(water->setC->dirty, 0);
    EXPECT_FALSE(isMagenta(rgbAt(frame, colorFormat, Width / 2, Height - 2)));
    EXPECT_TRUE(validationErrors().empty());
}

TEST_F(SkyWaterGpuTest, WaterCoversTheSeaUpToTheHorizonAndHidesBehindNearerDepth)
{
    for (bool optimized : {false, true}) {
        SCOPED_TRACE(optimized ? "optimised" : "normal");
        updateBlocks(0.3f);
        CommandBuffer* cmd = beginCommands();
        cmd->flushUploads();
        recordPrepass(cmd, 200.0f);
        // Terrain 5 units ahead over the left half hides the water there; something far
        // beyond the sea (a distant cliff) over the bottom rows of the right half does not.
        recordScene(cmd, Magenta,
                    {{{{0, 0}, {Width / 2, Height}}, depthAt(*camera, 5.0f)},
                     {{{static_cast<i32>(Width / 2), static_cast<i32>(Height - 8)}, {Width / 2, 8}},
                      depthAt(*camera, 20000.0f)}},
                    true, optimized);
        submitCommandsAndWait(cmd);
        Engine::frameUniforms->switchHalf();
        std::vector<u8> scene = readImage(world->sceneColor, 0, 0, Width, Height, Width * Height * 4);
        saveImage(scene, colorFormat, optimized ? "water-opt-scene" : "water-scene");

        // Looking level from 30 units up, the horizon dips sqrt(2 h / R) below the
        // horizontal: about 11 rows below the middle at the centre of a 180-row image,
        // lower towards the sides (by 1 / cos of the azimuth).
        const f32 dip = std::sqrt(2.0f * CameraHeight / 12742.0f);
        const f32 tanHalf = std::tan(glm::radians(30.0f));
        for (u32 x = Width / 2 + 4; x < Width; x += 7) {
            const f32 ndcX = (static_cast<f32>(x) + 0.5f) / Width * 2.0f - 1.0f;
            const f32 azimuth = std::atan(ndcX * tanHalf * Width / Height);
            const f32 ndcY = std::tan(dip) / std::cos(azimuth) / tanHalf;
            const u32 horizonRow = static_cast<u32>((ndcY * 0.5f + 0.5f) * Height);
            EXPECT_TRUE(isMagenta(rgbAt(scene, colorFormat, x, horizonRow - Height / 30))) << "above the horizon, x " << x;
            EXPECT_FALSE(isMagenta(rgbAt(scene, colorFormat, x, horizonRow + Height / 30))) << "below the horizon, x " << x;
            EXPECT_FALSE(isMagenta(rgbAt(scene, colorFormat, x, Height - 2))) << "at the bottom, x " << x;
        }
        for (u32 x = 0; x < Width / 2; x += 7) {
            EXPECT_TRUE(isMagenta(rgbAt(scene, colorFormat, x, Height - 2))) << "behind the occluder, x " << x;
        }

        // The scene's depth afterwards holds the sea where it was drawn (the bottom row
        // looks 30 degrees down from 30 units up: the sea about 60 units away), and
        // nothing of it behind the occluder or above the horizon.
        if (depthFormat != VK_FORMAT_D32_SFLOAT) continue;
        std::vector<u8> bytes =
            readImage(world->sceneDepth, 0, 0, Width, Height, Width * Height * 4, VK_IMAGE_ASPECT_DEPTH_BIT,
                      SceneDepthSkyLayout);
        auto depthAtPixel = [&](u32 x, u32 y) {
            f32 value = 0.0f;
            std::memcpy(&value, bytes.data() + (static_cast<size_t>(y) * Width + x) * 4, sizeof(value));
            return value;
        };
        for (u32 x = Width / 2 + 4; x < Width; x += 7) {
            const f32 bottom = depthAtPixel(x, Height - 2);
            EXPECT_GT(bottom, depthAt(*camera, 40.0f)) << "x " << x;
            EXPECT_LT(bottom, depthAt(*camera, 100.0f)) << "x " << x;
            EXPECT_EQ(depthAtPixel(x, 2), 1.0f) << "above the horizon, x " << x;
        }
        for (u32 x = 0; x < Width / 2; x += 7) {
            EXPECT_EQ(depthAtPixel(x, Height - 2), depthAt(*camera, 5.0f)) << "behind the occluder, x " << x;
        }
    }
    EXPECT_TRUE(validationErrors().empty());
}

TEST_F(SkyWaterGpuTest, SkyIsBlueByDayAndDarkWithStarsByNight)
{
    look(0.0f, -0.35f); // a little upwards: mostly sky
    for (bool optimized : {false, true}) {
        SCOPED_TRACE(optimized ? "optimised" : "normal");
        std::vector<u8> day = renderFrame(optimized, 0.6f);
        saveImage(day, colorFormat, optimized ? "sky-opt-day" : "sky-day");
        RowStats zenith = rowStats(day, colorFormat, 0, Height / 4);
        EXPECT_GT(zenith.brightness, 60.0f);
        EXPECT_GT(zenith.blueOverRed, 1.4f) << "a clear day sky is blue";

        std::vector<u8> night = renderFrame(optimized, glm::pi<f32>());
        saveImage(night, colorFormat, optimized ? "sky-opt-night" : "sky-night");
        RowStats dark = rowStats(night, colorFormat, 0, Height / 2);
        EXPECT_LT(dark.brightness, 40.0f);
        // Stars: a few pixels much brighter than the night around them.
        u32 stars = 0;
        for (u32 y = 0; y < Height / 2; y++) {
            for (u32 x = 0; x < Width; x++) {
                Rgb c = rgbAt(night, colorFormat, x, y);
                stars += (c.r + c.g + c.b) / 3 > 90 ? 1 : 0;
            }
        }
        EXPECT_GT(stars, 5u);
        EXPECT_LT(stars, Width * Height / 20);
    }
    EXPECT_TRUE(validationErrors().empty());
}

TEST_F(SkyWaterGpuTest, SkyPassComposesTheSceneWithHazeByDepth)
{
    // A red scene: its lower left 5 units ahead, its lower right 3000 units ahead (or
    // where the sea's horizon cuts it short), the upper half empty. Near red stays red,
    // far red fades towards the sky, the empty half is sky.
    const float red[4] = {1.0f, 0.0f, 0.0f, 1.0f};
    for (bool optimized : {false, true}) {
        SCOPED_TRACE(optimized ? "optimised" : "normal");
        updateBlocks(0.5f);
        CommandBuffer* cmd = beginCommands();
        cmd->flushUploads();
        recordPrepass(cmd, 200.0f);
        recordScene(cmd, red,
                    {{{{0, Height / 2}, {Width / 2, Height / 2}}, depthAt(*camera, 5.0f)},
                     {{{static_cast<i32>(Width / 2), Height / 2}, {Width / 2, Height / 2}}, depthAt(*camera, 3000.0f)}},
                    false, optimized);
        recordSky(cmd, optimized);
        submitCommandsAndWait(cmd);
        Engine::frameUniforms->switchHalf();
        std::vector<u8> frame = readPixels(composite);
        saveImage(frame, colorFormat, optimized ? "compose-opt" : "compose");

        Rgb nearRed = rgbAt(frame, colorFormat, Width / 4, Height * 3 / 4);
        Rgb farRed = rgbAt(frame, colorFormat, Width * 3 / 4, Height * 3 / 4);
        Rgb sky = rgbAt(frame, colorFormat, Width / 2, Height / 8);
        EXPECT_GT(nearRed.r, 240);
        EXPECT_LT(nearRed.g, 40);
        EXPECT_LT(nearRed.b, 40);
        EXPECT_GT(farRed.b, nearRed.b + 40) << "the haze is blue";
        auto distance = [](Rgb a, Rgb b) {
            return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
        };
        EXPECT_LT(distance(farRed, sky), distance(nearRed, sky) - 60) << "far things take the sky's colour";
        EXPECT_GT(sky.b, sky.r + 40);
        EXPECT_GT(sky.b, 150);
    }
    EXPECT_TRUE(validationErrors().empty());
}

TEST_F(SkyWaterGpuTest, CameraFlownBelowTheSeaStillSeesSkyAndSea)
{
    // The free camera can fly under the sea. The air then starts at the surface above
    // it: sky above the horizon, sea below, never the inside of the planet lit as air.
    for (f32 pitch : {0.5f, 0.0f, -0.5f}) {
        camera->position = glm::vec3(0.0f, -100.0f, 0.0f);
        camera->pitch = pitch;
        camera->updateForward();
        camera->updateView();
        camera->uploadUniforms();
        for (bool optimized : {false, true}) {
            std::vector<u8> frame = renderFrame(optimized, 0.9f);
            for (u32 y = 0; y < Height; y += 6) {
                for (u32 x = 0; x < Width; x += 6) {
                    Rgb c = rgbAt(frame, colorFormat, x, y);
                    ASSERT_GT(c.b, c.r + 20) << "pitch " << pitch << " at " << x << ", " << y;
                }
            }
        }
    }
    EXPECT_TRUE(validationErrors().empty());
}

TEST_F(SkyWaterGpuTest, StarFacesLoadAsOneCube)
{
    const char* const faces[6] = {"stars_right1.dds", "stars_left2.dds",  "stars_top3.dds",
                                  "stars_bottom4.dds", "stars_front5.dds", "stars_back6.dds"};
    ImageCube* cube = ImageCube::load(faces);
    ASSERT_NE(cube, nullptr);
    EXPECT_EQ(cube->viewType(), VK_IMAGE_VIEW_TYPE_CUBE);
    EXPECT_EQ(cube->range.layerCount, 6u);
    EXPECT_EQ(cube->range.levelCount, 1u);
    EXPECT_EQ(cube->format, VK_FORMAT_B8G8R8A8_UNORM);
    EXPECT_GE(cube->extent.width, 512u);
    EXPECT_EQ(cube->extent.width, cube->extent.height);

    CommandBuffer* cmd = beginCommands();
    cmd->flushUploads();
    submitCommandsAndWait(cmd);
    // Each layer holds its own file's pixels; faces differ from one another.
    const u32 size = cube->extent.width;
    std::vector<u8> previous;
    for (u32 layer = 0; layer < 6; layer++) {
        std::string error;
        DdsTexture file = readDds(std::string("assets/textures/skybox/") + faces[layer], &error);
        ASSERT_TRUE(error.empty()) << error;
        ASSERT_EQ(file.width, size);
        std::vector<u8> pixels = readImage(cube, 0, layer, size, size, u64{size} * size * 4);
        EXPECT_EQ(pixels, file.levels[0].data) << "layer " << layer;
        EXPECT_NE(pixels, previous);
        previous = pixels;
    }
    Engine::graphicsDevice->releaseResource(cube);
    EXPECT_TRUE(validationErrors().empty());
}

TEST_F(SkyWaterGpuTest, PortalFrameTextureHasItsFullMipChain)
{
    std::string error;
    DdsTexture texture = readDds("assets/Buildings/BdPortal/frameColor.dds", &error);
    ASSERT_TRUE(error.empty()) << error;
    EXPECT_EQ(texture.levels.size(), ddsFullLevelCount(texture.width, texture.height));
    Image2D* image = Image2D::fromTexture("assets/Buildings/BdPortal/frameColor.dds", true);
    EXPECT_EQ(image->range.levelCount, texture.levels.size());
    CommandBuffer* cmd = beginCommands();
    cmd->flushUploads();
    submitCommandsAndWait(cmd);
    // The smallest level is the mean of the stone: a dim violet grey.
    const DdsLevel& last = texture.levels.back();
    ASSERT_EQ(last.data.size(), 4u);
    const int b = last.data[0], g = last.data[1], r = last.data[2];
    EXPECT_GT(b, g) << "violet: more blue than green";
    EXPECT_GT(r, g) << "violet: more red than green";
    EXPECT_LT(std::max(r, b) - g, 30) << "grey, not purple";
    Engine::graphicsDevice->releaseResource(image);
    EXPECT_TRUE(validationErrors().empty());
}

#include "GameKinds.h"
#include "GpuTest.h"
#include "Offscreen.h"
#include "Readback.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Command/CommandBuffer.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Image/Image.h"
#include "Engine/Physics/PhysicsWorld.h"
#include "Engine/Physics/Simulation.h"
#include "Engine/Settings/Settings.h"
#include "Engine/Storage/DataStorage.h"
#include "Engine/SwapChain/SwapChain.h"
#include "Game/Buildings/BuildingInstance.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "Game/Session/BuildingManager.h"
#include "Game/Tools/BuildTool.h"
#include "Game/Tools/EdgeEffect.h"
#include "Game/Tools/ToolRules.h"
#include "World/Culling/CullingGrid.h"
#include "World/Shadow/ShadowRenderer.h"
#include "World/Sky/Skybox.h"
#include "World/World.h"

#include <glm/gtc/matrix_transform.hpp>

namespace {

constexpr u32 Width = 192;
constexpr u32 Height = 96;
const float Clear[4] = {0.1f, 0.1f, 0.1f, 1.0f};

// The game's kinds and pipelines: a castle standing, seen from the front; the tools'
// ghosts drawn into the main pass and the hover outline into the edge effect.
class ToolPreviewGpuTest : public GpuTest {
protected:
    ToolPreviewGpuTest() : GpuTest({.frameStorage = true}) {}

    void SetUp() override
    {
        GpuTest::SetUp();
        if (HasFatalFailure()) return;
        createGameKinds();
        savedMapSize = Settings::shadowMapSize;
        Settings::shadowMapSize = 512;
        skySlot = new StorageSlot{Engine::frameUniforms, sizeof(SkyboxParams), NoOffset};
        skySlot->offset = Engine::frameUniforms->write(NoOffset, &sky, sizeof(SkyboxParams), false);
        shadows = new ShadowRenderer();
        shadows->sunDirection = &sky.sunDirection;
        camera = new Camera();
        camera->setPerspective(60.0f, static_cast<f32>(Width) / Height, 0.5f, 300.0f);
        camera->position = glm::vec3(20.0f, 9.0f, 44.0f);
        camera->forward = glm::normalize(glm::vec3(18.0f, 2.0f, 24.0f) - camera->position);
        camera->updateView();
        camera->uploadUniforms();

        physics.world = &queryWorld;
        queryWorld.init(QueryWorldGravity);
        BuildingContext context;
        context.gridWidth = 64;
        context.physics = &physics;
        context.cullingGrid = &culling;
        manager = new BuildingManager(context);
        BuildingDrawBindings bindings{camera->uniformSlot, skySlot, shadows->uniformSlot, shadows->mapBinding,
                                      shadows->lightCamera->uniformSlot};
        bindings.gameCamera = camera;
        bindings.targetExtent = {Width, Height};
        manager->createDrawObjects(bindings);
        shadows->casterCallback = [this](CommandBuffer* cmd, Camera*, const Frustum&) {
            culling.markAllVisible();
            manager->drawShadowCasters(cmd, shadows->map->extent, 0);
        };
        castle = buildingTypes[BuildingTypeCastle]->createInstance({10, 0, 20}, 0.0f);
        ASSERT_TRUE(manager->place(castle));
        manager->update(1);
        target = createOffscreenTarget(Width, Height, Engine::swapChain->format,
                                       findDepthFormat(Engine::graphicsDevice->physicalDevice));
    }

    void TearDown() override
    {
        if (manager != nullptr) {
            destroyOffscreenTarget(target);
            manager->destroyAll();
            castle = nullptr;
            PhysicsWorld leftovers;
            leftovers.init(EngineWorldGravity);
            Simulation::releaseRemaining(leftovers);
            delete manager;
            delete shadows;
            delete camera;
            delete skySlot;
            physics.world = nullptr;
        }
        Settings::shadowMapSize = savedMapSize;
        GpuTest::TearDown();
        releaseGameKinds();
    }

    // The buildings' main pass with `ghosts` drawn after them, as the world does.
    std::vector<u8> drawWithGhosts(const std::vector<std::pair<std::vector<RenderObject>, glm::vec4>>& ghosts)
    {
        culling.reset();
        for (Building* kind : buildingTypes) kind->updateAllBounds();
        CommandBuffer* cmd = beginCommands();
        cmd->flushUploads();
        shadows->render(cmd, camera);
        beginOffscreenPass(cmd, target, Clear);
        culling.markAllVisible();
        manager->drawBuildings(cmd, target.extent, 0);
        for (const auto& [parts, colour] : ghosts) BuildTool::drawGhost(*manager, *cmd, parts, colour);
        endOffscreenPass(cmd, target);
        submitCommandsAndWait(cmd);
        return readPixels(target);
    }

    glm::vec3 colorAt(const std::vector<u8>& pixels, glm::ivec2 at) const
    {
        const Pixel p = pixelAt(pixels, Width, static_cast<u32>(at.x), static_cast<u32>(at.y));
        const bool bgra = target.colorFormat == VK_FORMAT_B8G8R8A8_UNORM || target.colorFormat == VK_FORMAT_B8G8R8A8_SRGB;
        const glm::vec3 c(p.c[0], p.c[1], p.c[2]);
        return (bgra ? glm::vec3(c.z, c.y, c.x) : c) / 255.0f;
    }

    glm::ivec2 screenOf(glm::vec3 point) const
    {
        const glm::vec3 s = camera->worldToScreen(point, {Width, Height});
        return {static_cast<i32>(s.x), static_cast<i32>(s.y)};
    }

    // The outline image (RGBA, 4 bytes a pixel) after the hover outline of `parts`.
    std::vector<u8> outlineOf(const std::vector<RenderObject>& parts)
    {
        CommandBuffer* cmd = beginCommands();
        cmd->flushUploads();
        BuildTool::renderPreviewPass(*manager, *cmd, parts, ToolColours::Outline);
        submitCommandsAndWait(cmd);
        EdgeEffect& edge = *manager->edgeEffect;
        return readImage(edge.colorImage, 0, 0, edge.extent.width, edge.extent.height,
                         static_cast<VkDeviceSize>(edge.extent.width) * edge.extent.height * 4);
    }

    SkyboxParams sky;
    i32 savedMapSize = 0;
    StorageSlot* skySlot = nullptr;
    ShadowRenderer* shadows = nullptr;
    Camera* camera = nullptr;
    PhysicsWorld queryWorld;
    WorldPhysics physics;
    CullingGrid culling{{0.0f, 0.0f}, {32.0f, 32.0f}, {2, 2}};
    BuildingManager* manager = nullptr;
    std::shared_ptr<BuildingInstance> castle;
    OffscreenTarget target;
};

u8 alphaAt(const std::vector<u8>& rgba, u32 width, i32 x, i32 y)
{
    return rgba[(static_cast<size_t>(y) * width + static_cast<size_t>(x)) * 4 + 3];
}

} // namespace

TEST_F(ToolPreviewGpuTest, GhostsTintWhatTheyCoverIncludingTheirOwnBuilding)
{
    const glm::vec3 keepPoint(14.0f, 2.5f, 25.5f);
    const glm::vec3 wallPoint(25.0f, 1.0f, 24.0f);
    const std::vector<u8> plain = drawWithGhosts({});
    const glm::vec3 keep = colorAt(plain, screenOf(keepPoint));
    EXPECT_LT(std::abs(keep.r - keep.g), 0.12f) << "grey stone";
    const glm::vec3 empty = colorAt(plain, screenOf(wallPoint));

    // A green ghost over the castle itself (the sell, repair and upgrade previews draw
    // the building's own parts) and a red wall ghost on free ground.
    const std::vector<RenderObject> wallGhost = buildingTypes[BuildingTypeWall]->getPreviewRenderObjects({24, 0, 23});
    ASSERT_EQ(wallGhost.size(), 1u);
    const std::vector<u8> ghosts =
        drawWithGhosts({{castle->getRenderObjects(), ToolColours::Valid}, {wallGhost, ToolColours::Refused}});
    const glm::vec3 greenKeep = colorAt(ghosts, screenOf(keepPoint));
    EXPECT_GT(greenKeep.g, greenKeep.r + 0.1f) << "the ghost shows over the building at the same depth";
    EXPECT_GT(greenKeep.g, keep.g);
    const glm::vec3 redWall = colorAt(ghosts, screenOf(wallPoint));
    EXPECT_GT(redWall.r, redWall.g + 0.1f);
    EXPECT_GT(redWall.r, empty.r + 0.1f) << "translucent red where no building stands";
    // Translucent: the stone still shows through, darker or lighter than pure green.
    EXPECT_GT(greenKeep.r, 0.05f);
    EXPECT_TRUE(validationErrors().empty());
}

TEST_F(ToolPreviewGpuTest, TheOutlineIsARimAroundTheHoveredBuilding)
{
    const std::vector<u8> outline = outlineOf(castle->getRenderObjects());
    const glm::ivec2 centre = screenOf({14.0f, 2.5f, 25.5f});
    ASSERT_GT(centre.x, 10);
    ASSERT_LT(centre.x, static_cast<i32>(Width) - 10);
    EXPECT_EQ(alphaAt(outline, Width, centre.x, centre.y), 0) << "the building itself is not covered";
    EXPECT_EQ(alphaAt(outline, Width, 0, centre.y), 0) << "far from it nothing";

    // Along the row through it: a rim of at most 2 pixels on each side of the building.
    std::vector<i32> rim;
    for (i32 x = 0; x < static_cast<i32>(Width); x++) {
        if (alphaAt(outline, Width, x, centre.y) == 255) rim.push_back(x);
    }
    ASSERT_GE(rim.size(), 2u);
    EXPECT_LE(rim.size(), 4u);
    EXPECT_LT(rim.front(), centre.x);
    EXPECT_GT(rim.back(), centre.x);
    const size_t at = (static_cast<size_t>(centre.y) * Width + static_cast<size_t>(rim.front())) * 4;
    EXPECT_EQ(outline[at], 255) << "white";
    EXPECT_EQ(outline[at + 1], 255);

    // Nothing hovered afterwards: the next outline of no parts leaves the image empty.
    const std::vector<u8> none = outlineOf({});
    for (size_t i = 3; i < none.size(); i += 4) ASSERT_EQ(none[i], 0);
    EXPECT_TRUE(validationErrors().empty());
}

TEST_F(ToolPreviewGpuTest, TheOutlineImageIsReadableBeforeItsFirstPassAndAfterAResize)
{
    // The post-process pass samples the image every frame: a new image (and one made
    // by a resize) is made readable although nothing was outlined yet.
    EdgeEffect& edge = *manager->edgeEffect;
    for (VkExtent2D extent : {VkExtent2D{Width, Height}, VkExtent2D{100, 60}}) {
        if (extent.width != edge.extent.width) edge.resize(extent);
        EXPECT_EQ(edge.colorLayout, VK_IMAGE_LAYOUT_UNDEFINED);
        CommandBuffer* cmd = beginCommands();
        edge.prepareForSampling(cmd);
        submitCommandsAndWait(cmd);
        EXPECT_EQ(edge.colorLayout, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL);
        readImage(edge.colorImage, 0, 0, edge.extent.width, edge.extent.height,
                  static_cast<VkDeviceSize>(edge.extent.width) * edge.extent.height * 4);
    }
    EXPECT_EQ(edge.colorImage->extent.width, 100u);
    EXPECT_EQ(edge.depthImage->extent.height, 60u);
    // After an outline pass at the new size the image stays readable frame after frame.
    const std::vector<u8> outline = outlineOf(castle->getRenderObjects());
    EXPECT_EQ(outline.size(), 100u * 60u * 4u);
    CommandBuffer* cmd = beginCommands();
    edge.prepareForSampling(cmd);
    submitCommandsAndWait(cmd);
    EXPECT_TRUE(validationErrors().empty());
}

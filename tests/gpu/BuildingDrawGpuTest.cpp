#include "GameKinds.h"
#include "GpuTest.h"
#include "Offscreen.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Command/CommandBuffer.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Image/Image.h"
#include "Engine/Mesh/Mesh.h"
#include "Engine/Physics/PhysicsWorld.h"
#include "Engine/Physics/Simulation.h"
#include "Engine/Settings/Settings.h"
#include "Engine/Storage/DataStorage.h"
#include "Engine/SwapChain/SwapChain.h"
#include "Game/Buildings/BdCastle.h"
#include "Game/Buildings/BdPortal.h"
#include "Game/Buildings/BdPortalInstance.h"
#include "Game/Buildings/FixedBuildingInstance.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "Game/Session/BuildingManager.h"
#include "World/Culling/CullingGrid.h"
#include "World/Shadow/ShadowRenderer.h"
#include "World/Sky/Skybox.h"
#include "World/World.h"

#include <btBulletCollisionCommon.h>
#include <glm/gtc/matrix_transform.hpp>

#include <cmath>
#include <cstdlib>
#include <fstream>

namespace {

constexpr u32 Width = 192;
constexpr u32 Height = 96;
const float Clear[4] = {0.0f, 0.0f, 0.0f, 0.0f};

// The game's kinds with their real models, pipelines and shaders; a castle, a wall and
// a portal in a row on a green ground slab, seen from the front and lit by a low sun
// from behind on the left.
class BuildingDrawGpuTest : public GpuTest {
protected:
    BuildingDrawGpuTest() : GpuTest({.frameStorage = true}) {}

    void SetUp() override
    {
        GpuTest::SetUp();
        if (HasFatalFailure()) return;
        createGameKinds();
        savedMapSize = Settings::shadowMapSize;
        Settings::shadowMapSize = 512;

        sky.sunDirection = glm::normalize(glm::vec3(-0.6f, 0.35f, -0.6f));
        skySlot = new StorageSlot{Engine::frameUniforms, sizeof(SkyboxParams), NoOffset};
        skySlot->offset = Engine::frameUniforms->write(NoOffset, &sky, sizeof(SkyboxParams), false);
        shadows = new ShadowRenderer();
        shadows->sunDirection = &sky.sunDirection;
        camera = new Camera();
        camera->setPerspective(60.0f, static_cast<f32>(Width) / Height, 0.5f, 300.0f);
        camera->position = glm::vec3(20.0f, 9.0f, 44.0f);
        camera->forward = glm::normalize(glm::vec3(22.0f, 2.0f, 24.0f) - camera->position);
        camera->updateView();
        camera->uploadUniforms();

        physics.world = &queryWorld;
        queryWorld.init(QueryWorldGravity);
        BuildingContext context;
        context.gridWidth = 64;
        context.physics = &physics;
        context.cullingGrid = &culling;
        manager = new BuildingManager(context);
        manager->createDrawObjects({camera->uniformSlot, skySlot, shadows->uniformSlot, shadows->mapBinding,
                                    shadows->lightCamera->uniformSlot});
        shadows->casterCallback = [this](CommandBuffer* cmd, Camera*, const Frustum&) {
            culling.markAllVisible();
            drawGround(cmd, shadowInstancePipeline, manager->shadowSet, shadows->map->extent);
            manager->drawShadowCasters(cmd, shadows->map->extent, 0);
        };

        castle = buildingTypes[BuildingTypeCastle]->createInstance({10, 0, 20}, 0.0f);
        wall = buildingTypes[BuildingTypeWall]->createInstance({24, 0, 23}, 0.0f);
        portal = buildingTypes[BuildingTypePortal]->createInstance({30, 0, 21}, 0.0f);
        for (const auto& building : {castle, wall, portal}) ASSERT_TRUE(manager->place(building));
        manager->update(1);
        makeGround();
        target = createOffscreenTarget(Width, Height, Engine::swapChain->format,
                                       findDepthFormat(Engine::graphicsDevice->physicalDevice));
    }

    void TearDown() override
    {
        if (manager != nullptr) {
            destroyOffscreenTarget(target);
            manager->destroyAll();
            castle = wall = portal = nullptr;
            Simulation::releaseRemaining(leftovers());
            delete manager;
            delete shadows;
            delete camera;
            delete skySlot;
            delete groundSlot;
            physics.world = nullptr;
        }
        Settings::shadowMapSize = savedMapSize;
        GpuTest::TearDown();
        releaseGameKinds();
    }

    static PhysicsWorld& leftovers()
    {
        static PhysicsWorld world;
        if (world.world == nullptr) world.init(EngineWorldGravity);
        return world;
    }

    // A 60 x 60 slab at height 0, green, as a mesh of the buildings' own layout.
    void makeGround()
    {
        PlanarVertexData data(vertexLayoutPosNormalColor, 4);
        const glm::vec3 corners[4] = {{-30, 0, -30}, {30, 0, -30}, {30, 0, 30}, {-30, 0, 30}};
        for (u32 v = 0; v < 4; v++) {
            static_cast<glm::vec3*>(data.stream(0))[v] = corners[v];
            static_cast<glm::vec3*>(data.stream(1))[v] = glm::vec3(0.0f, 1.0f, 0.0f);
            static_cast<glm::vec4*>(data.stream(2))[v] = glm::vec4(0.25f, 0.55f, 0.25f, 1.0f);
        }
        auto* vertices = new VertexBuffer(Engine::graphicsDevice, Engine::meshStorage, vertexLayoutPosNormalColor);
        VertexBuffer::setAttributeData(data, vertices, -1);
        auto* indices = new IndexBuffer(Engine::graphicsDevice, Engine::meshStorage);
        indices->setIndices({0, 2, 1, 0, 3, 2});
        ground = new Mesh(Engine::graphicsDevice, "Ground", vertices, indices);
        Engine::meshStorage->scheduleUpload();
        const glm::mat4 model = glm::translate(glm::mat4(1.0f), glm::vec3(22.0f, 0.0f, 24.0f));
        groundSlot = new StorageSlot{instanceStorage, 128, NoOffset};
        groundSlot->offset = instanceStorage->write(NoOffset, &model, sizeof(model), false);
    }

    void drawGround(CommandBuffer* cmd, Pipeline* pipeline, DataSet* set, VkExtent2D extent)
    {
        cmd->bindPipeline(pipeline);
        if (pipeline == shadowInstancePipeline) {
            cmd->setViewport(extent);
            const VkRect2D scissor{{0, 0}, cmd->renderExtent};
            vkCmdSetScissor(cmd->handle, 0, 1, &scissor);
            vkCmdSetDepthBias(cmd->handle, 0.0f, 0.0f, 0.75f);
        } else {
            cmd->setViewportAndScissor(extent);
        }
        cmd->addDataSet(set);
        cmd->bindDataSets(0);
        manager->instanceSlot->offset = groundSlot->offset;
        cmd->addDataSet(manager->instanceSet);
        cmd->bindDataSets(1);
        cmd->drawMesh(ground, 1);
    }

    // A frame as the world records the buildings: bounds, the cascades, the main pass.
    std::vector<u8> drawFrame()
    {
        culling.reset();
        for (Building* kind : buildingTypes) kind->updateAllBounds();
        CommandBuffer* cmd = beginCommands();
        cmd->flushUploads();
        shadows->render(cmd, camera);
        beginOffscreenPass(cmd, target, Clear);
        culling.markAllVisible();
        drawGround(cmd, towerPipeline, manager->sceneSet, target.extent);
        manager->drawBuildings(cmd, target.extent, 0);
        endOffscreenPass(cmd, target);
        submitCommandsAndWait(cmd);
        return readPixels(target);
    }

    // Red, green and blue (0..1) of a pixel, whatever byte order the format has.
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

    // Writes the picture as a PPM when BRACKENHOLD_BUILDING_SHOT names a file, to look at.
    void keepShot(const std::vector<u8>& pixels) const
    {
        const char* path = std::getenv("BRACKENHOLD_BUILDING_SHOT");
        if (path == nullptr) return;
        std::ofstream out(path, std::ios::binary);
        out << "P6\n" << Width << " " << Height << "\n255\n";
        for (u32 y = 0; y < Height; y++) {
            for (u32 x = 0; x < Width; x++) {
                const glm::vec3 c = colorAt(pixels, {static_cast<i32>(x), static_cast<i32>(y)}) * 255.0f;
                out.put(static_cast<char>(c.r)).put(static_cast<char>(c.g)).put(static_cast<char>(c.b));
            }
        }
    }

    SkyboxParams sky;
    i32 savedMapSize = 0;
    StorageSlot* skySlot = nullptr;
    StorageSlot* groundSlot = nullptr;
    ShadowRenderer* shadows = nullptr;
    Camera* camera = nullptr;
    PhysicsWorld queryWorld;
    WorldPhysics physics;
    CullingGrid culling{{0.0f, 0.0f}, {32.0f, 32.0f}, {2, 2}};
    BuildingManager* manager = nullptr;
    std::shared_ptr<BuildingInstance> castle, wall, portal;
    Mesh* ground = nullptr;
    OffscreenTarget target;
};

f32 brightness(glm::vec3 c)
{
    return (c.r + c.g + c.b) / 3.0f;
}

} // namespace

TEST_F(BuildingDrawGpuTest, CastleWallAndPortalStandLitAndCastShadows)
{
    const std::vector<u8> pixels = drawFrame();
    keepShot(pixels);
    const glm::vec3 groundLit = colorAt(pixels, screenOf({2.0f, 0.0f, 33.0f}));
    EXPECT_GT(groundLit.g, groundLit.r + 0.1f) << "the lit ground is green";

    // The castle's keep and walls: light stone, not the ground's green nor the clear colour.
    const glm::vec3 keep = colorAt(pixels, screenOf({14.0f, 2.5f, 25.5f}));
    EXPECT_GT(brightness(keep), 0.25f);
    EXPECT_LT(std::abs(keep.r - keep.g), 0.12f) << "grey stone";
    // Its red roofs on the corner towers.
    const glm::vec3 roof = colorAt(pixels, screenOf({17.05f, 3.6f, 27.05f}));
    EXPECT_GT(roof.r, roof.g + 0.15f) << "a red roof";
    // The wall, stone as well.
    const glm::vec3 wallFace = colorAt(pixels, screenOf({25.0f, 1.0f, 24.0f}));
    EXPECT_GT(brightness(wallFace), 0.2f);
    EXPECT_LT(std::abs(wallFace.r - wallFace.g), 0.12f);
    // The portal's surface glows violet inside its frame.
    const glm::vec3 surface = colorAt(pixels, screenOf({33.0f, 3.0f, 24.0f}));
    EXPECT_GT(surface.b, surface.g + 0.1f) << "violet";
    EXPECT_GT(surface.r, surface.g);

    // The low sun behind the castle throws its shadow towards the camera.
    const glm::vec3 shaded = colorAt(pixels, screenOf({20.0f, 0.0f, 30.5f}));
    EXPECT_LT(brightness(shaded), brightness(groundLit) * 0.75f) << "ground in the castle's shadow";
}

TEST_F(BuildingDrawGpuTest, ThePortalSurfaceMovesWithTimeAndTheRestStandsStill)
{
    Engine::totalTimeMs = 1000.0;
    const std::vector<u8> first = drawFrame();
    Engine::totalTimeMs = 1900.0;
    const std::vector<u8> second = drawFrame();
    const glm::ivec2 surface = screenOf({33.0f, 3.2f, 24.0f});
    const glm::ivec2 keep = screenOf({14.0f, 2.5f, 25.5f});
    f32 surfaceChange = 0.0f;
    for (i32 dy = -3; dy <= 3; dy++) {
        for (i32 dx = -3; dx <= 3; dx++) {
            const glm::ivec2 at = surface + glm::ivec2(dx, dy);
            surfaceChange += glm::length(colorAt(first, at) - colorAt(second, at));
        }
    }
    EXPECT_GT(surfaceChange, 0.3f);
    EXPECT_EQ(colorAt(first, keep), colorAt(second, keep));
}

TEST_F(BuildingDrawGpuTest, SkipNextDrawSkipsOneDrawAndMatrixSlotsComeBack)
{
    const u32 freeBefore = instanceStorage->freeCount;
    drawFrame();
    const auto* fixed = dynamic_cast<FixedBuildingInstance*>(castle.get());
    ASSERT_NE(fixed, nullptr);
    ASSERT_NE(fixed->matrixOffset, NoOffset) << "written on its first visible draw";
    EXPECT_EQ(instanceStorage->freeCount, freeBefore - 3);

    // A preview stands in for the castle: its very next draw call is skipped (the
    // first cascade's), the others happen.
    castle->skipNextDraw = true;
    const std::vector<u8> pixels = drawFrame();
    EXPECT_FALSE(castle->skipNextDraw);
    EXPECT_GT(brightness(colorAt(pixels, screenOf({14.0f, 2.5f, 25.5f}))), 0.25f);

    // Only the main pass: the castle is left out of this one picture.
    castle->skipNextDraw = true;
    culling.reset();
    for (Building* kind : buildingTypes) kind->updateAllBounds();
    culling.markAllVisible();
    CommandBuffer* cmd = beginCommands();
    shadows->render(cmd, camera); // consumes nothing: the flag is set after it below
    castle->skipNextDraw = true;
    beginOffscreenPass(cmd, target, Clear);
    drawGround(cmd, towerPipeline, manager->sceneSet, target.extent);
    manager->drawBuildings(cmd, target.extent, 0);
    endOffscreenPass(cmd, target);
    submitCommandsAndWait(cmd);
    const glm::vec3 behind = colorAt(readPixels(target), screenOf({14.0f, 2.5f, 25.5f}));
    EXPECT_GT(behind.g, behind.r + 0.1f) << "the ground shows where the castle was";

    // A building that goes gives its slot back: given up at the next frame, free at the
    // one after.
    wall->requestDestroy();
    manager->update(1);
    EntityTypes::recycleInstanceSlots();
    EXPECT_EQ(instanceStorage->pendingFreeCount, 1u);
    EntityTypes::recycleInstanceSlots();
    EXPECT_EQ(instanceStorage->freeCount, freeBefore - 2);
    EXPECT_TRUE(validationErrors().empty());
}

TEST_F(BuildingDrawGpuTest, TheKindsStandAtTheirIndicesWithTheirShapesAndGhosts)
{
    for (u32 i = 0; i < BuildingTypeCount; i++) {
        ASSERT_NE(buildingTypes[i], nullptr);
        EXPECT_EQ(buildingTypes[i]->typeIndex, i) << "the wall is built fourth but stands first";
        EXPECT_EQ(buildingTypes[i]->inToolBar, i != BuildingTypeCastle && i != BuildingTypePortal);
    }
    auto halfExtents = [](Building* kind) {
        const btVector3 half = static_cast<btBoxShape*>(kind->shape)->getHalfExtentsWithMargin();
        return glm::vec3(half.x(), half.y(), half.z());
    };
    EXPECT_EQ(halfExtents(buildingTypes[BuildingTypeWall]), glm::vec3(1.0f, 1.0f, 0.5f));
    EXPECT_EQ(halfExtents(buildingTypes[BuildingTypeCastle]), glm::vec3(4.0f, 2.0f, 4.0f));
    EXPECT_FLOAT_EQ(halfExtents(buildingTypes[BuildingTypeCannon]).y, 1.2f);
    EXPECT_FLOAT_EQ(halfExtents(buildingTypes[BuildingTypeMortar]).y, 1.2f);
    EXPECT_EQ(buildingTypes[BuildingTypePortal]->shape, nullptr);
    EXPECT_EQ(buildingTypes[BuildingTypeCannon]->logoIndex.x, 1) << "copied from the kind's file";
    EXPECT_EQ(buildingTypes[BuildingTypeMortar]->logoIndex.x, 2);

    // Ghosts: the wall's model on its footprint, the towers' three parts 1.0 higher; none
    // for the castle and the portal.
    EXPECT_EQ(buildingTypes[BuildingTypeWall]->getPreviewRenderObjects({10, 5, 10}).size(), 1u);
    const std::vector<RenderObject> tower = buildingTypes[BuildingTypeCannon]->getPreviewRenderObjects({10, 5, 10});
    ASSERT_EQ(tower.size(), 3u);
    for (const RenderObject& part : tower) {
        EXPECT_NE(part.model, nullptr);
        EXPECT_EQ(glm::vec3(part.transform[3]), glm::vec3(11.0f, 3.0f, 11.0f));
    }
    EXPECT_TRUE(buildingTypes[BuildingTypeCastle]->getPreviewRenderObjects({10, 5, 10}).empty());
    EXPECT_TRUE(buildingTypes[BuildingTypePortal]->getPreviewRenderObjects({10, 5, 10}).empty());

    // Only the portal keeps a rotation; the frame is what previews of it draw.
    const std::shared_ptr<BuildingInstance> made = buildingTypes[BuildingTypePortal]->createInstance({1, 2, 3}, 1.5707964f);
    auto* turned = dynamic_cast<BdPortalInstance*>(made.get());
    ASSERT_NE(turned, nullptr);
    EXPECT_EQ(turned->rotation, 1.5707964f);
    EXPECT_EQ(turned->getRenderObjects()[0].model, static_cast<BdPortal*>(buildingTypes[BuildingTypePortal])->frameMesh);
    EXPECT_EQ(castle->getRenderObjects()[0].model, static_cast<BdCastle*>(buildingTypes[BuildingTypeCastle])->model);
}

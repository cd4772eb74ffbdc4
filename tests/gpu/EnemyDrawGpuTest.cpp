#include "GameKinds.h"
#include "GpuTest.h"
#include "Offscreen.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Camera/Random.h"
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
#include "Game/Enemies/EnBaseInstance.h"
#include "Game/Enemies/EnHeavyInstance.h"
#include "Game/Enemies/Enemy.h"
#include "Game/Enemies/EnemyInstance.h"
#include "Game/Enemies/EnemyManager.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "Game/Session/BuildingManager.h"
#include "World/Culling/BoundingAABB.h"
#include "World/Culling/CullingGrid.h"
#include "World/Shadow/ShadowRenderer.h"
#include "World/Sky/Skybox.h"

#include <glm/gtc/matrix_transform.hpp>

#include <cstdlib>
#include <fstream>

namespace {

constexpr u32 Width = 192;
constexpr u32 Height = 96;
const float Clear[4] = {0.0f, 0.0f, 0.0f, 0.0f};

// The game's enemy kinds with their pipelines and shaders: a normal and a heavy enemy
// standing on a green slab, seen from the front and lit by a low sun from behind on
// the left. The slab is drawn with the buildings' pipelines.
class EnemyDrawGpuTest : public GpuTest {
protected:
    EnemyDrawGpuTest() : GpuTest({.frameStorage = true}) {}

    void SetUp() override
    {
        GpuTest::SetUp();
        if (HasFatalFailure()) return;
        createGameKinds();
        savedMapSize = Settings::shadowMapSize;
        Settings::shadowMapSize = 512;

        sky.sunDirection = glm::normalize(glm::vec3(-0.5f, 0.35f, -0.7f));
        skySlot = new StorageSlot{Engine::frameUniforms, sizeof(SkyboxParams), NoOffset};
        skySlot->offset = Engine::frameUniforms->write(NoOffset, &sky, sizeof(SkyboxParams), false);
        shadows = new ShadowRenderer();
        shadows->sunDirection = &sky.sunDirection;
        camera = new Camera();
        camera->setPerspective(60.0f, static_cast<f32>(Width) / Height, 0.5f, 300.0f);
        camera->position = glm::vec3(0.0f, 3.0f, 9.0f);
        camera->forward = glm::normalize(glm::vec3(0.0f, 1.2f, 0.0f) - camera->position);
        camera->updateView();
        camera->uploadUniforms();

        BuildingContext buildings;
        buildings.gridWidth = 64;
        buildings.cullingGrid = &culling;
        buildingManager = new BuildingManager(buildings);
        const EnemyDrawBindings bindings{camera->uniformSlot, skySlot, shadows->uniformSlot, shadows->mapBinding,
                                         shadows->lightCamera->uniformSlot};
        buildingManager->createDrawObjects({bindings.camera, bindings.skyParams, bindings.shadowUniforms,
                                            bindings.shadowMap, bindings.lightCamera});
        EnemyContext context;
        context.ground = {glm::vec3(-32.0f, 0.0f, -32.0f), 65, steps.data()};
        context.cullingGrid = &culling;
        context.random = &random;
        context.camera = camera;
        enemies = new EnemyManager(context);
        enemies->createDrawObjects(bindings);
        shadows->casterCallback = [this](CommandBuffer* cmd, Camera*, const Frustum&) {
            culling.markAllVisible();
            drawGround(cmd, shadowInstancePipeline, buildingManager->shadowSet, shadows->map->extent);
            if (enemiesCastShadows) enemies->drawShadowCasters(cmd, shadows->map->extent, view);
        };
        makeGround();
        target = createOffscreenTarget(Width, Height, Engine::swapChain->format,
                                       findDepthFormat(Engine::graphicsDevice->physicalDevice));
    }

    void TearDown() override
    {
        if (enemies != nullptr) {
            destroyOffscreenTarget(target);
            enemies->destroyAll();
            PhysicsWorld leftovers;
            leftovers.init(EngineWorldGravity);
            Simulation::releaseRemaining(leftovers);
            delete enemies;
            delete buildingManager;
            delete shadows;
            delete camera;
            delete skySlot;
            delete groundSlot;
        }
        Settings::shadowMapSize = savedMapSize;
        GpuTest::TearDown();
        releaseGameKinds();
    }

    std::shared_ptr<EnemyInstance> spawn(std::unique_ptr<EnemyInstance> enemy)
    {
        Enemy* kind = enemy->kind;
        enemies->enqueue(std::move(enemy));
        enemies->spawnPending();
        return kind->instances.back();
    }

    // A 40 x 40 slab at height 0, green, as a mesh of the buildings' layout.
    void makeGround()
    {
        PlanarVertexData data(vertexLayoutPosNormalColor, 4);
        const glm::vec3 corners[4] = {{-20, 0, -20}, {20, 0, -20}, {20, 0, 20}, {-20, 0, 20}};
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
        const glm::mat4 model(1.0f);
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
        buildingManager->instanceSlot->offset = groundSlot->offset;
        cmd->addDataSet(buildingManager->instanceSet);
        cmd->bindDataSets(1);
        cmd->drawMesh(ground, 1);
    }

    // A frame as the world records the enemies: bounds, the cascades, the main pass
    // (where `hidden`, if given, stands in a cell the main pass does not see).
    std::vector<u8> drawFrame(EnemyInstance* hidden = nullptr)
    {
        culling.reset();
        enemies->updateAllBounds(view);
        CommandBuffer* cmd = beginCommands();
        cmd->flushUploads();
        shadows->render(cmd, camera);
        beginOffscreenPass(cmd, target, Clear);
        culling.markAllVisible();
        if (hidden != nullptr) hidden->cullingCell->visible = 0;
        drawGround(cmd, towerPipeline, buildingManager->sceneSet, target.extent);
        enemies->drawEnemies(cmd, target.extent, view);
        endOffscreenPass(cmd, target);
        submitCommandsAndWait(cmd);
        return readPixels(target);
    }

    glm::vec3 colorAt(const std::vector<u8>& pixels, glm::vec3 point) const
    {
        const glm::vec3 s = camera->worldToScreen(point, {Width, Height});
        const Pixel p = pixelAt(pixels, Width, static_cast<u32>(s.x), static_cast<u32>(s.y));
        const bool bgra = target.colorFormat == VK_FORMAT_B8G8R8A8_UNORM || target.colorFormat == VK_FORMAT_B8G8R8A8_SRGB;
        const glm::vec3 c(p.c[0], p.c[1], p.c[2]);
        return (bgra ? glm::vec3(c.z, c.y, c.x) : c) / 255.0f;
    }

    // Writes the picture as a PPM when BRACKENHOLD_ENEMY_SHOT names a file, to look at.
    void keepShot(const std::vector<u8>& pixels) const
    {
        const char* path = std::getenv("BRACKENHOLD_ENEMY_SHOT");
        if (path == nullptr) return;
        std::ofstream out(path, std::ios::binary);
        out << "P6\n" << Width << " " << Height << "\n255\n";
        const bool bgra = target.colorFormat == VK_FORMAT_B8G8R8A8_UNORM || target.colorFormat == VK_FORMAT_B8G8R8A8_SRGB;
        for (u32 y = 0; y < Height; y++) {
            for (u32 x = 0; x < Width; x++) {
                const Pixel p = pixelAt(pixels, Width, x, y);
                out.put(static_cast<char>(p.c[bgra ? 2 : 0])).put(static_cast<char>(p.c[1]));
                out.put(static_cast<char>(p.c[bgra ? 0 : 2]));
            }
        }
    }

    SkyboxParams sky;
    i32 savedMapSize = 0;
    StorageSlot* skySlot = nullptr;
    StorageSlot* groundSlot = nullptr;
    ShadowRenderer* shadows = nullptr;
    Camera* camera = nullptr;
    CullingGrid culling{{-32.0f, -32.0f}, {32.0f, 32.0f}, {2, 2}};
    std::vector<i32> steps = std::vector<i32>(65 * 65, 0);
    Random random{3};
    BuildingManager* buildingManager = nullptr;
    EnemyManager* enemies = nullptr;
    Mesh* ground = nullptr;
    OffscreenTarget target;
    const Simulation::RenderState view{0, 1.0f};
    // The test frame storage holds one full range of matrices, not one per cascade.
    bool enemiesCastShadows = true;
};

f32 brightness(glm::vec3 c)
{
    return (c.r + c.g + c.b) / 3.0f;
}

} // namespace

TEST_F(EnemyDrawGpuTest, CreaturesInTheirKindsColoursWithGlowingEyesCastShadows)
{
    std::shared_ptr<EnemyInstance> normal = spawn(std::make_unique<EnBaseInstance>(glm::vec3(-1.5f, 1.0f, 0.0f)));
    std::shared_ptr<EnemyInstance> heavy = spawn(std::make_unique<EnHeavyInstance>(glm::vec3(2.0f, 1.5f, 0.0f)));
    const std::vector<u8> pixels = drawFrame();
    keepShot(pixels);

    // The normal enemy's hide is a dark moss green, the heavy one's a dark red-brown.
    const glm::vec3 normalHide = colorAt(pixels, {-1.5f, 0.8f, 0.4f});
    EXPECT_GT(normalHide.g, normalHide.r);
    EXPECT_GT(normalHide.g, normalHide.b);
    EXPECT_LT(brightness(normalHide), 0.45f) << "a dark creature";
    const glm::vec3 heavyHide = colorAt(pixels, {2.0f, 1.2f, 1.0f});
    EXPECT_GT(heavyHide.r, heavyHide.g + 0.03f);
    EXPECT_LT(brightness(heavyHide), 0.45f);

    // Two eyes glow near the top of the face that looks at the camera.
    const glm::vec3 eye = colorAt(pixels, {-1.5f - 0.18f * 0.8f, 1.0f + 0.3f * 2.0f, 0.41f});
    EXPECT_GT(eye.r, 0.6f);
    EXPECT_GT(eye.g, 0.45f) << "yellow";
    EXPECT_GT(brightness(eye), brightness(normalHide) + 0.3f);

    // The low sun behind them throws their shadows towards the camera.
    const glm::vec3 groundLit = colorAt(pixels, {-6.0f, 0.0f, 2.0f});
    const glm::vec3 shaded = colorAt(pixels, {3.7f, 0.0f, 2.4f});
    EXPECT_GT(groundLit.g, groundLit.r + 0.1f);
    EXPECT_LT(brightness(shaded), brightness(groundLit) * 0.8f) << "ground in the heavy enemy's shadow";

    // An enemy whose cell the pass does not see is left out of it.
    const std::vector<u8> without = drawFrame(normal.get());
    const glm::vec3 behind = colorAt(without, {-1.5f, 0.8f, 0.4f});
    EXPECT_GT(behind.g, behind.r + 0.05f) << "the ground shows where the culled enemy stood";
    EXPECT_GT(brightness(behind), brightness(normalHide));
    EXPECT_TRUE(validationErrors().empty());
}

TEST_F(EnemyDrawGpuTest, AFullRangeOfEnemiesIsDrawnAndTheRestLeftOut)
{
    // More enemies than the per-frame range holds: 8,000 are drawn in one instanced
    // draw, the rest are left out, and nothing reads past the range.
    for (int i = 0; i < 8100; i++) {
        enemies->enqueue(std::make_unique<EnBaseInstance>(glm::vec3(-10.0f + (i % 100) * 0.2f, 1.0f, -(i / 100) * 0.2f)));
    }
    enemies->spawnPending();
    ASSERT_EQ(enemyTypes[EnemyTypeBase]->instances.size(), 8100u);
    enemiesCastShadows = false;
    const u32 before = Engine::graphicsDevice->drawnInstances;
    drawFrame();
    EXPECT_EQ(Engine::graphicsDevice->drawnInstances - before, 8000u + 5u) << "8,000 enemies and the ground five times";
    EXPECT_TRUE(validationErrors().empty());
}

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
#include "Game/EntityTypes/EntityTypes.h"
#include "Game/Particles/ParticleRenderer.h"
#include "Game/Particles/PcSmoke.h"
#include "Game/Projectiles/Blast.h"
#include "Game/Projectiles/ProjectileRenderer.h"
#include "Game/Projectiles/PtBombInstance.h"
#include "Game/Projectiles/PtCannonBallInstance.h"
#include "Game/Session/BuildingManager.h"
#include "Game/Towers/TowerInstance.h"
#include "Game/Towers/TurretAim.h"
#include "World/Culling/CullingGrid.h"
#include "World/Shadow/CascadeMath.h"
#include "World/Shadow/ShadowRenderer.h"
#include "World/Sky/Skybox.h"
#include "World/World.h"

#include <glm/gtc/matrix_transform.hpp>

#include <cmath>
#include <cstdlib>
#include <fstream>

namespace {

constexpr u32 Width = 192;
constexpr u32 Height = 108;
const float Clear[4] = {0.0f, 0.0f, 0.0f, 0.0f};

// The game's tower kinds with their models, both projectile kinds and the smoke kind,
// drawn as the world draws them: a cannon and a mortar turned towards the camera's
// right, a cannonball and a bomb in the air, a ring of smoke, on a green slab under a
// low sun.
class ShotDrawGpuTest : public GpuTest {
protected:
    ShotDrawGpuTest() : GpuTest({.frameStorage = true}) {}

    void SetUp() override
    {
        GpuTest::SetUp();
        if (HasFatalFailure()) return;
        createGameKinds();
        // The renderers' slots (1.6 MB of smoke records) need the game's frame storage.
        Engine::frameStorage = new DsStorageSingle(Engine::graphicsDevice, 8'000'000);
        Engine::frameStorage->switchHalf();
        savedRandom = Engine::random;
        Engine::random = &random;
        savedMapSize = Settings::shadowMapSize;
        Settings::shadowMapSize = 512;

        sky.sunDirection = glm::normalize(glm::vec3(-0.5f, 0.45f, -0.6f));
        skySlot = new StorageSlot{Engine::frameUniforms, sizeof(SkyboxParams), NoOffset};
        skySlot->offset = Engine::frameUniforms->write(NoOffset, &sky, sizeof(SkyboxParams), false);
        shadows = new ShadowRenderer();
        shadows->sunDirection = &sky.sunDirection;
        camera = new Camera();
        camera->setPerspective(60.0f, static_cast<f32>(Width) / Height, 0.5f, 300.0f);
        camera->position = glm::vec3(0.0f, 6.0f, 18.0f);
        camera->forward = glm::normalize(glm::vec3(0.0f, 2.0f, 0.0f) - camera->position);
        camera->updateView();
        camera->uploadUniforms();

        physics.world = &queryWorld;
        queryWorld.init(QueryWorldGravity);
        BuildingContext context;
        context.origin = glm::vec3(-32.0f, 0.0f, -32.0f);
        context.gridWidth = 64;
        context.physics = &physics;
        context.cullingGrid = &culling;
        manager = new BuildingManager(context);
        const BuildingDrawBindings bindings{camera->uniformSlot, skySlot, shadows->uniformSlot, shadows->mapBinding,
                                            shadows->lightCamera->uniformSlot};
        manager->createDrawObjects(bindings);
        projectiles = new ProjectileRenderer(bindings, nullptr);
        particles = new ParticleRenderer(bindings, nullptr);
        shadows->casterCallback = [this](CommandBuffer* cmd, Camera*, const Frustum&) {
            culling.markAllVisible();
            manager->drawShadowCasters(cmd, shadows->map->extent, 0);
            cmd->bindPipeline(projectiles->shadowPipeline);
            cmd->setViewport(shadows->map->extent);
            const VkRect2D scissor{{0, 0}, cmd->renderExtent};
            vkCmdSetScissor(cmd->handle, 0, 1, &scissor);
            vkCmdSetDepthBias(cmd->handle, 0.0f, 0.0f, ShadowRules::CasterSlopeBias);
            cmd->addDataSet(projectiles->shadowSet);
            cmd->bindDataSets(0);
            for (Projectile* kind : projectileTypes) kind->drawAll(*cmd, 0, *projectiles);
        };

        // Footprints of 2 x 2 cells: the cannon's pivot at (-4, 1, 0), the mortar's at (4, 1, 0).
        cannon = std::static_pointer_cast<TowerInstance>(buildingTypes[BuildingTypeCannon]->createInstance({27, 0, 31}, 0));
        mortar = std::static_pointer_cast<TowerInstance>(buildingTypes[BuildingTypeMortar]->createInstance({35, 0, 31}, 0));
        ASSERT_TRUE(manager->place(cannon));
        ASSERT_TRUE(manager->place(mortar));
        manager->update(0);
        target = createOffscreenTarget(Width, Height, Engine::swapChain->format,
                                       findDepthFormat(Engine::graphicsDevice->physicalDevice));
    }

    void TearDown() override
    {
        if (manager != nullptr) {
            destroyOffscreenTarget(target);
            manager->destroyAll();
            cannon = mortar = nullptr;
            for (Projectile* kind : projectileTypes) kind->removeAll();
            smokeType->clear();
            Simulation::releaseRemaining(leftovers());
            delete particles;
            delete projectiles;
            delete manager;
            delete shadows;
            delete camera;
            delete skySlot;
            physics.world = nullptr;
        }
        Engine::random = savedRandom;
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

    // A frame as the world records it: snapshots blended, bounds, the cascades, then
    // the main pass with buildings, projectiles and (last, over everything) smoke.
    std::vector<u8> drawFrame(u32 frame = 0)
    {
        for (Building* kind : buildingTypes) {
            std::lock_guard lock(kind->instancesMutex);
            for (size_t i = kind->instances.size(); i-- > 0;) kind->instances[i]->interpolateSnapshot(frame);
        }
        culling.reset();
        for (Building* kind : buildingTypes) kind->updateAllBounds();
        smokeType->updateAllBounds(culling, frame);
        for (Projectile* kind : projectileTypes) kind->updateAllBounds(culling);
        CommandBuffer* cmd = beginCommands();
        cmd->flushUploads();
        shadows->render(cmd, camera);
        beginOffscreenPass(cmd, target, Clear);
        culling.markAllVisible();
        manager->drawBuildings(cmd, target.extent, frame);
        cmd->bindPipeline(projectiles->pipeline);
        cmd->setViewportAndScissor(target.extent);
        cmd->addDataSet(projectiles->sceneSet);
        cmd->bindDataSets(0);
        for (Projectile* kind : projectileTypes) kind->drawAll(*cmd, frame, *projectiles);
        cmd->bindPipeline(particles->pipeline);
        cmd->setViewportAndScissor(target.extent);
        cmd->addDataSet(particles->sceneSet);
        cmd->bindDataSets(0);
        smokeType->drawAll(*cmd, {frame, 1.0f}, *particles);
        endOffscreenPass(cmd, target);
        submitCommandsAndWait(cmd);
        EntityTypes::recycleInstanceSlots();
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

    // Writes the picture as a PPM when BRACKENHOLD_SHOT_PICTURE names a file, to look at.
    void keepShot(const std::vector<u8>& pixels, const char* suffix) const
    {
        const char* path = std::getenv("BRACKENHOLD_SHOT_PICTURE");
        if (path == nullptr) return;
        std::ofstream out(std::string(path) + suffix + ".ppm", std::ios::binary);
        out << "P6\n" << Width << " " << Height << "\n255\n";
        for (u32 y = 0; y < Height; y++) {
            for (u32 x = 0; x < Width; x++) {
                const glm::vec3 c = colorAt(pixels, {static_cast<i32>(x), static_cast<i32>(y)}) * 255.0f;
                out.put(static_cast<char>(c.r)).put(static_cast<char>(c.g)).put(static_cast<char>(c.b));
            }
        }
    }

    Random random{5};
    Random* savedRandom = nullptr;
    SkyboxParams sky;
    i32 savedMapSize = 0;
    StorageSlot* skySlot = nullptr;
    ShadowRenderer* shadows = nullptr;
    Camera* camera = nullptr;
    PhysicsWorld queryWorld;
    WorldPhysics physics;
    CullingGrid culling{{-64.0f, -64.0f}, {32.0f, 32.0f}, {4, 4}};
    BuildingManager* manager = nullptr;
    ProjectileRenderer* projectiles = nullptr;
    ParticleRenderer* particles = nullptr;
    std::shared_ptr<TowerInstance> cannon, mortar;
    OffscreenTarget target;
};

f32 difference(glm::vec3 a, glm::vec3 b)
{
    return glm::length(a - b);
}

} // namespace

// The towers' parts stand where their snapshots put them: a barrel turned towards the
// camera shows where an unturned one showed nothing; the base is written once and the
// moving parts each frame, and slots come back when a tower goes.
TEST_F(ShotDrawGpuTest, TowersDrawTheirPartsFromTheSnapshots)
{
    const u32 freeBefore = instanceStorage->freeCount;
    const std::vector<u8> start = drawFrame();
    keepShot(start, "-start");
    EXPECT_EQ(instanceStorage->freeCount, freeBefore - 6) << "base, turret and barrel of two towers";
    const u32 cannonBase = cannon->base.offset;
    ASSERT_NE(cannonBase, NoOffset);

    // The cannon's barrel swung from +x to point at the camera (+z), raised a little.
    cannon->aim->yaw = 1.5707964f;
    cannon->aim->pitch = 0.3f;
    cannon->storeSnapshot(1);
    const std::vector<u8> turned = drawFrame(1);
    keepShot(turned, "-turned");
    EXPECT_EQ(cannon->base.offset, cannonBase);
    // The muzzle end of the barrel, in front of the pivot towards the camera.
    const glm::ivec2 muzzle = screenOf(cannon->pivot() + aimDirection(1.5707964f, 0.3f) * 1.2f);
    EXPECT_GT(difference(colorAt(start, muzzle), colorAt(turned, muzzle)), 0.05f);
    // The mortar did not move.
    const glm::ivec2 mortarTop = screenOf(mortar->pivot() + glm::vec3(0.0f, 0.5f, 0.0f));
    EXPECT_LT(difference(colorAt(start, mortarTop), colorAt(turned, mortarTop)), 0.02f);

    cannon->requestDestroy();
    manager->update(1);
    drawFrame(1);
    drawFrame(1);
    EXPECT_EQ(instanceStorage->freeCount, freeBefore - 3) << "the gone cannon's three slots are back";
    EXPECT_TRUE(validationErrors().empty());
}

// A cannonball and a bomb in the air are dark spheres; a smoke ring is a pale,
// translucent haze that lets the scene through; smoke is drawn only once snapshotted.
TEST_F(ShotDrawGpuTest, ProjectilesAndSmokeDraw)
{
    const std::vector<u8> empty = drawFrame();
    const glm::vec3 ballAt(-1.5f, 3.0f, 4.0f);
    const glm::vec3 bombAt(1.5f, 3.0f, 4.0f);
    PtCannonBallInstance::create(ballAt, {0, 0, 0}, 35, 5.0f);
    PtBombInstance::create(bombAt, {0, 0, 0}, 150, 10.0f);
    const u64 drawnBefore = Engine::graphicsDevice->drawnInstances;
    const std::vector<u8> shots = drawFrame();
    keepShot(shots, "-shots");
    // Two instanced draws of one sphere each in the main pass and each of 4 cascades
    // (at most: a cascade may not reach them), and the towers' parts.
    EXPECT_GT(Engine::graphicsDevice->drawnInstances, drawnBefore);
    for (const glm::vec3& at : {ballAt, bombAt}) {
        const glm::vec3 c = colorAt(shots, screenOf(at));
        EXPECT_LT((c.r + c.g + c.b) / 3.0f, 0.35f) << "dark iron";
        EXPECT_GT(difference(c, colorAt(empty, screenOf(at))), 0.05f);
    }

    const glm::vec3 centre(0.0f, 1.5f, 6.0f);
    for (i32 i = 0; i < 50; i++) PcSmokeInstance::create(smokeRingPuff(centre, i, 0.5f, 0.5f));
    const std::vector<u8> unsettled = drawFrame();
    const glm::ivec2 puffPixel = screenOf(centre + glm::vec3(1.0f, 0.0f, 0.0f));
    EXPECT_LT(difference(colorAt(unsettled, puffPixel), colorAt(shots, puffPixel)), 0.01f) << "not yet snapshotted";
    smokeType->storeSnapshots(0);
    const std::vector<u8> smoke = drawFrame();
    keepShot(smoke, "-smoke");
    const glm::vec3 hazy = colorAt(smoke, puffPixel);
    EXPECT_GT(difference(hazy, colorAt(shots, puffPixel)), 0.05f) << "the puff shows";
    EXPECT_GT((hazy.r + hazy.g + hazy.b) / 3.0f, 0.3f) << "pale";
    EXPECT_TRUE(validationErrors().empty());
}

#include "OffscreenWorld.h"

#include "GameKinds.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Command/CommandBuffer.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Image/Image.h"
#include "Engine/Mesh/Mesh.h"
#include "Engine/Settings/Settings.h"
#include "Engine/Storage/DataStorage.h"
#include "Engine/SwapChain/SwapChain.h"
#include "Game/Buildings/BuildingInstance.h"
#include "Game/Enemies/EnemyInstance.h"
#include "Game/Enemies/EnemyManager.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "Game/Particles/ParticleRenderer.h"
#include "Game/Particles/PcSmoke.h"
#include "Game/Projectiles/Projectile.h"
#include "Game/Projectiles/ProjectileRenderer.h"
#include "Game/Session/BuildingManager.h"
#include "World/Shadow/CascadeMath.h"
#include "World/Shadow/ShadowRenderer.h"

#include <glm/gtc/matrix_transform.hpp>

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>

namespace {

// Where the enemies stand in a test frame: the physics state's first slot, unblended.
const Simulation::RenderState EnemyView{0, 1.0f};

// What a stopped simulation thread would have left of the bodies of the instances.
PhysicsWorld& leftovers()
{
    static PhysicsWorld world;
    if (world.world == nullptr) world.init(EngineWorldGravity);
    return world;
}

} // namespace

void OffscreenWorldTest::SetUp()
{
    GpuTest::SetUp();
    if (HasFatalFailure()) return;
    createGameKinds();
    if (scene.shots) {
        // The renderers' slots (1.6 MB of smoke records) need the game's frame storage.
        Engine::frameStorage = new DsStorageSingle(Engine::graphicsDevice, 8'000'000);
        Engine::frameStorage->switchHalf();
    }
    savedRandom = Engine::random;
    Engine::random = &random;
    savedMapSize = Settings::shadowMapSize;
    Settings::shadowMapSize = 512;

    sky.sunDirection = glm::normalize(scene.sunDirection);
    skySlot = new StorageSlot{Engine::frameUniforms, sizeof(SkyboxParams), NoOffset};
    skySlot->offset = Engine::frameUniforms->write(NoOffset, &sky, sizeof(SkyboxParams), false);
    shadows = new ShadowRenderer();
    shadows->sunDirection = &sky.sunDirection;
    camera = new Camera();
    lookAt(glm::vec3(0.0f, 10.0f, 10.0f), glm::vec3(0.0f));

    physics.world = &queryWorld;
    queryWorld.init(QueryWorldGravity);
    BuildingContext context;
    context.origin = scene.origin;
    context.gridWidth = 64;
    context.physics = &physics;
    context.cullingGrid = &culling;
    context.camera = camera;
    manager = new BuildingManager(context);
    BuildingDrawBindings bindings{camera->uniformSlot, skySlot, shadows->uniformSlot, shadows->mapBinding,
                                  shadows->lightCamera->uniformSlot};
    if (scene.outline) {
        bindings.gameCamera = camera;
        bindings.targetExtent = {scene.width, scene.height};
    }
    manager->createDrawObjects(bindings);
    if (scene.enemies) {
        EnemyContext enemyContext;
        enemyContext.ground = {scene.origin, 65, steps.data()};
        enemyContext.cullingGrid = &culling;
        enemyContext.random = &enemyRandom;
        enemyContext.camera = camera;
        enemies = new EnemyManager(enemyContext);
        enemies->createDrawObjects({bindings.camera, bindings.skyParams, bindings.shadowUniforms, bindings.shadowMap,
                                    bindings.lightCamera});
    }
    if (scene.shots) {
        projectiles = new ProjectileRenderer(bindings, nullptr);
        particles = new ParticleRenderer(bindings, nullptr);
    }
    shadows->casterCallback = [this](CommandBuffer* cmd, Camera*, const Frustum&) {
        culling.markAllVisible();
        const VkExtent2D extent = shadows->map->extent;
        if (ground != nullptr) drawGround(cmd, shadowInstancePipeline, manager->shadowSet, extent);
        manager->drawShadowCasters(cmd, extent, 0);
        if (projectiles != nullptr) {
            cmd->bindPipeline(projectiles->shadowPipeline);
            cmd->setViewport(extent);
            const VkRect2D scissor{{0, 0}, cmd->renderExtent};
            vkCmdSetScissor(cmd->handle, 0, 1, &scissor);
            vkCmdSetDepthBias(cmd->handle, 0.0f, 0.0f, ShadowRules::CasterSlopeBias);
            cmd->addDataSet(projectiles->shadowSet);
            cmd->bindDataSets(0);
            for (Projectile* kind : projectileTypes) kind->drawAll(*cmd, 0, *projectiles);
        }
        if (enemies != nullptr && enemiesCastShadows) enemies->drawShadowCasters(cmd, extent, EnemyView);
    };
    if (scene.groundHalfSide > 0.0f) makeGround();
    target = createOffscreenTarget(scene.width, scene.height, Engine::swapChain->format,
                                   findDepthFormat(Engine::graphicsDevice->physicalDevice));
}

void OffscreenWorldTest::TearDown()
{
    if (manager != nullptr) {
        destroyOffscreenTarget(target);
        manager->destroyAll();
        if (enemies != nullptr) enemies->destroyAll();
        for (Projectile* kind : projectileTypes) kind->removeAll();
        if (smokeType != nullptr) smokeType->clear();
        Simulation::releaseRemaining(leftovers());
        delete particles;
        delete projectiles;
        delete enemies;
        delete manager;
        delete shadows;
        delete camera;
        delete skySlot;
        delete groundSlot;
        physics.world = nullptr;
    }
    if (Engine::random == &random) Engine::random = savedRandom;
    if (savedMapSize != 0) Settings::shadowMapSize = savedMapSize;
    GpuTest::TearDown();
    releaseGameKinds();
}

void OffscreenWorldTest::lookAt(glm::vec3 eye, glm::vec3 at)
{
    camera->setPerspective(60.0f, static_cast<f32>(scene.width) / static_cast<f32>(scene.height), 0.5f, 300.0f);
    camera->position = eye;
    camera->forward = glm::normalize(at - eye);
    camera->updateView();
    camera->uploadUniforms();
}

void OffscreenWorldTest::makeGround()
{
    PlanarVertexData data(vertexLayoutPosNormalColor, 4);
    const f32 h = scene.groundHalfSide;
    const glm::vec3 corners[4] = {{-h, 0, -h}, {h, 0, -h}, {h, 0, h}, {-h, 0, h}};
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
    const glm::mat4 model = glm::translate(glm::mat4(1.0f), scene.groundCentre);
    groundSlot = new StorageSlot{instanceStorage, 128, NoOffset};
    groundSlot->offset = instanceStorage->write(NoOffset, &model, sizeof(model), false);
}

void OffscreenWorldTest::drawGround(CommandBuffer* cmd, Pipeline* pipeline, DataSet* set, VkExtent2D extent)
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

void OffscreenWorldTest::fillBounds(u32 frame)
{
    for (Building* kind : buildingTypes) {
        std::lock_guard lock(kind->instancesMutex);
        for (size_t i = kind->instances.size(); i-- > 0;) kind->instances[i]->interpolateSnapshot(frame);
    }
    culling.reset();
    for (Building* kind : buildingTypes) kind->updateAllBounds();
    if (particles != nullptr) smokeType->updateAllBounds(culling, frame);
    if (projectiles != nullptr) {
        for (Projectile* kind : projectileTypes) kind->updateAllBounds(culling);
    }
    if (enemies != nullptr) enemies->updateAllBounds(EnemyView);
}

void OffscreenWorldTest::recordMainPass(CommandBuffer* cmd, u32 frame, EnemyInstance* hidden)
{
    beginOffscreenPass(cmd, target, scene.clear);
    culling.markAllVisible();
    if (hidden != nullptr) hidden->cullingCell->visible = 0;
    if (ground != nullptr) drawGround(cmd, towerPipeline, manager->sceneSet, target.extent);
    manager->drawBuildings(cmd, target.extent, frame);
    if (projectiles != nullptr) {
        cmd->bindPipeline(projectiles->pipeline);
        cmd->setViewportAndScissor(target.extent);
        cmd->addDataSet(projectiles->sceneSet);
        cmd->bindDataSets(0);
        for (Projectile* kind : projectileTypes) kind->drawAll(*cmd, frame, *projectiles);
    }
    if (enemies != nullptr) enemies->drawEnemies(cmd, target.extent, EnemyView);
    if (particles != nullptr) {
        // Smoke over everything solid.
        cmd->bindPipeline(particles->pipeline);
        cmd->setViewportAndScissor(target.extent);
        cmd->addDataSet(particles->sceneSet);
        cmd->bindDataSets(0);
        smokeType->drawAll(*cmd, {frame, 1.0f}, *particles);
    }
    if (ghosts) ghosts(*cmd);
    endOffscreenPass(cmd, target);
}

std::vector<u8> OffscreenWorldTest::finish(CommandBuffer* cmd)
{
    submitCommandsAndWait(cmd);
    EntityTypes::recycleInstanceSlots();
    return readPixels(target);
}

std::vector<u8> OffscreenWorldTest::drawFrame(u32 frame, EnemyInstance* hidden)
{
    fillBounds(frame);
    CommandBuffer* cmd = beginCommands();
    cmd->flushUploads();
    shadows->render(cmd, camera);
    recordMainPass(cmd, frame, hidden);
    return finish(cmd);
}

std::vector<u8> OffscreenWorldTest::drawMainPass(u32 frame)
{
    fillBounds(frame);
    CommandBuffer* cmd = beginCommands();
    cmd->flushUploads();
    recordMainPass(cmd, frame, nullptr);
    return finish(cmd);
}

glm::vec3 OffscreenWorldTest::colorAt(const std::vector<u8>& pixels, glm::ivec2 at) const
{
    const Pixel p = pixelAt(pixels, scene.width, static_cast<u32>(at.x), static_cast<u32>(at.y));
    const bool bgra = target.colorFormat == VK_FORMAT_B8G8R8A8_UNORM || target.colorFormat == VK_FORMAT_B8G8R8A8_SRGB;
    const glm::vec3 c(p.c[0], p.c[1], p.c[2]);
    return (bgra ? glm::vec3(c.z, c.y, c.x) : c) / 255.0f;
}

glm::ivec2 OffscreenWorldTest::screenOf(glm::vec3 point) const
{
    const glm::vec3 s = camera->worldToScreen(point, {scene.width, scene.height});
    return {static_cast<i32>(s.x), static_cast<i32>(s.y)};
}

void OffscreenWorldTest::keepShot(const std::vector<u8>& pixels, const char* variable, const char* suffix) const
{
    const char* path = std::getenv(variable);
    if (path == nullptr) return;
    const std::string file = suffix != nullptr ? std::string(path) + suffix + ".ppm" : std::string(path);
    std::ofstream out(file, std::ios::binary);
    out << "P6\n" << scene.width << " " << scene.height << "\n255\n";
    for (u32 y = 0; y < scene.height; y++) {
        for (u32 x = 0; x < scene.width; x++) {
            const glm::vec3 c = colorAt(pixels, glm::ivec2(static_cast<i32>(x), static_cast<i32>(y))) * 255.0f;
            out.put(static_cast<char>(c.r)).put(static_cast<char>(c.g)).put(static_cast<char>(c.b));
        }
    }
}

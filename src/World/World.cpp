#include "World/World.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Descriptor/DataSet.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/FreedMemory.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Image/Image.h"
#include "Engine/Image/Sampler.h"
#include "Engine/Physics/PhysicsWorld.h"
#include "Engine/Physics/Simulation.h"
#include "Engine/Pipeline/Pipeline.h"
#include "Engine/Storage/DataStorage.h"
#include "Engine/SwapChain/SwapChain.h"
#include "Engine/Window/Window.h"
#include "Game/Buildings/BuildingInstance.h"
#include "Game/Buildings/BuildingRules.h"
#include "Game/Enemies/EnemyManager.h"
#include "Game/Intro/CameraPath.h"
#include "Game/Navigation/PathField.h"
#include "Game/Particles/ParticleRenderer.h"
#include "Game/Projectiles/ProjectileRenderer.h"
#include "Game/Session/BuildingManager.h"
#include "Game/Session/GameLogic.h"
#include "Game/Session/GameSession.h"
#include "Game/Session/GameTeardown.h"
#include "Game/Tools/ToolState.h"
#include "Game/Ui/Ui.h"
#include "World/Culling/CullingGrid.h"
#include "World/Shadow/ShadowRenderer.h"
#include "World/Sky/Skybox.h"
#include "World/Terrain/Terrain.h"
#include "World/Water/Water.h"
#include "World/WorldMath.h"
#include "World/WorldRules.h"
#include "World/WorldTargets.h"
#include "Engine/Helper/FatalHandoff.h"

#include <algorithm>
#include <future>
#include <memory>

World* world = nullptr;

namespace {

// While the world waits for the physics thread to drop its bodies, it paces that
// thread itself, one frame of this length at a time.
constexpr f32 TeardownFrameMs = 16.0f;

u32 atLeastOne(i32 value)
{
    return value > 0 ? static_cast<u32>(value) : 1u;
}

f32 windowAspect()
{
    return static_cast<f32>(atLeastOne(Engine::window->width)) / static_cast<f32>(atLeastOne(Engine::window->height));
}

// The loading window follows the terrain's stages: six of them, the first one
// announced by the terrain's constructor.
void startLoadingRecord(GenerationProgress& generation)
{
    LoadingProgress* loading = Ui::loadingProgress;
    if (loading == nullptr) return;
    loading->stageCount = WorldLayoutRules::LoadingStageCount;
    loading->currentStage = -1;
    loading->stageText = "";
    loading->stageProgress = 0.0f;
    loading->liveStageProgress = &generation.fraction;
    generation.beginStage = [loading](const char* text) {
        loading->stageText = text;
        loading->stageProgress = 0.0f;
        loading->currentStage.fetch_add(1);
    };
}

} // namespace

World* readyWorld()
{
    return world != nullptr && world->ready.load(std::memory_order_acquire) != 0 ? world : nullptr;
}

void World::startNew()
{
    startNew(-1);
}

void World::startNew(i32 terrainSeed)
{
    // A new game is always built from nothing, with a new session record, no tool or
    // selection and the game at normal speed.
    delete world;
    world = nullptr;
    PlayerTools::resetForNewGame();
    delete gameSession;
    gameSession = new GameSession();

    auto* next = new World();
    next->seed = terrainSeed;
    next->camera = new Camera();
    next->camera->setPerspective(WorldCameraRules::FieldOfView, windowAspect(), WorldCameraRules::StartNear,
                                 WorldCameraRules::StartFar);
    // The loader builds the targets at the size the window has now; the main thread
    // keeps the window size to itself from here on.
    next->targetWidth = atLeastOne(Engine::window->width);
    next->targetHeight = atLeastOne(Engine::window->height);
    // The shadow renderer's light camera writes its block into the per-frame uniforms
    // when it is made, which only the main thread may touch (it switches their halves
    // every frame): it is made here rather than by the loader.
    next->shadows = new ShadowRenderer();
    next->shadows->casterCallback = [next](CommandBuffer* cmd, Camera* lightCamera, const Frustum& lightFrustum) {
        next->drawShadowCasters(cmd, lightCamera, lightFrustum);
    };
    // Registered here on the main thread, which walks the listener list when it
    // rebuilds the swap chain; until the world is ready a resize is only noted.
    next->resizeCallback = [next] { next->onResize(); };
    Engine::swapChain->resizeListeners->push_back(&next->resizeCallback);
    world = next;

    Engine::gameState = GameStateLoading;
    Ui::clearMenuStates();
    // The loading window shows from the next frame on, with its record reset, and
    // stays until the main loop starts the game in the frame that draws the world's
    // first picture: no frame in between goes out without it, however long the
    // loader, the first uploads or that first frame take.
    startLoadingRecord(next->generation);
    Ui::pushMenuState(MenuStateLoading);
    // A file the world needs that is missing or broken ends the game from here: the
    // loader hands its error to the main thread.
    next->loader = std::thread([] { fatalHandoff.runGuarded(&World::generateThreadMain); });
}

void World::generateThreadMain()
{
    // `world` is set before this thread starts and stays until the thread is joined.
    World* self = world;
    self->init();
    // The intro flight ends on the game camera's start pose, and starts.
    if (Engine::cameraPath != nullptr) Engine::cameraPath->start(self->camera->position, self->camera->forward);
    // What the generation worked with is freed; it goes back to the system here rather
    // than in a frame of the main thread.
    returnFreedMemory();
    self->ready.store(1, std::memory_order_release);
}

void World::init()
{
    using namespace WorldLayoutRules;
    GraphicsDevice* device = Engine::graphicsDevice;

    // 1: the loading window shows already (startNew put it up).

    // The height map needs nothing but the seed: it is made on threads of its own
    // while the GPU objects below are set up, and the terrain takes it in step 12.
    std::future<std::unique_ptr<TerrainGrid>> heightMap =
        std::async(std::launch::async, [terrainSeed = seed] {
            return TerrainGrid::makeHeightMap(terrainSeed, ChunkSize, ChunksPerSide, 0);
        });

    // 2 and 3: samplers and the window-sized targets.
    targetSampler = new Sampler(device, targetSamplerInfo());
    depthSampler = new Sampler(device, depthTargetSamplerInfo());
    createRenderTargets(*this, targetWidth, targetHeight);

    // 4: the shadow renderer was made by startNew on the main thread.

    // 5: sky (reads the scene targets), then water. The cascades face the sky's sun.
    sky = new Skybox(camera);
    shadows->sunDirection = &sky->params.sunDirection;
    water = new Water();

    // 6 and 7: the terrain, which reads the sky, shadow and water blocks.
    TerrainBindings bindings;
    bindings.skyParams = sky->paramSlot;
    bindings.sunDirection = sky->sunSlot;
    bindings.shadowUniforms = shadows->uniformSlot;
    bindings.shadowMap = shadows->mapBinding;
    bindings.waterParams = water->paramSlot;
    bindings.lightCamera = shadows->lightCamera->uniformSlot;
    bindings.targetSampler = targetSampler;
    bindings.depthSampler = depthSampler;
    bindings.colorFormat = Engine::swapChain->format;
    bindings.depthFormat = findDepthFormat(device->physicalDevice);
    bindings.shadowFormat = shadows->map->format;
    bindings.windowWidth = targetWidth;
    bindings.windowHeight = targetHeight;
    terrain = new Terrain(camera, ChunkSize, ChunksPerSide, bindings, &generation);
    terrain->planetRadius = sky->params.planetRadius;
    const f32 halfGrid = static_cast<f32>(terrain->gridSize - 1) * -0.5f;
    origin = glm::vec3(halfGrid, 0.0f, halfGrid);

    // 8: the water samples the terrain's prepass images.
    terrain->updateWaterViewParams(camera);
    water->createDataSets(camera);

    // 9: culling cells of half a chunk.
    const f32 cellSize = static_cast<f32>(ChunkSize) / CullingCellsPerChunk;
    const u32 cells = ChunksPerSide * CullingCellsPerChunk;
    cullingGrid = new CullingGrid({origin.x, origin.z}, {cellSize, cellSize}, {cells, cells});

    // 10: the resize callback was registered by startNew on the main thread.

    // 11 and 12: the query world, then the landscape with its collision body in it.
    physics = new WorldPhysics();
    physics->world = new PhysicsWorld();
    physics->world->init(QueryWorldGravity);
    // The collision shape is built while the chunk meshes and the managers are made;
    // its bodies go into both physics worlds before the game-logic thread starts.
    terrain->startGeneration(seed, &heightMap);

    // 13 and 14: the three chunk sets into the terrain's own storages.
    terrain->meshStorage->switchHalf();
    terrain->chunkUniforms->returnPendingFrees();
    terrain->buildChunkMeshes({ChunkRules::MainLow, ChunkRules::MainHigh}, terrain->mainSet);
    terrain->buildChunkMeshes({ChunkRules::PrepassLow, ChunkRules::PrepassHigh}, terrain->prepassSet);
    terrain->buildChunkMeshes({ChunkRules::ShadowLow, ChunkRules::ShadowHigh}, terrain->shadowSet);

    // 15: the building manager, drawing with the camera, the sky and the shadows; the
    // particle and projectile renderers with the same blocks; then the enemy manager
    // with the navigation field (which starts its thread), through which the buildings
    // tell the field their goals and walls.
    BuildingContext buildings;
    buildings.origin = origin;
    buildings.gridWidth = terrain->gridSize - 1;
    buildings.physics = physics;
    buildings.cullingGrid = cullingGrid;
    buildings.terrain = terrain;
    buildings.session = gameSession;
    buildings.camera = camera;
    buildingManager = new BuildingManager(buildings);
    BuildingDrawBindings drawBindings;
    drawBindings.camera = camera->uniformSlot;
    drawBindings.skyParams = sky->paramSlot;
    drawBindings.shadowUniforms = shadows->uniformSlot;
    drawBindings.shadowMap = shadows->mapBinding;
    drawBindings.lightCamera = shadows->lightCamera->uniformSlot;
    drawBindings.gameCamera = camera;
    drawBindings.targetExtent = {targetWidth, targetHeight};
    buildingManager->createDrawObjects(drawBindings);
    particleRenderer = new ParticleRenderer(drawBindings, this);
    projectileRenderer = new ProjectileRenderer(drawBindings, this);

    EnemyContext enemies;
    enemies.ground = {origin, terrain->gridSize, terrain->steps.data()};
    enemies.terrain = terrain;
    enemies.physics = physics;
    enemies.cullingGrid = cullingGrid;
    enemies.session = gameSession;
    enemies.random = Engine::random;
    enemies.camera = camera;
    enemyManager = new EnemyManager(enemies);
    enemyManager->pathField = new PathField(this);
    enemyManager->createDrawObjects({drawBindings.camera, drawBindings.skyParams, drawBindings.shadowUniforms,
                                     drawBindings.shadowMap, drawBindings.lightCamera});
    buildingManager->context.navigation = enemyManager;
    buildingManager->context.enemies = {&enemyManager->buckets.buckets, enemyManager->buckets.width};

    // 12, its end: the terrain's collision shape, built meanwhile, and its bodies.
    terrain->finishGeneration(physics->world, physics->mutex);

    // 16: the game-logic thread, at the speed the physics thread runs.
    gameLogic = new GameLogic(buildingManager, Simulation::state.gameSpeed);
    buildingManager->context.gameLogic = gameLogic;
    gameLogic->enemies = enemyManager;
    gameLogic->session = gameSession;
    gameLogic->start();

    // 17 to 19: the castle at a build site near the centre, the camera beside it.
    const u32 centre = terrain->gridSize / 2;
    glm::ivec3 site(static_cast<i32>(centre), terrain->stepAt(centre, centre), static_cast<i32>(centre));
    if (std::shared_ptr<BuildingInstance> castle = buildingManager->placeCastle()) {
        site = castle->gridPos;
    }
    camera->position = startCameraPosition(origin, site);
    camera->yaw = WorldCameraRules::StartYaw;
    camera->pitch = WorldCameraRules::StartPitch;
    camera->updateForward();
    camera->updateView();

    // 20: four portals on free sites around it, a quarter of the grid from the centre.
    buildingManager->placeStartPortals();

    // 21: the final full-screen pass.
    createPostProcess(*this);

    // 22: the loading window stays: the main loop replaces it with the game's screen
    // in the frame that draws the world.
}

void World::shutdown()
{
    // A world still loading cannot be left.
    if (Engine::gameState != GameStatePlaying) return;
    delete world;
    world = nullptr;
    delete gameSession;
    gameSession = nullptr;
    Engine::gameState = GameStateMainMenu;
}

World::~World()
{
    // Waits on the loader and the game's threads: one that fails meanwhile ends the
    // game at once.
    FatalHandoff::MainThreadWait waiting(fatalHandoff);
    // The loader must be done before anything it builds is torn down: a window closed
    // while loading waits here for the world to be complete.
    if (loader.joinable()) loader.join();
    if (Ui::loadingProgress != nullptr && Ui::loadingProgress->liveStageProgress.load() == &generation.fraction) {
        Ui::loadingProgress->liveStageProgress = nullptr;
    }

    // The tools let go of the selected building (the detail pop-up's), so that the wait
    // for the buildings to go can end; the next game starts with no tool.
    PlayerTools::resetForNewGame();

    // 1 to 3: the game-logic thread stops, the physics thread stops stepping, every
    // building, enemy and projectile goes (no reward) and the smoke with them, and the
    // physics thread, paced from here, lets go of their bodies.
    GameParts parts;
    parts.logic = gameLogic;
    parts.buildings = buildingManager;
    parts.enemies = enemyManager;
    parts.simulation = &Simulation::state;
    endGame(parts, [] { Simulation::frameTick(TeardownFrameMs); });
    if (buildingManager != nullptr) buildingManager->context.gameLogic = nullptr;
    delete gameLogic;
    gameLogic = nullptr;

    // 4: the targets with their bindings (whose data sets fall back to a placeholder).
    GraphicsDevice* device = Engine::graphicsDevice;
    releaseRenderTargets(*this);
    for (Sampler* sampler : {targetSampler, depthSampler}) {
        if (sampler != nullptr) device->releaseResource(sampler);
    }
    delete sceneColorBinding;
    delete sceneDepthBinding;
    delete sceneDepthCopyBinding;
    delete surfaceDepthBinding;
    delete compositeBinding;

    // 5: the post-process objects.
    delete postProcessUniform;
    if (postProcessDataSet != nullptr) device->releaseResource(postProcessDataSet);
    if (postProcessPipeline != nullptr) device->releaseResource(postProcessPipeline);
    delete outlineBinding;

    // 6: the building manager.
    delete buildingManager;
    buildingManager = nullptr;
    // 7: the enemy manager stops the navigation field's thread first.
    delete enemyManager;
    enemyManager = nullptr;
    // 8 and 9: the particle and projectile renderers.
    delete particleRenderer;
    particleRenderer = nullptr;
    delete projectileRenderer;
    projectileRenderer = nullptr;

    // 10 and 11: the terrain takes its bodies out of both worlds before the query
    // world goes.
    delete terrain;
    if (physics != nullptr) {
        delete physics->world;
        delete physics;
    }

    // 12 and 13
    if (Engine::swapChain != nullptr && Engine::swapChain->resizeListeners != nullptr) {
        auto& listeners = *Engine::swapChain->resizeListeners;
        listeners.erase(std::remove(listeners.begin(), listeners.end(), &resizeCallback), listeners.end());
    }
    delete camera;

    // 14 to 17
    delete sky;
    delete water;
    delete shadows;
    delete cullingGrid;

    // What the world held goes back to the system once the frame end has deleted the
    // GPU objects released above.
    Engine::freedMemoryPending = 1;
}

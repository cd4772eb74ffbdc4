#pragma once

#include "Engine/Types.h"
#include "World/Terrain/GenerationProgress.h"

#include <glm/glm.hpp>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

class Camera;
class CommandBuffer;
class DataSet;
class Image2D;
class Pipeline;
class Sampler;
class Terrain;
class Skybox;
class Water;
class ShadowRenderer;
class CullingGrid;
class GameLogic;
class BuildingManager;
class ParticleRenderer;
class ProjectileRenderer;
class EnemyManager;
struct Frustum;
struct ImageBinding;
struct PhysicsWorld;
struct StorageSlot;

// The world's query physics world: static copies of the terrain and building bodies
// for ray tests, never stepped. Every ray test and every insertion or removal of a
// body holds the mutex.
struct WorldPhysics {
    std::mutex mutex;
    PhysicsWorld* world = nullptr;
};

// The container of one running game (global `world`, null in the main menu). Built on
// a loader thread after "New Game"; the main loop starts the game once `ready` is set.
class World {
public:
    std::atomic<u8> ready{0};
    glm::vec3 origin{0.0f};
    Camera* camera = nullptr;
    Terrain* terrain = nullptr;
    GameLogic* gameLogic = nullptr;
    BuildingManager* buildingManager = nullptr;
    ParticleRenderer* particleRenderer = nullptr;
    ProjectileRenderer* projectileRenderer = nullptr;
    EnemyManager* enemyManager = nullptr;
    WorldPhysics* physics = nullptr;
    Skybox* sky = nullptr;
    Water* water = nullptr;
    ShadowRenderer* shadows = nullptr;
    CullingGrid* cullingGrid = nullptr;
    ImageBinding* sceneColorBinding = nullptr;
    ImageBinding* sceneDepthBinding = nullptr;
    ImageBinding* compositeBinding = nullptr;
    Sampler* targetSampler = nullptr;
    Image2D* sceneColor = nullptr;
    Image2D* sceneDepth = nullptr;
    Image2D* composite = nullptr;
    // The scene's depth as it stands before the sea is drawn, copied for the water's
    // fragment stage: it skips the fragments that the ground and the buildings hide.
    Image2D* sceneDepthCopy = nullptr;
    ImageBinding* sceneDepthCopyBinding = nullptr;
    // The sea's surface depths, written by its colour pass beside the colour and then
    // into the scene's depth (1 where there is no sea).
    Image2D* surfaceDepth = nullptr;
    ImageBinding* surfaceDepthBinding = nullptr;
    std::function<void()> resizeCallback;
    i32 seed = -1;
    Pipeline* postProcessPipeline = nullptr;
    DataSet* postProcessDataSet = nullptr;
    StorageSlot* postProcessUniform = nullptr; // the 4-byte outline flag
    // Depth targets are sampled unfiltered (the depth format has no linear filtering).
    Sampler* depthSampler = nullptr;
    // A placeholder outline image for a world without a building manager's edge effect.
    ImageBinding* outlineBinding = nullptr;
    // The loader thread; a world still loading is waited for before it is torn down.
    std::thread loader;
    // What terrain generation reports; the loading window shows it.
    GenerationProgress generation;
    // The window size the targets are made for (taken on the main thread).
    u32 targetWidth = 0;
    u32 targetHeight = 0;
    // A window resize seen while loading, applied once the world is ready (main thread).
    bool resizePending = false;

    World() = default;
    ~World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    // "New Game": tears down any old game, makes the world and the session, state 2,
    // and starts the loader thread.
    static void startNew();
    // The same with a fixed terrain seed (tests and benchmarks); -1 seeds from the clock.
    static void startNew(i32 seed);
    // The loader thread: builds the world, hands the end of the intro flight to the
    // game camera and sets `ready` last.
    static void generateThreadMain();
    void init();
    // Ends a running game (only while playing) and returns to the main menu.
    static void shutdown();
    void onResize();

    void update(f32 frameMs);
    void draw(CommandBuffer* cmd);
    void drawShadowCasters(CommandBuffer* cmd, Camera* lightCamera, const Frustum& lightFrustum);
};

extern World* world;

// The world once its loader has finished (the flag read with acquire), else null.
World* readyWorld();

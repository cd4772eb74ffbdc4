#pragma once

#include "Engine/Physics/Simulation.h"
#include "Engine/Types.h"
#include "Game/Enemies/EnemyBuckets.h"
#include "Game/Enemies/EnemySteering.h"
#include "Game/Navigation/NavigationInputs.h"

#include <glm/glm.hpp>
#include <vulkan/vulkan.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

class Camera;
class CommandBuffer;
class CullingGrid;
class DataSet;
class EnemyInstance;
class PathField;
class Pipeline;
class Random;
class TerrainGrid;
struct GameSession;
struct ImageBinding;
struct StorageSlot;
struct WorldPhysics;

// What the enemies of one game reach in the world around them.
struct EnemyContext {
    SteeringGround ground;                // origin, grid size and step grid of the terrain
    const TerrainGrid* terrain = nullptr; // footprint checks of the cheat placement
    WorldPhysics* physics = nullptr;      // the query world: cursor picks
    CullingGrid* cullingGrid = nullptr;
    GameSession* session = nullptr;       // receives the kill rewards
    Random* random = nullptr;             // lateral offsets and portal choice (logic thread)
    Camera* camera = nullptr;             // the game camera: picks and health bars
};

// What the enemies' scene and shadow sets read from the world's renderers.
struct EnemyDrawBindings {
    StorageSlot* camera = nullptr;
    StorageSlot* skyParams = nullptr;
    StorageSlot* shadowUniforms = nullptr;
    ImageBinding* shadowMap = nullptr;
    StorageSlot* lightCamera = nullptr;
};

// The enemies of one game: the navigation field they walk (buildings reach it through
// this manager), the bucket grid that tower aiming reads, the queue of enemies made
// and not yet spawned, their per-tick update on the game-logic thread, and the
// pipelines and sets with which both kinds draw themselves.
class EnemyManager : public NavigationInputs {
public:
    EnemyContext context;
    EnemyBuckets buckets;
    PathField* pathField = nullptr; // owned; null in tests without a field
    // One model matrix per drawn enemy, in the per-frame storage (8,000 at most).
    StorageSlot* instanceSlot = nullptr;
    DataSet* instanceSet = nullptr; // binding 4: instanceSlot ("SBD_4")
    DataSet* sceneSet = nullptr;    // camera, sky, shadows, shadow map ("UBD_0+UBD_1+UBD_2+CIS_3")
    DataSet* shadowSet = nullptr;   // the light camera ("UBD_0")
    Pipeline* pipeline = nullptr;
    Pipeline* shadowPipeline = nullptr;
    std::mutex pendingMutex;
    std::vector<std::unique_ptr<EnemyInstance>> pending;
    // Set by destroyAll: destroys of the teardown pay no reward.
    std::atomic<bool> tearingDown{false};

    // The bucket grid over the context's terrain and an empty queue; no field (the
    // world gives it one) and no GPU objects (createDrawObjects makes them).
    explicit EnemyManager(const EnemyContext& context);
    // Stops the field's thread and frees it, the slot and the queue, and releases the
    // pipelines and sets. Enemies still listed are the teardown's (destroyAll).
    ~EnemyManager() override;
    EnemyManager(const EnemyManager&) = delete;
    EnemyManager& operator=(const EnemyManager&) = delete;

    // The instance slot, the three sets and both pipelines, on the global device.
    void createDrawObjects(const EnemyDrawBindings& bindings);

    // Any thread: queues `instance` for the next logic tick.
    void enqueue(std::unique_ptr<EnemyInstance> instance);
    // Game-logic thread, once per tick: spawns the queued enemies in queue order.
    void spawnPending();
    // Game-logic thread, once per game-speed step: every enemy of both kinds, each
    // list from the last to the first.
    void update();
    // The teardown, once the game-logic thread has stopped and the physics thread no
    // longer steps: destroys every enemy without reward and deletes the queued ones.
    void destroyAll();

    // Simulation thread: the field's direction at grid vertex (xi, zi); (0, 0) outside
    // the field or without one.
    glm::vec2 fieldDirection(i64 xi, i64 zi) const;
    // Simulation thread: the field's way where an enemy stands at `local` (x and z from
    // the world origin), blended between the vertices around it; (0, 0) without a field.
    glm::vec2 fieldWay(glm::vec2 local) const;
    // Simulation thread: the field's distance at grid vertex (xi, zi); unreached
    // outside the field or without one.
    f32 fieldDistance(i64 xi, i64 zi) const;
    // Simulation thread: how often the field was reset (0 without one).
    u32 fieldResets() const;

    // What buildings tell the navigation field (any thread); dropped without a field.
    void queueCellValues(const glm::ivec3& gridPos, const glm::ivec3& gridSize, f32 value) override;
    void queueFixedCosts(const glm::ivec3& gridPos, const glm::ivec3& gridSize, f32 cost) override;

    // Main thread: the terrain cell under the cursor for a footprint of w x h cells
    // centred on it, {x, highest step, z}; false when the cursor is outside the window,
    // the ray meets no terrain or the footprint leaves the grid.
    bool cursorGridCell(i32 w, i32 h, glm::ivec3& cell) const;

    // Main thread, every frame after the culling grid is reset: both kinds' bounds.
    void updateAllBounds(Simulation::RenderState view);
    // Main thread, inside the main pass: both kinds with `pipeline` and sceneSet over
    // `extent`.
    void drawEnemies(CommandBuffer* cmd, VkExtent2D extent, Simulation::RenderState view);
    // Inside one shadow cascade: both kinds with `shadowPipeline` and shadowSet, the
    // viewport over the whole map (`mapExtent`), the scissor over the cascade's area and
    // the casters' depth bias.
    void drawShadowCasters(CommandBuffer* cmd, VkExtent2D mapExtent, Simulation::RenderState view);
    // Main thread, in the interface frame: both kinds' health bars, seen by the game
    // camera on a window of `viewport` pixels.
    void drawHealthBars(glm::ivec2 viewport, Simulation::RenderState view);
};

#pragma once

#include "Engine/Physics/Simulation.h"
#include "Engine/Types.h"
#include "Game/Buildings/BuildingConfig.h"
#include "Game/Enemies/EnemyRules.h"

#include <glm/glm.hpp>

#include <memory>
#include <mutex>
#include <vector>

class Camera;
class CommandBuffer;
class CullingGrid;
class EnemyInstance;
class EnemyManager;
class Mesh;
class btCapsuleShape;

// The enemy kinds by their index in `enemyTypes`.
enum EnemyTypeIndex : u32 {
    EnemyTypeBase = 0,
    EnemyTypeHeavy = 1,
    EnemyTypeCount = 2,
};

// One enemy kind (normal or heavy): its numbers, the capsule and box all its enemies
// share, and the list of its living enemies. Made once at start-up and kept for the
// life of the process.
//
// The list changes only on the game-logic thread (spawn, destroy) and in the world's
// teardown once that thread has stopped, always under `mutex`; the main thread's walks
// (bounds, draws, health bars) hold the mutex, the logic thread walks it by index
// without it.
class Enemy {
public:
    std::vector<std::shared_ptr<EnemyInstance>> instances;
    u32 typeIndex = 0;
    LogoIndex logoIndex;
    f32 width = 0.0f;
    f32 height = 0.0f;
    i32 maxHealth = 0;
    std::mutex mutex;
    btCapsuleShape* shape = nullptr; // radius width/2, cylinder height - width
    Mesh* mesh = nullptr;            // a box width x height x width; made by EntityTypes
    const EnemyKindRules& rules;

    // The kind's numbers and shape; it takes its place in `enemyTypes`.
    explicit Enemy(const EnemyKindRules& rules);
    virtual ~Enemy();
    Enemy(const Enemy&) = delete;
    Enemy& operator=(const Enemy&) = delete;

    // A new enemy of this kind at `position`, not yet spawned (counted alive).
    virtual std::unique_ptr<EnemyInstance> createInstance(const glm::vec3& position) = 0;

    // Main thread, inside a pass whose culling result the cells hold: one instanced
    // draw of every enemy of the kind that the pass sees, with the pipeline and set 0
    // the caller bound. `view` is the physics state the renderers blend.
    virtual void drawAll(CommandBuffer& cmd, EnemyManager& manager, Simulation::RenderState view);
    // Main thread: a bar over every damaged enemy near `camera`, into the interface's
    // background draw list.
    virtual void drawHealthBars(const Camera& camera, glm::ivec2 viewport, Simulation::RenderState view);
    // Main thread, every frame after the culling grid is reset: each enemy grows the
    // cell it stands in.
    virtual void updateAllBounds(CullingGrid& grid, Simulation::RenderState view);

    // The model matrices of the enemies the current pass sees, in list order, at most
    // `capacity` of them; their count. The caller holds `mutex`.
    u32 writeMatrices(glm::mat4* out, u32 capacity, Simulation::RenderState view);
};

// By EnemyTypeIndex: normal, heavy.
extern Enemy* enemyTypes[EnemyTypeCount];

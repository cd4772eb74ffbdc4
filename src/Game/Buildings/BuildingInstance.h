#pragma once

#include "Engine/Types.h"
#include "Game/Buildings/Building.h"

#include <glm/glm.hpp>

#include <atomic>
#include <memory>
#include <vector>

class BoundingAABB;
class BuildingManager;
class CommandBuffer;
class PhysicsObject;
class btRigidBody;

// Instances made and not yet deleted, of every building kind; the world's teardown
// waits for it to reach 0.
extern std::atomic<i32> liveBuildingCount;

// A placed building: made by its kind (createInstance), queued by the building manager
// (which occupies its footprint at once), spawned on the game-logic thread's next tick
// (bodies, navigation goals or costs, the kind's list), destroyed exactly once, and
// deleted when its last owner lets go (the list entry, its physics object and
// reference, a selection).
//
// Threads: spawn and destroy run only on the game-logic thread, or in the world's
// teardown once that thread has stopped. Every other thread only marks a building:
// enemies lower its health with applyDamage, a sale sets destroyPending; the next logic
// tick destroys it, paused or not. destroy claims the instance with an atomic exchange
// of `destroyed`, so it runs once whoever calls it.
class BuildingInstance : public std::enable_shared_from_this<BuildingInstance> {
public:
    u32 typeIndex = 0;
    // Index in the kind's instance list; changed under the kind's mutex by spawn and by
    // the removal of this or another instance.
    i32 listIndex = 0;
    glm::ivec3 gridPos{0}; // {cell x, step, cell z} of the footprint's corner
    std::atomic<u32> level{0};
    std::atomic<i32> health{0}; // 0 to the level's maxHealth
    std::atomic<bool> destroyed{false};
    std::atomic<bool> destroyPending{false};
    // Set by a tool preview that draws the building itself: its next draw is skipped.
    // Main thread only.
    bool skipNextDraw = false;
    PhysicsObject* physicsObject = nullptr; // in the engine world; null for the portal
    btRigidBody* staticBody = nullptr;      // in the query world; owned
    BoundingAABB* cullCell = nullptr;       // the culling cell of the last updateBounds
    Building* kind = nullptr;
    BuildingManager* manager = nullptr;     // set when queued

    // Level 0 at full health; counted in liveBuildingCount.
    BuildingInstance(Building* kind, const glm::ivec3& gridPos);
    virtual ~BuildingInstance();
    BuildingInstance(const BuildingInstance&) = delete;
    BuildingInstance& operator=(const BuildingInstance&) = delete;

    // Game-logic thread: bodies, navigation input, the kind's list.
    virtual void spawn() = 0;
    // Game-logic thread, gameSpeed times a tick: a building marked for destruction goes.
    virtual void update();
    // Game-logic thread (or the teardown): takes the building out of the game once.
    virtual void destroy();
    // The next level at full health, unless at the last one. The caller pays.
    virtual void upgrade();
    virtual std::vector<RenderObject> getRenderObjects() = 0;
    // A bar while damaged and within 50 units of `cameraPosition`: its world point and
    // the share of health left.
    virtual bool getHealthBar(const glm::vec3& cameraPosition, glm::vec3& point, f32& fraction);
    // Main thread: grows the culling cell of the footprint's centre.
    virtual void updateBounds();
    // The logic thread's snapshot of moving parts into slot 0..2, and the main thread's
    // blend of the slots it draws; buildings that never move keep none.
    virtual void storeSnapshot(u32 slot) = 0;
    virtual void interpolateSnapshot(u32 frame);
    virtual void recordShadowDraw(CommandBuffer& cmd, u32 firstSet, u32 frame) = 0;
    virtual void recordDraw(CommandBuffer& cmd, u32 firstSet, u32 frame) = 0;

    // Any thread (an enemy's contact): lowers health by `damage`, never below 0. The hit
    // that brings it to 0 marks the building for destruction; true for that hit only.
    bool applyDamage(i32 damage);
    // Any thread (a sale): the next logic tick destroys the building. True for the one
    // call that marked it (a sale pays only then).
    bool requestDestroy();
    // Destroyed or marked for it: no sale, repair or upgrade any more.
    bool going() const;

    // The footprint's centre on the ground, in world space.
    glm::vec3 footprintCentre() const;
    i32 maxHealth() const;

protected:
    // True for the one caller that takes the instance out of the game.
    bool claimDestroy();
    // What every kind's destroy does once claimed: bodies out of both worlds, the
    // footprint's cells and navigation goals given back, out of the kind's list with
    // its matrix slots returned.
    void removeFromGame();
    // The static body: a box of the kind's shape centred at `bodyCentre` in the query
    // world and, through the registry, in the engine world; then into the kind's list.
    void spawnWithBody(const glm::vec3& bodyCentre);
    // Into the kind's list only (the portal).
    void spawnWithoutBody();
    // Hands the model-matrix slots back for release on the main thread. Called under
    // the kind's mutex, where the draws write them.
    virtual void releaseMatrixSlots() = 0;
};

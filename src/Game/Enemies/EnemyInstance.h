#pragma once

#include "Engine/Physics/Simulation.h"
#include "Engine/Types.h"
#include "Game/Enemies/AtomicVec3.h"
#include "Game/Enemies/EnemySteering.h"

#include <glm/glm.hpp>

#include <atomic>
#include <memory>

class BoundingAABB;
class CullingGrid;
class Enemy;
class EnemyManager;
class PhysicsObject;
class PhysicsReference;

// Enemies made and not yet deleted, spawned or still queued; a wave ends only when it
// is 0, and the world's teardown waits for it.
extern std::atomic<i32> aliveEnemyCount;

// One enemy: made by its kind (counted in aliveEnemyCount), queued with the enemy
// manager, spawned on the game-logic thread (a capsule body in the engine physics
// world, its kind's list, a bucket), steered by the simulation thread before every
// physics step, destroyed exactly once, and deleted when its last owner lets go (the
// list and bucket entries, its physics object and reference).
//
// Threads: spawn, update, bucket moves and destroy run only on the game-logic thread,
// or in the world's teardown once that thread has stopped. Other threads only mark an
// enemy: a projectile lowers its health with applyDamage (the hit that reaches 0 marks
// it), steering marks it off the world; its next update destroys it and pays the
// reward. destroy claims the enemy with an atomic exchange of `destroyed`, so the
// reward is paid once whoever calls it. Destroy unlists the enemy (bucket, then the
// kind's list, under the kind's mutex) before it hands its body back, so no walker of
// the list meets an enemy whose body is gone.
class EnemyInstance : public std::enable_shared_from_this<EnemyInstance> {
public:
    u32 typeIndex = 0;
    i32 listIndex = 0;   // in the kind's instances; changed under the kind's mutex
    i32 bucketIndex = -1; // the bucket that holds it, -1 for none (logic thread)
    u32 bucketSlot = 0;   // its place in that bucket (logic thread)
    PhysicsObject* physicsObject = nullptr; // made by spawn; the simulation thread's once handed back
    std::atomic<bool> destroyed{false};
    std::atomic<i32> health{0};
    // Copied from the body before every physics step (simulation thread); read by the
    // logic thread (buckets, aiming, blasts) and the main thread (health bars).
    AtomicVec3 position;
    AtomicVec3 velocity;
    // Force for the next physics step: blasts add (logic thread), the steering takes
    // it (simulation thread).
    AtomicVec3 pendingForce;
    // Stun ticks left: blasts add and updates wear it off (logic thread); while above 0
    // the steering brakes instead of walking.
    std::atomic<f32> stun{0.0f};
    BoundingAABB* cullingCell = nullptr; // main thread: the culling cell of this frame
    std::atomic<bool> outOfWorld{false}; // set by the steering
    std::atomic<bool> killPending{false}; // set by the damage that brings health to 0
    glm::vec2 lateralOffset{0.0f};       // x and z: a fixed bias of the walk, set by spawn
    Enemy* kind = nullptr;
    // Simulation thread only once spawned: ticks until the enemy can hit again.
    i32 attackCooldown = 0;
    // Simulation thread only: how it gets on along the field (the climbing help).
    ClimbWatch climb;
    EnemyManager* manager = nullptr; // set when queued

    // At `position` with its kind's full health; counted in aliveEnemyCount.
    EnemyInstance(Enemy* kind, const glm::vec3& position);
    virtual ~EnemyInstance();
    EnemyInstance(const EnemyInstance&) = delete;
    EnemyInstance& operator=(const EnemyInstance&) = delete;

    // Game-logic thread: the body (with the steering as its pre-step hook and the hit
    // as its contact callback) and the kind's list. `self` is this enemy's owner from
    // now on; the physics object keeps a copy.
    virtual void spawn(const std::shared_ptr<EnemyInstance>& self);
    // Game-logic thread, once per game-speed step: wears the stun off, follows the
    // enemy into its bucket, destroys it when it was killed or left the world.
    virtual void update();
    // Game-logic thread (or the teardown): takes the enemy out of the game once and
    // pays its kill reward, except in the teardown.
    virtual void destroy();
    // Enemies draw from their bodies' transforms: nothing to keep per tick.
    virtual void storeSnapshot(u32 slot);

    // Any thread: lowers health by `damage`, never below 0. The damage that brings it
    // to 0 marks the enemy for destruction at its next update; true for that one only.
    bool applyDamage(i32 damage);
    // Any thread: a push applied at the next physics step.
    void addForce(const glm::vec3& force);
    // Still in the game and not yet killed.
    bool alive() const;

    // Logic thread: moves the enemy into the bucket of its position (none outside).
    void updateBucket();

    // Main thread (the kind's walks): the body's blended transform.
    glm::mat4 blendedTransform(Simulation::RenderState view) const;
    void updateBounds(CullingGrid& grid, Simulation::RenderState view);
    // The model matrix when the current pass sees the enemy's culling cell.
    bool writeMatrix(glm::mat4& out, Simulation::RenderState view) const;
    // A bar while damaged and within 50 units of `cameraPosition`: its point above
    // the body and the share of health left.
    bool getHealthBar(const glm::vec3& cameraPosition, Simulation::RenderState view, glm::vec3& point,
                      f32& fraction) const;

    // Simulation thread, before every step (the pre-step hook of `object`, its body).
    void steer(PhysicsObject& object);
    // Simulation thread: contact with a building (the other body's reference).
    void hit(PhysicsReference* other);
};

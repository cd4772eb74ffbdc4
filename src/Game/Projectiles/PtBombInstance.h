#pragma once

#include "Game/Projectiles/Projectile.h"

#include <glm/glm.hpp>

// A bomb: bursts where it first touches an enemy or the ground, or where its fuse
// runs out; the burst damages, pushes and stuns every enemy within its blast radius
// and leaves a ring of smoke.
//
// The simulation thread only records the burst: it writes `explosionPoint` once and
// then publishes `exploded` (release); the logic thread reads the flag (acquire) and
// then the point. A fuse that runs out asks the simulation thread, through its pre-step
// hook, to record the body's position the same way; the burst follows at the next tick.
class PtBombInstance : public ProjectileInstance {
public:
    std::atomic<bool> exploded{false};
    i32 fuse = 0;
    i32 damage = 0;
    f32 blastRadius = 0.0f;
    glm::vec3 explosionPoint{0.0f}; // written once by the simulation thread, before `exploded`
    std::atomic<bool> fuseOut{false};

    PtBombInstance(Projectile* kind, i32 damage, f32 blastRadius);
    // Game-logic thread: a bomb at `position` flying at `velocity` (units/s), in the
    // bomb kind's list and on its way to the physics thread.
    static std::shared_ptr<PtBombInstance> create(const glm::vec3& position, const glm::vec3& velocity, i32 damage,
                                                  f32 blastRadius, Projectile* kind = nullptr);

    // Counts the fuse down; once the burst is recorded: the blast, the smoke ring and
    // removal.
    void tick() override;
    // Simulation thread: contact with an enemy or the terrain.
    void onContact(PhysicsReference* other);
    // Simulation thread, before every step: records the burst once the fuse ran out.
    void beforeStep();
    // Game-logic thread: damage, push and stun of every enemy within the radius of
    // `centre`, then 50 smoke puffs around it.
    void burst(const glm::vec3& centre);

private:
    // Simulation thread: the point of the burst, once.
    void recordBurst();
};

#pragma once

#include "Game/Projectiles/Projectile.h"

// A cannonball: damages the first enemy it touches, then flies on as a plain body
// until its lifetime ends.
//
// Its contact callback (simulation thread) only lowers the enemy's health through the
// enemy's atomic applyDamage, which marks a killed enemy for its own update on the
// logic thread to destroy and pay for. The first contact claims the ball with an
// atomic flag, so it hits at most one enemy; the reference stays attached (freeing it
// inside its own callback would pull it from under the contact dispatch) and later
// contacts return at once.
class PtCannonBallInstance : public ProjectileInstance {
public:
    i32 lifetimeTicks = 0;
    i32 damage = 0;
    std::atomic<bool> spent{false}; // the one hit has been dealt

    PtCannonBallInstance(Projectile* kind, i32 damage, f32 lifetimeSeconds);
    // Game-logic thread: a ball at `position` flying at `velocity` (units/s), in the
    // cannonball kind's list and on its way to the physics thread.
    static std::shared_ptr<PtCannonBallInstance> create(const glm::vec3& position, const glm::vec3& velocity,
                                                        i32 damage, f32 lifetimeSeconds, Projectile* kind = nullptr);

    // Counts the lifetime down; removed when it runs out (a 5 s ball on its 300th tick).
    void tick() override;
    // Simulation thread: contact with an enemy (the other body's reference).
    void onContact(PhysicsReference* other);
};

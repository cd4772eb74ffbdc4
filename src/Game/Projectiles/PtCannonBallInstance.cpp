#include "Game/Projectiles/PtCannonBallInstance.h"

#include "Game/Enemies/EnemyInstance.h"
#include "Game/Projectiles/ProjectileRules.h"

PtCannonBallInstance::PtCannonBallInstance(Projectile* kind_, i32 damage_, f32 lifetimeSeconds)
    : ProjectileInstance(kind_),
      lifetimeTicks(static_cast<i32>(lifetimeSeconds / ProjectileRules::TickSeconds)),
      damage(damage_)
{
}

std::shared_ptr<PtCannonBallInstance> PtCannonBallInstance::create(const glm::vec3& position,
                                                                   const glm::vec3& velocity, i32 damage,
                                                                   f32 lifetimeSeconds, Projectile* kind)
{
    Projectile* owner = kind != nullptr ? kind : projectileTypes[ProjectileRules::CannonBallType];
    auto ball = std::make_shared<PtCannonBallInstance>(owner, damage, lifetimeSeconds);
    PtCannonBallInstance* raw = ball.get();
    // The callback lives in the reference, which the physics object (holding the
    // ball) owns: the raw pointer stays valid for as long as it can be called.
    ball->launch(position, velocity, ProjectileRules::CannonBallContactMask,
                 [raw](PhysicsReference* other) { raw->onContact(other); });
    return ball;
}

void PtCannonBallInstance::tick()
{
    lifetimeTicks--;
    if (lifetimeTicks < 0) remove();
}

void PtCannonBallInstance::onContact(PhysicsReference* other)
{
    if (other == nullptr || other->owner == nullptr) return;
    if (spent.exchange(true)) return;
    static_cast<EnemyInstance*>(other->owner)->applyDamage(damage);
}

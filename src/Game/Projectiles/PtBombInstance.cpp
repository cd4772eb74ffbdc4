#include "Game/Projectiles/PtBombInstance.h"

#include "Engine/Camera/Random.h"
#include "Engine/Engine.h"
#include "Engine/Physics/PhysicsObject.h"
#include "Game/Enemies/Enemy.h"
#include "Game/Enemies/EnemyInstance.h"
#include "Game/Projectiles/Blast.h"
#include "Game/Projectiles/ProjectileRules.h"

#include <btBulletDynamicsCommon.h>

PtBombInstance::PtBombInstance(Projectile* kind_, i32 damage_, f32 blastRadius_)
    : ProjectileInstance(kind_), fuse(ProjectileRules::BombFuseTicks), damage(damage_), blastRadius(blastRadius_)
{
}

std::shared_ptr<PtBombInstance> PtBombInstance::create(const glm::vec3& position, const glm::vec3& velocity,
                                                       i32 damage, f32 blastRadius, Projectile* kind)
{
    Projectile* owner = kind != nullptr ? kind : projectileTypes[ProjectileRules::BombType];
    auto bomb = std::make_shared<PtBombInstance>(owner, damage, blastRadius);
    PtBombInstance* raw = bomb.get();
    // Hook and callback live in the physics object, which holds the bomb.
    bomb->launch(position, velocity, ProjectileRules::BombContactMask,
                 [raw](PhysicsReference* other) { raw->onContact(other); }, [raw] { raw->beforeStep(); });
    return bomb;
}

void PtBombInstance::recordBurst()
{
    if (exploded.load(std::memory_order_relaxed)) return;
    const btVector3& origin = physicsObject->body->getWorldTransform().getOrigin();
    explosionPoint = glm::vec3(origin.x(), origin.y(), origin.z());
    exploded.store(true, std::memory_order_release);
}

void PtBombInstance::onContact(PhysicsReference*)
{
    recordBurst();
}

void PtBombInstance::beforeStep()
{
    if (fuseOut.load(std::memory_order_acquire)) recordBurst();
}

void PtBombInstance::tick()
{
    if (removed) return;
    fuse--;
    if (!exploded.load(std::memory_order_acquire)) {
        if (fuse < 0) fuseOut.store(true, std::memory_order_release);
        return;
    }
    burst(explosionPoint);
    remove();
}

void PtBombInstance::burst(const glm::vec3& centre)
{
    for (Enemy* enemyKind : enemyTypes) {
        if (enemyKind == nullptr) continue;
        // This thread alone changes the enemy lists.
        for (size_t i = enemyKind->instances.size(); i-- > 0;) {
            EnemyInstance& enemy = *enemyKind->instances[i];
            // An enemy killed by an earlier blast of this tick goes at its next update.
            if (!enemy.alive()) continue;
            const BlastEffect effect = blastEffect(enemy.position.load(), centre, blastRadius, damage, enemy.stun.load());
            if (!effect.hits) continue;
            enemy.addForce(effect.push);
            enemy.stun.store(enemy.stun.load() + effect.stunAdded);
            enemy.applyDamage(effect.damage);
        }
    }
    Random& random = *Engine::random;
    for (i32 i = 0; i < ProjectileRules::SmokeRingPuffs; i++) {
        const f32 u1 = random.unitFloat();
        const f32 u2 = random.unitFloat();
        PcSmokeInstance::create(smokeRingPuff(centre, i, u1, u2));
    }
}

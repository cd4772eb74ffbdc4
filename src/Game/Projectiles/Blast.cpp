#include "Game/Projectiles/Blast.h"

#include "Game/Projectiles/ProjectileRules.h"

#include <algorithm>
#include <cmath>

BlastEffect blastEffect(const glm::vec3& enemyPosition, const glm::vec3& centre, f32 radius, i32 damage, f32 stun)
{
    using namespace ProjectileRules;
    BlastEffect effect;
    const glm::vec3 away = enemyPosition - centre;
    const f32 distance = glm::length(away);
    const f32 share = 1.0f - distance / radius;
    const f32 dealt = static_cast<f32>(damage) * share;
    // Written so that NaN (a zero radius, a position gone wrong) fails too.
    if (!(dealt >= MinBlastDamage) || !std::isfinite(dealt)) return effect;
    const glm::vec3 direction = distance >= MinBlastDistance ? away / distance : glm::vec3(0.0f, 1.0f, 0.0f);
    effect.hits = true;
    effect.push = direction * share * BlastForce;
    effect.stunAdded = StunBase / (std::max(stun, 0.0f) + StunBase) * StunAtCentre * share;
    effect.damage = static_cast<i32>(dealt);
    return effect;
}

SmokePuff smokeRingPuff(const glm::vec3& centre, i32 index, f32 u1, f32 u2)
{
    using namespace ProjectileRules;
    constexpr f32 FullTurn = 6.2831855f;
    const f32 angle = FullTurn * (static_cast<f32>(index) / static_cast<f32>(SmokeRingPuffs) +
                                  SmokeAngleJitter * (2.0f * u1 - 1.0f));
    const f32 speed = SmokeSpeedBase + SmokeSpeedRange * u2;
    const f32 c = std::cos(angle);
    const f32 s = std::sin(angle);
    SmokePuff puff;
    puff.position = centre + glm::vec3(c, 0.0f, s);
    puff.velocity = speed * glm::vec3(SmokeOutward * c, SmokeLift, SmokeOutward * s);
    puff.spin = SmokeSpin;
    puff.size = SmokeSize;
    puff.opacity = SmokeOpacity;
    puff.drag = SmokeDrag;
    puff.growth = SmokeGrowth;
    puff.fade = SmokeFade;
    puff.spinDamping = SmokeSpinDamping;
    puff.axis = glm::vec3(s, 0.0f, -c);
    return puff;
}

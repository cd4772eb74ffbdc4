#include "Game/Towers/TurretAim.h"

#include "Engine/Camera/Random.h"
#include "Game/Enemies/EnemyInstance.h"
#include "Game/Session/BoundedDraw.h"
#include "Game/Towers/AimRules.h"
#include "Game/Towers/Ballistics.h"
#include "Game/Towers/ReachGrid.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr f32 Pi = 3.14159265358979f;
constexpr f32 TwoPi = 6.28318530717959f;

// The cell under a world position: truncated grid coordinates.
bool cellIsReachable(const ReachGrid& reach, const glm::vec3& position)
{
    const f32 x = position.x - reach.terrain.origin.x;
    const f32 z = position.z - reach.terrain.origin.z;
    // Far off the grid the truncation would not fit an i32.
    if (!(std::abs(x) < 1e6f) || !(std::abs(z) < 1e6f)) return false;
    return reach.isReachable(static_cast<i32>(x), static_cast<i32>(z));
}

glm::vec3 leadVelocity(const glm::vec3& velocity)
{
    return {velocity.x, velocity.y * AimRules::VerticalVelocityShare, velocity.z};
}

} // namespace

f32 normalizedAngle(f32 angle)
{
    if (!std::isfinite(angle)) return 0.0f;
    if (std::abs(angle) > 4.0f * TwoPi) angle = std::fmod(angle, TwoPi);
    while (angle < -Pi) angle += TwoPi;
    while (angle >= Pi) angle -= TwoPi;
    return angle;
}

f32 turnTowards(f32 current, f32 desired, f32 maxStep)
{
    return current + std::clamp(normalizedAngle(desired - current), -maxStep, maxStep);
}

glm::vec3 aimDirection(f32 yaw, f32 pitch)
{
    return {std::cos(pitch) * std::cos(yaw), std::sin(pitch), std::sin(yaw) * std::cos(pitch)};
}

TurretAim::TurretAim(ReachGrid& reach_, EnemyBucketView enemies_, Random* random_)
    : reach(&reach_), enemies(enemies_), random(random_)
{
    enemyBuckets = bucketsInReach(reach_.position, reach_.radius, enemies.width);
    settings.shootFlat = true;
    sinceShot = 0;
    idlePause = AimRules::IdlePauseStart;
    idleTurnLeft = 0;
}

TurretAim::~TurretAim()
{
    releaseTarget();
}

i32 TurretAim::arcSign() const
{
    return settings.shootFlat ? AimRules::FlatArc : AimRules::HighArc;
}

void TurretAim::releaseTarget()
{
    target.reset();
}

void TurretAim::acquireTarget(const glm::vec3& muzzle)
{
    if (enemies.buckets == nullptr) return;
    const std::vector<std::vector<std::shared_ptr<EnemyInstance>>>& grid = *enemies.buckets;
    const std::shared_ptr<EnemyInstance>* bestEntry = nullptr;
    f64 bestDistance = AimRules::NoTargetDistance;
    const i32 sign = arcSign();
    for (u32 index : enemyBuckets) {
        if (index >= grid.size()) continue;
        for (const std::shared_ptr<EnemyInstance>& entry : grid[index]) {
            const EnemyInstance& enemy = *entry;
            // An enemy already killed (its update has not taken it away yet) is no target.
            if (!enemy.alive()) continue;
            const Ballistics::LeadResult lead = Ballistics::leadTarget(
                muzzle, enemy.position.load(), leadVelocity(enemy.velocity.load()), settings.projSpeed,
                reach->gravity, sign);
            if (!lead.valid || !cellIsReachable(*reach, lead.point)) continue;
            const f32 needed = Ballistics::launchAngle(lead.point - muzzle, settings.projSpeed, sign, reach->gravity);
            if (!Ballistics::hasSolution(needed) || needed < settings.verticalAimRestriction.x ||
                needed > settings.verticalAimRestriction.y) {
                continue;
            }
            const f64 distance = glm::length(lead.point - muzzle);
            if (distance < bestDistance) {
                bestDistance = distance;
                bestEntry = &entry;
            }
        }
    }
    if (bestEntry != nullptr) target = *bestEntry;
}

void TurretAim::aim(const glm::vec3& muzzle)
{
    const i32 sign = arcSign();
    const Ballistics::LeadResult lead = Ballistics::leadTarget(
        muzzle, target->position.load(), leadVelocity(target->velocity.load()), settings.projSpeed, reach->gravity, sign);
    if (!lead.valid) {
        releaseTarget();
        return;
    }
    const f32 needed = Ballistics::launchAngle(lead.point - muzzle, settings.projSpeed, sign, reach->gravity);
    // A barrel that cannot reach the pitch would hold the target forever without a shot.
    if (!Ballistics::hasSolution(needed) || needed < settings.verticalAimRestriction.x ||
        needed > settings.verticalAimRestriction.y) {
        releaseTarget();
        return;
    }
    desiredYaw = std::atan2(lead.point.z - muzzle.z, lead.point.x - muzzle.x);
    desiredPitch = needed;
    yaw = turnTowards(yaw, desiredYaw, settings.aimSpeed);
    pitch = turnTowards(pitch, desiredPitch, settings.aimSpeed);
    idlePause = AimRules::IdlePauseStart + static_cast<i32>(boundedDraw(random->engine, AimRules::AimIdlePauseExtra));
}

void TurretAim::update(const glm::vec3& muzzle)
{
    using namespace AimRules;
    if (sinceShot < shotInterval.load(std::memory_order_relaxed)) sinceShot++;

    if (target != nullptr && (!target->alive() || !cellIsReachable(*reach, target->position.load()))) {
        releaseTarget();
    }
    if (target == nullptr) acquireTarget(muzzle);
    if (target != nullptr) aim(muzzle);

    if (target == nullptr) {
        if (idlePause >= 1) {
            idlePause--;
            if (idlePause <= 0) {
                idleTurnLeft = IdleTurnBase + static_cast<i32>(boundedDraw(random->engine, IdleTurnExtra));
                idleTurnDir = (random->engine() & 0x80000000u) != 0 ? -1 : 1;
            }
        } else if (idleTurnLeft >= 1) {
            idleTurnLeft--;
            yaw += static_cast<f32>(idleTurnDir) * settings.idleSpeed;
            pitch = pitch * IdlePitchDecay + (settings.shootFlat ? 0.0f : IdleLobPitchLift);
            if (idleTurnLeft <= 0) {
                idlePause = IdleRestBase + static_cast<i32>(boundedDraw(random->engine, IdleRestExtra));
            }
        }
    }

    yaw = (yaw + Pi) - std::floor((yaw + Pi) / TwoPi) * TwoPi - Pi;
    if (!std::isfinite(yaw)) yaw = 0.0f;
    pitch = std::min(settings.verticalAimRestriction.y, std::max(settings.verticalAimRestriction.x, pitch));
}

bool TurretAim::readyToFire(glm::vec3& direction)
{
    if (sinceShot < shotInterval.load(std::memory_order_relaxed) || target == nullptr) return false;
    const glm::vec3 current = aimDirection(yaw, pitch);
    const glm::vec3 wanted = aimDirection(desiredYaw, desiredPitch);
    const f64 agreement = static_cast<f64>(current.x) * wanted.x + static_cast<f64>(current.y) * wanted.y +
                          static_cast<f64>(current.z) * wanted.z;
    // Written so that NaN does not fire.
    if (!(agreement >= AimRules::FireCone)) return false;
    sinceShot = 0;
    direction = wanted;
    return true;
}

#include "TargetEnemies.h"

#include "Engine/Camera/Random.h"
#include "Game/Towers/AimRules.h"
#include "Game/Towers/Ballistics.h"
#include "Game/Towers/ReachGrid.h"
#include "Game/Towers/TurretAim.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr f32 Pi = 3.14159265358979f;

// A turret at the centre of a flat grid of 1025 points (origin -512), its muzzle 1
// above the ground, every cell within its radius reachable (no terrain in the way).
struct Turret {
    std::vector<i32> steps = std::vector<i32>(1025 * 1025, 0);
    ReachGrid reach;
    TestEnemies enemies;
    Random random{11};
    TurretAim aim;
    glm::vec3 muzzle{0.0f, 1.0f, 0.0f};

    explicit Turret(const AimSettings& settings, i32 interval = 40)
        : reach({512.0f, 512.0f}, settings.radius, AimRules::Gravity, ReachTerrain{steps.data(), 1025, {-512, 0, -512}, {}}),
          aim(reach, enemies.view(), &random)
    {
        aim.settings = settings;
        aim.shotInterval = interval;
        reach.rebuild(muzzle, settings.projSpeed, settings.shootFlat);
    }
};

AimSettings cannon()
{
    return {true, 30.0f, 0.01f, 0.06f, 50.0f, 40, {-0.6f, 0.9f}};
}

AimSettings mortar()
{
    return {false, 45.0f, 0.006f, 0.035f, 45.0f, 150, {0.7f, 1.45f}};
}

glm::vec3 around(f32 yaw, f32 distance, f32 height = 1.0f)
{
    return {distance * std::cos(yaw), height, distance * std::sin(yaw)};
}

} // namespace

// Aiming at an enemy behind the seam: the turret turns by at most aimSpeed per tick in
// yaw and pitch, crosses +-pi the short way, stays within [-pi, pi) and settles on the
// solution; the fire cone keeps the shot back until it does.
TEST(TurretAim, TurnsAtMostAimSpeedAcrossTheSeamTheShortWay)
{
    // From 3.0 to -3.0 the short way is up through pi (0.283 rad), not down (5.99).
    EXPECT_NEAR(turnTowards(3.0f, -3.0f, 0.06f), 3.06f, 1e-6f);
    EXPECT_NEAR(normalizedAngle(Pi), -Pi, 1e-6f) << "[-pi, pi)";
    // Any input ends in range (a loop of whole turns would not end on 1e9).
    EXPECT_EQ(normalizedAngle(NAN), 0.0f);
    EXPECT_LT(std::abs(normalizedAngle(1e9f)), Pi + 1e-5f);

    Turret turret(cannon());
    turret.aim.yaw = 3.0f;
    turret.aim.sinceShot = 40;
    turret.enemies.add(around(-3.0f, 20.0f));
    f32 before = turret.aim.yaw;
    f32 pitchBefore = turret.aim.pitch;
    glm::vec3 direction;
    bool fired = false;
    for (int tick = 0; tick < 40 && !fired; tick++) {
        turret.aim.update(turret.muzzle);
        ASSERT_NE(turret.aim.target, nullptr);
        const f32 turned = normalizedAngle(turret.aim.yaw - before);
        EXPECT_GE(turned, 0.0f) << "the short way is up through pi";
        EXPECT_LE(turned, 0.06f + 1e-5f);
        EXPECT_LE(std::abs(turret.aim.pitch - pitchBefore), 0.06f + 1e-5f);
        EXPECT_GE(turret.aim.yaw, -Pi);
        EXPECT_LT(turret.aim.yaw, Pi);
        before = turret.aim.yaw;
        pitchBefore = turret.aim.pitch;
        const glm::vec3 barrel = aimDirection(turret.aim.yaw, turret.aim.pitch);
        const glm::vec3 wanted = aimDirection(turret.aim.desiredYaw, turret.aim.desiredPitch);
        const bool inCone = glm::dot(barrel, wanted) >= 0.9975f;
        fired = turret.aim.readyToFire(direction);
        EXPECT_EQ(fired, inCone) << "tick " << tick;
    }
    ASSERT_TRUE(fired);
    EXPECT_NEAR(turret.aim.desiredYaw, -3.0f, 1e-4f);
    EXPECT_EQ(turret.aim.sinceShot, 0);
}

// No shot before the interval has passed since the last one, none without a target,
// and the shot's direction is the solution's even while the barrel lags behind it.
TEST(TurretAim, FiresAlongTheSolutionOnlyAfterTheInterval)
{
    Turret turret(cannon());
    glm::vec3 direction;
    EXPECT_FALSE(turret.aim.readyToFire(direction)) << "nothing held";
    turret.enemies.add(around(0.3f, 18.0f), {0.0f, 0.0f, 2.0f});
    turret.aim.yaw = 0.3f;
    turret.aim.pitch = 0.1f;
    turret.aim.update(turret.muzzle);
    ASSERT_NE(turret.aim.target, nullptr);
    EXPECT_EQ(turret.aim.sinceShot, 1);
    EXPECT_FALSE(turret.aim.readyToFire(direction)) << "1 of 40 ticks";
    for (int tick = 0; tick < 38; tick++) turret.aim.update(turret.muzzle);
    EXPECT_FALSE(turret.aim.readyToFire(direction)) << "39 of 40 ticks";
    turret.aim.update(turret.muzzle);
    // The barrel a little off the solution, within the cone.
    turret.aim.yaw = turret.aim.desiredYaw + 0.03f;
    turret.aim.pitch = turret.aim.desiredPitch;
    ASSERT_TRUE(turret.aim.readyToFire(direction));
    const glm::vec3 wanted = aimDirection(turret.aim.desiredYaw, turret.aim.desiredPitch);
    EXPECT_NEAR(direction.x, wanted.x, 1e-6f);
    EXPECT_NEAR(direction.z, wanted.z, 1e-6f);
    EXPECT_NEAR(glm::length(direction), 1.0f, 1e-5f);
    EXPECT_FALSE(turret.aim.readyToFire(direction)) << "the clock restarted";

    // Beyond acos(0.9975) (about 4 degrees) nothing fires, whatever the clock says.
    turret.aim.sinceShot = 40;
    turret.aim.yaw = turret.aim.desiredYaw + 0.08f;
    EXPECT_FALSE(turret.aim.readyToFire(direction));
    turret.aim.yaw = NAN;
    EXPECT_FALSE(turret.aim.readyToFire(direction)) << "NaN never fires";
}

// The turret leads an enemy with its vertical velocity halved (it walks on the ground:
// a fall or a bounce does not go on for the whole flight).
TEST(TurretAim, LeadsWithHalfTheVerticalVelocity)
{
    Turret turret(cannon());
    const glm::vec3 position = around(0.4f, 20.0f, 3.0f);
    const glm::vec3 velocity(1.5f, -6.0f, 2.0f);
    turret.enemies.add(position, velocity);
    auto solutionFor = [&](const glm::vec3& lead) {
        const Ballistics::LeadResult meet =
            Ballistics::leadTarget(turret.muzzle, position, lead, 50.0f, AimRules::Gravity, AimRules::FlatArc);
        EXPECT_TRUE(meet.valid);
        const glm::vec3 d = meet.point - turret.muzzle;
        return glm::vec2(std::atan2(d.z, d.x), Ballistics::launchAngle(d, 50.0f, AimRules::FlatArc, AimRules::Gravity));
    };
    const glm::vec2 halved = solutionFor({1.5f, -3.0f, 2.0f});
    const glm::vec2 whole = solutionFor(velocity);
    const glm::vec2 none = solutionFor({1.5f, 0.0f, 2.0f});
    // The three leads differ enough in pitch to tell apart.
    ASSERT_GT(std::abs(halved.y - whole.y), 1e-3f);
    ASSERT_GT(std::abs(halved.y - none.y), 1e-3f);

    turret.aim.update(turret.muzzle);
    ASSERT_NE(turret.aim.target, nullptr);
    EXPECT_NEAR(turret.aim.desiredYaw, halved.x, 1e-5f);
    EXPECT_NEAR(turret.aim.desiredPitch, halved.y, 1e-5f);
}

// The barrel never leaves its pitch limits; an enemy whose solution lies outside them
// is not taken, and a held target whose pitch leaves them (a mortar's target walking
// inside its minimum range) is dropped instead of being held forever without a shot.
TEST(TurretAim, KeepsWithinThePitchLimitsAndDropsATargetThatLeavesThem)
{
    Turret turret(mortar(), 150);
    std::shared_ptr<EnemyInstance> close = turret.enemies.add(around(1.0f, 1.5f));
    turret.aim.update(turret.muzzle);
    EXPECT_EQ(turret.aim.target, nullptr) << "a lob at 1.5 units needs more than 1.45 rad";
    EXPECT_GE(turret.aim.pitch, 0.7f);
    EXPECT_LE(turret.aim.pitch, 1.45f);

    std::shared_ptr<EnemyInstance> walker = turret.enemies.add(around(2.0f, 30.0f));
    turret.aim.update(turret.muzzle);
    ASSERT_EQ(turret.aim.target, walker);
    for (int tick = 0; tick < 200; tick++) {
        turret.aim.update(turret.muzzle);
        EXPECT_GE(turret.aim.pitch, 0.7f);
        EXPECT_LE(turret.aim.pitch, 1.45f);
    }
    turret.enemies.move(walker, around(2.0f, 1.2f));
    turret.aim.update(turret.muzzle);
    EXPECT_EQ(turret.aim.target, nullptr);
    glm::vec3 direction;
    turret.aim.sinceShot = 150;
    EXPECT_FALSE(turret.aim.readyToFire(direction));

    // A cannon that would have to aim below -0.6 (a target far down a cliff).
    Turret low(cannon());
    low.enemies.add(glm::vec3(5.0f, -20.0f, 0.0f));
    low.aim.update(low.muzzle);
    EXPECT_EQ(low.aim.target, nullptr);
}

// The nearest enemy whose meeting point is reachable becomes the target (the first in
// bucket order on a tie); one that died, was killed or left the reachable cells is
// dropped, and another is sought in the same tick.
TEST(TurretAim, TakesTheNearestReachableEnemyAndDropsTheDead)
{
    Turret turret(cannon());
    std::shared_ptr<EnemyInstance> far = turret.enemies.add(around(0.5f, 25.0f));
    std::shared_ptr<EnemyInstance> nearer = turret.enemies.add(around(-2.0f, 12.0f));
    turret.enemies.add(around(1.0f, 45.0f)); // beyond the radius
    turret.aim.update(turret.muzzle);
    EXPECT_EQ(turret.aim.target, nearer);

    nearer->applyDamage(1000);
    turret.aim.update(turret.muzzle);
    EXPECT_EQ(turret.aim.target, far) << "a killed enemy is let go of at once";

    turret.enemies.move(far, around(0.5f, 40.0f));
    turret.aim.update(turret.muzzle);
    EXPECT_EQ(turret.aim.target, nullptr) << "out of the reachable cells";

    // Two at the same distance: the first found in bucket order (column by column).
    std::shared_ptr<EnemyInstance> west = turret.enemies.add({-10.0f, 1.0f, 0.0f});
    std::shared_ptr<EnemyInstance> east = turret.enemies.add({10.0f, 1.0f, 0.0f});
    turret.aim.update(turret.muzzle);
    EXPECT_EQ(turret.aim.target, west);
}

// Without a target the turret rests 60 ticks, then sweeps at idleSpeed for 60 to 180
// ticks in one direction while its barrel settles (near 0 for a flat gun, near 1.3 for
// a lob), then rests 100 to 240 ticks; while aiming the rest is re-armed.
TEST(TurretAim, SweepsIdlyBetweenRests)
{
    Turret turret(mortar(), 150);
    turret.aim.pitch = 0.9f;
    for (int tick = 0; tick < 60; tick++) turret.aim.update(turret.muzzle);
    EXPECT_EQ(turret.aim.yaw, 0.0f) << "resting";
    EXPECT_GE(turret.aim.idleTurnLeft, 60);
    EXPECT_LT(turret.aim.idleTurnLeft, 180);
    const i32 turn = turret.aim.idleTurnLeft;
    const f32 direction = static_cast<f32>(turret.aim.idleTurnDir);
    for (int tick = 0; tick < turn; tick++) turret.aim.update(turret.muzzle);
    EXPECT_NEAR(turret.aim.yaw, normalizedAngle(direction * 0.006f * static_cast<f32>(turn)), 1e-4f);
    EXPECT_GE(turret.aim.idlePause, 100);
    EXPECT_LT(turret.aim.idlePause, 240);
    EXPECT_GT(turret.aim.pitch, 0.9f);
    for (int round = 0; round < 20; round++) {
        for (int tick = 0; tick < 400; tick++) turret.aim.update(turret.muzzle);
    }
    EXPECT_NEAR(turret.aim.pitch, 1.3f, 0.01f);

    turret.enemies.add(around(0.0f, 30.0f));
    turret.aim.update(turret.muzzle);
    ASSERT_NE(turret.aim.target, nullptr);
    EXPECT_GE(turret.aim.idlePause, 60);
    EXPECT_LT(turret.aim.idlePause, 150);
}

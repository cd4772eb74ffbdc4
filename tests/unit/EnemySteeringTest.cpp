#include "Game/Enemies/EnemyRules.h"
#include "Game/Enemies/EnemySteering.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

// A flat ground of 65 x 65 vertices at step 10 (4 units up) from origin (-32, 0, -32).
struct FlatGround {
    std::vector<i32> steps = std::vector<i32>(65 * 65, 10);
    SteeringGround ground{{-32.0f, 0.0f, -32.0f}, 65, steps.data()};
};

} // namespace

TEST(EnemySteering, WhereAnEnemyStandsOffTheWorldOnTheGroundOrInTheAir)
{
    FlatGround flat;
    const SteeringGround& g = flat.ground;
    const f32 margin = EnemyKinds::Normal.groundMargin;

    // On the ground: the vertex it reads is its position + 0.5, truncated.
    SteeringCell cell = locateEnemy({-32.0f + 10.4f, 5.0f, -32.0f + 20.6f}, margin, g);
    EXPECT_FALSE(cell.outOfWorld);
    EXPECT_FALSE(cell.airborne);
    EXPECT_EQ(cell.xi, 10);
    EXPECT_EQ(cell.zi, 21);

    // The ground is at 4: airborne once 2.4 or more above it.
    EXPECT_FALSE(locateEnemy({0.0f, 6.39f, 0.0f}, margin, g).airborne);
    EXPECT_TRUE(locateEnemy({0.0f, 6.4f, 0.0f}, margin, g).airborne);
    EXPECT_FALSE(locateEnemy({0.0f, 7.5f, 0.0f}, EnemyKinds::Heavy.groundMargin, g).airborne) << "heavy: 3.6";

    // Off the world: before the grid, within two vertices of its far edges, below -3.
    for (const glm::vec3& p : {glm::vec3(-32.1f, 5.0f, 0.0f), glm::vec3(0.0f, 5.0f, -32.01f),
                               glm::vec3(-32.0f + 63.0f, 5.0f, 0.0f), glm::vec3(0.0f, 5.0f, -32.0f + 63.0f),
                               glm::vec3(0.0f, -3.01f, 0.0f)}) {
        EXPECT_TRUE(locateEnemy(p, margin, g).outOfWorld) << p.x << " " << p.y << " " << p.z;
    }
    EXPECT_FALSE(locateEnemy({-32.0f + 62.9f, 5.0f, -32.0f + 62.9f}, margin, g).outOfWorld);
    EXPECT_FALSE(locateEnemy({0.0f, -3.0f, 0.0f}, margin, g).outOfWorld);

    // A position that is not a number passes no test: off the world, no grid read.
    const f32 nan = std::numeric_limits<f32>::quiet_NaN();
    const f32 inf = std::numeric_limits<f32>::infinity();
    for (const glm::vec3& p : {glm::vec3(nan, 5.0f, 0.0f), glm::vec3(0.0f, nan, 0.0f), glm::vec3(0.0f, 5.0f, nan),
                               glm::vec3(0.0f, inf, 0.0f), glm::vec3(-inf, 5.0f, 0.0f)}) {
        EXPECT_TRUE(locateEnemy(p, margin, g).outOfWorld);
    }
}

TEST(EnemySteering, TheForceWalksAlongTheFieldAndBrakesWhileStunned)
{
    const EnemyKindRules& normal = EnemyKinds::Normal;
    const EnemyKindRules& heavy = EnemyKinds::Heavy;

    // A standing normal enemy facing +x: desired 6 along x, k = 1 + 1/0.2 = 6, gain 10,
    // mass 1: 360 along x, nothing up or sideways.
    glm::vec3 force = steeringForce(normal, glm::vec3(0.0f), 1.0f, false, {1.0f, 0.0f}, {0.0f, 0.0f});
    EXPECT_NEAR(force.x, 360.0f, 1e-3f);
    EXPECT_EQ(force.y, 0.0f);
    EXPECT_EQ(force.z, 0.0f);

    // At walking speed along the field there is nothing left to correct.
    force = steeringForce(normal, {6.0f, 0.0f, 0.0f}, 1.0f, false, {1.0f, 0.0f}, {0.0f, 0.0f});
    EXPECT_NEAR(glm::length(force), 0.0f, 1e-4f);

    // Where the field has no direction yet, only the lateral offset walks it (x, z).
    force = steeringForce(normal, glm::vec3(0.0f), 1.0f, false, {0.0f, 0.0f}, {0.1f, -0.2f});
    EXPECT_NEAR(force.x, 0.1f * 6.0f * 10.0f * 6.0f, 1e-3f);
    EXPECT_NEAR(force.z, -0.2f * 6.0f * 10.0f * 6.0f, 1e-3f);

    // Stunned: the desired velocity is zero, so a moving enemy is braked.
    force = steeringForce(normal, {3.0f, -1.0f, -2.0f}, 1.0f, true, {1.0f, 0.0f}, {0.1f, 0.1f});
    const f32 k = 1.0f + 1.0f / (2.0f * std::sqrt(14.0f) + 0.2f);
    EXPECT_NEAR(force.x, -3.0f * 10.0f * k, 1e-3f);
    EXPECT_NEAR(force.z, 2.0f * 10.0f * k, 1e-3f);
    EXPECT_EQ(force.y, 0.0f) << "vertical motion is gravity's";

    // The heavy enemy: mass 50, gain 20, speed 3, factor 5: the same acceleration rule.
    force = steeringForce(heavy, glm::vec3(0.0f), 1.0f / 50.0f, false, {0.0f, 1.0f}, {0.0f, 0.0f});
    EXPECT_NEAR(force.z, 3.0f * 20.0f * 50.0f * 6.0f, 0.5f);
    // A body without mass gets nothing.
    EXPECT_EQ(steeringForce(heavy, glm::vec3(1.0f), 0.0f, false, {0.0f, 1.0f}, {0.0f, 0.0f}), glm::vec3(0.0f));

    // Faster than 3 (1.5 heavy) is knocked: no hit for a while.
    EXPECT_FALSE(isKnocked(normal, {3.0f, 0.0f, 0.0f}));
    EXPECT_TRUE(isKnocked(normal, {3.0f, 0.1f, 0.0f}));
    EXPECT_TRUE(isKnocked(heavy, {0.0f, -1.6f, 0.0f}));
}

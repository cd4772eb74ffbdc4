#include "Game/Enemies/EnemyRules.h"
#include "Game/Enemies/EnemySteering.h"
#include "Game/Navigation/NavigationRules.h"
#include "World/Terrain/CollisionMesh.h"
#include "World/Terrain/TerrainGrid.h"

#include <btBulletCollisionCommon.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

namespace {

// A flat ground of 65 x 65 vertices at step 10 (4 units up) from origin (-32, 0, -32).
struct FlatGround {
    std::vector<i32> steps = std::vector<i32>(65 * 65, 10);
    SteeringGround ground{{-32.0f, 0.0f, -32.0f}, 65, steps.data()};
};

// A ramp of 65 x 65 vertices that rises `stepsPerVertex` steps (0.4 units each) per
// vertex along +x and is level along z, from origin (0, 0, 0).
struct Ramp {
    std::vector<i32> steps;
    SteeringGround ground;
    explicit Ramp(i32 stepsPerVertex) : steps(65 * 65)
    {
        for (size_t i = 0; i < steps.size(); i++) steps[i] = static_cast<i32>(i % 65) * stepsPerVertex;
        ground = {glm::vec3(0.0f), 65, steps.data()};
    }
};

} // namespace

TEST(EnemySteering, TheSurfaceUnderAPointIsTheCollisionMeshs)
{
    // A rough grid of random steps; the collision mesh is made from it as the game
    // makes the terrain's, and a ray straight down finds the same height everywhere.
    TerrainGrid grid(8, 2);
    std::mt19937 random(17);
    for (i32& step : grid.steps) step = static_cast<i32>(random() % 25);
    auto mesh = std::make_unique<btTriangleMesh>(true, true);
    fillCollisionMesh(grid, *mesh);
    btBvhTriangleMeshShape shape(mesh.get(), true);
    btCollisionObject object;
    object.setCollisionShape(&shape);
    const SteeringGround ground{grid.origin, grid.gridSize, grid.steps.data()};

    std::uniform_real_distribution<f32> across(0.0f, static_cast<f32>(grid.gridSize - 1));
    for (int i = 0; i < 500; i++) {
        const f32 x = across(random), z = across(random);
        const btVector3 from(grid.origin.x + x, 50.0f, grid.origin.z + z);
        const btVector3 to(from.x(), -50.0f, from.z());
        btCollisionWorld::ClosestRayResultCallback hit(from, to);
        btTransform fromAt, toAt;
        fromAt.setIdentity();
        fromAt.setOrigin(from);
        toAt.setIdentity();
        toAt.setOrigin(to);
        btCollisionWorld::rayTestSingle(fromAt, toAt, &object, &shape, object.getWorldTransform(), hit);
        ASSERT_TRUE(hit.hasHit()) << x << ", " << z;
        ASSERT_NEAR(surfaceHeight(ground, x, z), hit.m_hitPointWorld.y() - grid.origin.y, 1e-3f) << x << ", " << z;
    }
    // Points off the grid read its edge; a grid without steps reads 0.
    EXPECT_EQ(surfaceHeight(ground, -5.0f, 0.0f), surfaceHeight(ground, 0.0f, 0.0f));
    EXPECT_EQ(surfaceHeight(ground, 3.0f, 99.0f), surfaceHeight(ground, 3.0f, 16.0f));
    EXPECT_EQ(surfaceHeight(SteeringGround{}, 3.0f, 3.0f), 0.0f);
}

TEST(EnemySteering, ABodyRestingOnASteepSlopeStandsOnIt)
{
    // 8 steps a vertex: the ground rises 3.2 units per unit along +x (73 degrees).
    const Ramp ramp(8);
    const f32 slope = std::atan(3.2f);
    for (const EnemyKindRules* kind : {&EnemyKinds::Normal, &EnemyKinds::Heavy}) {
        const f32 radius = kind->width * 0.5f;
        // A capsule resting on the slope: its lower sphere touches the face at its
        // side, radius / cos(slope) above the surface under the sphere's centre.
        for (f32 x : {20.45f, 30.3f}) {
            const f32 centreHeight = x * 3.2f + radius / std::cos(slope) + (kind->height * 0.5f - radius);
            const SteeringCell resting = locateEnemy({x, centreHeight, 30.0f}, *kind, ramp.ground);
            EXPECT_FALSE(resting.airborne) << kind->typeIndex << " at " << x;
            // Lifted off the slope by more than the margin, it is in the air.
            EXPECT_TRUE(locateEnemy({x, centreHeight + 4.0f, 30.0f}, *kind, ramp.ground).airborne);
        }
        // The highest surface under the body is at its uphill side.
        EXPECT_NEAR(groundUnder(ramp.ground, 20.45f, 30.0f, radius), (20.45f + radius) * 3.2f, 1e-3f);
    }
}

TEST(EnemySteering, AStuckEnemyIsHelpedUpASteepClimbUntilTheGroundAheadIsWalkable)
{
    using namespace EnemyClimbRules;
    ClimbWatch watch;
    // Less than a step closer (0.9) is no progress: for 5 s it walks unhelped, also
    // facing a steep climb; then it is stuck and, facing a steep climb, helped.
    EXPECT_FALSE(watchClimb(watch, 100.0f, 0, true));
    for (i32 i = 1; i < StuckSteps; i++) {
        ASSERT_FALSE(watchClimb(watch, 100.0f - 0.9f * static_cast<f32>(i % 2), 0, true)) << i;
    }
    EXPECT_TRUE(watchClimb(watch, 99.5f, 0, true));
    // Helped on up the whole climb while it gets on, however quickly...
    EXPECT_TRUE(watchClimb(watch, 80.0f, 0, true));
    EXPECT_TRUE(watchClimb(watch, 60.0f, 0, true));
    // ...until the ground ahead is walkable; then it walks as any other.
    EXPECT_FALSE(watchClimb(watch, 59.9f, 0, false));
    EXPECT_FALSE(watchClimb(watch, 59.8f, 0, true));

    // Stuck on walkable ground: no help; the help comes when a steep climb is ahead.
    ClimbWatch flat;
    for (i32 i = 0; i <= StuckSteps; i++) ASSERT_FALSE(watchClimb(flat, 50.0f, 0, false));
    EXPECT_TRUE(watchClimb(flat, 50.0f, 0, true));

    // Hitting a building is fighting, not being stuck.
    ClimbWatch fighting;
    for (i32 i = 0; i < 3 * StuckSteps; i++) {
        if (i % 60 == 0) noteFight(fighting);
        ASSERT_FALSE(watchClimb(fighting, 40.0f, 0, true)) << i;
    }

    // The field reset as a whole (a tower gone): distances may have grown anywhere, so
    // the best so far starts again from where it stands, while the wait goes on.
    ClimbWatch reset;
    EXPECT_FALSE(watchClimb(reset, 30.0f, 4, true));
    for (i32 i = 0; i < StuckSteps - 2; i++) watchClimb(reset, 30.0f, 4, true);
    EXPECT_FALSE(watchClimb(reset, 45.0f, 5, true));
    EXPECT_EQ(reset.best, 45.0f);
    EXPECT_EQ(reset.stepsWithoutProgress, StuckSteps - 2);
    EXPECT_FALSE(watchClimb(reset, 44.0f, 5, true)) << "a step closer than the new best";
    EXPECT_EQ(reset.stepsWithoutProgress, 0);
}

// Field changes elsewhere (walls placed or sold, buildings falling) while an enemy
// waits below a climb or is helped up it: each reading is a run of `steps` physics
// steps at one field distance, field change count and ground ahead.
TEST(EnemySteering, AFieldChangeKeepsTheClimbHelpAndTheWaitForIt)
{
    using namespace EnemyClimbRules;
    constexpr f32 Unreached = PathDistanceRules::Unreached;
    struct Reading {
        i32 steps;
        f32 distance;
        u32 resets;
        bool steep;
    };
    struct Case {
        const char* name;
        std::vector<Reading> readings;
        bool helped; // after the last step
    };
    const Reading stuck{StuckSteps + 1, 30.0f, 0, true};
    const Case cases[] = {
        {"helped, a change far away", {stuck, {1, 30.0f, 1, true}}, true},
        {"helped, a change that lengthens its way", {stuck, {1, 45.0f, 1, true}}, true},
        {"helped, climbing on while the field regrows",
         {stuck, {20, Unreached, 1, true}, {1, 25.0f, 1, true}, {1, 20.0f, 1, true}},
         true},
        {"helped, an old way read while the field regrows", {stuck, {5, Unreached, 1, false}}, true},
        {"helped, a regrowth just short of the wait for help", {stuck, {StuckSteps - 1, Unreached, 1, false}}, true},
        // Walled in: the changed field never reaches it.
        {"helped, the changed field stays away, walkable ahead", {stuck, {StuckSteps, Unreached, 1, false}}, false},
        {"helped, the changed field stays away through more changes",
         {stuck, {StuckSteps / 2, Unreached, 1, false}, {StuckSteps / 2, Unreached, 2, false}},
         false},
        {"helped, the changed field stays away, a steep climb ahead",
         {stuck, {3 * StuckSteps, Unreached, 1, true}},
         true},
        {"helped, the changed field stays away, then a second climb",
         {stuck, {StuckSteps, Unreached, 1, false}, {StuckSteps + 1, Unreached, 1, true}},
         false},
        {"helped, the changed way ahead is walkable",
         {stuck, {5, Unreached, 1, false}, {1, 30.0f, 1, false}},
         false},
        {"helped, off the changed field once it has reached it",
         {stuck, {1, 30.0f, 1, true}, {1, Unreached, 1, false}},
         false},
        {"waiting, a building falls every second",
         {{60, 30.0f, 0, true}, {60, 30.0f, 1, true}, {60, 30.0f, 2, true}, {60, 30.0f, 3, true},
          {60, 30.0f, 4, true}, {60, 30.0f, 5, true}},
         true},
        {"waiting, the regrown field is no progress",
         {{StuckSteps - 50, 30.0f, 0, true}, {20, Unreached, 1, true}, {40, 30.0f, 1, true}},
         true},
        // Where the field has not reached (the grid's border, deep water, a spot cut
        // off): help never starts there, for a new or an old enemy, whatever number of
        // changes the field went through before it was released or since.
        {"new, where the field has not reached, walkable ahead", {{2 * StuckSteps, Unreached, 0, false}}, false},
        {"new, where the field has not reached, a steep climb ahead", {{StuckSteps + 1, Unreached, 0, true}}, false},
        {"new after a change, where the field has not reached", {{2 * StuckSteps, Unreached, 1, false}}, false},
        {"new after three changes, where the field has not reached", {{2 * StuckSteps, Unreached, 3, false}}, false},
        {"new after two changes, a steep climb where the field has not reached",
         {{2 * StuckSteps, Unreached, 2, true}},
         false},
        {"walked, then where the changed field has not reached",
         {{1, 30.0f, 1, false}, {3 * StuckSteps, Unreached, 2, false}},
         false},
        {"new after two changes, stuck below a climb on the field", {{StuckSteps + 2, 30.0f, 2, true}}, true},
        {"stood where the field has not reached, then below a climb on it",
         {{StuckSteps, Unreached, 2, false}, {2, 30.0f, 2, true}},
         true},
        {"waiting, a step closer on the changed field",
         {{StuckSteps - 50, 30.0f, 0, true}, {1, 45.0f, 1, true}, {1, 44.0f, 1, true},
          {StuckSteps - 1, 44.0f, 1, true}},
         false},
    };
    for (const Case& c : cases) {
        ClimbWatch watch;
        bool helped = false;
        for (const Reading& r : c.readings) {
            for (i32 i = 0; i < r.steps; i++) helped = watchClimb(watch, r.distance, r.resets, r.steep);
        }
        EXPECT_EQ(helped, c.helped) << c.name;
    }
}

TEST(EnemySteering, AClimbIsSteepWhenTheGroundAheadRisesMoreThanItsLength)
{
    const Ramp steep(8);  // 3.2 units per unit along +x
    const Ramp gentle(2); // 0.8
    const Ramp edge(3);   // 1.2 per unit: steep along x, not along a way 40 degrees off it
    const glm::vec2 at(30.2f, 12.0f);
    EXPECT_TRUE(steepAhead(steep.ground, at, {1.0f, 0.0f}));
    EXPECT_TRUE(steepAhead(steep.ground, at, glm::normalize(glm::vec2(1.0f, 1.0f))));
    EXPECT_FALSE(steepAhead(steep.ground, at, {-1.0f, 0.0f})) << "downhill";
    EXPECT_FALSE(steepAhead(steep.ground, at, {0.0f, 1.0f})) << "across the slope";
    EXPECT_FALSE(steepAhead(steep.ground, at, {0.0f, 0.0f})) << "no way";
    EXPECT_FALSE(steepAhead(gentle.ground, at, {1.0f, 0.0f}));
    EXPECT_TRUE(steepAhead(edge.ground, at, {1.0f, 0.0f}));
    EXPECT_FALSE(steepAhead(edge.ground, at, {std::cos(0.698f), std::sin(0.698f)})) << "rises 0.92";
}

TEST(EnemySteering, WhereAnEnemyStandsOffTheWorldOnTheGroundOrInTheAir)
{
    FlatGround flat;
    const SteeringGround& g = flat.ground;
    const EnemyKindRules& normal = EnemyKinds::Normal;

    // On the ground: the vertex it reads is its position + 0.5, truncated.
    SteeringCell cell = locateEnemy({-32.0f + 10.4f, 5.0f, -32.0f + 20.6f}, normal, g);
    EXPECT_FALSE(cell.outOfWorld);
    EXPECT_FALSE(cell.airborne);
    EXPECT_EQ(cell.xi, 10);
    EXPECT_EQ(cell.zi, 21);
    EXPECT_NEAR(cell.local.x, 10.4f, 1e-4f);
    EXPECT_NEAR(cell.local.y, 20.6f, 1e-4f);

    // The ground is at 4: airborne once 2.4 or more above it.
    EXPECT_FALSE(locateEnemy({0.0f, 6.39f, 0.0f}, normal, g).airborne);
    EXPECT_TRUE(locateEnemy({0.0f, 6.4f, 0.0f}, normal, g).airborne);
    EXPECT_FALSE(locateEnemy({0.0f, 7.5f, 0.0f}, EnemyKinds::Heavy, g).airborne) << "heavy: 3.6";

    // Off the world: before the grid, within two vertices of its far edges, below -3.
    for (const glm::vec3& p : {glm::vec3(-32.1f, 5.0f, 0.0f), glm::vec3(0.0f, 5.0f, -32.01f),
                               glm::vec3(-32.0f + 63.0f, 5.0f, 0.0f), glm::vec3(0.0f, 5.0f, -32.0f + 63.0f),
                               glm::vec3(0.0f, -3.01f, 0.0f)}) {
        EXPECT_TRUE(locateEnemy(p, normal, g).outOfWorld) << p.x << " " << p.y << " " << p.z;
    }
    EXPECT_FALSE(locateEnemy({-32.0f + 62.9f, 5.0f, -32.0f + 62.9f}, normal, g).outOfWorld);
    EXPECT_FALSE(locateEnemy({0.0f, -3.0f, 0.0f}, normal, g).outOfWorld);

    // A position that is not a number passes no test: off the world, no grid read.
    const f32 nan = std::numeric_limits<f32>::quiet_NaN();
    const f32 inf = std::numeric_limits<f32>::infinity();
    for (const glm::vec3& p : {glm::vec3(nan, 5.0f, 0.0f), glm::vec3(0.0f, nan, 0.0f), glm::vec3(0.0f, 5.0f, nan),
                               glm::vec3(0.0f, inf, 0.0f), glm::vec3(-inf, 5.0f, 0.0f)}) {
        EXPECT_TRUE(locateEnemy(p, normal, g).outOfWorld);
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

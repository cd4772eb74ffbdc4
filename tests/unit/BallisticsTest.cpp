#include "Game/Towers/AimRules.h"
#include "Game/Towers/Ballistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

constexpr f32 G = AimRules::Gravity;
constexpr f32 QuarterPi = 0.78539816f;

struct AngleCase {
    const char* name;
    glm::vec3 d;
    f32 speed;
    f32 flat;
    f32 high;
};

// Angles computed independently in double precision.
const AngleCase AngleCases[] = {
    {"level 30 at 50", {30.0f, 0.0f, 0.0f}, 50.0f, 0.250327f, 1.320469f},
    // 30 across (along x and z together), 10 up and 10 down.
    {"30 across 10 up", {18.0f, 10.0f, 24.0f}, 50.0f, 0.601548f, 1.290999f},
    {"30 across 10 down", {0.0f, -10.0f, -30.0f}, 50.0f, -0.091079f, 1.340124f},
    // The end of the range: both arcs meet at 45 degrees.
    {"range end 62.5 at 50", {62.5f, 0.0f, 0.0f}, 50.0f, QuarterPi, QuarterPi},
    {"range end 10 at 20", {10.0f, 0.0f, 0.0f}, 20.0f, QuarterPi, QuarterPi},
};

} // namespace

TEST(Ballistics, LaunchAnglesAndFlightTimes)
{
    for (const AngleCase& c : AngleCases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(Ballistics::launchAngle(c.d, c.speed, AimRules::FlatArc, G), c.flat, 2e-5f);
        EXPECT_NEAR(Ballistics::launchAngle(c.d, c.speed, AimRules::HighArc, G), c.high, 2e-5f);
    }
    const f32 flat = Ballistics::launchAngle({30.0f, 0.0f, 0.0f}, 50.0f, AimRules::FlatArc, G);
    const f32 high = Ballistics::launchAngle({30.0f, 0.0f, 0.0f}, 50.0f, AimRules::HighArc, G);
    EXPECT_NEAR(Ballistics::flightTime(30.0f, flat, 50.0f), 0.619303f, 1e-5f);
    EXPECT_NEAR(Ballistics::flightTime(30.0f, high, 50.0f), 2.422078f, 1e-5f);
    EXPECT_NEAR(Ballistics::flightTimeTo({0.0f, 0.0f, 30.0f}, 50.0f, AimRules::HighArc, G), 2.422078f, 1e-5f);
}

TEST(Ballistics, NoSolutionIsNeverNaN)
{
    const f32 nan = std::numeric_limits<f32>::quiet_NaN();
    const f32 inf = std::numeric_limits<f32>::infinity();
    for (i32 arc : {AimRules::FlatArc, AimRules::HighArc}) {
        SCOPED_TRACE(arc);
        // Beyond the range.
        EXPECT_EQ(Ballistics::launchAngle({63.0f, 0.0f, 0.0f}, 50.0f, arc, G), AimRules::NoSolution);
        EXPECT_EQ(Ballistics::launchAngle({20.0f, 0.0f, 0.0f}, 20.0f, arc, G), AimRules::NoSolution);
        // Straight above, below or at the muzzle: 0/0 without the guard.
        for (f32 y : {-5.0f, 0.0f, 5.0f}) {
            EXPECT_EQ(Ballistics::launchAngle({0.0f, y, 0.0f}, 50.0f, arc, G), AimRules::NoSolution);
            EXPECT_EQ(Ballistics::launchAngle({1e-5f, y, -1e-5f}, 50.0f, arc, G), AimRules::NoSolution);
            EXPECT_LT(Ballistics::flightTimeTo({0.0f, y, 0.0f}, 50.0f, arc, G), 0.0f);
        }
        // Inputs that are not numbers, and no speed or gravity.
        EXPECT_EQ(Ballistics::launchAngle({nan, 0.0f, 1.0f}, 50.0f, arc, G), AimRules::NoSolution);
        EXPECT_EQ(Ballistics::launchAngle({inf, 0.0f, 1.0f}, 50.0f, arc, G), AimRules::NoSolution);
        EXPECT_EQ(Ballistics::launchAngle({10.0f, 0.0f, 1.0f}, nan, arc, G), AimRules::NoSolution);
        EXPECT_EQ(Ballistics::launchAngle({10.0f, 0.0f, 1.0f}, 0.0f, arc, G), AimRules::NoSolution);
        EXPECT_EQ(Ballistics::launchAngle({10.0f, 0.0f, 1.0f}, 50.0f, arc, 0.0f), AimRules::NoSolution);
        EXPECT_FALSE(Ballistics::hasSolution(AimRules::NoSolution));
    }

    // Any point: a real pitch within [-pi/2, pi/2] and a positive flight time, or no
    // solution; never NaN.
    std::mt19937 random(5);
    std::uniform_real_distribution<f32> coordinate(-80.0f, 80.0f);
    std::uniform_real_distribution<f32> tiny(-0.01f, 0.01f);
    for (int i = 0; i < 20000; i++) {
        const bool nearAxis = i % 4 == 0;
        const glm::vec3 d(nearAxis ? tiny(random) : coordinate(random), coordinate(random),
                          nearAxis ? tiny(random) : coordinate(random));
        const f32 speed = 5.0f + static_cast<f32>(i % 60);
        const i32 arc = i % 2 == 0 ? AimRules::FlatArc : AimRules::HighArc;
        const f32 pitch = Ballistics::launchAngle(d, speed, arc, G);
        ASSERT_FALSE(std::isnan(pitch)) << d.x << " " << d.y << " " << d.z;
        if (!Ballistics::hasSolution(pitch)) continue;
        ASSERT_LE(std::abs(pitch), 1.5707964f);
        const f32 time = Ballistics::flightTimeTo(d, speed, arc, G);
        ASSERT_TRUE(std::isfinite(time));
        ASSERT_GT(time, 0.0f);
    }
}

TEST(Ballistics, LeadPrediction)
{
    const glm::vec3 muzzle(0.0f);
    // Flat shot at 50 against a target at 30 coming closer at 6 units/s.
    Ballistics::LeadResult flat =
        Ballistics::leadTarget(muzzle, {30.0f, 0.0f, 0.0f}, {-6.0f, 0.0f, 0.0f}, 50.0f, G, AimRules::FlatArc);
    ASSERT_TRUE(flat.valid);
    EXPECT_NEAR(flat.point.x, 26.712f, 0.01f);
    EXPECT_NEAR((30.0f - flat.point.x) / 6.0f, 0.548f, 0.002f);
    EXPECT_EQ(flat.point.y, 0.0f);
    EXPECT_EQ(flat.point.z, 0.0f);

    // The mortar's lob at 45 against the same target, from a muzzle elsewhere.
    const glm::vec3 tower(100.0f, 5.0f, -40.0f);
    Ballistics::LeadResult lob = Ballistics::leadTarget(tower, tower + glm::vec3(30.0f, 0.0f, 0.0f),
                                                        {-6.0f, 0.0f, 0.0f}, 45.0f, G, AimRules::HighArc);
    ASSERT_TRUE(lob.valid);
    EXPECT_NEAR(lob.point.x - tower.x, 16.697f, 0.01f);
    EXPECT_NEAR((30.0f - (lob.point.x - tower.x)) / 6.0f, 2.217f, 0.002f);

    // A target standing still is met where it stands.
    Ballistics::LeadResult still =
        Ballistics::leadTarget(muzzle, {12.0f, -3.0f, 20.0f}, glm::vec3(0.0f), 50.0f, G, AimRules::FlatArc);
    ASSERT_TRUE(still.valid);
    EXPECT_EQ(still.point, glm::vec3(12.0f, -3.0f, 20.0f));

    // Out of reach now: no shot, wherever it goes (at 70 moving away at 50 used to come
    // back valid), nor when it runs out of reach faster than a shot can follow.
    EXPECT_FALSE(
        Ballistics::leadTarget(muzzle, {70.0f, 0.0f, 0.0f}, {50.0f, 0.0f, 0.0f}, 50.0f, G, AimRules::FlatArc).valid);
    EXPECT_FALSE(
        Ballistics::leadTarget(muzzle, {70.0f, 0.0f, 0.0f}, {-5.0f, 0.0f, 0.0f}, 50.0f, G, AimRules::HighArc).valid);
    EXPECT_FALSE(
        Ballistics::leadTarget(muzzle, {60.0f, 0.0f, 0.0f}, {50.0f, 0.0f, 0.0f}, 50.0f, G, AimRules::FlatArc).valid);
    // Near the edge of the range moving slowly away: the search passes points out of
    // reach on its way and still settles inside.
    Ballistics::LeadResult edge =
        Ballistics::leadTarget(muzzle, {58.0f, 0.0f, 0.0f}, {2.5f, 0.0f, 0.0f}, 50.0f, G, AimRules::FlatArc);
    ASSERT_TRUE(edge.valid);
    EXPECT_NEAR(edge.point.x, 62.19f, 0.01f);

    // Straight below the muzzle, or with a velocity that is not a number: no shot.
    EXPECT_FALSE(Ballistics::leadTarget(muzzle, {0.0f, -10.0f, 0.0f}, glm::vec3(0.0f), 50.0f, G, AimRules::FlatArc).valid);
    const f32 nan = std::numeric_limits<f32>::quiet_NaN();
    EXPECT_FALSE(Ballistics::leadTarget(muzzle, {20.0f, 0.0f, 0.0f}, {nan, 0.0f, 0.0f}, 50.0f, G, AimRules::FlatArc).valid);
}

#include "PathFieldPasses.h"

#include "Game/Navigation/PathField.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>
#include <limits>
#include <stdexcept>

namespace {

using namespace PathDistanceRules;
constexpr f32 NaN = std::numeric_limits<f32>::quiet_NaN();
constexpr f32 Inf = std::numeric_limits<f32>::infinity();
constexpr glm::vec2 Zero{0.0f};

std::vector<f32> grid(u32 n, const std::function<f32(u32 x, u32 z)>& height = [](u32, u32) { return 0.0f; })
{
    std::vector<f32> heights(static_cast<size_t>(n) * n);
    for (size_t i = 0; i < heights.size(); i++) heights[i] = height(static_cast<u32>(i % n), static_cast<u32>(i / n));
    return heights;
}

void addGoal(PathField& field, i32 x, i32 z, glm::ivec3 size = {0, 0, 0})
{
    field.queueCellValues({x, 0, z}, size, Goal);
}

f32 distance(const PathField& field, u32 x, u32 z)
{
    return field.cell(x, z).distance;
}

u32 goalCount(const PathField& field)
{
    return static_cast<u32>(std::count(field.distances.begin(), field.distances.end(), Goal));
}

TEST(PathField, GoalsSpreadOverFlatGroundAsWalkingDistances)
{
    const u32 n = 21;
    PathField field(grid(n), n, false);
    EXPECT_FALSE(field.step()) << "no goal, no work";
    addGoal(field, 10, 10);
    EXPECT_GT(field.solveUntilIdle(), 0u);

    EXPECT_EQ(distance(field, 10, 10), Goal);
    EXPECT_EQ(field.direction(10, 10), Zero);
    EXPECT_NEAR(distance(field, 10, 14), 4.0f, 0.01f);
    EXPECT_EQ(field.direction(11, 10), glm::vec2(-1.0f, 0.0f));
    EXPECT_EQ(field.direction(10, 14), glm::vec2(0.0f, -1.0f));
    // A diagonal walk costs about its straight-line length, not the grid path's 8.
    EXPECT_NEAR(distance(field, 14, 14), 4.0f * std::sqrt(2.0f), 0.6f);
    for (u32 i = 0; i < n * n; i++) {
        const u32 x = i % n, z = i / n;
        if (!field.interior(x, z)) {
            EXPECT_EQ(distance(field, x, z), Unreached) << "the border is never solved";
            EXPECT_EQ(field.direction(x, z), Zero);
        } else if (x != 10 || z != 10) {
            EXPECT_GT(glm::dot(field.direction(x, z), glm::normalize(glm::vec2(10.0f - x, 10.0f - z))), 0.9f)
                << x << ", " << z;
        }
    }
}

TEST(PathField, UphillCostsMoreThanDownhillOnSmoothedHeights)
{
    const u32 n = 21;
    PathField ramp(grid(n, [](u32 x, u32) { return static_cast<f32>(x); }), n, false);
    // One unit up per step costs 1 + 16; down and across cost 1; off the grid, nothing.
    EXPECT_EQ(ramp.edgeCosts[ramp.index(5, 5)], (PathEdgeCosts{17.0f, 1.0f, 1.0f, 1.0f}));
    EXPECT_EQ(ramp.edgeCosts[ramp.index(0, 0)], (PathEdgeCosts{17.0f, 0.0f, 1.0f, 0.0f}));
    ramp.queueCellValues({10, 0, 1}, {0, 0, static_cast<i32>(n) - 3}, Goal); // a goal line across
    ramp.solveUntilIdle();
    EXPECT_NEAR(distance(ramp, 6, 10), 4.0f * 17.0f, 0.05f);
    EXPECT_NEAR(distance(ramp, 14, 10), 4.0f, 0.05f);
    EXPECT_GT(ramp.direction(6, 10).x, 0.99f);

    // Heights are smoothed over 3 x 3 vertices inside; the border keeps its own.
    PathField spikes(grid(9, [](u32 x, u32 z) { return (x == 4 && z == 4) || (x == 0 && z == 6) ? 9.0f : 0.0f; }), 9,
                     false);
    EXPECT_EQ(spikes.smoothedHeights[spikes.index(3, 5)], 1.0f);
    EXPECT_EQ(spikes.smoothedHeights[spikes.index(2, 2)], 0.0f);
    EXPECT_EQ(spikes.smoothedHeights[spikes.index(1, 6)], 1.0f);
    EXPECT_EQ(spikes.smoothedHeights[spikes.index(0, 6)], 9.0f);
}

TEST(PathField, AWallReroutesTheFieldUntilItIsSold)
{
    const u32 n = 31;
    PathField field(grid(n), n, false);
    addGoal(field, 15, 3);
    field.queueFixedCosts({0, 0, 15}, {30, 0, 1}, PathCostRules::WallCost); // one cell thick, all across
    field.solveUntilIdle();
    EXPECT_EQ(field.edgeCosts[field.index(0, 16)], (PathEdgeCosts{30.0f, 0.0f, 30.0f, 30.0f}));
    // Crossing leaves two wall vertices: 58 more than the 22 steps of open ground.
    EXPECT_NEAR(distance(field, 15, 25), 22.0f + 58.0f, 0.05f);

    field.queueFixedCosts({25, 0, 15}, {5, 0, 1}, PathCostRules::RestoreSlope); // a gap at x 25..30
    field.solveUntilIdle();
    EXPECT_EQ(field.edgeCosts[field.index(26, 15)], (PathEdgeCosts{1.0f, 1.0f, 1.0f, 1.0f}));
    EXPECT_LT(distance(field, 15, 25), 45.0f);
    EXPECT_GT(field.direction(15, 19).x, 0.5f) << "heads for the gap";

    field.queueFixedCosts({0, 0, 15}, {25, 0, 1}, PathCostRules::RestoreSlope);
    field.solveUntilIdle();
    EXPECT_NEAR(distance(field, 15, 25), 22.0f, 0.05f);
    EXPECT_EQ(field.direction(15, 19), glm::vec2(0.0f, -1.0f));
}

TEST(PathField, DeepWaterIsNeitherSolvedNorCrossed)
{
    const u32 n = 21;
    // A trench at x 10..12: smoothed, x 10..12 lie below -4, x 9 and 13 at -3.3.
    const std::vector<f32> trench = grid(n, [](u32 x, u32) { return x >= 10 && x <= 12 ? -10.0f : 0.0f; });
    PathField field(trench, n, false);
    addGoal(field, 5, 10);
    field.solveUntilIdle();
    for (u32 z = 1; z + 1 < n; z++) {
        EXPECT_LT(distance(field, 9, z), SolvedLimit);
        for (u32 x = 10; x + 1 < n; x++) EXPECT_EQ(distance(field, x, z), Unreached) << x << ", " << z;
    }
    PathField sunk(trench, n, false);
    addGoal(sunk, 11, 10);
    EXPECT_TRUE(sunk.step()) << "the goal is visited";
    EXPECT_FALSE(sunk.step());
    EXPECT_EQ(distance(sunk, 9, 10), Unreached);
}

TEST(PathField, DirectionsAreReadOnlyInsideTheGrid)
{
    const u32 n = 11;
    PathField field(grid(n), n, false);
    addGoal(field, 8, 5);
    field.solveUntilIdle();
    EXPECT_EQ(field.direction(4, 5), glm::vec2(1.0f, 0.0f));
    for (glm::i64vec2 v : {glm::i64vec2(-1, 5), glm::i64vec2(n, 5), glm::i64vec2(5, -1), glm::i64vec2(INT64_MIN, 5)}) {
        EXPECT_EQ(field.direction(v.x, v.y), Zero);
    }
    // A position reads vertex (x + 0.5, z + 0.5) truncated toward zero.
    EXPECT_EQ(field.directionAt(3.5f, 4.6f), field.direction(4, 5));
    EXPECT_EQ(field.directionAt(4.4f, 5.0f), field.direction(4, 5));
    EXPECT_EQ(field.directionAt(-1.2f, 5.0f), field.direction(0, 5));
    for (glm::vec2 p : {glm::vec2(-1.6f, 5.0f), glm::vec2(10.5f, 5.0f), glm::vec2(4.0f, 1e30f), glm::vec2(NaN, 5.0f),
                        glm::vec2(4.0f, NaN), glm::vec2(-Inf, 5.0f)}) {
        EXPECT_EQ(field.directionAt(p.x, p.y), Zero) << p.x << ", " << p.y;
    }
}

TEST(PathField, QueuedRectanglesCoverTheirVerticesClippedToTheGrid)
{
    const u32 n = 40;
    PathField field(grid(n), n, false);
    // A footprint of 3 x 3 cells at (10, y, 20) covers the 16 vertices 10..13 by 20..23.
    field.queueCellValues({10, 7, 20}, {3, 2, 3}, Goal);
    field.step();
    EXPECT_EQ(goalCount(field), 16u);
    EXPECT_EQ(distance(field, 13, 23), Goal);

    PathField clipped(grid(n), n, false);
    clipped.queueCellValues({-2, 0, -2}, {3, 0, 3}, Goal);            // 0..1 by 0..1
    clipped.queueCellValues({38, 0, 39}, {5, 0, 5}, Goal);            // 38..39 by 39
    clipped.queueCellValues({5, 0, 5}, {-1, 0, 3}, Goal);             // a negative size: nothing
    clipped.queueCellValues({INT_MAX, 0, 5}, {INT_MAX, 0, 1}, Goal);  // beyond the grid
    clipped.queueCellValues({INT_MIN, 0, 5}, {INT_MAX, 0, 1}, Goal);  // ends at -1
    clipped.queueFixedCosts({-3, 0, -3}, {3, 0, 3}, PathCostRules::WallCost); // vertex 0 only
    clipped.queueFixedCosts({INT_MAX, 0, INT_MAX}, {INT_MAX, 0, INT_MAX}, PathCostRules::WallCost);
    clipped.step();
    EXPECT_EQ(goalCount(clipped), 6u);
    EXPECT_EQ(distance(clipped, 39, 39), Goal);
    EXPECT_EQ(clipped.edgeCosts[0], (PathEdgeCosts{30.0f, 0.0f, 30.0f, 0.0f}));
    EXPECT_EQ(clipped.edgeCosts[1], (PathEdgeCosts{1.0f, 1.0f, 1.0f, 0.0f}));
}

TEST(PathField, RemovingAGoalResetsTheFieldWhichRegrowsFromTheOthers)
{
    const u32 n = 25;
    // A trench at x 11..13 parts the grid: goal A on the left, goal B on the right.
    const std::vector<f32> heights = grid(n, [](u32 x, u32) { return x >= 11 && x <= 13 ? -12.0f : 0.0f; });
    PathField both(heights, n, false);
    addGoal(both, 5, 12);
    addGoal(both, 19, 12);
    both.solveUntilIdle();
    const glm::vec2 towardB = both.direction(21, 15);
    both.queueCellValues({19, 0, 12}, {0, 0, 0}, Unreached);
    both.solveUntilIdle();
    // B's side is unreached now, but keeps steering with its last directions.
    EXPECT_EQ(distance(both, 21, 15), Unreached);
    EXPECT_EQ(both.direction(21, 15), towardB);
    EXPECT_LT(towardB.x, 0.0f) << "back to where B stood";

    PathField onlyA(heights, n, false);
    addGoal(onlyA, 5, 12);
    onlyA.solveUntilIdle();
    for (u32 i = 0; i < n * n; i++) {
        if (i % n > 10) continue;
        EXPECT_EQ(both.distances[i], onlyA.distances[i]);
        EXPECT_EQ(both.directions[i].load(), onlyA.directions[i].load());
    }
}

TEST(PathField, TheLastValueQueuedForAVertexWinsWithinABatch)
{
    const u32 n = 21;
    const glm::ivec3 site{8, 0, 8}, size{2, 0, 2};
    PathField reference(grid(n), n, false);
    reference.queueCellValues(site, size, Goal);
    reference.solveUntilIdle();

    // Destroyed and placed again before the next step: the goal stays.
    PathField replaced(grid(n), n, false);
    replaced.queueCellValues(site, size, Goal);
    replaced.solveUntilIdle();
    replaced.queueCellValues(site, size, Unreached);
    replaced.queueCellValues(site, size, Goal);
    replaced.solveUntilIdle();
    EXPECT_EQ(goalCount(replaced), 9u);
    EXPECT_EQ(replaced.distances, reference.distances);

    // Placed and destroyed in one batch: no goal, nothing solved.
    PathField gone(grid(n), n, false);
    gone.queueCellValues(site, size, Goal);
    gone.queueCellValues(site, size, Unreached);
    gone.solveUntilIdle();
    EXPECT_EQ(gone.distances, std::vector<f32>(n * n, Unreached));
}

TEST(PathField, RefusesCostsAndValuesThatWouldPoisonTheField)
{
    const u32 n = 15;
    const std::vector<f32> slope = grid(n, [](u32 x, u32 z) { return 0.3f * x + 0.1f * z; });
    PathField field(slope, n, false);
    const PathField fresh(slope, n, false);
    addGoal(field, 7, 7);
    field.solveUntilIdle();
    const std::vector<f32> solved = field.distances;
    // A cost of 0 would divide by zero in a solve; other costs below 0 but -1, and
    // non-numbers, are refused: nothing is queued and nothing resets.
    for (f32 bad : {0.0f, -0.0f, -0.5f, -2.0f, NaN, Inf, -Inf}) {
        field.queueFixedCosts({2, 0, 2}, {4, 0, 4}, bad);
        EXPECT_FALSE(field.step()) << bad;
    }
    EXPECT_EQ(field.edgeCosts, fresh.edgeCosts);
    field.queueFixedCosts({2, 0, 2}, {4, 0, 4}, 0.25f);
    field.queueFixedCosts({2, 0, 2}, {4, 0, 4}, PathCostRules::RestoreSlope);
    field.solveUntilIdle();
    EXPECT_EQ(field.edgeCosts, fresh.edgeCosts);
    EXPECT_EQ(field.distances, solved);
    // A record given straight to computeEdgeCosts: a step of cost 0 gets its slope cost.
    field.computeEdgeCosts({{0.0f, 5.0f, -0.0f, -7.0f}, 4, 4});
    const PathEdgeCosts& own = fresh.edgeCosts[fresh.index(4, 4)];
    EXPECT_EQ(field.edgeCosts[field.index(4, 4)], (PathEdgeCosts{own[0], 5.0f, own[2], own[3]}));

    // Stray goal values and a broken height stay local.
    std::vector<f32> broken = grid(11);
    broken[5 * 11 + 5] = NaN;
    PathField hole(broken, 11, false);
    addGoal(hole, 2, 2);
    hole.queueCellValues({0, 0, 3}, {0, 0, 0}, -50.0f);
    hole.queueCellValues({3, 0, 0}, {0, 0, 0}, NaN);
    hole.solveUntilIdle();
    EXPECT_EQ(distance(hole, 0, 3), Unreached);
    EXPECT_LT(distance(hole, 8, 8), SolvedLimit) << "the way leads around the broken vertex";
    for (u32 i = 0; i < 121; i++) {
        const PathCell c = hole.cell(i % 11, i / 11);
        EXPECT_TRUE(c.distance >= 0.0f && std::isfinite(c.dirX) && std::isfinite(c.dirZ)) << i;
    }
    EXPECT_THROW(PathField(std::vector<f32>(10, 0.0f), 4, false), std::runtime_error);
    EXPECT_THROW(PathField(nullptr), std::runtime_error);
}

TEST(PathField, WeightsThatCancelGiveAZeroDirectionNeverNaN)
{
    PathField field(grid(11), 11, false);
    addGoal(field, 2, 5);
    addGoal(field, 8, 5);
    field.solveUntilIdle();
    const PathCell midway = field.solveCell(5, 5);
    EXPECT_EQ(glm::vec2(midway.dirX, midway.dirZ), Zero);
    EXPECT_NEAR(midway.distance, 3.0f, 0.01f);
    EXPECT_EQ(field.direction(5, 5), Zero);
}

// Where the plain passes reach the vertices in order of distance (flat or gently
// rolling ground) they give the solver's field to within rounding.
TEST(PathField, SolverGivesThePlainPassesFieldOnGentleGround)
{
    const u32 n = 41;
    for (f32 roll : {0.0f, 0.15f}) {
        const std::vector<f32> heights = grid(n, [roll](u32 x, u32 z) {
            return roll * std::sin(static_cast<f32>(x) * 0.3f) * std::cos(static_cast<f32>(z) * 0.2f) + 0.02f * x;
        });
        PathField own(heights, n, false), plain(heights, n, false);
        own.queueCellValues({20, 0, 5}, {1, 0, 1}, Goal);
        own.solveUntilIdle();
        PathFieldPasses passes(plain);
        passes.addGoals({20, 0, 5}, {1, 0, 1});
        passes.solveUntilIdle();
        for (u32 i = 0; i < n * n; i++) {
            EXPECT_NEAR(own.distances[i], plain.distances[i], 0.01f) << roll << " at " << i;
            EXPECT_NEAR(own.cell(i % n, i / n).dirX, plain.cell(i % n, i / n).dirX, 0.01f) << roll << " at " << i;
        }
    }
}

} // namespace

TEST(PathField, TheWayBetweenFourVerticesFollowsTheirDistances)
{
    const glm::vec2 other(0.6f, 0.8f); // what a fallback would give
    auto near = [](glm::vec2 a, glm::vec2 b) { return glm::length(a - b) < 1e-4f; };

    // Down the blend: x falls by 2 a step, z rises by 1.
    const f32 slope[4] = {10.0f, 8.0f, 11.0f, 9.0f};
    EXPECT_TRUE(near(wayFromDistances(slope, 0.3f, 0.7f, other), glm::normalize(glm::vec2(2.0f, -1.0f))));

    // A lane between two columns whose own directions point at each other along z
    // (the nearest vertex says -z on one side, +z on the other): the distances still
    // fall along x, and so does the way, wherever the enemy stands in the lane.
    const f32 lane[4] = {30.0f, 25.0f, 30.0f, 25.0f};
    for (f32 f : {0.0f, 0.49f, 0.51f, 1.0f}) EXPECT_TRUE(near(wayFromDistances(lane, f, f, other), {1.0f, 0.0f}));

    // A goal corner (0) is a distance like any other; an unreached one (or a stray
    // value) gives the fallback, and so does a flat blend.
    const f32 goal[4] = {0.0f, 1.0f, 1.0f, 1.4f};
    const glm::vec2 intoGoal = wayFromDistances(goal, 0.5f, 0.5f, other);
    EXPECT_LT(intoGoal.x, 0.0f);
    EXPECT_LT(intoGoal.y, 0.0f);
    for (f32 bad : {Unreached, -1.0f, NaN, Inf}) {
        const f32 broken[4] = {10.0f, 9.0f, bad, 9.0f};
        EXPECT_EQ(wayFromDistances(broken, 0.5f, 0.5f, other), other) << bad;
    }
    const f32 flat[4] = {5.0f, 5.0f, 5.0f, 5.0f};
    EXPECT_EQ(wayFromDistances(flat, 0.2f, 0.9f, other), other);
}

TEST(PathField, TheWayChangesSmoothlyAcrossCellEdgesSoAValleyIsWalkedAlong)
{
    const glm::vec2 other(0.6f, 0.8f);
    // A valley along x = 2 (distances rise 3 a step to either side) that falls towards
    // +z: rows z = 0..3, columns x = 0..4.
    auto d = [](i32 x, i32 z) { return 3.0f * static_cast<f32>(std::abs(x - 2)) + 10.0f - static_cast<f32>(z); };
    auto block = [&](i32 x0, i32 z0, f32 out[16]) {
        for (i32 bz = 0; bz < 4; bz++) {
            for (i32 bx = 0; bx < 4; bx++) out[bz * 4 + bx] = d(x0 + bx - 1, z0 + bz - 1);
        }
    };
    f32 left[16], right[16];
    block(1, 1, left);  // the cell x 1..2
    block(2, 1, right); // the cell x 2..3
    // On the valley's floor, from either cell, the way runs along it.
    const glm::vec2 fromLeft = wayFromDistanceBlock(left, 1.0f, 0.5f, other);
    const glm::vec2 fromRight = wayFromDistanceBlock(right, 0.0f, 0.5f, other);
    EXPECT_NEAR(fromLeft.x, 0.0f, 1e-5f);
    EXPECT_NEAR(fromLeft.y, 1.0f, 1e-5f);
    EXPECT_NEAR(glm::length(fromLeft - fromRight), 0.0f, 1e-5f);
    // Each cell's own corners alone give ways that point at each other there.
    const f32 leftCell[4] = {left[5], left[6], left[9], left[10]};
    const f32 rightCell[4] = {right[5], right[6], right[9], right[10]};
    EXPECT_GT(wayFromDistances(leftCell, 1.0f, 0.5f, other).x, 0.9f);
    EXPECT_LT(wayFromDistances(rightCell, 0.0f, 0.5f, other).x, -0.9f);
    // Beside the floor the way leans back towards it.
    EXPECT_GT(wayFromDistanceBlock(left, 0.25f, 0.5f, other).x, 0.0f);
    EXPECT_LT(wayFromDistanceBlock(right, 0.75f, 0.5f, other).x, 0.0f);

    // Any of the 16 unreached: the cell's own corners decide.
    left[0] = Unreached;
    EXPECT_EQ(wayFromDistanceBlock(left, 1.0f, 0.5f, other), wayFromDistances(leftCell, 1.0f, 0.5f, other));
}

TEST(PathField, TheWayIsReadFromTheDistancesTheSolverPublishes)
{
    // Large enough that one step does not regrow the whole field.
    const u32 n = 301;
    PathField field(grid(n), n, false);
    addGoal(field, 10, 10);
    addGoal(field, 3, 3);
    field.solveUntilIdle();
    for (u32 i = 0; i < n * n; i++) {
        ASSERT_EQ(field.sharedDistance(i % n, i / n), field.distances[i]) << i;
    }
    // East of the goal at (10, 10) the way leads west, between the vertices too.
    const glm::vec2 west = field.wayAt(15.3f, 10.0f);
    EXPECT_NEAR(west.x, -1.0f, 1e-3f);
    EXPECT_NEAR(west.y, 0.0f, 1e-3f);
    const glm::vec2 towards = field.wayAt(13.6f, 13.2f);
    EXPECT_NEAR(glm::dot(towards, glm::normalize(glm::vec2(-3.6f, -3.2f))), 1.0f, 0.01f);
    // Near the grid's edge (or off it, or not a number) it is the nearest vertex's.
    for (const glm::vec2& p : {glm::vec2(0.5f, 10.0f), glm::vec2(299.2f, 4.0f), glm::vec2(-3.0f, 4.0f),
                               glm::vec2(NaN, 4.0f)}) {
        EXPECT_EQ(field.wayAt(p.x, p.y), field.directionAt(p.x, p.y)) << p.x << ", " << p.y;
    }
    EXPECT_EQ(field.sharedDistance(-1, 3), Unreached);
    EXPECT_EQ(field.sharedDistance(3, n), Unreached);

    // A new goal does not reset the field; a goal removed does, and the distances
    // readers see are unreached until the field has grown again, while the way falls
    // back on the directions, which survive.
    EXPECT_EQ(field.resets.load(), 0u);
    addGoal(field, 17, 17);
    field.solveUntilIdle();
    EXPECT_EQ(field.resets.load(), 0u);
    const glm::vec2 kept = field.direction(290, 290);
    ASSERT_NE(kept, Zero);
    field.queueCellValues({10, 0, 10}, {0, 0, 0}, Unreached);
    field.step();
    EXPECT_EQ(field.resets.load(), 1u);
    EXPECT_EQ(field.sharedDistance(290, 290), Unreached);
    EXPECT_EQ(field.wayAt(290.3f, 290.0f), kept);
    field.solveUntilIdle();
    for (u32 i = 0; i < n * n; i++) ASSERT_EQ(field.sharedDistance(i % n, i / n), field.distances[i]) << i;
}

#include "Game/Towers/AimRules.h"
#include "Game/Towers/ReachGrid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr u32 Side = 41; // 40 x 40 cells
const glm::vec3 Origin(-20.0f, 0.0f, -20.0f);

// A flat step grid (step 0) with a few raised vertices.
std::vector<i32> flatSteps()
{
    return std::vector<i32>(Side * Side, 0);
}

// A wall 4 units high across the whole grid at world x = 6 (grid x = 26): a segment
// hits it when it crosses that plane below the wall's top.
struct Wall {
    f32 x = 6.0f;
    f32 top = 4.0f;
    int tests = 0;

    bool hits(const glm::vec3& from, const glm::vec3& to)
    {
        tests++;
        if ((from.x - x) * (to.x - x) > 0.0f || from.x == to.x) return false;
        const f32 s = (x - from.x) / (to.x - from.x);
        return from.y + s * (to.y - from.y) < top;
    }
};

ReachTerrain terrainWith(const std::vector<i32>& steps, Wall& wall)
{
    ReachTerrain terrain;
    terrain.steps = steps.data();
    terrain.side = Side;
    terrain.origin = Origin;
    terrain.segmentHitsTerrain = [&wall](const glm::vec3& a, const glm::vec3& b) { return wall.hits(a, b); };
    return terrain;
}

f32 horizontalDistance(i32 cx, i32 cz, glm::vec2 tower)
{
    return std::hypot(static_cast<f32>(cx) + 0.5f - tower.x, static_cast<f32>(cz) + 0.5f - tower.y);
}

} // namespace

TEST(ReachGrid, WallBlocksTheFlatArcButNotTheLob)
{
    const std::vector<i32> steps = flatSteps();
    const glm::vec2 tower(20.5f, 20.5f);
    const glm::vec3 muzzle = Origin + glm::vec3(tower.x, 3.0f, tower.y);
    const f32 radius = 15.0f;

    Wall flatWall, lobWall;
    ReachGrid cannon(tower, radius, AimRules::Gravity, terrainWith(steps, flatWall));
    ReachGrid mortar(tower, radius, AimRules::Gravity, terrainWith(steps, lobWall));
    EXPECT_TRUE(cannon.dirty);
    EXPECT_EQ(cannon.x0, 5);
    EXPECT_EQ(cannon.z0, 5);
    EXPECT_EQ(cannon.width, 31u);
    EXPECT_EQ(cannon.depth, 31u);
    EXPECT_EQ(cannon.reachable.size(), 31u * 31u);

    cannon.rebuild(muzzle, 50.0f, true);
    mortar.rebuild(muzzle, 50.0f, false);
    EXPECT_FALSE(cannon.dirty);
    int beyondWall = 0;
    for (i32 cz = cannon.z0; cz < cannon.z0 + 31; cz++) {
        for (i32 cx = cannon.x0; cx < cannon.x0 + 31; cx++) {
            SCOPED_TRACE(testing::Message() << "cell " << cx << ", " << cz);
            const f32 distance = horizontalDistance(cx, cz, tower);
            const bool inRadius = distance <= radius && distance * distance >= 0.1f;
            if (cx >= 26 && inRadius) {
                beyondWall++;
                EXPECT_FALSE(cannon.isReachable(cx, cz));
                EXPECT_TRUE(mortar.isReachable(cx, cz));
            } else {
                EXPECT_EQ(cannon.isReachable(cx, cz), inRadius);
                EXPECT_EQ(mortar.isReachable(cx, cz), inRadius);
            }
        }
    }
    EXPECT_GT(beyondWall, 50);
    // The tower's own cell is closer than sqrt(0.1); its neighbours are not.
    EXPECT_FALSE(cannon.isReachable(20, 20));
    EXPECT_TRUE(cannon.isReachable(21, 20));
    // Outside the rectangle nothing is reachable.
    EXPECT_FALSE(cannon.isReachable(4, 20));
    EXPECT_FALSE(cannon.isReachable(20, 36));
    EXPECT_FALSE(cannon.isReachable(-1, -1));
}

TEST(ReachGrid, SegmentsFollowTheArcToEachCellsAimPoint)
{
    // Raised vertices on either side of the diagonal tell x from z.
    std::vector<i32> steps = flatSteps();
    steps[25 * Side + 22] = 7; // vertex (22, 25)
    steps[22 * Side + 25] = 2; // vertex (25, 22)
    const glm::vec2 tower(20.5f, 20.5f);
    const glm::vec3 muzzle = Origin + glm::vec3(tower.x, 3.0f, tower.y);

    std::vector<std::pair<glm::vec3, glm::vec3>> segments;
    ReachTerrain terrain;
    terrain.steps = steps.data();
    terrain.side = Side;
    terrain.origin = Origin;
    terrain.segmentHitsTerrain = [&segments](const glm::vec3& a, const glm::vec3& b) {
        segments.emplace_back(a, b);
        return false;
    };
    ReachGrid grid(tower, 6.0f, AimRules::Gravity, terrain);
    grid.rebuild(muzzle, 30.0f, false);

    // Five segments per cell in reach, joined end to end from the muzzle to the cell's
    // aim point 1 unit above its vertex's step.
    int cellsInReach = 0;
    for (u8 cell : grid.reachable) cellsInReach += cell;
    ASSERT_EQ(segments.size(), static_cast<size_t>(cellsInReach) * AimRules::ArcSegments);
    int found = 0;
    for (size_t i = 0; i < segments.size(); i += AimRules::ArcSegments) {
        EXPECT_EQ(segments[i].first, muzzle);
        for (size_t k = 1; k < AimRules::ArcSegments; k++) EXPECT_EQ(segments[i + k].first, segments[i + k - 1].second);
        const glm::vec3 end = segments[i + AimRules::ArcSegments - 1].second;
        const glm::vec3 cell = end - Origin;
        const i32 cx = static_cast<i32>(std::floor(cell.x));
        const i32 cz = static_cast<i32>(std::floor(cell.z));
        EXPECT_NEAR(cell.x, static_cast<f32>(cx) + 0.5f, 1e-3f);
        EXPECT_NEAR(cell.z, static_cast<f32>(cz) + 0.5f, 1e-3f);
        const f32 expectedY = static_cast<f32>(steps[static_cast<size_t>(cz) * Side + cx]) * 0.4f + 1.0f;
        EXPECT_NEAR(end.y, expectedY, 2e-3f) << cx << ", " << cz;
        found += (cx == 22 && cz == 25) + (cx == 25 && cz == 22);
        // A lob: the middle of the arc is well above both ends.
        EXPECT_GT(segments[i + 2].second.y, std::max(muzzle.y, end.y) + 5.0f);
    }
    EXPECT_EQ(found, 2);
}

TEST(ReachGrid, RangeRectangleAndBuckets)
{
    const std::vector<i32> steps = flatSteps();
    Wall none;
    none.top = -1000.0f;

    // Too slow to reach far: only cells within about 2.5 units.
    ReachGrid slow({20.5f, 20.5f}, 15.0f, AimRules::Gravity, terrainWith(steps, none));
    slow.rebuild(Origin + glm::vec3(20.5f, 1.0f, 20.5f), 10.0f, true);
    EXPECT_TRUE(slow.isReachable(22, 20));
    EXPECT_FALSE(slow.isReachable(24, 20));
    EXPECT_FALSE(slow.isReachable(30, 20));

    // Clipped at the far edge (cells up to side - 2) and at 0.
    ReachGrid edge({38.0f, 3.0f}, 15.0f, AimRules::Gravity, terrainWith(steps, none));
    EXPECT_EQ(edge.x0, 23);
    EXPECT_EQ(edge.width, 17u);
    EXPECT_EQ(edge.z0, 0);
    EXPECT_EQ(edge.depth, 19u);
    edge.rebuild(Origin + glm::vec3(38.0f, 3.0f, 3.0f), 50.0f, true);
    EXPECT_TRUE(edge.isReachable(39, 0));
    EXPECT_FALSE(edge.isReachable(40, 0));

    // A tower off the grid, or at no position at all, covers nothing.
    const f32 nan = std::numeric_limits<f32>::quiet_NaN();
    for (glm::vec2 position : {glm::vec2(-100.0f, -100.0f), glm::vec2(3.0e9f, 5.0f), glm::vec2(nan, 5.0f)}) {
        ReachGrid off(position, 15.0f, AimRules::Gravity, terrainWith(steps, none));
        EXPECT_EQ(off.width * off.depth, 0u);
        off.rebuild(glm::vec3(0.0f), 50.0f, true);
        EXPECT_FALSE(off.isReachable(0, 0));
    }

    // Buckets of 8 x 8 units, column by column, capped at the grid's last bucket.
    EXPECT_EQ(bucketsPerSide(1025), 128u);
    EXPECT_EQ(bucketsInReach({3.0f, 3.0f}, 10.0f, 128), (std::vector<u32>{0, 128, 1, 129}));
    const std::vector<u32> far = bucketsInReach({1020.0f, 1020.0f}, 30.0f, 128);
    ASSERT_EQ(far.size(), 25u);
    EXPECT_EQ(far.front(), 123u * 128 + 123);
    EXPECT_EQ(far[1], 124u * 128 + 123);
    EXPECT_EQ(far[5], 123u * 128 + 124);
    EXPECT_EQ(far.back(), 127u * 128 + 127);
    EXPECT_TRUE(bucketsInReach({-200.0f, 500.0f}, 30.0f, 128).empty());
    EXPECT_TRUE(bucketsInReach({nan, 500.0f}, 30.0f, 128).empty());
}

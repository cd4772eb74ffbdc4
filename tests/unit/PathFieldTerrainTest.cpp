#include "PathFieldPasses.h"

#include "Engine/Camera/Random.h"
#include "Game/Navigation/PathField.h"
#include "World/Terrain/TerrainGrid.h"

#include <gtest/gtest.h>

namespace {

using namespace PathDistanceRules;

// A real island from the game's generator, smaller than the game's (257 x 257 points,
// droplets in proportion), with sites for a castle (8 x 8), a tower (2 x 2) and a wall
// (2 x 1) found as the game finds them.
struct SmallIsland {
    std::vector<f32> heights;
    u32 n = 0;
    glm::ivec3 castle, tower, wall;
};

const SmallIsland& island()
{
    static const SmallIsland made = [] {
        TerrainGrid grid(32, 8);
        grid.generateHeightMap(7);
        grid.erode(25000);
        grid.createSteps();
        Random source(7);
        const i32 c = static_cast<i32>(grid.gridSize / 2);
        return SmallIsland{grid.heights, grid.gridSize,
                           grid.findBuildSite({c, c}, {8, 1, 8}, static_cast<f32>(grid.gridSize) * 0.35f, 2, source),
                           grid.findBuildSite({c + 40, c + 15}, {2, 1, 2}, 15.0f, 1, source),
                           grid.findBuildSite({c + 20, c + 5}, {2, 1, 1}, 10.0f, 1, source)};
    }();
    return made;
}

constexpr glm::ivec3 CastleSize{8, 0, 8}, TowerSize{2, 0, 2}, WallSize{2, 0, 1};

// The solver's field is converged by the rules, and compared with the field of the
// plain passes from the same goals and costs it reaches the same vertices, no walk is
// dearer beyond a few vertices and the walks are no dearer on the whole. (The passes
// solve many vertices before their cheaper neighbours and solve them again only when
// a neighbour undercuts them by more than the slack, so on slopes theirs come out
// dearer: the rules admit more than one converged field.)
void expectConvergedAlike(const PathField& own, const PathField& plain)
{
    PathField copy(island().heights, own.gridSize, false);
    copy.edgeCosts = own.edgeCosts;
    copy.distances = own.distances;
    for (size_t i = 0; i < own.distances.size(); i++) copy.directions[i].store(own.directions[i].load());
    PathFieldPasses passes(copy);
    passes.reset(true);
    passes.solveUntilIdle();
    EXPECT_EQ(copy.distances, own.distances) << "the plain passes still change the field";

    u32 reachDiffers = 0, improvable = 0, turned = 0, dearer = 0, solved = 0;
    f64 ownSum = 0, plainSum = 0;
    for (u32 i = 0; i < own.distances.size(); i++) {
        const u32 x = i % own.gridSize, z = i / own.gridSize;
        const f32 a = own.distances[i], b = plain.distances[i];
        turned += copy.directions[i].load() != own.directions[i].load();
        reachDiffers += (a < SolvedLimit) != (b < SolvedLimit);
        if (!(a > 0.0f && a < SolvedLimit)) continue;
        solved++;
        improvable += own.solveCell(x, z).distance < a; // no solve shortens any vertex
        dearer += a > b + 0.5f;
        ownSum += a;
        plainSum += b;
    }
    EXPECT_EQ(turned, 0u);
    EXPECT_EQ(reachDiffers, 0u);
    EXPECT_EQ(improvable, 0u);
    ASSERT_GT(solved, own.distances.size() / 4);
    EXPECT_LT(dearer, solved / 100);
    EXPECT_LE(ownSum, plainSum);
}

TEST(PathFieldTerrain, SolverConvergesAsThePlainPassesDoOnARealIsland)
{
    const SmallIsland& land = island();
    PathField own(land.heights, land.n, false), plain(land.heights, land.n, false);
    PathFieldPasses passes(plain);
    own.queueCellValues(land.castle, CastleSize, Goal);
    own.solveUntilIdle();
    passes.addGoals(land.castle, CastleSize);
    passes.solveUntilIdle();
    expectConvergedAlike(own, plain);

    // A tower added spreads without a reset.
    own.queueCellValues(land.tower, TowerSize, Goal);
    own.solveUntilIdle();
    passes.addGoals(land.tower, TowerSize);
    passes.solveUntilIdle();
    expectConvergedAlike(own, plain);

    // A wall placed resets the field, which regrows from both goals.
    own.queueFixedCosts(land.wall, WallSize, PathCostRules::WallCost);
    own.solveUntilIdle();
    for (i32 z = land.wall.z; z <= land.wall.z + WallSize.z; z++) {
        for (i32 x = land.wall.x; x <= land.wall.x + WallSize.x; x++) {
            plain.computeEdgeCosts({{30.0f, 30.0f, 30.0f, 30.0f}, static_cast<u32>(x), static_cast<u32>(z)});
        }
    }
    passes.reset();
    passes.solveUntilIdle();
    expectConvergedAlike(own, plain);
}

TEST(PathFieldTerrain, AWallPlacedAndSoldLeavesTheFieldAsItWas)
{
    const SmallIsland& land = island();
    PathField regrown(land.heights, land.n, false), walled(land.heights, land.n, false);
    for (PathField* field : {&regrown, &walled}) {
        field->queueCellValues(land.castle, CastleSize, Goal);
        field->queueCellValues(land.tower, TowerSize, Goal);
        field->solveUntilIdle();
    }
    // Slope costs restored where nothing changed still reset: the field regrown from
    // its goals alone.
    regrown.queueFixedCosts(land.wall, WallSize, PathCostRules::RestoreSlope);
    regrown.solveUntilIdle();
    walled.queueFixedCosts(land.wall, WallSize, PathCostRules::WallCost);
    walled.solveUntilIdle();
    EXPECT_NE(walled.distances, regrown.distances) << "the wall is in someone's way";

    walled.queueFixedCosts(land.wall, WallSize, PathCostRules::RestoreSlope);
    walled.solveUntilIdle();
    EXPECT_EQ(walled.edgeCosts, regrown.edgeCosts);
    EXPECT_EQ(walled.distances, regrown.distances);
    for (size_t i = 0; i < walled.distances.size(); i++) {
        ASSERT_EQ(walled.directions[i].load(), regrown.directions[i].load()) << i;
    }
}

} // namespace

// Picking under the cursor in a small query world: a flat slab of terrain over a 17 x 17
// grid (origin (-8, 0, -8)) and wider than it, a building box standing on it, and
// cameras that look down, graze the ground, miss it or are broken.

#include "Engine/Camera/Camera.h"
#include "Engine/Physics/CollisionType.h"
#include "Engine/Physics/PhysicsReference.h"
#include "Engine/Physics/PhysicsWorld.h"
#include "Game/Tools/Picker.h"
#include "Game/Tools/ToolRules.h"
#include "World/Terrain/TerrainGrid.h"
#include "World/World.h"

#include <btBulletDynamicsCommon.h>
#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr f32 Nan = std::numeric_limits<f32>::quiet_NaN();
const glm::ivec2 Window{100, 100};
const glm::ivec2 Middle{50, 50};

class PickerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        queryWorld.init(QueryWorldGravity);
        physics.world = &queryWorld;
        grid.steps.assign(static_cast<size_t>(grid.gridSize) * grid.gridSize, 0);
        // Terrain: a slab whose top is at height 0, reaching 40 units beyond the grid.
        ground.setCollisionShape(&slab);
        ground.getWorldTransform().setOrigin(btVector3(0.0f, -0.5f, 0.0f));
        ground.setUserPointer(&groundReference);
        queryWorld.world->addCollisionObject(&ground, CollisionTerrain, -1);
        // A building: a 2 x 2 x 2 box on the grid's cells (3, 3) to (4, 4).
        building.setCollisionShape(&box);
        building.getWorldTransform().setOrigin(btVector3(-4.0f, 1.0f, -4.0f));
        building.setUserPointer(&buildingReference);
        queryWorld.world->addCollisionObject(&building, CollisionBuilding, -1);
        camera.setPerspective(60.0f, 1.0f, 0.5f, 1000.0f);
    }

    void TearDown() override
    {
        queryWorld.world->removeCollisionObject(&building);
        queryWorld.world->removeCollisionObject(&ground);
        physics.world = nullptr;
    }

    void look(glm::vec3 from, glm::vec3 forward)
    {
        camera.position = from;
        camera.forward = glm::normalize(forward);
        camera.updateView();
    }

    RayHit pick(u32 mask, glm::ivec2 cursor = Middle, glm::ivec2 window = Window)
    {
        return Picker::pick({&camera, cursor, window}, physics, mask, true);
    }

    bool cell(i32 gx, i32 gz, glm::ivec3& out, glm::ivec2 cursor = Middle, glm::ivec2 window = Window)
    {
        return Picker::cellUnder({&camera, cursor, window}, physics, grid, origin, gx, gz, out);
    }

    const glm::vec3 origin{-8.0f, 0.0f, -8.0f};
    PhysicsWorld queryWorld;
    WorldPhysics physics;
    TerrainGrid grid{8, 2};
    btBoxShape slab{btVector3(48.0f, 0.5f, 48.0f)};
    btBoxShape box{btVector3(1.0f, 1.0f, 1.0f)};
    btCollisionObject ground;
    btCollisionObject building;
    PhysicsReference groundReference{CollisionTerrain, nullptr, nullptr, 0, nullptr};
    PhysicsReference buildingReference{CollisionBuilding, &building, nullptr, 0, nullptr};
    Camera camera;
};

} // namespace

TEST_F(PickerTest, StraightDownTheCellUnderTheCursorTakesTheHighestStep)
{
    ASSERT_EQ(grid.gridSize, 17u);
    look({0.3f, 20.0f, -0.2f}, {0.0f, -1.0f, 0.0f});
    const RayHit hit = pick(ToolPickRules::TerrainMask);
    ASSERT_TRUE(hit.hit);
    EXPECT_EQ(hit.type, static_cast<u32>(CollisionTerrain));
    EXPECT_NEAR(hit.point.y, 0.0f, 1e-3f);
    EXPECT_NEAR(hit.distance, 20.0f, 1e-2f);

    // Grid x 8.3, z 7.8: a 1 x 1 footprint at (8, 7) and a 2 x 2 one at (7, 7), each
    // standing on the highest step of the grid vertices under it.
    grid.steps[7 * 17 + 8] = 2;
    grid.steps[9 * 17 + 9] = 5;
    glm::ivec3 found;
    ASSERT_TRUE(cell(1, 1, found));
    EXPECT_EQ(found, glm::ivec3(8, 2, 7));
    ASSERT_TRUE(cell(2, 2, found));
    EXPECT_EQ(found, glm::ivec3(7, 5, 7));

    // The building hides the terrain behind it, unless only terrain is asked for.
    look({-4.0f, 20.0f, -4.0f}, {0.0f, -1.0f, 0.0f});
    const RayHit onBuilding = pick(ToolPickRules::BuildingMask);
    ASSERT_TRUE(onBuilding.hit);
    EXPECT_EQ(onBuilding.type, static_cast<u32>(CollisionBuilding));
    EXPECT_EQ(onBuilding.owner, &building);
    EXPECT_NEAR(onBuilding.point.y, 2.0f, 1e-3f);
    EXPECT_EQ(pick(ToolPickRules::TerrainMask).type, static_cast<u32>(CollisionTerrain));
}

TEST_F(PickerTest, RaysThatMissOrGrazeAndPointsOffTheGrid)
{
    glm::ivec3 found;
    // Looking up, and looking down beside the slab: nothing.
    look({0.0f, 5.0f, 0.0f}, {0.0f, 1.0f, 0.2f});
    EXPECT_FALSE(pick(ToolPickRules::BuildingMask).hit);
    EXPECT_FALSE(cell(1, 1, found));
    look({80.0f, 5.0f, 0.0f}, {0.0f, -1.0f, 0.0f});
    EXPECT_FALSE(pick(ToolPickRules::BuildingMask).hit);

    // Level with the ground just above it: the ray never comes down to the slab.
    look({-7.5f, 0.01f, 0.0f}, {1.0f, 0.0f, 0.0f});
    EXPECT_FALSE(pick(ToolPickRules::TerrainMask).hit);

    // Grazing: a shallow ray that comes down on the grid, and one that comes down on
    // the slab beyond it, which is no cell of the grid.
    look({-7.0f, 0.2f, 0.5f}, {1.0f, -0.045f, 0.0f});
    const RayHit near = pick(ToolPickRules::TerrainMask);
    ASSERT_TRUE(near.hit);
    EXPECT_NEAR(near.point.x, -2.556f, 0.05f);
    ASSERT_TRUE(cell(1, 1, found));
    EXPECT_EQ(found.x, 5);
    look({-7.0f, 0.2f, 0.5f}, {1.0f, -0.005f, 0.0f});
    const RayHit far = pick(ToolPickRules::TerrainMask);
    ASSERT_TRUE(far.hit);
    EXPECT_GT(far.point.x, 8.0f);
    EXPECT_FALSE(cell(1, 1, found)) << "beyond the grid";

    // At the grid's edges: a footprint whose far side would reach the last vertex, or
    // whose corner lies before the first, has no cell.
    look({7.2f, 20.0f, 0.0f}, {0.0f, -1.0f, 0.0f});
    ASSERT_TRUE(cell(1, 1, found));
    EXPECT_EQ(found.x, 15);
    EXPECT_FALSE(cell(3, 1, found)) << "x + gx reaches the last vertex";
    look({-7.9f, 20.0f, 0.0f}, {0.0f, -1.0f, 0.0f});
    ASSERT_TRUE(cell(3, 3, found)) << "trunc(0.1 - 1.5 + 0.5) is 0, toward zero";
    EXPECT_EQ(found.x, 0);
    EXPECT_FALSE(cell(5, 5, found)) << "trunc(0.1 - 2.5 + 0.5) is -1";
}

TEST_F(PickerTest, BrokenRaysPickNothing)
{
    glm::ivec3 found;
    look({0.0f, 20.0f, 0.0f}, {0.0f, -1.0f, 0.0f});
    ASSERT_TRUE(pick(ToolPickRules::BuildingMask).hit);

    // A window of no size (minimised): no ray, and no cell.
    EXPECT_FALSE(pick(ToolPickRules::BuildingMask, {0, 0}, {0, 0}).hit);
    EXPECT_FALSE(cell(1, 1, found, {0, 0}, {0, 0}));

    // A camera whose position or view is not finite.
    look({Nan, 20.0f, 0.0f}, {0.0f, -1.0f, 0.0f});
    EXPECT_FALSE(pick(ToolPickRules::BuildingMask).hit);
    EXPECT_FALSE(cell(1, 1, found));
    camera.position = {0.0f, 20.0f, 0.0f};
    camera.forward = {Nan, Nan, Nan};
    camera.updateView();
    EXPECT_FALSE(pick(ToolPickRules::BuildingMask).hit);
    EXPECT_FALSE(cell(1, 1, found));
    look({0.0f, 20.0f, 0.0f}, {0.0f, -1.0f, 0.0f});
    camera.setPerspective(Nan, 1.0f, 0.5f, 1000.0f);
    EXPECT_FALSE(pick(ToolPickRules::BuildingMask).hit);

    // A camera so far out that the point it meets lies beyond any cell.
    camera.setPerspective(60.0f, 1.0f, 0.5f, 1000.0f);
    look({3.0e9f, 20.0f, 0.0f}, {0.0f, -1.0f, 0.0f});
    EXPECT_FALSE(cell(1, 1, found));
}

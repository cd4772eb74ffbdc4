#include "PhysicsTestSupport.h"

#include "Engine/Physics/PhysicsObject.h"
#include "Engine/Physics/PhysicsReference.h"
#include "Engine/Physics/RayHit.h"

#include <gtest/gtest.h>

using namespace physics_test;

namespace {

// A query world like a game's: a terrain slab at y 0..1, a building box standing on
// it at x 0 (top at y 5), and a box without any reference at x 20 (top at y 3).
class PhysicsRay : public ::testing::Test {
protected:
    void SetUp() override
    {
        world.init(QueryWorldGravity);
        add(terrain, CollisionTerrain, nullptr);
        add(building, CollisionBuilding, buildingOwner);
        world.world->addRigidBody(plain.body, CollisionTerrain, -1); // no reference
    }
    void TearDown() override
    {
        for (PhysicsObject* object : {&terrain, &building, &plain}) world.world->removeRigidBody(object->body);
    }
    void add(PhysicsObject& object, u32 type, std::shared_ptr<int> owner)
    {
        object.setReference(new PhysicsReference(type, &object, owner, 0, nullptr));
        world.world->addRigidBody(object.body, static_cast<int>(type), -1);
    }

    PhysicsWorld world;
    btBoxShape slabShape{btVector3(100, 0.5f, 100)};
    btBoxShape buildingShape{btVector3(2, 2, 2)};
    btBoxShape plainShape{btVector3(1, 1, 1)};
    PhysicsObject terrain{&slabShape, at(0, 0.5f, 0), {}};
    PhysicsObject building{&buildingShape, at(0, 3, 0), {}};
    PhysicsObject plain{&plainShape, at(20, 2, 0), {}};
    std::shared_ptr<int> buildingOwner = std::make_shared<int>(512);
};

glm::vec3 down(f32 x)
{
    return {x, 50, 0};
}
glm::vec3 below(f32 x)
{
    return {x, -50, 0};
}

} // namespace

TEST_F(PhysicsRay, MaskZeroHitsNothingAndReturnsZeros)
{
    const RayHit hit = Physics::rayCastClosest(down(0), below(0), world.world, 0);
    EXPECT_EQ(hit.hit, 0);
    EXPECT_EQ(hit.point, glm::vec3(0));
    EXPECT_EQ(hit.distance, 0.0f);
    EXPECT_EQ(hit.type, 0u);
    EXPECT_EQ(hit.owner, nullptr);
    EXPECT_EQ(hit.sharedOwner, nullptr);
}

TEST_F(PhysicsRay, TheMaskSelectsWhichGroupsCount)
{
    // Terrain only: the building in front is passed through.
    RayHit hit = Physics::rayCastClosest(down(0), below(0), world.world, CollisionTerrain);
    ASSERT_EQ(hit.hit, 1);
    EXPECT_EQ(hit.type, CollisionTerrain);
    EXPECT_NEAR(hit.point.y, 1.0f, 1e-4f);
    EXPECT_NEAR(hit.distance, 49.0f, 1e-3f);
    EXPECT_EQ(hit.owner, &terrain);
    EXPECT_EQ(hit.sharedOwner, nullptr) << "terrain has no shared owner";

    // Buildings and terrain: the closer building is taken, with a counted owner copy.
    const long before = buildingOwner.use_count();
    hit = Physics::rayCastClosest(down(0), below(0), world.world, CollisionTerrain | CollisionBuilding);
    ASSERT_EQ(hit.hit, 1);
    EXPECT_EQ(hit.type, CollisionBuilding);
    EXPECT_NEAR(hit.point.y, 5.0f, 1e-4f);
    EXPECT_NEAR(hit.distance, 45.0f, 1e-3f);
    EXPECT_EQ(hit.owner, &building);
    EXPECT_EQ(hit.sharedOwner.get(), buildingOwner.get());
    EXPECT_EQ(buildingOwner.use_count(), before + 1);

    // Buildings only, beside the building: nothing.
    hit = Physics::rayCastClosest(down(50), below(50), world.world, CollisionBuilding);
    EXPECT_EQ(hit.hit, 0);
}

TEST_F(PhysicsRay, ABodyWithoutReferenceGivesPointAndDistanceButNoOwner)
{
    const RayHit hit = Physics::rayCastClosest(down(20), below(20), world.world, CollisionTerrain);
    ASSERT_EQ(hit.hit, 1);
    EXPECT_NEAR(hit.point.y, 3.0f, 1e-4f);
    EXPECT_NEAR(hit.distance, 47.0f, 1e-3f);
    EXPECT_EQ(hit.type, 0u);
    EXPECT_EQ(hit.owner, nullptr);
    EXPECT_EQ(hit.sharedOwner, nullptr);
}

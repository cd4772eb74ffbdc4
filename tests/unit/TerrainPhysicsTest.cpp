#include "RegistryDrain.h"

#include "Engine/Physics/PhysicsObject.h"
#include "Engine/Physics/PhysicsReference.h"
#include "Engine/Physics/PhysicsWorld.h"
#include "Engine/Physics/RayHit.h"
#include "Engine/Physics/Registry.h"
#include "World/Terrain/CollisionMesh.h"
#include "World/Terrain/TerrainGrid.h"
#include "World/Terrain/TerrainPhysics.h"

#include <btBulletDynamicsCommon.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

struct FlatGround : TerrainGrid {
    FlatGround() : TerrainGrid(4, 2) { std::fill(steps.begin(), steps.end(), 5); } // 2 units high
};

} // namespace

TEST(TerrainPhysics, BodiesInBothWorldsAndTheirTeardown)
{
    FlatGround grid;
    auto* mesh = new btTriangleMesh(true, true);
    fillCollisionMesh(grid, *mesh);
    btBvhTriangleMeshShape* shape = buildCollisionShape(mesh, 2);
    PhysicsWorld query;
    query.init(QueryWorldGravity);
    std::mutex queryMutex;
    int owner = 0;

    TerrainBodies bodies = createTerrainBodies(shape, &owner, &query, queryMutex);
    PhysicsObject* object = bodies.object;
    ASSERT_NE(object, nullptr);
    ASSERT_NE(bodies.queryBody, nullptr);

    // The engine-world object: static, hidden from the debug view, group terrain.
    EXPECT_EQ(object->body->getInvMass(), 0.0f);
    EXPECT_TRUE(object->body->getCollisionFlags() & btCollisionObject::CF_DISABLE_VISUALIZE_OBJECT);
    EXPECT_EQ(object->useGroupMask, 1);
    EXPECT_EQ(object->group, 64);
    EXPECT_EQ(object->mask, -1);
    EXPECT_EQ(object->shape, shape);
    ASSERT_NE(object->reference, nullptr);
    EXPECT_EQ(object->reference->type, 64u);
    EXPECT_EQ(object->reference->mask, 0u);
    EXPECT_FLOAT_EQ(object->reference->contactThreshold, 0.1f);
    EXPECT_EQ(object->reference->owner, &owner);
    EXPECT_FALSE(object->reference->sharedOwner);
    EXPECT_FALSE(object->reference->onCollision);
    EXPECT_EQ(object->body->getUserPointer(), object->reference);
    {
        std::lock_guard lock(registryMutex);
        EXPECT_EQ(std::count(Registry::pendingAdd.begin(), Registry::pendingAdd.end(), object), 1);
    }

    // The query body: same shape and motion state, group terrain, every mask.
    EXPECT_EQ(query.world->getNumCollisionObjects(), 1);
    EXPECT_EQ(bodies.queryBody->getCollisionShape(), shape);
    EXPECT_EQ(bodies.queryBody->getMotionState(), object->motionState);
    EXPECT_EQ(bodies.queryBody->getBroadphaseHandle()->m_collisionFilterGroup, 64);
    EXPECT_EQ(bodies.queryBody->getBroadphaseHandle()->m_collisionFilterMask, -1);
    // A ray down hits the ground at its step height and reports the terrain.
    RayHit hit = Physics::rayCastClosest({1.3f, 50.0f, 2.6f}, {1.2f, -50.0f, 2.5f}, query.world, 64);
    EXPECT_EQ(hit.hit, 1);
    EXPECT_NEAR(hit.point.y, 2.0f, 1e-4f);
    EXPECT_EQ(hit.type, 64u);
    EXPECT_EQ(hit.owner, &owner);
    EXPECT_EQ(Physics::rayCastClosest({1.3f, 50.0f, 2.6f}, {1.2f, -50.0f, 2.5f}, query.world, 512).hit, 0);

    destroyTerrainBodies(bodies, shape, mesh, &query, queryMutex);
    EXPECT_EQ(bodies.queryBody, nullptr);
    EXPECT_EQ(bodies.object, nullptr);
    EXPECT_EQ(query.world->getNumCollisionObjects(), 0);
    {
        std::lock_guard lock(registryMutex);
        EXPECT_EQ(std::count(Registry::pendingRemove.begin(), Registry::pendingRemove.end(), object), 1);
        EXPECT_EQ(object->removeRequested.load(), 1);
        // The shape is deleted after the object, the mesh after the shape.
        EXPECT_EQ(std::count(Registry::pendingShapeDelete.begin(), Registry::pendingShapeDelete.end(), shape), 1);
        EXPECT_EQ(std::count(Registry::pendingMeshDelete.begin(), Registry::pendingMeshDelete.end(), mesh), 1);
    }
    drainRegistry(object, shape, mesh);
}

#include "PhysicsTestSupport.h"

#include "Engine/Physics/PhysicsObject.h"
#include "Engine/Physics/Simulation.h"

#include <gtest/gtest.h>

using namespace physics_test;

namespace {

class PhysicsRegistry : public ::testing::Test {
protected:
    void SetUp() override { world.init(EngineWorldGravity); }
    void TearDown() override { Simulation::releaseRemaining(world); }

    PhysicsWorld world;
    EventLog log;
    btBoxShape box{btVector3(1, 1, 1)};
};

} // namespace

TEST_F(PhysicsRegistry, ASecondRemovalRequestIsIgnored)
{
    TrackedObject* object = makeTracked(log, "object", &box, at(0, 0, 0));
    Registry::addPhysicsObject(object);
    Registry::removePhysicsObject(object);
    Registry::removePhysicsObject(object); // a contact that repeats in the next step
    EXPECT_EQ(object->removeRequested, 1);
    std::lock_guard lock(registryMutex);
    EXPECT_EQ(Registry::pendingAdd.size(), 1u);
    EXPECT_EQ(Registry::pendingRemove.size(), 1u);
}

TEST_F(PhysicsRegistry, ReleaseRemainingEmptiesTheWorldAndDeletesEachObjectOnce)
{
    TrackedObject* pendingOnly = makeTracked(log, "pending", &box, at(0, 0, 0));
    TrackedObject* addedAndRemoved = makeTracked(log, "addedAndRemoved", &box, at(0, 0, 0));
    Registry::addPhysicsObject(pendingOnly);
    Registry::addPhysicsObject(addedAndRemoved);
    Registry::removePhysicsObject(addedAndRemoved);

    // Objects already in the world, as the simulation thread leaves them.
    for (const char* name : {"active0", "active1"}) {
        TrackedObject* object = makeTracked(log, name, &box, at(0, 0, 0));
        world.world->addRigidBody(object->body);
        object->inWorld = 1;
        object->activeIndex = static_cast<u32>(Registry::active.size());
        Registry::active.push_back(object);
    }
    Registry::removePhysicsObject(Registry::active[1]); // removal queued but not applied

    Registry::deleteShapeLater(new TrackedShape(&log, "shape"));
    Registry::deleteMeshLater(new TrackedMesh(&log, "mesh"));

    Simulation::releaseRemaining(world);

    EXPECT_EQ(world.world->getNumCollisionObjects(), 0);
    EXPECT_TRUE(Registry::active.empty());
    for (const char* name : {"pending", "addedAndRemoved", "active0", "active1", "shape", "mesh"}) {
        EXPECT_EQ(log.count(name), 1u) << name;
    }
    const auto events = log.snapshot();
    ASSERT_EQ(events.size(), 6u);
    EXPECT_EQ(events[4], "shape") << "shapes after the objects";
    EXPECT_EQ(events[5], "mesh") << "meshes after the shapes";
    std::lock_guard lock(registryMutex);
    EXPECT_TRUE(Registry::pendingAdd.empty());
    EXPECT_TRUE(Registry::pendingRemove.empty());
    EXPECT_TRUE(Registry::pendingShapeDelete.empty());
    EXPECT_TRUE(Registry::pendingMeshDelete.empty());
}

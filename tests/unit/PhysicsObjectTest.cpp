#include "PhysicsTestSupport.h"

#include "Engine/Physics/PhysicsObject.h"
#include "Engine/Physics/PhysicsReference.h"

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

using namespace physics_test;

namespace {

void expectTransformNear(const btTransform& actual, const btTransform& expected, f32 tolerance = 1e-5f)
{
    for (int i = 0; i < 3; i++) {
        EXPECT_NEAR(actual.getOrigin()[i], expected.getOrigin()[i], tolerance) << "origin " << i;
        for (int j = 0; j < 3; j++) {
            EXPECT_NEAR(actual.getBasis()[i][j], expected.getBasis()[i][j], tolerance) << "basis " << i << j;
        }
    }
}

btTransform rotatedAboutY(f32 radians, btVector3 origin)
{
    return btTransform(btQuaternion(btVector3(0, 1, 0), radians), origin);
}

} // namespace

TEST(PhysicsObject, MassDecidesBetweenStaticAndDynamic)
{
    btBoxShape box(btVector3(1, 2, 3));
    PhysicsObjectDesc desc;
    PhysicsObject fixed(&box, at(0, 0, 0), desc);
    EXPECT_TRUE(fixed.body->isStaticObject());
    EXPECT_EQ(fixed.body->getInvMass(), 0.0f);
    EXPECT_EQ(fixed.body->getLocalInertia(), btVector3(0, 0, 0));

    desc.mass = 2;
    PhysicsObject moving(&box, at(0, 0, 0), desc);
    EXPECT_FALSE(moving.body->isStaticObject());
    EXPECT_FLOAT_EQ(moving.body->getInvMass(), 0.5f);
    btVector3 inertia;
    box.calculateLocalInertia(2, inertia);
    EXPECT_EQ(moving.body->getLocalInertia(), inertia);
    EXPECT_EQ(moving.shape, &box);
}

TEST(PhysicsObject, NegativeDescValuesKeepLibraryDefaultsAndOthersAreSet)
{
    btSphereShape sphere(1);
    PhysicsObjectDesc desc; // every material and CCD value -1
    desc.mass = 1;
    PhysicsObject defaults(&sphere, at(0, 0, 0), desc);
    EXPECT_FLOAT_EQ(defaults.body->getFriction(), 0.5f);
    EXPECT_EQ(defaults.body->getRestitution(), 0.0f);
    EXPECT_EQ(defaults.body->getRollingFriction(), 0.0f);
    EXPECT_EQ(defaults.body->getSpinningFriction(), 0.0f);
    EXPECT_EQ(defaults.body->getCcdMotionThreshold(), 0.0f);
    EXPECT_EQ(defaults.body->getCcdSweptSphereRadius(), 0.0f);
    const int defaultFlags = defaults.body->getCollisionFlags();

    desc.friction = 0; // 0 is a value, not "keep"
    desc.restitution = 0.3f;
    desc.rollingFriction = 0.02f;
    desc.spinningFriction = 0.01f;
    desc.ccdMotionThreshold = 0.25f;
    desc.ccdSweptSphereRadius = 0.2f;
    desc.linearVelocity = {1, 2, 3};
    PhysicsObject set(&sphere, at(0, 0, 0), desc);
    EXPECT_EQ(set.body->getFriction(), 0.0f);
    EXPECT_FLOAT_EQ(set.body->getRestitution(), 0.3f);
    EXPECT_FLOAT_EQ(set.body->getRollingFriction(), 0.02f);
    EXPECT_FLOAT_EQ(set.body->getSpinningFriction(), 0.01f);
    EXPECT_FLOAT_EQ(set.body->getCcdMotionThreshold(), 0.25f);
    EXPECT_FLOAT_EQ(set.body->getCcdSweptSphereRadius(), 0.2f);
    EXPECT_EQ(set.body->getLinearVelocity(), btVector3(1, 2, 3));
    EXPECT_EQ(set.body->getCollisionFlags(), defaultFlags) << "flags 0 leaves them unchanged";

    desc.collisionFlags = btCollisionObject::CF_NO_CONTACT_RESPONSE;
    PhysicsObject flagged(&sphere, at(0, 0, 0), desc);
    EXPECT_EQ(flagged.body->getCollisionFlags(), defaultFlags | btCollisionObject::CF_NO_CONTACT_RESPONSE);
}

TEST(PhysicsObject, AngularSettingsSleepingAndFilterApplyOnlyWhenAsked)
{
    btCapsuleShape capsule(0.4f, 1.2f);
    PhysicsObjectDesc desc;
    desc.mass = 1;
    desc.angularFactor = {0, 1, 0};
    desc.angularDamping = 0.95f;
    desc.group = 256;
    desc.mask = -1;
    PhysicsObject unflagged(&capsule, at(0, 0, 0), desc);
    EXPECT_EQ(unflagged.body->getAngularFactor(), btVector3(1, 1, 1));
    EXPECT_EQ(unflagged.body->getAngularDamping(), 0.0f);
    EXPECT_GT(unflagged.body->getLinearSleepingThreshold(), 0.0f);
    EXPECT_EQ(unflagged.useGroupMask, 0);
    EXPECT_EQ(unflagged.group, 0);

    desc.setAngularFactor = 1;
    desc.setAngularDamping = 1;
    desc.useGroupMask = 1;
    desc.noSleeping = 1;
    PhysicsObject flagged(&capsule, at(0, 0, 0), desc);
    EXPECT_EQ(flagged.body->getAngularFactor(), btVector3(0, 1, 0));
    EXPECT_FLOAT_EQ(flagged.body->getAngularDamping(), 0.95f);
    EXPECT_EQ(flagged.body->getLinearDamping(), unflagged.body->getLinearDamping());
    EXPECT_EQ(flagged.body->getLinearSleepingThreshold(), 0.0f);
    EXPECT_EQ(flagged.body->getAngularSleepingThreshold(), 0.0f);
    EXPECT_EQ(flagged.useGroupMask, 1);
    EXPECT_EQ(flagged.group, 256);
    EXPECT_EQ(flagged.mask, -1);
}

TEST(PhysicsObject, ReferencesAreReplacedReleasedAndFreedWithTheObject)
{
    btBoxShape box(btVector3(1, 1, 1));
    auto owner = std::make_shared<int>(7);
    auto* object = new PhysicsObject(&box, at(0, 0, 0), {});

    auto* first = new PhysicsReference(CollisionBuilding, owner.get(), owner, 0, nullptr);
    EXPECT_EQ(first->contactThreshold, DefaultContactThreshold);
    object->setReference(first);
    EXPECT_EQ(object->body->getUserPointer(), first);
    EXPECT_EQ(owner.use_count(), 2);

    auto* second = new PhysicsReference(CollisionEnemy, owner.get(), owner, CollisionBuilding, [](PhysicsReference*) {}, 1.0f);
    object->setReference(second); // the first one is destroyed
    EXPECT_EQ(object->body->getUserPointer(), second);
    EXPECT_EQ(owner.use_count(), 2);

    object->setReference(nullptr); // a projectile dropping its reference after a hit
    EXPECT_EQ(object->body->getUserPointer(), nullptr);
    EXPECT_EQ(object->reference, nullptr);
    EXPECT_EQ(owner.use_count(), 1);

    object->setReference(new PhysicsReference(CollisionBuilding, owner.get(), owner, 0, nullptr));
    delete object;
    EXPECT_EQ(owner.use_count(), 1) << "the object frees its reference";
}

TEST(PhysicsObject, SharedObjectKeepsItsInstanceAliveUntilDeleted)
{
    EventLog log;
    btBoxShape box(btVector3(1, 1, 1));
    TrackedObject* object = makeTracked(log, "instance", &box, at(0, 0, 0));
    std::weak_ptr<Tracker> watch = object->owner;
    PhysicsObject* base = object;
    EXPECT_FALSE(watch.expired());
    delete base; // through the base class, as the simulation thread deletes
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(log.count("instance"), 1u);
}

TEST(PhysicsObject, InterpolationBlendsPositionLinearlyAndRotationSpherically)
{
    const btTransform a = rotatedAboutY(0, btVector3(0, 0, 0));
    const btTransform b = rotatedAboutY(SIMD_HALF_PI, btVector3(10, -4, 2));

    glm::mat4 m;
    PhysicsObject::interpolate(a, b, 0, m);
    EXPECT_NEAR(m[3][0], 0, 1e-5f);
    EXPECT_NEAR(m[0][0], 1, 1e-5f);
    PhysicsObject::interpolate(a, b, 1, m);
    EXPECT_NEAR(m[3][0], 10, 1e-5f);
    EXPECT_NEAR(m[3][1], -4, 1e-5f);
    EXPECT_NEAR(m[3][2], 2, 1e-5f);

    PhysicsObject::interpolate(a, b, 0.5f, m);
    const glm::mat4 expected = glm::rotate(glm::translate(glm::mat4(1), glm::vec3(5, -2, 1)), SIMD_HALF_PI / 2, glm::vec3(0, 1, 0));
    for (int c = 0; c < 4; c++) {
        for (int r = 0; r < 4; r++) {
            EXPECT_NEAR(m[c][r], expected[c][r], 1e-5f) << "column " << c << " row " << r;
        }
    }

    btBoxShape box(btVector3(1, 1, 1));
    PhysicsObject object(&box, a, {});
    object.previous[0] = a;
    object.current[0] = b;
    object.previous[1] = b;
    object.current[1] = a;
    expectTransformNear(object.interpolatedTransform(0, 0.5f), rotatedAboutY(SIMD_HALF_PI / 2, btVector3(5, -2, 1)));
    expectTransformNear(object.interpolatedTransform(1, 0.0f), b);
    expectTransformNear(object.interpolatedTransform(1, 1.0f), a);
}

TEST(PhysicsWorld, CanBeDeletedWhileItStillHoldsBodies)
{
    // The dynamics world must go before the broadphase and dispatcher it unlinks
    // its remaining bodies through.
    btBoxShape box(btVector3(1, 1, 1));
    PhysicsObjectDesc desc;
    desc.mass = 1;
    PhysicsObject a(&box, at(0, 0, 0), desc);
    PhysicsObject b(&box, at(0, 1.5f, 0), desc);
    {
        PhysicsWorld world;
        world.init(QueryWorldGravity);
        world.world->addRigidBody(a.body);
        world.world->addRigidBody(b.body);
        world.world->stepSimulation(1.0f / 60, 0, 1.0f / 60);
    }
    EXPECT_EQ(a.body->getBroadphaseHandle(), nullptr);
    EXPECT_EQ(b.body->getBroadphaseHandle(), nullptr);
}

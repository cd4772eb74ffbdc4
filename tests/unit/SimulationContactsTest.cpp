#include "PhysicsTestSupport.h"

#include "Engine/Physics/PhysicsObject.h"
#include "Engine/Physics/PhysicsReference.h"
#include "Engine/Physics/Simulation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace physics_test;

namespace {

// Contact dispatch over manifolds made by hand in a bare dispatcher: no stepping, so
// each test decides the bodies, their order in the manifold and the distances.
class SimulationContacts : public ::testing::Test {
protected:
    // A body with a reference whose callback logs "<name> hit <other's owner name>".
    PhysicsObject& body(const std::string& name, u32 type, u32 mask, f32 threshold)
    {
        auto& object = objects.emplace_back(std::make_unique<PhysicsObject>(&shape, at(0, 0, 0), PhysicsObjectDesc{}));
        names.push_back(std::make_unique<std::string>(name));
        object->setReference(new PhysicsReference(
            type, names.back().get(), nullptr, mask,
            [this, name](PhysicsReference* other) { calls.push_back(name + " hit " + *static_cast<std::string*>(other->owner)); },
            threshold));
        return *object;
    }
    btPersistentManifold* manifold(PhysicsObject& a, PhysicsObject& b, std::vector<f32> distances)
    {
        btPersistentManifold* m = dispatcher.getNewManifold(a.body, b.body);
        for (f32 d : distances) {
            m->addManifoldPoint(btManifoldPoint(btVector3(0, 0, 0), btVector3(0, 0, 0), btVector3(0, 1, 0), d));
        }
        return m;
    }
    void TearDown() override
    {
        while (dispatcher.getNumManifolds() > 0) dispatcher.releaseManifold(dispatcher.getManifoldByIndexInternal(0));
    }

    btDefaultCollisionConfiguration configuration;
    btCollisionDispatcher dispatcher{&configuration};
    btSphereShape shape{1};
    std::vector<std::unique_ptr<PhysicsObject>> objects;
    std::vector<std::unique_ptr<std::string>> names;
    std::vector<std::string> calls;
};

} // namespace

TEST_F(SimulationContacts, EachSideReportsWithinItsOwnThreshold)
{
    PhysicsObject& enemy = body("enemy", CollisionEnemy, CollisionBuilding, 1.0f);
    PhysicsObject& tower = body("tower", CollisionBuilding, CollisionEnemy, 0.1f);
    manifold(enemy, tower, {0.5f});
    Simulation::dispatchContacts(&dispatcher);
    EXPECT_EQ(calls, std::vector<std::string>{"enemy hit tower"}) << "0.5 is within 1.0 but not within 0.1";

    calls.clear();
    manifold(tower, enemy, {1.5f});
    Simulation::dispatchContacts(&dispatcher);
    EXPECT_EQ(calls, std::vector<std::string>{"enemy hit tower"}) << "the first manifold again; 1.5 is too far";
}

TEST_F(SimulationContacts, BothCallbacksRunFirstBodyFirst)
{
    PhysicsObject& enemy = body("enemy", CollisionEnemy, CollisionBuilding, 1.0f);
    PhysicsObject& tower = body("tower", CollisionBuilding, CollisionEnemy, 0.1f);
    manifold(tower, enemy, {0.3f, -0.05f}); // the closest point decides
    Simulation::dispatchContacts(&dispatcher);
    EXPECT_EQ(calls, (std::vector<std::string>{"tower hit enemy", "enemy hit tower"}));
}

TEST_F(SimulationContacts, MasksSelectWhichTypesReport)
{
    PhysicsObject& ball = body("ball", CollisionProjectile, CollisionEnemy, 0.2f);
    PhysicsObject& bomb = body("bomb", CollisionProjectile, CollisionEnemy | CollisionTerrain, 0.2f);
    PhysicsObject& ground = body("ground", CollisionTerrain, 0, 0.1f);
    PhysicsObject& wall = body("wall", CollisionBuilding, 0, 0.1f);
    manifold(ball, ground, {-0.1f});
    manifold(ground, bomb, {-0.1f});
    manifold(ball, wall, {-0.1f});
    Simulation::dispatchContacts(&dispatcher);
    EXPECT_EQ(calls, std::vector<std::string>{"bomb hit ground"});
}

TEST_F(SimulationContacts, ManifoldsWithoutPointsOrReferencesReportNothing)
{
    PhysicsObject& enemy = body("enemy", CollisionEnemy, CollisionBuilding, 1.0f);
    PhysicsObject& tower = body("tower", CollisionBuilding, CollisionEnemy, 1.0f);
    manifold(enemy, tower, {});
    PhysicsObject plain(&shape, at(0, 0, 0), {}); // no reference
    manifold(enemy, plain, {-1.0f});
    manifold(plain, tower, {-1.0f});
    Simulation::dispatchContacts(&dispatcher);
    EXPECT_TRUE(calls.empty());
}

TEST_F(SimulationContacts, ACallbackMayReleaseItsOwnReference)
{
    // A cannonball drops its reference after the first hit: the enemy's callback must
    // not get the freed reference, and later manifolds of the ball report nothing.
    PhysicsObject& enemy = body("enemy", CollisionEnemy, CollisionProjectile, 1.0f);
    objects.push_back(std::make_unique<PhysicsObject>(&shape, at(0, 0, 0), PhysicsObjectDesc{}));
    PhysicsObject& ball = *objects.back();
    names.push_back(std::make_unique<std::string>("ball"));
    PhysicsObject* ballObject = &ball;
    ball.setReference(new PhysicsReference(CollisionProjectile, names.back().get(), nullptr, CollisionEnemy,
                                           [this, ballObject](PhysicsReference* other) {
                                               calls.push_back("ball hit " + *static_cast<std::string*>(other->owner));
                                               ballObject->setReference(nullptr);
                                           },
                                           0.2f));
    PhysicsObject& second = body("second", CollisionEnemy, CollisionProjectile, 1.0f);
    manifold(ball, enemy, {-0.1f});
    manifold(second, ball, {-0.1f});
    Simulation::dispatchContacts(&dispatcher);
    EXPECT_EQ(calls, std::vector<std::string>{"ball hit enemy"});
    EXPECT_EQ(ball.body->getUserPointer(), nullptr);
}

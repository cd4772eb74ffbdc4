#include "Engine/Physics/PhysicsWorld.h"

#include <btBulletDynamicsCommon.h>

void PhysicsWorld::init(f32 gravityMagnitude)
{
    gravity = gravityMagnitude;
    // Default construction info: manifold and algorithm pools of 4096, EPA on.
    btDefaultCollisionConstructionInfo info;
    collisionConfiguration = new btDefaultCollisionConfiguration(info);
    dispatcher = new btCollisionDispatcher(collisionConfiguration);
    broadphase = new btDbvtBroadphase();
    solver = new btSequentialImpulseConstraintSolver();
    world = new btDiscreteDynamicsWorld(dispatcher, broadphase, solver, collisionConfiguration);
    world->setGravity(btVector3(0, -gravity, 0));
}

PhysicsWorld::~PhysicsWorld()
{
    delete world;
    delete solver;
    delete broadphase;
    delete dispatcher;
    delete collisionConfiguration;
}

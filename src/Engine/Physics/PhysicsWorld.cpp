#include "Engine/Physics/PhysicsWorld.h"

#include "Engine/Physics/CapsuleTriangleCollision.h"

#include <btBulletDynamicsCommon.h>

void PhysicsWorld::init(f32 gravityMagnitude)
{
    gravity = gravityMagnitude;
    // Default construction info: manifold and algorithm pools of 4096, EPA on.
    btDefaultCollisionConstructionInfo info;
    collisionConfiguration = new btDefaultCollisionConfiguration(info);
    dispatcher = new btCollisionDispatcher(collisionConfiguration);
    // Capsules (the enemies) against the triangles of the terrain: exact closest points
    // instead of the general convex test, which dominates a step full of enemies.
    registerCapsuleTriangleCollision(dispatcher);
    broadphase = new btDbvtBroadphase();
    solver = new btSequentialImpulseConstraintSolver();
    world = new btDiscreteDynamicsWorld(dispatcher, broadphase, solver, collisionConfiguration);
    world->setGravity(btVector3(0, -gravity, 0));
    // Static bodies (terrain, buildings) never move: their bounds are not recomputed
    // every step.
    world->setForceUpdateAllAabbs(false);
}

PhysicsWorld::~PhysicsWorld()
{
    delete world;
    delete solver;
    delete broadphase;
    delete dispatcher;
    delete collisionConfiguration;
}

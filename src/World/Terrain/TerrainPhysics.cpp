#include "World/Terrain/TerrainPhysics.h"

#include "Engine/Physics/CollisionType.h"
#include "Engine/Physics/PhysicsObject.h"
#include "Engine/Physics/PhysicsReference.h"
#include "Engine/Physics/PhysicsWorld.h"
#include "Engine/Physics/Registry.h"

#include <btBulletDynamicsCommon.h>

namespace {

// Bullet's CF_DISABLE_VISUALIZE_OBJECT: the physics debug view skips the terrain.
constexpr u32 HiddenFromDebugView = 32;
constexpr i32 EveryGroup = -1;

} // namespace

TerrainBodies createTerrainBodies(btBvhTriangleMeshShape* shape, void* owner, PhysicsWorld* queryWorld,
                                  std::mutex& queryMutex)
{
    PhysicsObjectDesc desc;
    desc.mass = 0.0f;
    desc.collisionFlags = HiddenFromDebugView;
    desc.linearVelocity = glm::vec3(0.0f);
    desc.setAngularFactor = 0;
    desc.setAngularDamping = 0;
    desc.useGroupMask = 1;
    desc.group = CollisionTerrain;
    desc.mask = EveryGroup;
    desc.noSleeping = 0;

    btTransform start;
    start.setIdentity();
    TerrainBodies bodies;
    bodies.object = new PhysicsObject(shape, start, desc);
    auto* reference = new PhysicsReference(CollisionTerrain, owner, nullptr, 0, nullptr, DefaultContactThreshold);
    bodies.object->setReference(reference);

    // The static copy for ray tests shares the shape and the motion state. It carries
    // the same reference, so a ray that hits the ground reports the terrain's type.
    btRigidBody::btRigidBodyConstructionInfo info(0.0f, bodies.object->motionState, shape, btVector3(0, 0, 0));
    bodies.queryBody = new btRigidBody(info);
    bodies.queryBody->setUserPointer(reference);
    {
        std::lock_guard lock(queryMutex);
        queryWorld->world->addRigidBody(bodies.queryBody, CollisionTerrain, EveryGroup);
    }
    Registry::addPhysicsObject(bodies.object);
    return bodies;
}

void destroyTerrainBodies(TerrainBodies& bodies, btBvhTriangleMeshShape* shape, btTriangleMesh* mesh,
                          PhysicsWorld* queryWorld, std::mutex& queryMutex)
{
    if (bodies.queryBody) {
        if (queryWorld && queryWorld->world) {
            std::lock_guard lock(queryMutex);
            queryWorld->world->removeRigidBody(bodies.queryBody);
        }
        delete bodies.queryBody;
        bodies.queryBody = nullptr;
    }
    if (bodies.object) {
        Registry::removePhysicsObject(bodies.object);
        bodies.object = nullptr;
    }
    // The simulation thread deletes the shape after the object that uses it, then the mesh.
    if (shape) Registry::deleteShapeLater(shape);
    if (mesh) Registry::deleteMeshLater(mesh);
}

#pragma once

// Undoes what a terrain handed to the physics registry, for tests that run without a
// simulation thread (unit and GPU tests alike).

#include "Engine/Physics/PhysicsObject.h"
#include "Engine/Physics/Registry.h"

#include <btBulletDynamicsCommon.h>

#include <algorithm>
#include <mutex>

// Takes the object, its shape and its mesh back out of the registry's pending lists, as
// the simulation thread would, and deletes them, so the process-wide lists are left as
// they were.
inline void drainRegistry(PhysicsObject* object, btCollisionShape* shape, btTriangleMesh* mesh)
{
    std::lock_guard lock(registryMutex);
    auto drop = [](auto& list, auto* entry) { list.erase(std::remove(list.begin(), list.end(), entry), list.end()); };
    drop(Registry::pendingAdd, object);
    drop(Registry::pendingRemove, object);
    drop(Registry::pendingShapeDelete, shape);
    drop(Registry::pendingMeshDelete, mesh);
    delete object;
    delete shape;
    delete mesh;
}

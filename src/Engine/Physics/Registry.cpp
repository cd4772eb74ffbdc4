#include "Engine/Physics/Registry.h"

#include "Engine/Physics/PhysicsObject.h"

std::mutex registryMutex;

std::vector<PhysicsObject*> Registry::pendingAdd;
std::vector<PhysicsObject*> Registry::pendingRemove;
std::vector<btCollisionShape*> Registry::pendingShapeDelete;
std::vector<btTriangleMesh*> Registry::pendingMeshDelete;
std::vector<PhysicsObject*> Registry::active;

void Registry::addPhysicsObject(PhysicsObject* object)
{
    std::lock_guard lock(registryMutex);
    pendingAdd.push_back(object);
}

void Registry::removePhysicsObject(PhysicsObject* object)
{
    std::lock_guard lock(registryMutex);
    // Queued once only: the simulation thread deletes each entry of the list.
    if (object->removeRequested.exchange(1) != 0) {
        return;
    }
    pendingRemove.push_back(object);
}

void Registry::deleteShapeLater(btCollisionShape* shape)
{
    std::lock_guard lock(registryMutex);
    pendingShapeDelete.push_back(shape);
}

void Registry::deleteMeshLater(btTriangleMesh* mesh)
{
    std::lock_guard lock(registryMutex);
    pendingMeshDelete.push_back(mesh);
}

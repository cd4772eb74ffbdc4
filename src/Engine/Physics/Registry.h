#pragma once

#include <mutex>
#include <vector>

class PhysicsObject;
class btCollisionShape;
class btTriangleMesh;

// Guards the Registry's four pending lists. The simulation thread never holds it
// together with stepMutex, and it is never held together with a World's physics mutex.
extern std::mutex registryMutex;

// Process-wide hand-over of physics objects from any thread to the simulation thread,
// which applies the pending lists to the engine world at the start of every pass.
class Registry {
public:
    static std::vector<PhysicsObject*> pendingAdd;
    static std::vector<PhysicsObject*> pendingRemove;
    static std::vector<btCollisionShape*> pendingShapeDelete; // after the removals of the same pass
    static std::vector<btTriangleMesh*> pendingMeshDelete;    // after the shapes
    // Objects whose bodies are in the engine world; the simulation thread only.
    static std::vector<PhysicsObject*> active;

    // Any thread.
    static void addPhysicsObject(PhysicsObject* object);
    // Any thread. Hands the object to the simulation thread, which removes and deletes
    // it. A second request for the same object is ignored (contact callbacks repeat
    // every step of a contact).
    static void removePhysicsObject(PhysicsObject* object);
    static void deleteShapeLater(btCollisionShape* shape);
    static void deleteMeshLater(btTriangleMesh* mesh);
};

#pragma once

#include "Engine/Physics/PhysicsObjectDesc.h"
#include "Engine/Types.h"

#include <LinearMath/btTransform.h>
#include <glm/mat4x4.hpp>

#include <atomic>
#include <functional>

class btRigidBody;
class btCollisionShape;
class btDefaultMotionState;
class PhysicsReference;

// activeIndex of an object that the simulation thread has not added (yet).
constexpr u32 NotActive = static_cast<u32>(-2);

// One rigid body with its motion state and collision reference, a hook that runs
// before every simulation step, and two pairs of transform slots (one pair per state
// index) from which renderers interpolate without a lock.
//
// Lifecycle: constructed (in no world) -> Registry::addPhysicsObject -> in the engine
// world -> Registry::removePhysicsObject -> removed and deleted by the simulation
// thread. After the removal request the caller never touches the object again.
class PhysicsObject {
public:
    u32 activeIndex = NotActive; // position in Registry::active; simulation thread only
    std::function<void()> preStep;
    btRigidBody* body = nullptr;            // owned
    PhysicsReference* reference = nullptr;  // owned; the body's user pointer
    btDefaultMotionState* motionState = nullptr; // owned
    btTransform current[2];  // body transform at the latest hand-over of each state index
    btTransform previous[2]; // the transform published one hand-over earlier
    std::atomic<u8> removeRequested{0}; // set under registryMutex, read by the simulation thread
    u8 inWorld = 0;                     // simulation thread only
    btCollisionShape* shape = nullptr;  // not owned: kinds and the terrain own their shapes
    i32 group = 0;
    i32 mask = 0;
    u8 useGroupMask = 0;

    PhysicsObject(btCollisionShape* shape, const btTransform& start, const PhysicsObjectDesc& desc);
    PhysicsObject(const PhysicsObject&) = delete;
    PhysicsObject& operator=(const PhysicsObject&) = delete;
    // Runs only when the body is in no world.
    virtual ~PhysicsObject();

    // Destroys the earlier reference and makes `newReference` (may be null) the body's
    // user pointer. A collision callback may release its own object's reference this
    // way; the contact dispatch then reports nothing further for that body.
    void setReference(PhysicsReference* newReference);
    // Set before the object is registered.
    void setPreStepCallback(std::function<void()> callback);

    // Position lerp and rotation slerp from a to b, as a column-major matrix.
    static void interpolate(const btTransform& a, const btTransform& b, f32 alpha, glm::mat4& out);
    // The same blend from previous[stateIndex] to current[stateIndex].
    btTransform interpolatedTransform(u32 stateIndex, f32 alpha) const;

private:
    void release();
};

// Blend of two transforms as a btTransform (shared by interpolate and interpolatedTransform).
btTransform blendTransforms(const btTransform& a, const btTransform& b, f32 alpha);

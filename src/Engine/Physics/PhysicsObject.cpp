#include "Engine/Physics/PhysicsObject.h"

#include "Engine/Physics/PhysicsReference.h"

#include <btBulletDynamicsCommon.h>

#include <utility>

PhysicsObject::PhysicsObject(btCollisionShape* collisionShape, const btTransform& start, const PhysicsObjectDesc& desc)
    : shape(collisionShape)
{
    // An object that was never published renders at its start.
    current[0] = current[1] = start;
    previous[0] = previous[1] = start;

    motionState = new btDefaultMotionState(start);

    btVector3 inertia(0, 0, 0);
    if (desc.mass > 0) {
        collisionShape->calculateLocalInertia(desc.mass, inertia);
    }
    btRigidBody::btRigidBodyConstructionInfo info(desc.mass, motionState, collisionShape, inertia);
    body = new btRigidBody(info);

    if (desc.ccdMotionThreshold >= 0) body->setCcdMotionThreshold(desc.ccdMotionThreshold);
    if (desc.ccdSweptSphereRadius >= 0) body->setCcdSweptSphereRadius(desc.ccdSweptSphereRadius);
    if (desc.rollingFriction >= 0) body->setRollingFriction(desc.rollingFriction);
    if (desc.spinningFriction >= 0) body->setSpinningFriction(desc.spinningFriction);
    if (desc.friction >= 0) body->setFriction(desc.friction);
    if (desc.restitution >= 0) body->setRestitution(desc.restitution);
    if (desc.collisionFlags != 0) body->setCollisionFlags(body->getCollisionFlags() | static_cast<int>(desc.collisionFlags));
    body->setLinearVelocity(btVector3(desc.linearVelocity.x, desc.linearVelocity.y, desc.linearVelocity.z));
    if (desc.setAngularFactor) {
        body->setAngularFactor(btVector3(desc.angularFactor.x, desc.angularFactor.y, desc.angularFactor.z));
    }
    if (desc.setAngularDamping) body->setDamping(body->getLinearDamping(), desc.angularDamping);
    if (desc.noSleeping) body->setSleepingThresholds(0, 0);

    if (desc.useGroupMask) {
        useGroupMask = 1;
        group = desc.group;
        mask = desc.mask;
    }
}

PhysicsObject::~PhysicsObject()
{
    release();
}

void PhysicsObject::release()
{
    delete body;
    body = nullptr;
    delete motionState;
    motionState = nullptr;
    if (reference) {
        PhysicsReference::destroy(reference);
        reference = nullptr;
    }
    preStep = nullptr;
}

void PhysicsObject::setReference(PhysicsReference* newReference)
{
    PhysicsReference* old = reference;
    reference = newReference;
    body->setUserPointer(newReference);
    if (old && old != newReference) {
        PhysicsReference::destroy(old);
    }
}

void PhysicsObject::setPreStepCallback(std::function<void()> callback)
{
    preStep = std::move(callback);
}

btTransform blendTransforms(const btTransform& a, const btTransform& b, f32 alpha)
{
    const btVector3 position = a.getOrigin() * (1.0f - alpha) + b.getOrigin() * alpha;
    const btQuaternion rotation = a.getRotation().slerp(b.getRotation(), alpha);
    return btTransform(rotation, position);
}

void PhysicsObject::interpolate(const btTransform& a, const btTransform& b, f32 alpha, glm::mat4& out)
{
    const btTransform blended = blendTransforms(a, b, alpha);
    const btMatrix3x3& basis = blended.getBasis();
    for (int column = 0; column < 3; column++) {
        const btVector3 c = basis.getColumn(column);
        out[column] = glm::vec4(c.x(), c.y(), c.z(), 0.0f);
    }
    const btVector3& origin = blended.getOrigin();
    out[3] = glm::vec4(origin.x(), origin.y(), origin.z(), 1.0f);
}

btTransform PhysicsObject::interpolatedTransform(u32 stateIndex, f32 alpha) const
{
    return blendTransforms(previous[stateIndex], current[stateIndex], alpha);
}

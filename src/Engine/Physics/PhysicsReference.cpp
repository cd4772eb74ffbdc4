#include "Engine/Physics/PhysicsReference.h"

#include <utility>

PhysicsReference::PhysicsReference(u32 type, void* owner, std::shared_ptr<void> sharedOwner, u32 mask,
                                   Callback onCollision, f32 contactThreshold)
    : type(type), mask(mask), contactThreshold(contactThreshold), owner(owner), sharedOwner(std::move(sharedOwner)),
      onCollision(std::move(onCollision))
{
}

void PhysicsReference::destroy(PhysicsReference* reference)
{
    delete reference;
}

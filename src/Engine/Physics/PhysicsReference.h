#pragma once

#include "Engine/Physics/CollisionType.h"
#include "Engine/Types.h"

#include <functional>
#include <memory>

// What a body carries as its user pointer: its collision type bit, the types whose
// contact it reports, the contact threshold, its owner and the collision callback.
// The fields are fixed once the reference is attached to a body.
class PhysicsReference {
public:
    using Callback = std::function<void(PhysicsReference* other)>;

    u32 type = 0;
    u32 mask = 0;
    f32 contactThreshold = DefaultContactThreshold;
    void* owner = nullptr;
    std::shared_ptr<void> sharedOwner; // empty for owners that no shared pointer holds (terrain)
    Callback onCollision;              // runs on the simulation thread

    PhysicsReference(u32 type, void* owner, std::shared_ptr<void> sharedOwner, u32 mask, Callback onCollision,
                     f32 contactThreshold = DefaultContactThreshold);
    PhysicsReference(const PhysicsReference&) = delete;
    PhysicsReference& operator=(const PhysicsReference&) = delete;

    // Drops the callback and the shared owner and frees the reference.
    static void destroy(PhysicsReference* reference);
};

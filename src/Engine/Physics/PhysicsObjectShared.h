#pragma once

#include "Engine/Physics/PhysicsObject.h"

#include <memory>

// A physics object that keeps its game instance alive until the simulation thread
// deletes it.
template <typename T> class PhysicsObjectShared : public PhysicsObject {
public:
    std::shared_ptr<T> owner;

    using PhysicsObject::PhysicsObject;

    // The instance is released before the body (possibly its last owner).
    ~PhysicsObjectShared() override { owner.reset(); }
};

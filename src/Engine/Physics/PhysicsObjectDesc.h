#pragma once

#include "Engine/Types.h"

#include <glm/vec3.hpp>

// How a physics object's body is built. A negative material or CCD value keeps the
// library's default (friction 0.5, the others 0); 0 or more is set as given.
struct PhysicsObjectDesc {
    f32 mass = 0; // > 0: dynamic body with the shape's inertia; otherwise static
    f32 restitution = -1;
    f32 rollingFriction = -1;
    f32 spinningFriction = -1;
    f32 friction = -1;
    f32 ccdMotionThreshold = -1;
    f32 ccdSweptSphereRadius = -1;
    u32 collisionFlags = 0; // ORed into the body's flags when non-zero
    glm::vec3 linearVelocity{0.0f};
    u8 setAngularFactor = 0;
    glm::vec3 angularFactor{1.0f};
    u8 setAngularDamping = 0;
    f32 angularDamping = 0;
    u8 useGroupMask = 0; // 0: the library's default collision filter
    i32 group = 0;
    i32 mask = 0;
    u8 noSleeping = 0; // the body never deactivates
};

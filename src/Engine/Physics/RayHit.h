#pragma once

#include "Engine/Types.h"

#include <glm/vec3.hpp>

#include <memory>

class btCollisionWorld;

// Result of a closest-hit ray query; all zero and null when nothing was hit.
struct RayHit {
    u8 hit = 0;
    glm::vec3 point{0.0f};
    f32 distance = 0;
    u32 type = 0; // the hit reference's CollisionType bit, 0 for a body without one
    void* owner = nullptr;
    std::shared_ptr<void> sharedOwner; // a counted copy of the reference's shared owner
};

namespace Physics {

// The closest body between `from` and `to` whose collision group meets `mask` (the ray
// itself is in group 1). Takes no lock: the caller holds whatever guards `world`.
RayHit rayCastClosest(const glm::vec3& from, const glm::vec3& to, btCollisionWorld* world, i32 mask);

} // namespace Physics

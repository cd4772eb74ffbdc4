#include "Engine/Physics/RayHit.h"

#include "Engine/Physics/PhysicsReference.h"

#include <btBulletCollisionCommon.h>

#include <cmath>

namespace Physics {

RayHit rayCastClosest(const glm::vec3& from, const glm::vec3& to, btCollisionWorld* world, i32 mask)
{
    const btVector3 start(from.x, from.y, from.z);
    const btVector3 end(to.x, to.y, to.z);
    btCollisionWorld::ClosestRayResultCallback callback(start, end);
    callback.m_closestHitFraction = 1.0f;
    callback.m_collisionFilterGroup = 1;
    callback.m_collisionFilterMask = mask;
    callback.m_flags = 0;
    world->rayTest(start, end, callback);

    RayHit result;
    if (!callback.hasHit()) {
        return result;
    }
    result.hit = 1;
    const btVector3& p = callback.m_hitPointWorld;
    result.point = glm::vec3(p.x(), p.y(), p.z());
    const glm::vec3 d = from - result.point;
    result.distance = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    if (auto* reference = static_cast<PhysicsReference*>(callback.m_collisionObject->getUserPointer())) {
        result.type = reference->type;
        result.owner = reference->owner;
        result.sharedOwner = reference->sharedOwner;
    }
    return result;
}

} // namespace Physics

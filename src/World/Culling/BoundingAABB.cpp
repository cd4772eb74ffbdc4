#include "World/Culling/BoundingAABB.h"

#include "Engine/Camera/Frustum.h"

#include <algorithm>
#include <cmath>

namespace {

// The plane order of the test: the side planes first, near and far last.
constexpr u32 PlaneOrder[6] = {3, 2, 1, 0, 5, 4};

} // namespace

void BoundingAABB::testFrustum(const Frustum& frustum)
{
    if (!active) return;
    for (u32 plane : PlaneOrder) {
        if (!passesPlane(frustum.planes[plane])) {
            visible = 0;
            return;
        }
    }
    visible = 1;
}

bool BoundingAABB::passesPlane(const glm::vec4& plane) const
{
    f32 centreX = (maxX - minX) * 0.5f + minX;
    f32 centreY = (maxY - minY) * 0.5f + minY;
    f32 centreZ = (maxZ - minZ) * 0.5f + minZ;
    f32 sizeX = maxX - minX;
    f32 sizeY = maxY - minY;
    f32 sizeZ = maxZ - minZ;
    f32 distance = plane.x * centreX + plane.y * centreY + plane.z * centreZ + plane.w;
    f32 reach = std::fabs(plane.x) * sizeX + std::fabs(plane.y) * sizeY + std::fabs(plane.z) * sizeZ;
    return distance >= -reach;
}

void BoundingAABB::clear()
{
    active = 0;
    minX = minY = minZ = EmptyMin;
    maxX = maxY = maxZ = EmptyMax;
}

void BoundingAABB::expand(const glm::vec3& low, const glm::vec3& high)
{
    minX = std::min(minX, low.x);
    minY = std::min(minY, low.y);
    minZ = std::min(minZ, low.z);
    maxX = std::max(maxX, high.x);
    maxY = std::max(maxY, high.y);
    maxZ = std::max(maxZ, high.z);
}

#pragma once

#include "Engine/Types.h"
#include "World/Culling/BoundingVolume.h"

#include <glm/glm.hpp>

// An axis-aligned box. Only active boxes are tested; an empty box has every min at
// 1e8 and every max at -1e8 and is inactive.
class BoundingAABB : public BoundingVolume {
public:
    static constexpr f32 EmptyMin = 1e8f;
    static constexpr f32 EmptyMax = -1e8f;

    u8 visible = 0; // result of the last test
    u8 active = 0;  // the box holds something
    f32 minX = EmptyMin, maxX = EmptyMax;
    f32 minY = EmptyMin, maxY = EmptyMax;
    f32 minZ = EmptyMin, maxZ = EmptyMax;

    // Visible when the box passes all six planes (tested 3, 2, 1, 0, 5, 4, stopping at
    // the first failure). An inactive box keeps its flag.
    void testFrustum(const Frustum& frustum) override;

    // Whether the box lies on the inner side of `plane`, with a margin of its full size
    // (not its half size): boxes touching the plane, and some beyond it, pass.
    bool passesPlane(const glm::vec4& plane) const;

    // Empties the box and marks it inactive.
    void clear();
    // Grows the box to contain [low, high] on every axis.
    void expand(const glm::vec3& low, const glm::vec3& high);
};

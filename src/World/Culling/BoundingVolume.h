#pragma once

struct Frustum;

// Something that can be tested against a view frustum.
class BoundingVolume {
public:
    virtual ~BoundingVolume() = default;
    virtual void testFrustum(const Frustum& frustum) = 0;
};

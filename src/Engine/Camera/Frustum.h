#pragma once

#include <glm/glm.hpp>

// Six normalised planes (a, b, c, d) of a view-projection; a point p is inside a plane
// when dot(abc, p) + d >= 0. Order: 0 bottom/top by row 1 (r3 + r1), 1 (r3 - r1),
// 2 (r3 - r0), 3 (r3 + r0), 4 far (r3 - r2), 5 near (r3 + r2).
struct Frustum {
    glm::vec4 planes[6]{};

    void fromMatrix(const glm::mat4& viewProjection);
};

#include "Engine/Camera/Frustum.h"

void Frustum::fromMatrix(const glm::mat4& m)
{
    // Rows of the column-major matrix.
    glm::vec4 r0(m[0][0], m[1][0], m[2][0], m[3][0]);
    glm::vec4 r1(m[0][1], m[1][1], m[2][1], m[3][1]);
    glm::vec4 r2(m[0][2], m[1][2], m[2][2], m[3][2]);
    glm::vec4 r3(m[0][3], m[1][3], m[2][3], m[3][3]);
    planes[0] = r3 + r1;
    planes[1] = r3 - r1;
    planes[2] = r3 - r0;
    planes[3] = r3 + r0;
    planes[4] = r3 - r2;
    planes[5] = r3 + r2;
    for (glm::vec4& plane : planes) {
        plane /= glm::length(glm::vec3(plane));
    }
}

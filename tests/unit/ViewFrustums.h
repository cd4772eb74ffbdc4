#pragma once

#include "Engine/Camera/CameraMath.h"
#include "Engine/Camera/Frustum.h"

// A camera at the origin looking along +z (60 degrees, square, planes 1 and 500).
inline Frustum forwardFrustum()
{
    Frustum frustum;
    frustum.fromMatrix(perspectiveProjection(60.0f, 1.0f, 1.0f, 500.0f) *
                       viewAlong(glm::vec3(0.0f), glm::vec3(0.0f, 0.0f, 1.0f)));
    return frustum;
}

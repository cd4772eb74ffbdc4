#include "World/Terrain/TerrainView.h"

#include "Engine/Camera/CameraMath.h"

#include <cmath>

u32 updateChunkVisibility(std::vector<BoundingAABB>& boxes, const Frustum& frustum, bool cullingEnabled)
{
    u32 visible = 0;
    for (BoundingAABB& box : boxes) {
        if (cullingEnabled) {
            box.testFrustum(frustum);
        } else {
            box.visible = 1;
        }
        if (box.active && box.visible) visible++;
    }
    return visible;
}

f32 prepassFieldOfView(f32 fovDegrees)
{
    const f32 halfAngle = fovDegrees * CameraConstants::degreesToRadians * 0.5f;
    return 2.0f * std::atan(2.0f * std::tan(halfAngle)) / CameraConstants::degreesToRadians;
}

f32 prepassAspect(i32 windowWidth, i32 windowHeight)
{
    if (windowWidth <= 0 || windowHeight <= 0) return 0.0f;
    return static_cast<f32>(2 * windowWidth) / static_cast<f32>(2 * windowHeight);
}

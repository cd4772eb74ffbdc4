#include "World/Terrain/TerrainView.h"

#include "Engine/Camera/CameraMath.h"
#include "Engine/Camera/Frustum.h"
#include "World/Terrain/TerrainCells.h"

#include <algorithm>

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

bool withinSeaView(const glm::vec3& min, const glm::vec3& max, const Frustum& view, const SeaView& sea)
{
    using namespace SeaViewRules;
    const f32 eyeOverCrest = sea.eye.y - sea.crest;
    if (!(eyeOverCrest > LowestEye)) return true;
    // Along a ray from the eye, the distance to a side plane grows with the distance
    // from the eye, which grows with the drop: ground at min.y or higher on a ray
    // through a sampled point (at most `reach` beyond a plane) lies at most `ratio`
    // times as far beyond it; what stands in front of the point, no further than it.
    const f32 ratio = std::max((sea.eye.y - min.y) / eyeOverCrest, 1.0f);
    const f32 margin = std::max(sea.reach, 0.0f) * ratio + SampleSlack;
    for (int side = 0; side < 4; side++) {
        const glm::vec4& plane = view.planes[side];
        const glm::vec3 corner(plane.x >= 0.0f ? max.x : min.x, plane.y >= 0.0f ? max.y : min.y,
                               plane.z >= 0.0f ? max.z : min.z);
        if (plane.x * corner.x + plane.y * corner.y + plane.z * corner.z + plane.w < -margin) return false;
    }
    return true;
}

u32 cellsWithinSeaView(const ChunkCells& cells, const Frustum& view, const SeaView& sea)
{
    u32 mask = 0;
    for (u32 cell = 0; cell < cells.boxes.size(); cell++) {
        const CellBox& box = cells.boxes[cell];
        if (!box.empty && withinSeaView(box.min, box.max, view, sea)) mask |= 1u << cell;
    }
    return mask;
}

bool seenThroughSea(const glm::vec3& min, const glm::vec3& max, const Frustum& view, const SeaView& sea)
{
    if (sea.eye.y - sea.crest > SeaViewRules::LowestEye && min.y > sea.crest) return false;
    return withinSeaView(min, max, view, sea);
}

#include "Engine/Camera/CameraMath.h"
#include "Engine/Camera/Frustum.h"
#include "World/Terrain/TerrainView.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

BoundingAABB box(glm::vec3 low, glm::vec3 high, bool active)
{
    BoundingAABB result;
    if (active) {
        result.expand(low, high);
        result.active = 1;
    }
    return result;
}

// A camera at the origin looking along +z.
Frustum forwardFrustum()
{
    Frustum frustum;
    frustum.fromMatrix(perspectiveProjection(60.0f, 1.0f, 1.0f, 500.0f) *
                       viewAlong(glm::vec3(0.0f), glm::vec3(0.0f, 0.0f, 1.0f)));
    return frustum;
}

} // namespace

TEST(ChunkVisibility, CountsTheActiveBoxesInViewAndLeavesInactiveOnesAlone)
{
    std::vector<BoundingAABB> boxes{
        box({-10.0f, -10.0f, 50.0f}, {10.0f, 10.0f, 70.0f}, true),    // ahead
        box({-10.0f, -10.0f, -70.0f}, {10.0f, 10.0f, -50.0f}, true),  // behind
        box({-10.0f, -10.0f, 50.0f}, {10.0f, 10.0f, 70.0f}, false),   // empty chunk
    };
    boxes[2].visible = 1; // from an earlier pass: an inactive box keeps its flag
    EXPECT_EQ(updateChunkVisibility(boxes, forwardFrustum(), true), 1u);
    EXPECT_EQ(boxes[0].visible, 1);
    EXPECT_EQ(boxes[1].visible, 0);
    EXPECT_EQ(boxes[2].visible, 1);

    // Without culling every box is visible; only the active ones count.
    EXPECT_EQ(updateChunkVisibility(boxes, forwardFrustum(), false), 2u);
    EXPECT_EQ(boxes[1].visible, 1);

    // Everything behind the camera: nothing to draw.
    std::vector<BoundingAABB> behind{boxes[1]};
    EXPECT_EQ(updateChunkVisibility(behind, forwardFrustum(), true), 0u);
}

TEST(PrepassView, IsTwiceAsWideAndHighAtTheSameDistance)
{
    for (f32 fov : {30.0f, 60.0f, 90.0f}) {
        const f32 widened = prepassFieldOfView(fov);
        EXPECT_NEAR(std::tan(glm::radians(widened) * 0.5f), 2.0f * std::tan(glm::radians(fov) * 0.5f), 1e-4f);
        EXPECT_LT(widened, 180.0f);
    }
    EXPECT_NEAR(prepassFieldOfView(60.0f), 98.2132f, 1e-3f);
    EXPECT_FLOAT_EQ(prepassAspect(1920, 1080), 3840.0f / 2160.0f);
    EXPECT_EQ(prepassAspect(0, 1080), 0.0f);
    EXPECT_EQ(prepassAspect(800, 0), 0.0f);
}

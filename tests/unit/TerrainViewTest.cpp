#include "Engine/Camera/CameraMath.h"
#include "Engine/Camera/Frustum.h"
#include "World/Terrain/TerrainCells.h"
#include "World/Terrain/TerrainView.h"
#include "unit/ViewFrustums.h"

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

namespace {

// A camera 60 units over the sea looking 45 degrees down along +z.
struct SeaCamera {
    glm::vec3 eye{0.0f, 60.0f, 0.0f};
    glm::vec3 forward = glm::normalize(glm::vec3(0.0f, -1.0f, 1.0f));
    Frustum view;
    SeaCamera()
    {
        view.fromMatrix(perspectiveProjection(60.0f, 16.0f / 9.0f, 1.0f, 5000.0f) * viewAlong(eye, forward));
    }
    bool inView(const glm::vec3& p) const
    {
        for (const glm::vec4& plane : view.planes) {
            if (glm::dot(glm::vec3(plane), p) + plane.w < 0.0f) return false;
        }
        return true;
    }
};

} // namespace

TEST(SeaView, EveryGroundPointTheWaterCanSampleIsKept)
{
    // As the water samples: a surface point in view (below the crests), moved by up to
    // `reach`, then the ground further along the eye's ray through it. A small box
    // around any such ground point must be kept.
    const SeaCamera camera;
    SeaView sea{camera.eye, 0.5f, 28.0f};
    u32 state = 12345u;
    auto unit = [&state]() {
        state = state * 1664525u + 1013904223u;
        return static_cast<f32>(state >> 8) / 16777216.0f;
    };
    int sampled = 0;
    for (int i = 0; i < 20000; i++) {
        const glm::vec3 surface(unit() * 800.0f - 400.0f, sea.crest * unit(), unit() * 800.0f);
        if (!camera.inView(surface)) continue;
        glm::vec3 offset(unit() * 2.0f - 1.0f, -unit(), unit() * 2.0f - 1.0f);
        offset = glm::normalize(offset) * sea.reach * unit();
        const glm::vec3 sampledPoint = surface + offset;
        const glm::vec3 ray = glm::normalize(sampledPoint - camera.eye);
        const f32 groundY = sampledPoint.y - unit() * 40.0f; // down to the deepest sea floor
        const glm::vec3 ground = camera.eye + ray * ((camera.eye.y - groundY) / -ray.y);
        const glm::vec3 half(0.05f);
        ASSERT_TRUE(seenThroughSea(ground - half, ground + half, camera.view, sea))
            << "ground at " << ground.x << ", " << ground.y << ", " << ground.z;
        // Whatever stands in front of it on that ray is drawn too: it hides it.
        const glm::vec3 front = camera.eye + (ground - camera.eye) * unit();
        ASSERT_TRUE(withinSeaView(front - half, front + half, camera.view, sea))
            << "in front at " << front.x << ", " << front.y << ", " << front.z;
        sampled++;
    }
    EXPECT_GT(sampled, 1000);
}

TEST(SeaView, DropsGroundTheWaterCannotShow)
{
    const SeaCamera camera;
    const SeaView sea{camera.eye, 0.5f, 28.0f};
    // Sea floor in view, and just beside it: kept.
    EXPECT_TRUE(seenThroughSea({-5.0f, -30.0f, 100.0f}, {5.0f, -20.0f, 110.0f}, camera.view, sea));
    // Ground wholly above the crests is never seen through the water, though it is
    // drawn into the prepass, where it may stand in front of what the water samples.
    EXPECT_FALSE(seenThroughSea({-5.0f, 1.0f, 100.0f}, {5.0f, 6.0f, 110.0f}, camera.view, sea));
    EXPECT_TRUE(withinSeaView({-5.0f, 1.0f, 100.0f}, {5.0f, 6.0f, 110.0f}, camera.view, sea));
    // Sea floor far to the side of the view (the right side plane runs at about 45
    // degrees here), or far beyond its top edge: dropped.
    EXPECT_FALSE(seenThroughSea({600.0f, -30.0f, 100.0f}, {610.0f, -20.0f, 110.0f}, camera.view, sea));
    EXPECT_FALSE(seenThroughSea({-5.0f, -30.0f, 3000.0f}, {5.0f, -20.0f, 3010.0f}, camera.view, sea));
    // The deeper the ground, the wider the view it is kept in: 40 units beyond the
    // side plane is too far for ground at the surface, not for ground 120 units down.
    const glm::vec4& side = camera.view.planes[2];
    const glm::vec3 outward = -glm::vec3(side);
    const glm::vec3 onPlane(100.0f, 0.0f, 120.0f);
    const glm::vec3 base = onPlane - outward * (glm::dot(glm::vec3(side), onPlane) + side.w);
    const glm::vec3 beyond = base + outward * 40.0f;
    EXPECT_FALSE(seenThroughSea(beyond + glm::vec3(-0.1f, -0.2f, -0.1f), beyond + glm::vec3(0.1f, 0.0f, 0.1f),
                                camera.view, sea));
    EXPECT_TRUE(seenThroughSea(beyond + glm::vec3(-0.1f, -120.0f, -0.1f), beyond + glm::vec3(0.1f, 0.0f, 0.1f),
                               camera.view, sea));
    // A camera down at the waves may see anything below them.
    const SeaView low{glm::vec3(0.0f, 0.6f, 0.0f), 0.5f, 28.0f};
    EXPECT_TRUE(seenThroughSea({600.0f, -30.0f, 100.0f}, {610.0f, -20.0f, 110.0f}, camera.view, low));
}

TEST(SeaView, ChunkCellsOutsideTheSeaViewAreLeftOut)
{
    const SeaCamera camera;
    const SeaView sea{camera.eye, 0.5f, 28.0f};
    ChunkCells cells;
    cells.cellsPerSide = 2;
    cells.boxes.resize(4);
    cells.boxes[0] = {{-5.0f, -30.0f, 100.0f}, {5.0f, -20.0f, 110.0f}, false};  // in view
    cells.boxes[1] = {{600.0f, -30.0f, 100.0f}, {610.0f, -20.0f, 110.0f}, false}; // far to the side
    cells.boxes[2] = {{-5.0f, 2.0f, 100.0f}, {5.0f, 6.0f, 110.0f}, false};    // in view, above the crests
    cells.boxes[3] = {{-5.0f, -30.0f, 100.0f}, {5.0f, -20.0f, 110.0f}, true}; // no quad in it
    EXPECT_EQ(cellsWithinSeaView(cells, camera.view, sea), 0b0101u);
}

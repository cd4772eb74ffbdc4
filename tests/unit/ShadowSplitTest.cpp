#include "Engine/Camera/CameraMath.h"
#include "World/Shadow/CascadeMath.h"
#include "World/Shadow/ShadowRenderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr f32 Fov = 60.0f;
constexpr f32 Aspect = 16.0f / 9.0f;
constexpr u32 MapSize = 2048;

// A game camera's view at `position` looking along yaw and pitch.
glm::mat4 cameraView(glm::vec3 position, f32 yaw, f32 pitch)
{
    return viewAlong(position, forwardFromAngles(yaw, pitch));
}

glm::mat4 lightView(glm::vec3 sunDirection)
{
    return viewAlong(glm::vec3(0.0f), -glm::normalize(sunDirection));
}

f32 extentOf(f32 nearPlane, u32 cascade, const glm::mat4& view)
{
    return cascadeExtentOf(cascadeViewProjection(Fov, Aspect, cascadeSplit(nearPlane, cascade), view));
}

} // namespace

TEST(ShadowSplit, TableForNearPlaneTwoAndAHalf)
{
    const f32 starts[4] = {2.5f, 56.8f, 235.2f, 547.7f};
    const f32 ends[4] = {68.8f, 260.3f, 586.5f, 1053.1f};
    for (u32 i = 0; i < ShadowRules::CascadeCount; i++) {
        const CascadeSplit split = cascadeSplit(2.5f, i);
        EXPECT_NEAR(split.start, starts[i], 0.05f) << "cascade " << i;
        EXPECT_NEAR(split.end, ends[i], 0.05f) << "cascade " << i;
    }
}

TEST(ShadowSplit, CascadesOverlapAndTheLastReachesPastTheShadowDistance)
{
    for (f32 nearPlane : {2.5f, 100.0f}) {
        EXPECT_EQ(cascadeSplit(nearPlane, 0).start, nearPlane);
        for (u32 i = 0; i + 1 < ShadowRules::CascadeCount; i++) {
            EXPECT_GT(cascadeSplit(nearPlane, i).end, cascadeSplit(nearPlane, i + 1).start);
            EXPECT_LT(cascadeSplit(nearPlane, i).end, cascadeSplit(nearPlane, i + 1).end);
        }
        EXPECT_GT(cascadeSplit(nearPlane, 3).end, ShadowRules::ShadowDistance);
    }
}

TEST(ShadowExtent, DoesNotDependOnWhereTheCameraLooksOrStands)
{
    for (u32 i = 0; i < ShadowRules::CascadeCount; i++) {
        const f32 reference = extentOf(2.5f, i, cameraView(glm::vec3(0.0f), 0.0f, 0.0f));
        EXPECT_GT(reference, 0.0f);
        for (f32 yaw : {-2.0f, 0.7f, 3.0f}) {
            for (f32 pitch : {-1.5f, 0.0f, 0.9f}) {
                const f32 extent = extentOf(2.5f, i, cameraView(glm::vec3(100.0f, 50.0f, -300.0f), yaw, pitch));
                EXPECT_NEAR(extent, reference, reference * 1e-4f) << "cascade " << i;
            }
        }
    }
}

TEST(ShadowExtent, TheSquareHoldsTheCascadeForAnyViewAndSun)
{
    for (glm::vec3 sun : {glm::vec3(0.0f, 1.0f, 0.0f), glm::vec3(-0.841f, 0.54f, 0.0f), glm::vec3(0.3f, 0.2f, 0.9f)}) {
        for (f32 yaw : {0.0f, 1.1f, -2.4f}) {
            for (f32 pitch : {-0.8f, 0.2f, 1.5f}) {
                const glm::mat4 view = cameraView(glm::vec3(-40.0f, 60.0f, 25.0f), yaw, pitch);
                for (u32 i = 0; i < ShadowRules::CascadeCount; i++) {
                    const glm::mat4 cascade = cascadeViewProjection(Fov, Aspect, cascadeSplit(2.5f, i), view);
                    const f32 extent = cascadeExtentOf(cascade);
                    const LightBounds bounds = lightSpaceBounds(cascade, lightView(sun));
                    const CascadeFit fit = fitCascade(bounds, extent, MapSize, MapSize);
                    // The snapped square, one extent wide from below the minimum, reaches the maximum.
                    EXPECT_LE(fit.snapped.x, bounds.minX);
                    EXPECT_GE(fit.snapped.y, bounds.maxX);
                    EXPECT_LE(fit.snapped.z, bounds.minY);
                    EXPECT_GE(fit.snapped.w, bounds.maxY);
                }
            }
        }
    }
}

TEST(ShadowBounds, AreTheCornersInLightViewSpace)
{
    // A camera at the origin looking along -z, seen by a light with the same view:
    // x and y are symmetric, the far face lies at the split end and the near face (clip
    // depth -1) in front of the split start, at s e / (2 e - s).
    const CascadeSplit split = cascadeSplit(2.5f, 1);
    const glm::mat4 view = viewAlong(glm::vec3(0.0f), glm::vec3(0.0f, 0.0f, -1.0f));
    const glm::mat4 cascade = cascadeViewProjection(Fov, 1.0f, split, view);
    const LightBounds bounds = lightSpaceBounds(cascade, view);
    const f32 halfWidth = split.end * std::tan(glm::radians(Fov) * 0.5f);
    EXPECT_NEAR(bounds.minX, -halfWidth, 1e-2f);
    EXPECT_NEAR(bounds.maxX, halfWidth, 1e-2f);
    EXPECT_NEAR(bounds.minY, -halfWidth, 1e-2f);
    EXPECT_NEAR(bounds.maxY, halfWidth, 1e-2f);
    EXPECT_NEAR(bounds.farthest, split.end, 1e-2f);
    EXPECT_NEAR(bounds.nearest, split.start * split.end / (2.0f * split.end - split.start), 1e-2f);

    // The renderer's six-float form: minX, maxX, minY, maxY, -maxZ, -minZ.
    f32 out[6];
    ShadowRenderer::cascadeBounds(cascade, view, out);
    EXPECT_EQ(out[0], bounds.minX);
    EXPECT_EQ(out[1], bounds.maxX);
    EXPECT_EQ(out[2], bounds.minY);
    EXPECT_EQ(out[3], bounds.maxY);
    EXPECT_EQ(out[4], bounds.nearest);
    EXPECT_EQ(out[5], bounds.farthest);
}

TEST(ShadowSnapping, MovesTheSquareInWholeTexels)
{
    const f32 extent = 256.0f;
    const f32 texel = extent / MapSize; // 0.125
    LightBounds bounds{10.3f * texel, 100.0f, -7.6f * texel, 90.0f, 0.0f, 200.0f};
    const CascadeFit fit = fitCascade(bounds, extent, MapSize, MapSize);
    EXPECT_FLOAT_EQ(fit.snapped.x, 10.0f * texel);
    EXPECT_FLOAT_EQ(fit.snapped.z, -8.0f * texel);
    EXPECT_FLOAT_EQ(fit.snapped.y - fit.snapped.x, extent);
    EXPECT_FLOAT_EQ(fit.snapped.w - fit.snapped.z, extent);
    EXPECT_EQ(fit.exact, glm::vec4(bounds.minX, bounds.maxX, bounds.minY, bounds.maxY));

    // Less than a texel of movement keeps the corner; a whole texel moves it by one.
    LightBounds moved = bounds;
    moved.minX += 0.6f * texel;
    moved.minY += 0.5f * texel;
    EXPECT_EQ(fitCascade(moved, extent, MapSize, MapSize).snapped, fit.snapped);
    moved = bounds;
    moved.minX += texel;
    moved.minY -= 3.0f * texel;
    const CascadeFit shifted = fitCascade(moved, extent, MapSize, MapSize);
    EXPECT_FLOAT_EQ(shifted.snapped.x - fit.snapped.x, texel);
    EXPECT_FLOAT_EQ(shifted.snapped.z - fit.snapped.z, -3.0f * texel);
}

TEST(ShadowRenderArea, CoversTheBoundsUpToTheLastTexelWithinTheMap)
{
    const f32 extent = 512.0f;
    const f32 texel = extent / MapSize; // 0.25
    // From a snapped corner 0.9 texels below the minimum, the bounds span 100.3 texels:
    // 102 texels reach the maximum (truncating the span alone would give 100).
    LightBounds bounds{0.9f * texel, 101.2f * texel, 2.0f * texel, 52.5f * texel, 0.0f, 10.0f};
    const CascadeFit fit = fitCascade(bounds, extent, MapSize, MapSize);
    EXPECT_GE(fit.snapped.x + fit.renderWidth * texel, bounds.maxX);
    EXPECT_GE(fit.snapped.z + fit.renderHeight * texel, bounds.maxY);
    EXPECT_EQ(fit.renderWidth, 102u + ShadowRules::FilterMarginTexels);
    EXPECT_EQ(fit.renderHeight, 51u + ShadowRules::FilterMarginTexels);

    // A cascade as wide as its square still renders no more than the map.
    LightBounds wide{0.5f * texel, extent, 0.5f * texel, extent, 0.0f, 10.0f};
    const CascadeFit full = fitCascade(wide, extent, MapSize, MapSize);
    EXPECT_EQ(full.renderWidth, MapSize);
    EXPECT_EQ(full.renderHeight, MapSize);

    // A degenerate cascade renders just the margin, a broken one a single texel.
    LightBounds point{4.0f, 4.0f, 4.0f, 4.0f, 0.0f, 10.0f};
    EXPECT_EQ(fitCascade(point, extent, MapSize, MapSize).renderWidth, ShadowRules::FilterMarginTexels);
    EXPECT_EQ(coveredTexels(0.0f, std::numeric_limits<f32>::quiet_NaN(), texel, MapSize), 1u);
    EXPECT_EQ(coveredTexels(10.0f, 0.0f, texel, MapSize), 1u);
    EXPECT_EQ(coveredTexels(0.0f, 1e30f, texel, MapSize), MapSize);
}

TEST(ShadowDepthRange, RunsFromBehindTheLightToTheFarthestCornerWithTheBias)
{
    const f32 extent = 300.0f;
    LightBounds bounds{-10.0f, 10.0f, -10.0f, 10.0f, -50.0f, 400.0f};
    const CascadeFit fit = fitCascade(bounds, extent, MapSize, MapSize);
    EXPECT_EQ(fit.nearPlane, -1000.0f);
    EXPECT_EQ(fit.farPlane, 400.0f);
    const f32 t = extent / (MapSize * 1400.0f);
    EXPECT_FLOAT_EQ(fit.bias.x, -4.0f * t);
    EXPECT_FLOAT_EQ(fit.bias.y, -1.25f * t);
    EXPECT_EQ(fit.bias.z, 0.0f);
    EXPECT_EQ(fit.bias.w, 0.0f);
}

TEST(ShadowDepthRange, StaysAboveTheNearPlaneForACameraFarTowardsTheSun)
{
    // Every corner more than 1000 units behind the light: the farthest one would put
    // the far plane before the near plane.
    const glm::mat4 view = cameraView(glm::vec3(0.0f, 5000.0f, 0.0f), 0.3f, 0.0f);
    const glm::mat4 cascade = cascadeViewProjection(Fov, Aspect, cascadeSplit(100.0f, 0), view);
    const LightBounds bounds = lightSpaceBounds(cascade, lightView(glm::vec3(0.0f, 1.0f, 0.0f)));
    ASSERT_LT(bounds.farthest, ShadowRules::LightNear);
    const CascadeFit fit = fitCascade(bounds, cascadeExtentOf(cascade), MapSize, MapSize);
    EXPECT_GT(fit.farPlane, fit.nearPlane);
    EXPECT_TRUE(std::isfinite(fit.bias.x));
    EXPECT_LT(fit.bias.x, 0.0f);
    EXPECT_LT(fit.bias.y, 0.0f);
    // The projection of that range keeps depth increasing away from the light.
    const glm::mat4 projection = orthographicProjection(fit.snapped, fit.nearPlane, fit.farPlane);
    const f32 nearDepth = (projection * glm::vec4(0.0f, 0.0f, -fit.nearPlane, 1.0f)).z;
    const f32 farDepth = (projection * glm::vec4(0.0f, 0.0f, -fit.farPlane, 1.0f)).z;
    EXPECT_NEAR(nearDepth, 0.0f, 1e-5f);
    EXPECT_NEAR(farDepth, 1.0f, 1e-5f);
}

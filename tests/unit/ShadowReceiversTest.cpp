#include "Engine/Camera/CameraMath.h"
#include "World/Shadow/ShadowReceivers.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The camera at the origin looking along +z; the sun straight overhead, so light space
// is the ground plane seen from above.
const glm::vec3 Eye(0.0f);
const glm::vec3 Forward(0.0f, 0.0f, 1.0f);

glm::mat4 overheadLight()
{
    return viewAlong(glm::vec3(0.0f), glm::vec3(0.0f, -1.0f, 0.0f));
}

ReceiverBox boxAt(f32 z, f32 x = 0.0f)
{
    return {{x - 1.0f, 0.0f, z - 1.0f}, {x + 1.0f, 1.0f, z + 1.0f}};
}

// Which of the four cascades (near plane 2.5) read a receiver at view depth z.
u32 cascadesReading(f32 z)
{
    u32 mask = 0;
    for (u32 i = 0; i < 4; i++) {
        if (!receiverRect({boxAt(z)}, overheadLight(), Eye, Forward, sampledRange(2.5f, i)).empty()) mask |= 1u << i;
    }
    return mask;
}

} // namespace

TEST(ShadowReceivers, EachCascadeTakesTheReceiversInItsRangeWithTheOverlap)
{
    // Splits for near 2.5: starts 2.5, 56.8, 235.2, 547.7; ends 68.8, 260.3, 586.5, 1053.1.
    EXPECT_EQ(cascadesReading(20.0f), 0b0001u);
    EXPECT_EQ(cascadesReading(-20.0f), 0b0001u); // nearer than the first start: still the first
    EXPECT_EQ(cascadesReading(63.0f), 0b0011u);  // the first cascade's overlap into the second
    EXPECT_EQ(cascadesReading(150.0f), 0b0010u);
    EXPECT_EQ(cascadesReading(570.0f), 0b1100u);
    EXPECT_EQ(cascadesReading(800.0f), 0b1000u);
    EXPECT_EQ(cascadesReading(1200.0f), 0u); // beyond the last cascade: read by none
}

TEST(ShadowReceivers, TheRectangleHoldsEveryReceiverInLightSpace)
{
    const std::vector<ReceiverBox> boxes{boxAt(10.0f, -5.0f), boxAt(30.0f, 8.0f), boxAt(5000.0f, 100.0f)};
    const LightRect rect = receiverRect(boxes, overheadLight(), Eye, Forward, sampledRange(2.5f, 0));
    ASSERT_FALSE(rect.empty());
    // Light space x and y span world x and z (in some orientation): 15 by 22 units.
    EXPECT_NEAR(rect.maxX - rect.minX + rect.maxY - rect.minY, 15.0f + 22.0f, 1e-3f);
    const glm::vec4 corner = overheadLight() * glm::vec4(-6.0f, 0.0f, 9.0f, 1.0f);
    EXPECT_GE(corner.x, rect.minX - 1e-4f);
    EXPECT_LE(corner.x, rect.maxX + 1e-4f);
    EXPECT_GE(corner.y, rect.minY - 1e-4f);
    EXPECT_LE(corner.y, rect.maxY + 1e-4f);
    EXPECT_TRUE(receiverRect({}, overheadLight(), Eye, Forward, sampledRange(2.5f, 0)).empty());
}

TEST(ShadowReceivers, CastersAreCutToTheReceiversGrownByTheMargin)
{
    const glm::vec4 exact(-100.0f, 100.0f, -50.0f, 50.0f);
    LightRect rect;
    rect.minX = 10.0f;
    rect.maxX = 20.0f;
    rect.minY = -80.0f;
    rect.maxY = -40.0f;
    glm::vec4 bounds;
    ASSERT_TRUE(casterBounds(exact, rect, 2.0f, bounds));
    EXPECT_EQ(bounds, glm::vec4(8.0f, 22.0f, -50.0f, -38.0f));
    // Receivers outside the cascade's bounds (beyond the margin): nothing to draw.
    rect.minX = 110.0f;
    rect.maxX = 120.0f;
    EXPECT_FALSE(casterBounds(exact, rect, 2.0f, bounds));
    EXPECT_FALSE(casterBounds(exact, LightRect{}, 2.0f, bounds));
}

TEST(ShadowReceivers, CoverageKeepsEveryCasterOverAGrownReceiverAndDropsTheRest)
{
    // Receivers scattered along the view at depths 10 to 200; the light slanting from
    // the side, so that light space is not the ground plane.
    const glm::mat4 light = viewAlong(glm::vec3(0.0f), glm::normalize(glm::vec3(0.4f, -1.0f, 0.3f)));
    u32 state = 7u;
    auto unit = [&state]() {
        state = state * 1664525u + 1013904223u;
        return static_cast<f32>(state >> 8) / 16777216.0f;
    };
    std::vector<ReceiverBox> receivers;
    for (int i = 0; i < 40; i++) receivers.push_back(boxAt(10.0f + unit() * 190.0f, unit() * 200.0f - 100.0f));
    const CascadeSplit range{0.0f, 120.0f}; // takes only some of them
    const f32 margin = 3.0f;
    LightRect all = receiverRect(receivers, light, Eye, Forward, range);
    const glm::vec4 area(all.minX - margin, all.maxX + margin, all.minY - margin, all.maxY + margin);
    const ReceiverCoverage coverage = receiverCoverage(receivers, light, Eye, Forward, range, area, margin);
    ASSERT_TRUE(coverage.known());

    int kept = 0;
    int dropped = 0;
    for (int i = 0; i < 5000; i++) {
        const glm::vec3 low(unit() * 240.0f - 120.0f, unit() * 20.0f - 10.0f, unit() * 240.0f - 20.0f);
        const glm::vec3 caster[2] = {low, low + glm::vec3(0.5f + unit() * 6.0f, unit() * 8.0f, 0.5f + unit() * 6.0f)};
        const LightRect rect = lightRectOf(caster[0], caster[1], light);
        bool overReceiver = false;
        for (const ReceiverBox& receiver : receivers) {
            const glm::vec3 centre = (receiver.min + receiver.max) * 0.5f;
            if (centre.z + 1.0f < range.start || centre.z - 1.0f > range.end) continue;
            const LightRect grown = lightRectOf(receiver.min, receiver.max, light);
            // Across the light over the grown receiver, and not wholly behind it.
            overReceiver = overReceiver || (rect.maxX >= grown.minX - margin && rect.minX <= grown.maxX + margin &&
                                            rect.maxY >= grown.minY - margin && rect.minY <= grown.maxY + margin &&
                                            rect.nearest <= grown.deepest);
        }
        const bool meets = coverageMeets(coverage, rect);
        if (overReceiver) {
            ASSERT_TRUE(meets) << "caster at " << low.x << ", " << low.y << ", " << low.z;
        }
        kept += meets ? 1 : 0;
        dropped += meets ? 0 : 1;
    }
    // Most casters far from every receiver are left out.
    EXPECT_GT(dropped, 1000);
    EXPECT_GT(kept, 100);

    // Without a known coverage every caster is drawn.
    EXPECT_TRUE(coverageMeets(ReceiverCoverage{}, lightRectOf({500.0f, 0.0f, 500.0f}, {501.0f, 1.0f, 501.0f}, light)));
}

TEST(ShadowReceivers, CoverageLeavesOutReceiversOfOtherCascadesAndCastersBesideTheArea)
{
    const std::vector<ReceiverBox> receivers{boxAt(20.0f), boxAt(300.0f)};
    // The casters' bounds over both (as if one cascade's range took both in).
    const LightRect both = receiverRect(receivers, overheadLight(), Eye, Forward, {0.0f, 1000.0f});
    const glm::vec4 area(both.minX - 1.0f, both.maxX + 1.0f, both.minY - 1.0f, both.maxY + 1.0f);
    const ReceiverCoverage near =
        receiverCoverage(receivers, overheadLight(), Eye, Forward, {0.0f, 100.0f}, area, 1.0f);
    EXPECT_TRUE(coverageMeets(near, lightRectOf({-1.0f, 0.0f, 19.0f}, {1.0f, 5.0f, 21.0f}, overheadLight())));
    EXPECT_FALSE(coverageMeets(near, lightRectOf({-1.0f, 0.0f, 299.0f}, {1.0f, 5.0f, 301.0f}, overheadLight())));
    // Below the receiver, seen from the sun straight above: it cannot shade it.
    EXPECT_FALSE(coverageMeets(near, lightRectOf({-1.0f, -30.0f, 19.0f}, {1.0f, -20.0f, 21.0f}, overheadLight())));
    EXPECT_TRUE(coverageMeets(near, lightRectOf({-1.0f, 20.0f, 19.0f}, {1.0f, 30.0f, 21.0f}, overheadLight())));
    // Wholly outside the casters' bounds: nothing of it lands in the cascade's texels.
    EXPECT_FALSE(coverageMeets(near, lightRectOf({50.0f, 0.0f, 19.0f}, {52.0f, 5.0f, 21.0f}, overheadLight())));
}

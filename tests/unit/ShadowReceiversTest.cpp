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

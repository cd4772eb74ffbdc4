#include "Game/Ui/HealthBar.h"

#include <gtest/gtest.h>

TEST(HealthBar, FrameAndBarAroundThePointOnlyOnScreen)
{
    const glm::vec2 screen(640.0f, 360.0f);
    HealthBarRects half = healthBarRects({100.7f, 50.2f, 0.5f}, 0.5f, screen);
    ASSERT_TRUE(half.visible);
    // Cut to whole pixels: a 52 x 10 frame, a bar of 23 of its 46 pixels.
    EXPECT_EQ(half.frameMin, glm::vec2(74.0f, 45.0f));
    EXPECT_EQ(half.frameMax, glm::vec2(126.0f, 55.0f));
    ASSERT_TRUE(half.filled);
    EXPECT_EQ(half.barMin, glm::vec2(77.0f, 48.0f));
    EXPECT_EQ(half.barMax, glm::vec2(100.0f, 52.0f));

    // Under 1/92 of the health only the grey frame shows.
    EXPECT_FALSE(healthBarRects({100.0f, 50.0f, 0.5f}, 1.0f / 93.0f, screen).filled);
    EXPECT_TRUE(healthBarRects({100.0f, 50.0f, 0.5f}, 1.0f / 91.0f, screen).filled);

    // Off screen or behind the camera: nothing.
    EXPECT_FALSE(healthBarRects({640.0f, 50.0f, 0.5f}, 0.5f, screen).visible);
    EXPECT_FALSE(healthBarRects({-0.5f, 50.0f, 0.5f}, 0.5f, screen).visible);
    EXPECT_FALSE(healthBarRects({100.0f, 360.0f, 0.5f}, 0.5f, screen).visible);
    EXPECT_FALSE(healthBarRects({100.0f, 50.0f, 1.01f}, 0.5f, screen).visible);
    EXPECT_FALSE(healthBarRects({100.0f, 50.0f, -0.01f}, 0.5f, screen).visible);
    EXPECT_TRUE(healthBarRects({0.0f, 0.0f, 0.0f}, 0.5f, screen).visible);
}

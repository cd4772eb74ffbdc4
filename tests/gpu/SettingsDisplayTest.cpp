// The settings against the window system: the monitor list and switching the test
// window to full screen and back. Under Xvfb there is one monitor with one mode whose
// refresh rate is unknown (0 Hz).

#include "GpuTest.h"

#include "Engine/Engine.h"
#include "Engine/Settings/Settings.h"
#include "Engine/Window/Window.h"

#include <GLFW/glfw3.h>

#include <set>
#include <utility>

namespace {

class SettingsDisplayTest : public GpuTest {
protected:
    void SetUp() override
    {
        GpuTest::SetUp();
        resetSettings();
    }

    void TearDown() override
    {
        resetSettings();
        GpuTest::TearDown();
    }

    static void resetSettings()
    {
        Settings::storeRecord(SettingsRecord{});
        Settings::resolutionIndex = 0;
        Settings::refreshIndex = 0;
        Settings::presentMode = VK_PRESENT_MODE_IMMEDIATE_KHR;
    }

    // Lets the window system carry out a change.
    static void settle()
    {
        for (int i = 0; i < 20; i++) {
            glfwWaitEventsTimeout(0.01);
        }
    }
};

} // namespace

TEST_F(SettingsDisplayTest, MonitorsAreListedWithDistinctSizes)
{
    Settings::monitorIndex = 7;
    Settings::enumerateMonitors();
    int count = 0;
    glfwGetMonitors(&count);
    ASSERT_GE(count, 1) << "no monitor on this display";
    ASSERT_EQ(Settings::monitorModes.size(), static_cast<size_t>(count));
    EXPECT_EQ(Settings::monitorIndex, count - 1);
    for (const std::vector<MonitorMode>& modes : Settings::monitorModes) {
        ASSERT_FALSE(modes.empty());
        std::set<std::pair<i32, i32>> sizes;
        for (const MonitorMode& mode : modes) {
            EXPECT_TRUE(sizes.insert({mode.width, mode.height}).second) << mode.width << "x" << mode.height;
            EXPECT_FALSE(mode.refreshRates.empty());
        }
    }
}

TEST_F(SettingsDisplayTest, FullScreenAndBackToWindowed)
{
    GLFWwindow* handle = Engine::window->handle;
    Settings::enumerateMonitors();
    ASSERT_FALSE(Settings::monitorModes.empty());
    const std::vector<MonitorMode>& modes = Settings::monitorModes[0];

    // Full screen in the first listed mode at its first rate; indices beyond the
    // lists are brought back to their last entries first.
    Settings::fullscreenMode = 1;
    Settings::resolutionIndex = 99;
    Settings::refreshIndex = 99;
    Settings::apply();
    settle();
    EXPECT_EQ(Settings::resolutionIndex, static_cast<i32>(modes.size()));
    EXPECT_EQ(Settings::refreshIndex, static_cast<i32>(modes.back().refreshRates.size()));
    EXPECT_NE(glfwGetWindowMonitor(handle), nullptr);
    EXPECT_EQ(Settings::windowSettings.fullscreen, 1);
    EXPECT_EQ(Settings::windowSettings.width, modes.back().width);
    EXPECT_EQ(Settings::windowSettings.height, modes.back().height);
    // An unknown (0 Hz) rate is never asked for.
    EXPECT_NE(Settings::windowSettings.refreshRate, 0);

    // "Native": the monitor's current size, no rate preference.
    Settings::resolutionIndex = 0;
    Settings::apply();
    settle();
    EXPECT_NE(glfwGetWindowMonitor(handle), nullptr);
    EXPECT_EQ(Settings::windowSettings.refreshRate, -1);
    EXPECT_EQ(Settings::windowSettings.width, Engine::window->monitorSizes[0].width);

    // Leaving full screen: 1600 x 900 at (50, 50), not maximised.
    Settings::fullscreenMode = 0;
    Settings::apply();
    settle();
    EXPECT_EQ(glfwGetWindowMonitor(handle), nullptr);
    EXPECT_EQ(Settings::windowSettings.fullscreen, 0);
    EXPECT_EQ(Settings::windowSettings.maximized, 0);
    EXPECT_EQ(Settings::windowSettings.x, 50);
    EXPECT_EQ(Settings::windowSettings.y, 50);
    int width = 0, height = 0;
    glfwGetWindowSize(handle, &width, &height);
    EXPECT_EQ(width, 1600);
    EXPECT_EQ(height, 900);

    // Windowed again: the window keeps its own size; the present mode and the shadow
    // map follow their settings.
    glfwSetWindowSize(handle, 800, 600);
    settle();
    Settings::refreshMode = 1;
    Settings::shadowQuality = 0;
    Settings::apply();
    settle();
    EXPECT_EQ(Settings::windowSettings.width, 800);
    EXPECT_EQ(Settings::windowSettings.height, 600);
    EXPECT_EQ(Settings::presentMode, VK_PRESENT_MODE_FIFO_KHR);
    EXPECT_EQ(Settings::shadowMapSize, 2048);
}

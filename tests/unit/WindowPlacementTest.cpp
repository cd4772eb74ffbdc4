#include "Engine/Window/WindowPlacement.h"

#include <gtest/gtest.h>

namespace {

bool at(WindowPosition position, i32 x, i32 y)
{
    return position.x == x && position.y == y;
}

} // namespace

TEST(WindowPlacement, AWindowOffEveryMonitorComesBackToTheFirst)
{
    const std::vector<ScreenRect> one = {{0, 0, 1920, 1080}};
    // Saved positions that show the window stay.
    EXPECT_TRUE(at(placeOnMonitor({50, 50, 1600, 900}, one), 50, 50));
    EXPECT_TRUE(at(placeOnMonitor({-1500, 200, 1600, 900}, one), -1500, 200)) << "100 px on the screen";
    EXPECT_TRUE(at(placeOnMonitor({1856, 1016, 1600, 900}, one), 1856, 1016)) << "64 x 64 px on the screen";
    // Positions that hide it: far away, or too little of it left to grab.
    EXPECT_TRUE(at(placeOnMonitor({32767, 32767, 1920, 1080}, one), 50, 50));
    EXPECT_TRUE(at(placeOnMonitor({-32768, -32768, 1920, 1080}, one), 50, 50));
    EXPECT_TRUE(at(placeOnMonitor({1900, 100, 1600, 900}, one), 50, 50)) << "20 px on the screen";
    EXPECT_TRUE(at(placeOnMonitor({100, -880, 1600, 900}, one), 50, 50)) << "20 px on the screen";
    // Sizes at the end of the range do not overflow.
    EXPECT_TRUE(at(placeOnMonitor({2147483000, 0, 2147483647, 16384}, one), 50, 50));
    // A window smaller than the margin needs only to be wholly on a monitor.
    EXPECT_TRUE(at(placeOnMonitor({1900, 1060, 20, 20}, one), 1900, 1060));
}

TEST(WindowPlacement, SecondMonitorsAndNoMonitors)
{
    const std::vector<ScreenRect> two = {{1920, 0, 2560, 1440}, {0, 200, 1920, 1080}};
    EXPECT_TRUE(at(placeOnMonitor({100, 300, 800, 600}, two), 100, 300)) << "on the second monitor";
    EXPECT_TRUE(at(placeOnMonitor({3000, 500, 800, 600}, two), 3000, 500)) << "on the first";
    EXPECT_TRUE(at(placeOnMonitor({100, 0, 800, 100}, two), 1970, 50)) << "in the gap above the second";
    EXPECT_TRUE(at(placeOnMonitor({32767, 32767, 800, 600}, {}), 32767, 32767)) << "nothing to place it on";
}

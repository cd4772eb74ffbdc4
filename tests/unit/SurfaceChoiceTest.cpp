#include "Engine/SwapChain/SurfaceChoice.h"

#include <gtest/gtest.h>

namespace {

VkSurfaceCapabilitiesKHR capabilities(u32 minW, u32 minH, u32 maxW, u32 maxH, u32 minImages, u32 maxImages)
{
    VkSurfaceCapabilitiesKHR caps{};
    caps.minImageExtent = {minW, minH};
    caps.maxImageExtent = {maxW, maxH};
    caps.minImageCount = minImages;
    caps.maxImageCount = maxImages;
    return caps;
}

} // namespace

TEST(SurfaceChoice, PresentModeFallsBackToFifo)
{
    std::vector<VkPresentModeKHR> all = {VK_PRESENT_MODE_IMMEDIATE_KHR, VK_PRESENT_MODE_MAILBOX_KHR,
                                         VK_PRESENT_MODE_FIFO_KHR};
    std::vector<VkPresentModeKHR> fifoOnly = {VK_PRESENT_MODE_FIFO_KHR};
    EXPECT_EQ(choosePresentMode(VK_PRESENT_MODE_IMMEDIATE_KHR, all), VK_PRESENT_MODE_IMMEDIATE_KHR);
    EXPECT_EQ(choosePresentMode(VK_PRESENT_MODE_IMMEDIATE_KHR, fifoOnly), VK_PRESENT_MODE_FIFO_KHR);
    EXPECT_EQ(choosePresentMode(VK_PRESENT_MODE_FIFO_KHR, fifoOnly), VK_PRESENT_MODE_FIFO_KHR);
    EXPECT_EQ(choosePresentMode(VK_PRESENT_MODE_IMMEDIATE_KHR, {}), VK_PRESENT_MODE_FIFO_KHR);
}

TEST(SurfaceChoice, ExtentIsClampedToTheSurface)
{
    VkSurfaceCapabilitiesKHR caps = capabilities(100, 50, 1920, 1080, 2, 8);
    VkExtent2D inside = clampExtent(1600, 900, caps);
    EXPECT_EQ(inside.width, 1600u);
    EXPECT_EQ(inside.height, 900u);
    VkExtent2D larger = clampExtent(4000, 3000, caps);
    EXPECT_EQ(larger.width, 1920u);
    EXPECT_EQ(larger.height, 1080u);
    VkExtent2D smaller = clampExtent(10, -5, caps);
    EXPECT_EQ(smaller.width, 100u);
    EXPECT_EQ(smaller.height, 50u);
    // X11 surfaces report their current size as both limits.
    VkExtent2D fixed = clampExtent(640, 480, capabilities(800, 600, 800, 600, 2, 0));
    EXPECT_EQ(fixed.width, 800u);
    EXPECT_EQ(fixed.height, 600u);
}

TEST(SurfaceChoice, ImageCountIsOneAboveTheMinimumWithinTheMaximum)
{
    EXPECT_EQ(chooseImageCount(capabilities(1, 1, 1, 1, 2, 8)), 3u);
    EXPECT_EQ(chooseImageCount(capabilities(1, 1, 1, 1, 3, 3)), 3u);
    EXPECT_EQ(chooseImageCount(capabilities(1, 1, 1, 1, 4, 0)), 5u) << "0 means no maximum";
}

TEST(SurfaceChoice, OnlySuccessfulAcquiresSignal)
{
    EXPECT_TRUE(acquireSignals(VK_SUCCESS));
    EXPECT_TRUE(acquireSignals(VK_SUBOPTIMAL_KHR));
    EXPECT_FALSE(acquireSignals(VK_ERROR_OUT_OF_DATE_KHR));
    EXPECT_FALSE(acquireSignals(VK_ERROR_SURFACE_LOST_KHR));
    EXPECT_FALSE(acquireSignals(VK_TIMEOUT));
    EXPECT_FALSE(acquireSignals(VK_NOT_READY));
}

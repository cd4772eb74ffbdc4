#include "Engine/SwapChain/SurfaceChoice.h"

#include <algorithm>

VkPresentModeKHR choosePresentMode(VkPresentModeKHR wanted, const std::vector<VkPresentModeKHR>& offered)
{
    if (std::find(offered.begin(), offered.end(), wanted) != offered.end()) {
        return wanted;
    }
    return VK_PRESENT_MODE_FIFO_KHR;
}

VkExtent2D clampExtent(i32 width, i32 height, const VkSurfaceCapabilitiesKHR& capabilities)
{
    // Negative sizes never come from the window; count them as 0 before clamping.
    u32 w = static_cast<u32>(std::max(width, 0));
    u32 h = static_cast<u32>(std::max(height, 0));
    w = std::min(std::max(w, capabilities.minImageExtent.width), capabilities.maxImageExtent.width);
    h = std::min(std::max(h, capabilities.minImageExtent.height), capabilities.maxImageExtent.height);
    return {w, h};
}

u32 chooseImageCount(const VkSurfaceCapabilitiesKHR& capabilities)
{
    u32 count = capabilities.minImageCount + 1;
    if (capabilities.maxImageCount != 0 && count > capabilities.maxImageCount) {
        count = capabilities.maxImageCount;
    }
    return count;
}

bool acquireSignals(VkResult result)
{
    return result == VK_SUCCESS || result == VK_SUBOPTIMAL_KHR;
}

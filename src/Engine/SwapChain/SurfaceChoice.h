#pragma once

#include "Engine/Types.h"

#include <vulkan/vulkan.h>

#include <vector>

// Choices made from what a surface reports; no Vulkan calls here.

// The wanted present mode if the surface offers it, else FIFO (always offered).
VkPresentModeKHR choosePresentMode(VkPresentModeKHR wanted, const std::vector<VkPresentModeKHR>& offered);

// The window size raised to the surface's minimum extent, then lowered to its maximum.
VkExtent2D clampExtent(i32 width, i32 height, const VkSurfaceCapabilitiesKHR& capabilities);

// One image more than the minimum, but not above the maximum (0 = no maximum).
u32 chooseImageCount(const VkSurfaceCapabilitiesKHR& capabilities);

// Whether an acquire with this result signals its semaphore (and so hands out an image).
bool acquireSignals(VkResult result);

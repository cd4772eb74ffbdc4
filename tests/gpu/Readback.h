#pragma once

#include "Engine/Types.h"

#include <vulkan/vulkan.h>

#include <vector>

class Image;

// Copies `size` bytes at `offset` of a device buffer back to the host (its own
// submission, waited for).
std::vector<u8> readBuffer(VkBuffer source, VkDeviceSize offset, VkDeviceSize size);

// Copies one level of one layer of an image that is in `layout` back to the host (`size`
// bytes, tightly packed); the image is left in that layout.
std::vector<u8> readImage(Image* image, u32 mipLevel, u32 layer, u32 width, u32 height, VkDeviceSize size,
                          VkImageAspectFlags aspect = VK_IMAGE_ASPECT_COLOR_BIT,
                          VkImageLayout layout = VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL);

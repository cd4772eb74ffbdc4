#pragma once

#include "Engine/Image/Dds.h"
#include "Engine/Types.h"

#include <vulkan/vulkan.h>

#include <string>
#include <vector>

// Every Vulkan result that matters is checked here: an error result throws
// std::runtime_error with `message` and the result code.
void vkCheck(VkResult result, const char* message);

struct BufferAllocation {
    VkBuffer buffer = VK_NULL_HANDLE;
    VkDeviceMemory memory = VK_NULL_HANDLE;
};

VkImageView createImageView(VkDevice device, VkImage image, VkFormat format, VkImageAspectFlags aspect,
                            u32 levelCount, u32 layerCount, VkImageViewType viewType, u32 baseArrayLayer);

// The VkFormat of a loaded texture: B8G8R8A8_UNORM, BC1 RGB/RGBA, BC2, BC3 (UNORM and
// SRGB) or BC7_UNORM. Any other format is fatal: "Unsupported format.", followed by
// the file's path for a texture read from a file.
VkFormat vkFormatOfTexture(const DdsTexture& texture);

// Reads a DDS texture. A file that cannot be read as one (missing, truncated, corrupt)
// is fatal: "Unable to load DDS image file from path[<path>]", after the reason on
// standard error. A readable file in another format comes back without levels, for
// vkFormatOfTexture to refuse.
DdsTexture loadDDS(const std::string& path);

u32 findMemoryType(VkPhysicalDevice physicalDevice, u32 typeBits, VkMemoryPropertyFlags properties);

BufferAllocation createBuffer(VkPhysicalDevice physicalDevice, VkDevice device, VkDeviceSize size,
                              VkBufferUsageFlags usage, VkMemoryPropertyFlags properties);

u32 pickPhysicalDevice(const VkPhysicalDevice* devices, u32 count, VkSurfaceKHR surface);
u32 findQueueFamily(VkPhysicalDevice physicalDevice, VkSurfaceKHR surface);
VkSurfaceFormatKHR chooseSurfaceFormat(VkPhysicalDevice physicalDevice, VkSurfaceKHR surface);
VkFormat findDepthFormat(VkPhysicalDevice physicalDevice);

// The pieces between delimiters, as successive std::getline calls yield them: an
// empty text gives none, a trailing delimiter gives no trailing empty piece.
std::vector<std::string> split(const std::string& text, char delimiter);

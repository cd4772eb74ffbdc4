#include "Engine/Helper/Helper.h"

#include "Engine/Helper/Fatal.h"

#include <cstdio>
#include <sstream>
#include <stdexcept>

void vkCheck(VkResult result, const char* message)
{
    if (result < 0) {
        throw std::runtime_error(std::string(message) + " (VkResult " + std::to_string(result) + ")");
    }
}

VkImageView createImageView(VkDevice device, VkImage image, VkFormat format, VkImageAspectFlags aspect,
                            u32 levelCount, u32 layerCount, VkImageViewType viewType, u32 baseArrayLayer)
{
    VkImageViewCreateInfo info{VK_STRUCTURE_TYPE_IMAGE_VIEW_CREATE_INFO};
    info.image = image;
    info.viewType = viewType;
    info.format = format;
    info.components = {VK_COMPONENT_SWIZZLE_IDENTITY, VK_COMPONENT_SWIZZLE_IDENTITY, VK_COMPONENT_SWIZZLE_IDENTITY,
                       VK_COMPONENT_SWIZZLE_IDENTITY};
    info.subresourceRange = {aspect, 0, levelCount, baseArrayLayer, layerCount};
    VkImageView view = VK_NULL_HANDLE;
    if (vkCreateImageView(device, &info, nullptr, &view) != VK_SUCCESS) {
        throw std::runtime_error("failed to create texture image view!");
    }
    return view;
}

VkFormat vkFormatOfTexture(const DdsTexture& texture)
{
    if (!ddsFormatAccepted(texture.format)) {
        // The file is named so that the player knows which one to replace.
        fatalError(texture.path.empty() ? "Unsupported format."
                                        : "Unsupported format. DDS image file from path[" + texture.path + "]",
                   "Helper", 68);
    }
    return static_cast<VkFormat>(texture.format);
}

DdsTexture loadDDS(const std::string& path)
{
    std::string error;
    DdsTexture texture = readDds(path, &error);
    if (texture.empty() && !texture.unsupportedFormat) {
        // One line: the file, then why (the reader's reason follows the path it names).
        const std::string named = path + ": ";
        const std::string reason = error.rfind(named, 0) == 0 ? error.substr(named.size()) : error;
        fatalError("Unable to load DDS image file from path[" + path + "]" + (reason.empty() ? "" : ": " + reason),
                   "Helper", 77);
    }
    return texture;
}

u32 findMemoryType(VkPhysicalDevice physicalDevice, u32 typeBits, VkMemoryPropertyFlags properties)
{
    VkPhysicalDeviceMemoryProperties memory;
    vkGetPhysicalDeviceMemoryProperties(physicalDevice, &memory);
    for (u32 i = 0; i < memory.memoryTypeCount; i++) {
        if ((typeBits & (1u << i)) && (memory.memoryTypes[i].propertyFlags & properties) == properties) {
            return i;
        }
    }
    throw std::runtime_error("failed to find suitable memory type!");
}

BufferAllocation createBuffer(VkPhysicalDevice physicalDevice, VkDevice device, VkDeviceSize size,
                              VkBufferUsageFlags usage, VkMemoryPropertyFlags properties)
{
    BufferAllocation result;
    VkBufferCreateInfo info{VK_STRUCTURE_TYPE_BUFFER_CREATE_INFO};
    info.size = size;
    info.usage = usage;
    info.sharingMode = VK_SHARING_MODE_EXCLUSIVE;
    if (vkCreateBuffer(device, &info, nullptr, &result.buffer) != VK_SUCCESS) {
        throw std::runtime_error("failed to create buffer!");
    }
    VkMemoryRequirements requirements;
    vkGetBufferMemoryRequirements(device, result.buffer, &requirements);
    VkMemoryAllocateInfo allocation{VK_STRUCTURE_TYPE_MEMORY_ALLOCATE_INFO};
    allocation.allocationSize = requirements.size;
    allocation.memoryTypeIndex = findMemoryType(physicalDevice, requirements.memoryTypeBits, properties);
    if (vkAllocateMemory(device, &allocation, nullptr, &result.memory) != VK_SUCCESS) {
        vkDestroyBuffer(device, result.buffer, nullptr);
        throw std::runtime_error("failed to allocate buffer memory!");
    }
    vkBindBufferMemory(device, result.buffer, result.memory, 0);
    return result;
}

namespace {

bool familySupportsGraphicsAndPresent(VkPhysicalDevice device, u32 family, const VkQueueFamilyProperties& properties,
                                      VkSurfaceKHR surface)
{
    if (!(properties.queueFlags & VK_QUEUE_GRAPHICS_BIT)) {
        return false;
    }
    VkBool32 present = VK_FALSE;
    vkGetPhysicalDeviceSurfaceSupportKHR(device, family, surface, &present);
    return present == VK_TRUE;
}

// The first family with graphics and presentation, or -1.
i64 firstGraphicsPresentFamily(VkPhysicalDevice device, VkSurfaceKHR surface)
{
    u32 count = 0;
    vkGetPhysicalDeviceQueueFamilyProperties(device, &count, nullptr);
    std::vector<VkQueueFamilyProperties> families(count);
    vkGetPhysicalDeviceQueueFamilyProperties(device, &count, families.data());
    for (u32 i = 0; i < count; i++) {
        if (familySupportsGraphicsAndPresent(device, i, families[i], surface)) {
            return i;
        }
    }
    return -1;
}

} // namespace

u32 pickPhysicalDevice(const VkPhysicalDevice* devices, u32 count, VkSurfaceKHR surface)
{
    for (u32 i = 0; i < count; i++) {
        if (firstGraphicsPresentFamily(devices[i], surface) >= 0) {
            return i;
        }
    }
    fatalError("Unable to find a suitable physical device that supports graphics and presentation on the same "
               "queue.",
               "Helper", 231);
}

u32 findQueueFamily(VkPhysicalDevice physicalDevice, VkSurfaceKHR surface)
{
    i64 family = firstGraphicsPresentFamily(physicalDevice, surface);
    if (family < 0) {
        fatalError("Unable to find a suitable queue family that supports graphics and presentation on the same "
                   "queue.",
                   "Helper", 275);
    }
    return static_cast<u32>(family);
}

VkSurfaceFormatKHR chooseSurfaceFormat(VkPhysicalDevice physicalDevice, VkSurfaceKHR surface)
{
    u32 count = 0;
    vkGetPhysicalDeviceSurfaceFormatsKHR(physicalDevice, surface, &count, nullptr);
    if (count == 0) {
        fatalError("Unable to find supported surface formats.", "Helper", 292);
    }
    std::vector<VkSurfaceFormatKHR> formats(count);
    vkGetPhysicalDeviceSurfaceFormatsKHR(physicalDevice, surface, &count, formats.data());
    for (const VkSurfaceFormatKHR& format : formats) {
        if ((format.format == VK_FORMAT_B8G8R8A8_SRGB || format.format == VK_FORMAT_R8G8B8A8_SRGB) &&
            format.colorSpace == VK_COLOR_SPACE_SRGB_NONLINEAR_KHR) {
            return format;
        }
    }
    return formats[0];
}

VkFormat findDepthFormat(VkPhysicalDevice physicalDevice)
{
    for (VkFormat format : {VK_FORMAT_D32_SFLOAT, VK_FORMAT_D32_SFLOAT_S8_UINT, VK_FORMAT_D24_UNORM_S8_UINT}) {
        VkFormatProperties properties;
        vkGetPhysicalDeviceFormatProperties(physicalDevice, format, &properties);
        if (properties.optimalTilingFeatures & VK_FORMAT_FEATURE_DEPTH_STENCIL_ATTACHMENT_BIT) {
            return format;
        }
    }
    throw std::runtime_error("failed to find supported format!");
}

std::vector<std::string> split(const std::string& text, char delimiter)
{
    std::vector<std::string> pieces;
    std::istringstream stream(text);
    std::string piece;
    while (std::getline(stream, piece, delimiter)) {
        pieces.push_back(piece);
    }
    return pieces;
}

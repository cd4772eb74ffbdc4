#pragma once

#include "Engine/Types.h"

#include <vulkan/vulkan.h>

#include <vector>

class Image2D;
class CommandBuffer;

// A colour image (and optionally a depth image) to render into without a window,
// with a host-visible buffer that the pass copies the colour image into.
struct OffscreenTarget {
    Image2D* color = nullptr;
    Image2D* depth = nullptr;
    VkExtent2D extent{};
    VkFormat colorFormat = VK_FORMAT_UNDEFINED;
    VkFormat depthFormat = VK_FORMAT_UNDEFINED;
    VkBuffer readback = VK_NULL_HANDLE;
    VkDeviceMemory readbackMemory = VK_NULL_HANDLE;
};

// Creates the images on the global device; depthFormat UNDEFINED makes no depth image.
OffscreenTarget createOffscreenTarget(u32 width, u32 height, VkFormat colorFormat, VkFormat depthFormat);
// Releases the images through the device and frees the readback buffer.
void destroyOffscreenTarget(OffscreenTarget& target);

// Clears the target to `clear` and begins dynamic rendering into it, with viewport
// and scissor over the whole target.
void beginOffscreenPass(CommandBuffer* commandBuffer, const OffscreenTarget& target, const float clear[4]);
// Ends rendering and records the copy of the colour image into the readback buffer.
void endOffscreenPass(CommandBuffer* commandBuffer, const OffscreenTarget& target);
// The colour image's pixels as copied by the last pass (4 bytes a pixel, row by row).
// Records the copy of the colour image (a colour attachment outside any rendering)
// into the readback buffer.
void copyOffscreenColor(CommandBuffer* commandBuffer, const OffscreenTarget& target);
std::vector<u8> readPixels(const OffscreenTarget& target);

// A command buffer of the engine's pool, begun.
CommandBuffer* beginCommands();
// Ends, submits and waits for the queue; then resets the half as a frame end does.
void submitCommandsAndWait(CommandBuffer* commandBuffer);

// Four bytes of pixel (x, y).
struct Pixel {
    u8 c[4];
};
Pixel pixelAt(const std::vector<u8>& pixels, u32 width, u32 x, u32 y);

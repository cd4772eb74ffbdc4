#pragma once

#include "Engine/Types.h"

#include <vulkan/vulkan.h>

class GraphicsDevice;
class Pipeline;
class Mesh;

// The one recording object that every draw goes through.
class CommandBuffer {
public:
    Pipeline* pipeline = nullptr;
    GraphicsDevice* device = nullptr;
    VkCommandBuffer handle = VK_NULL_HANDLE;
    u8 free = 1;
    Mesh* lastMesh = nullptr;
    VkDescriptorSet pendingSets[20]{};
    u32 pendingOffsets[200]{};
    u32 pendingSetCount = 0;
    u32 pendingOffsetCount = 0;
    VkExtent2D renderExtent{};
};

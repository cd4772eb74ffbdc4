#pragma once

#include "Engine/Types.h"

#include <vulkan/vulkan.h>

#include <vector>

class GraphicsDevice;
class CommandBuffer;

// Two command pools, one per frame half; a half's buffers are handed out again after
// the frame two frames later has reset that pool.
class CommandPool {
public:
    GraphicsDevice* device = nullptr;
    std::vector<VkCommandPool> pools;
    std::vector<std::vector<CommandBuffer*>> buffers;

    explicit CommandPool(GraphicsDevice* device);
    ~CommandPool();
    CommandPool(const CommandPool&) = delete;
    CommandPool& operator=(const CommandPool&) = delete;

    // The first free buffer of the device's current frame half, allocated if none is.
    CommandBuffer* getCommandBuffer();

    // Resets the pool of `half` and marks all of its buffers free.
    void resetHalf(u32 half);
};

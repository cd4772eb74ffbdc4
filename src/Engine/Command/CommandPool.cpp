#include "Engine/Command/CommandPool.h"

#include "Engine/Command/CommandBuffer.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"

#include <stdexcept>

CommandPool::CommandPool(GraphicsDevice* device_) : device(device_), pools(2, VK_NULL_HANDLE), buffers(2)
{
    for (VkCommandPool& pool : pools) {
        VkCommandPoolCreateInfo info{VK_STRUCTURE_TYPE_COMMAND_POOL_CREATE_INFO};
        info.flags = VK_COMMAND_POOL_CREATE_RESET_COMMAND_BUFFER_BIT;
        info.queueFamilyIndex = device->queueFamily;
        vkCheck(vkCreateCommandPool(device->device, &info, nullptr, &pool), "failed to create command pool!");
    }
}

CommandPool::~CommandPool()
{
    for (std::vector<CommandBuffer*>& list : buffers) {
        for (CommandBuffer* buffer : list) {
            delete buffer;
        }
    }
    for (VkCommandPool pool : pools) {
        vkDestroyCommandPool(device->device, pool, nullptr);
    }
}

CommandBuffer* CommandPool::getCommandBuffer()
{
    u32 half = device->frameIndex;
    for (CommandBuffer* buffer : buffers[half]) {
        if (buffer->free) {
            return buffer;
        }
    }
    VkCommandBufferAllocateInfo info{VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO};
    info.commandPool = pools[half];
    info.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
    info.commandBufferCount = 1;
    VkCommandBuffer handle = VK_NULL_HANDLE;
    if (vkAllocateCommandBuffers(device->device, &info, &handle) != VK_SUCCESS) {
        throw std::runtime_error("failed to allocate command buffers!");
    }
    CommandBuffer* buffer = new CommandBuffer();
    buffer->device = device;
    buffer->handle = handle;
    buffer->free = 1;
    buffers[half].push_back(buffer);
    return buffer;
}

void CommandPool::resetHalf(u32 half)
{
    vkResetCommandPool(device->device, pools[half], VK_COMMAND_POOL_RESET_RELEASE_RESOURCES_BIT);
    for (CommandBuffer* buffer : buffers[half]) {
        buffer->free = 1;
    }
}

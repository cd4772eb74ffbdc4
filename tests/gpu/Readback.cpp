#include "Readback.h"

#include "Offscreen.h"

#include "Engine/Command/CommandBuffer.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Image/Image.h"

#include <cstring>

namespace {

struct HostBuffer {
    BufferAllocation allocation;
    explicit HostBuffer(VkDeviceSize size)
    {
        GraphicsDevice* device = Engine::graphicsDevice;
        allocation = createBuffer(device->physicalDevice, device->device, size, VK_BUFFER_USAGE_TRANSFER_DST_BIT,
                                  VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT | VK_MEMORY_PROPERTY_HOST_COHERENT_BIT);
    }
    ~HostBuffer()
    {
        VkDevice device = Engine::graphicsDevice->device;
        vkDestroyBuffer(device, allocation.buffer, nullptr);
        vkFreeMemory(device, allocation.memory, nullptr);
    }
    std::vector<u8> bytes(VkDeviceSize size) const
    {
        std::vector<u8> result(size);
        void* mapped = nullptr;
        vkCheck(vkMapMemory(Engine::graphicsDevice->device, allocation.memory, 0, size, 0, &mapped), "map");
        std::memcpy(result.data(), mapped, size);
        vkUnmapMemory(Engine::graphicsDevice->device, allocation.memory);
        return result;
    }
};

// Transfer writes (the upload copies) before the transfer reads of the read-back.
void transferBarrier(VkCommandBuffer handle)
{
    VkMemoryBarrier barrier{VK_STRUCTURE_TYPE_MEMORY_BARRIER};
    barrier.srcAccessMask = VK_ACCESS_TRANSFER_WRITE_BIT;
    barrier.dstAccessMask = VK_ACCESS_TRANSFER_READ_BIT;
    vkCmdPipelineBarrier(handle, VK_PIPELINE_STAGE_ALL_COMMANDS_BIT, VK_PIPELINE_STAGE_TRANSFER_BIT, 0, 1, &barrier,
                         0, nullptr, 0, nullptr);
}

} // namespace

std::vector<u8> readBuffer(VkBuffer source, VkDeviceSize offset, VkDeviceSize size)
{
    HostBuffer host(size);
    CommandBuffer* commands = beginCommands();
    transferBarrier(commands->handle);
    VkBufferCopy copy{offset, 0, size};
    vkCmdCopyBuffer(commands->handle, source, host.allocation.buffer, 1, &copy);
    submitCommandsAndWait(commands);
    return host.bytes(size);
}

std::vector<u8> readImage(Image* image, u32 mipLevel, u32 layer, u32 width, u32 height, VkDeviceSize size,
                          VkImageAspectFlags aspect, VkImageLayout layout)
{
    HostBuffer host(size);
    CommandBuffer* commands = beginCommands();
    commands->imageBarrier(image, layout, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL,
                           VK_PIPELINE_STAGE_ALL_COMMANDS_BIT, VK_PIPELINE_STAGE_TRANSFER_BIT,
                           VK_ACCESS_TRANSFER_WRITE_BIT, VK_ACCESS_TRANSFER_READ_BIT);
    VkBufferImageCopy copy{};
    copy.imageSubresource = {aspect, mipLevel, layer, 1};
    copy.imageExtent = {width, height, 1};
    vkCmdCopyImageToBuffer(commands->handle, image->image, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL,
                           host.allocation.buffer, 1, &copy);
    commands->imageBarrier(image, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, layout,
                           VK_PIPELINE_STAGE_TRANSFER_BIT, VK_PIPELINE_STAGE_ALL_COMMANDS_BIT, 0,
                           VK_ACCESS_SHADER_READ_BIT);
    submitCommandsAndWait(commands);
    return host.bytes(size);
}

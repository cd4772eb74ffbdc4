#include "Offscreen.h"

#include "Engine/Command/CommandBuffer.h"
#include "Engine/Command/CommandPool.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Image/Image.h"

#include <cstring>

OffscreenTarget createOffscreenTarget(u32 width, u32 height, VkFormat colorFormat, VkFormat depthFormat)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    OffscreenTarget target;
    target.extent = {width, height};
    target.colorFormat = colorFormat;
    target.depthFormat = depthFormat;
    target.color = new Image2D(device, width, height, colorFormat,
                               VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT,
                               VK_IMAGE_ASPECT_COLOR_BIT, 1, 1, 0);
    target.color->view = new ImageView(device, target.color, 1, 1);
    if (depthFormat != VK_FORMAT_UNDEFINED) {
        target.depth = new Image2D(device, width, height, depthFormat, VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT,
                                   VK_IMAGE_ASPECT_DEPTH_BIT, 1, 1, 0);
        target.depth->view = new ImageView(device, target.depth, 1, 1);
    }
    BufferAllocation buffer = createBuffer(device->physicalDevice, device->device, VkDeviceSize(width) * height * 4,
                                           VK_BUFFER_USAGE_TRANSFER_DST_BIT,
                                           VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT | VK_MEMORY_PROPERTY_HOST_COHERENT_BIT);
    target.readback = buffer.buffer;
    target.readbackMemory = buffer.memory;
    return target;
}

void destroyOffscreenTarget(OffscreenTarget& target)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    vkDeviceWaitIdle(device->device);
    device->releaseResource(target.color);
    device->releaseResource(target.depth);
    vkDestroyBuffer(device->device, target.readback, nullptr);
    vkFreeMemory(device->device, target.readbackMemory, nullptr);
    target = OffscreenTarget();
}

void beginOffscreenPass(CommandBuffer* commandBuffer, const OffscreenTarget& target, const float clear[4])
{
    commandBuffer->imageBarrier(target.color, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                                VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT,
                                VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, 0,
                                VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT);
    VkRenderingAttachmentInfo color{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
    color.imageView = target.color->view->view;
    color.imageLayout = VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
    color.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
    color.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    std::memcpy(color.clearValue.color.float32, clear, 4 * sizeof(float));

    VkRenderingAttachmentInfo depth{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
    if (target.depth != nullptr) {
        commandBuffer->imageBarrier(target.depth, VK_IMAGE_LAYOUT_UNDEFINED,
                                    VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL,
                                    VK_PIPELINE_STAGE_EARLY_FRAGMENT_TESTS_BIT | VK_PIPELINE_STAGE_LATE_FRAGMENT_TESTS_BIT,
                                    VK_PIPELINE_STAGE_EARLY_FRAGMENT_TESTS_BIT | VK_PIPELINE_STAGE_LATE_FRAGMENT_TESTS_BIT,
                                    VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT,
                                    VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_READ_BIT |
                                        VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT);
        depth.imageView = target.depth->view->view;
        depth.imageLayout = VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL;
        depth.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
        depth.storeOp = VK_ATTACHMENT_STORE_OP_DONT_CARE;
        depth.clearValue.depthStencil = {1.0f, 0};
    }
    VkRenderingInfo rendering{VK_STRUCTURE_TYPE_RENDERING_INFO};
    rendering.renderArea = {{0, 0}, target.extent};
    rendering.layerCount = 1;
    rendering.colorAttachmentCount = 1;
    rendering.pColorAttachments = &color;
    rendering.pDepthAttachment = target.depth != nullptr ? &depth : nullptr;
    vkCmdBeginRendering(commandBuffer->handle, &rendering);
    commandBuffer->renderExtent = target.extent;
    commandBuffer->setViewportAndScissor(target.extent);
}

void endOffscreenPass(CommandBuffer* commandBuffer, const OffscreenTarget& target)
{
    vkCmdEndRendering(commandBuffer->handle);
    copyOffscreenColor(commandBuffer, target);
}

void copyOffscreenColor(CommandBuffer* commandBuffer, const OffscreenTarget& target)
{
    commandBuffer->imageBarrier(target.color, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                                VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT,
                                VK_PIPELINE_STAGE_TRANSFER_BIT, VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT,
                                VK_ACCESS_TRANSFER_READ_BIT);
    VkBufferImageCopy copy{};
    copy.imageSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
    copy.imageExtent = {target.extent.width, target.extent.height, 1};
    vkCmdCopyImageToBuffer(commandBuffer->handle, target.color->image, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL,
                           target.readback, 1, &copy);
}

std::vector<u8> readPixels(const OffscreenTarget& target)
{
    VkDevice device = Engine::graphicsDevice->device;
    size_t size = size_t(target.extent.width) * target.extent.height * 4;
    std::vector<u8> pixels(size);
    void* mapped = nullptr;
    vkCheck(vkMapMemory(device, target.readbackMemory, 0, size, 0, &mapped), "map readback");
    std::memcpy(pixels.data(), mapped, size);
    vkUnmapMemory(device, target.readbackMemory);
    return pixels;
}

CommandBuffer* beginCommands()
{
    CommandBuffer* commandBuffer = Engine::graphicsDevice->commandPool->getCommandBuffer();
    commandBuffer->free = 0;
    VkCommandBufferBeginInfo begin{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
    vkCheck(vkBeginCommandBuffer(commandBuffer->handle, &begin), "begin");
    return commandBuffer;
}

void submitCommandsAndWait(CommandBuffer* commandBuffer)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    commandBuffer->pipeline = nullptr;
    commandBuffer->lastMesh = nullptr;
    commandBuffer->lastLayout = nullptr;
    vkCheck(vkEndCommandBuffer(commandBuffer->handle), "end");
    device->submit({commandBuffer}, SubmitSync(), {});
    vkCheck(vkQueueWaitIdle(device->queue), "wait");
    device->commandPool->resetHalf(device->frameIndex);
    device->deleteDeferred();
}

Pixel pixelAt(const std::vector<u8>& pixels, u32 width, u32 x, u32 y)
{
    Pixel pixel;
    std::memcpy(pixel.c, pixels.data() + (size_t(y) * width + x) * 4, 4);
    return pixel;
}

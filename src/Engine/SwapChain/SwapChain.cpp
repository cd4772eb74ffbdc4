#include "Engine/SwapChain/SwapChain.h"

#include "Engine/Command/CommandBuffer.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Fatal.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Image/Image.h"
#include "Engine/SwapChain/SurfaceChoice.h"
#include "Engine/Window/Window.h"
#include "Engine/Window/WindowSystemErrors.h"

#include <GLFW/glfw3.h>

#include <limits>

namespace {

VkSemaphore createSemaphore(VkDevice device)
{
    VkSemaphoreCreateInfo info{VK_STRUCTURE_TYPE_SEMAPHORE_CREATE_INFO};
    VkSemaphore semaphore = VK_NULL_HANDLE;
    vkCheck(vkCreateSemaphore(device, &info, nullptr, &semaphore), "failed to create semaphore!");
    return semaphore;
}

std::vector<VkPresentModeKHR> surfacePresentModes(VkPhysicalDevice physicalDevice, VkSurfaceKHR surface)
{
    u32 count = 0;
    vkGetPhysicalDeviceSurfacePresentModesKHR(physicalDevice, surface, &count, nullptr);
    std::vector<VkPresentModeKHR> modes(count);
    vkGetPhysicalDeviceSurfacePresentModesKHR(physicalDevice, surface, &count, modes.data());
    modes.resize(count);
    return modes;
}

} // namespace

SwapChain::SwapChain(Window* window_, GraphicsDevice* device_, VkPresentModeKHR presentMode_)
    : resizeListeners(new std::vector<std::function<void()>*>()), window(window_), device(device_),
      presentMode(presentMode_)
{
    for (VkSemaphore& semaphore : imageAvailable) {
        semaphore = createSemaphore(device->device);
    }
    VkFenceCreateInfo fenceInfo{VK_STRUCTURE_TYPE_FENCE_CREATE_INFO};
    fenceInfo.flags = VK_FENCE_CREATE_SIGNALED_BIT;
    vkCheck(vkCreateFence(device->device, &fenceInfo, nullptr, &inFlight), "failed to create fence!");
}

SwapChain::~SwapChain()
{
    delete resizeListeners;
    VkDevice handle = device->device;
    for (VkSemaphore semaphore : imageAvailable) {
        vkDestroySemaphore(handle, semaphore, nullptr);
    }
    for (VkSemaphore semaphore : renderFinished) {
        vkDestroySemaphore(handle, semaphore, nullptr);
    }
    vkDestroyFence(handle, inFlight, nullptr);
    vkDestroySwapchainKHR(handle, swapchain, nullptr);
    // The image wrappers are registered resources: the device has deleted them.
    images.clear();
}

void SwapChain::recreate()
{
    VkDevice handle = device->device;
    if (swapchain != VK_NULL_HANDLE) {
        vkDeviceWaitIdle(handle);
        for (Image2D* image : images) {
            device->releaseResource(image);
        }
        images.clear();
    }

    // A window destroyed from outside can show here first, before the window system's
    // own error handlers see it.
    VkSurfaceCapabilitiesKHR capabilities{};
    VkResult read = vkGetPhysicalDeviceSurfaceCapabilitiesKHR(device->physicalDevice, window->surface, &capabilities);
    if (read == VK_ERROR_SURFACE_LOST_KHR) {
        endAfterWindowLost();
    }
    vkCheck(read, "failed to read the surface capabilities!");

    VkExtent2D size = clampExtent(window->width, window->height, capabilities);
    if (static_cast<i32>(size.width) != window->width || static_cast<i32>(size.height) != window->height) {
        glfwSetWindowSize(window->handle, static_cast<int>(size.width), static_cast<int>(size.height));
        window->width = static_cast<i32>(size.width);
        window->height = static_cast<i32>(size.height);
    }

    VkSurfaceFormatKHR surfaceFormat = chooseSurfaceFormat(device->physicalDevice, window->surface);
    format = surfaceFormat.format;

    VkSwapchainKHR oldSwapchain = swapchain;
    VkSwapchainCreateInfoKHR info{VK_STRUCTURE_TYPE_SWAPCHAIN_CREATE_INFO_KHR};
    info.surface = window->surface;
    info.minImageCount = chooseImageCount(capabilities);
    info.imageFormat = surfaceFormat.format;
    info.imageColorSpace = surfaceFormat.colorSpace;
    info.imageExtent = size;
    info.imageArrayLayers = 1;
    info.imageUsage = VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT;
    info.imageSharingMode = VK_SHARING_MODE_EXCLUSIVE;
    info.queueFamilyIndexCount = 1;
    info.pQueueFamilyIndices = &device->queueFamily;
    info.preTransform = capabilities.currentTransform;
    info.compositeAlpha = VK_COMPOSITE_ALPHA_OPAQUE_BIT_KHR;
    info.presentMode = choosePresentMode(presentMode, surfacePresentModes(device->physicalDevice, window->surface));
    info.clipped = VK_TRUE;
    info.oldSwapchain = oldSwapchain;
    VkResult created = vkCreateSwapchainKHR(handle, &info, nullptr, &swapchain);
    if (created == VK_ERROR_SURFACE_LOST_KHR) {
        endAfterWindowLost();
    }
    vkCheck(created, "failed to create swap chain!");
    vkDestroySwapchainKHR(handle, oldSwapchain, nullptr);

    u32 count = 0;
    if (vkGetSwapchainImagesKHR(handle, swapchain, &count, nullptr) != VK_SUCCESS ||
        count < capabilities.minImageCount) {
        fatalError("Failed to get swapchain Images", "SwapChain", 200);
    }
    std::vector<VkImage> handles(count);
    if (vkGetSwapchainImagesKHR(handle, swapchain, &count, handles.data()) != VK_SUCCESS) {
        fatalError("Failed to get swapchain Images", "SwapChain", 205);
    }
    handles.resize(count);

    for (VkImage vkImage : handles) {
        Image2D* image = new Image2D(device, vkImage, format);
        image->extent = size;
        image->view = new ImageView(device, image, 1, 1);
        images.push_back(image);
    }

    // The device is idle (or the chain is new), so no present waits on these any more.
    while (renderFinished.size() < images.size()) {
        renderFinished.push_back(createSemaphore(handle));
    }
    while (renderFinished.size() > images.size()) {
        vkDestroySemaphore(handle, renderFinished.back(), nullptr);
        renderFinished.pop_back();
    }

    extent = size;
    for (std::function<void()>* listener : *resizeListeners) {
        (*listener)();
    }
}

void SwapChain::submit(std::vector<CommandBuffer*>&& list)
{
    VkDevice handle = device->device;
    vkWaitForFences(handle, 1, &inFlight, VK_TRUE, std::numeric_limits<u64>::max());
    vkResetFences(handle, 1, &inFlight);
    SubmitSync sync;
    sync.fence = inFlight;
    sync.signal = renderFinished[imageIndex];
    device->submit(std::move(list), sync, {imageAvailable[device->frameIndex]});
}

void SwapChain::discardAcquire()
{
    // An empty batch that waits on the semaphore unsignals it once the queue runs it;
    // the rebuild that follows waits for the device to be idle.
    VkSemaphore semaphore = imageAvailable[device->frameIndex];
    VkPipelineStageFlags stage = VK_PIPELINE_STAGE_ALL_COMMANDS_BIT;
    VkSubmitInfo info{VK_STRUCTURE_TYPE_SUBMIT_INFO};
    info.waitSemaphoreCount = 1;
    info.pWaitSemaphores = &semaphore;
    info.pWaitDstStageMask = &stage;
    vkCheck(vkQueueSubmit(device->queue, 1, &info, VK_NULL_HANDLE), "failed to submit draw command buffer!");
}

#pragma once

#include "Engine/Types.h"

#include <vulkan/vulkan.h>

#include <functional>
#include <vector>

class Window;
class GraphicsDevice;
class Image2D;
class CommandBuffer;

// The game window's swap chain with its synchronisation objects (global Engine::swapChain).
class SwapChain {
public:
    Image2D* depthImage = nullptr;
    std::vector<std::function<void()>*>* resizeListeners = nullptr;
    Window* window = nullptr;
    GraphicsDevice* device = nullptr;
    VkSwapchainKHR swapchain = VK_NULL_HANDLE;
    std::vector<Image2D*> images;
    VkExtent2D extent{};
    u8 hasDepth = 0;
    u32 imageIndex = 1000;
    VkSemaphore imageAvailable = VK_NULL_HANDLE;
    VkFence inFlight = VK_NULL_HANDLE;
    VkSemaphore renderFinished = VK_NULL_HANDLE;
    VkFormat format = VK_FORMAT_UNDEFINED;
    VkPresentModeKHR presentMode = VK_PRESENT_MODE_IMMEDIATE_KHR;
    u8 recreateRequested = 0;

    SwapChain(Window* window, GraphicsDevice* device, VkPresentModeKHR presentMode);
    ~SwapChain();
    SwapChain(const SwapChain&) = delete;
    SwapChain& operator=(const SwapChain&) = delete;

    // Builds or rebuilds the chain for the window's current size, then calls the
    // resize listeners.
    void recreate();
    // Waits for and resets the in-flight fence and submits the list.
    void submit(std::vector<CommandBuffer*>&& list);
};

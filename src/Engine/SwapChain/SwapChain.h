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
    // One acquire semaphore per frame half (the device's frameIndex): a half comes round
    // again only after the submit that waited on its semaphore has finished.
    VkSemaphore imageAvailable[2]{};
    VkFence inFlight = VK_NULL_HANDLE;
    // One per swap-chain image, by image index: a present may wait on an image's
    // semaphore until that image is acquired again.
    std::vector<VkSemaphore> renderFinished;
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
    // Waits for and resets the in-flight fence and submits the list, waiting on the
    // current half's acquire semaphore and signalling the acquired image's semaphore.
    void submit(std::vector<CommandBuffer*>&& list);
    // For a frame skipped after a successful acquire: consumes the signal of the current
    // half's acquire semaphore, so that the next acquire gets an unsignalled one.
    void discardAcquire();
};

#include "InterfaceFixture.h"

#include "Engine/Command/CommandPool.h"
#include "Engine/Descriptor/DescriptorPool.h"
#include "Engine/Descriptor/DescriptorSet.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Image/Image.h"
#include "Engine/SwapChain/SwapChain.h"
#include "Engine/Ui/UiRenderer.h"
#include "Engine/Window/Window.h"

#include <GLFW/glfw3.h>
#include <imgui.h>

#include <functional>

namespace {

using FrameLoopTest = InterfaceTest;

// A small interface, different every frame.
void buildInterface(int frame)
{
    ImGui::Begin("Frame loop");
    ImGui::Text("Frame %d", frame);
    ImGui::Button("A button");
    ImGui::End();
}

struct RegistrySnapshot {
    std::vector<size_t> lists;
    size_t deferred = 0;
    size_t buffers[2] = {0, 0};
    u32 liveSets = 0;

    static RegistrySnapshot take()
    {
        GraphicsDevice* device = Engine::graphicsDevice;
        RegistrySnapshot snapshot;
        for (u32 type = 0; type < 8; type++) {
            snapshot.lists.push_back(device->resourceCount(type));
        }
        snapshot.deferred = device->deferredCount();
        snapshot.buffers[0] = device->commandPool->buffers[0].size();
        snapshot.buffers[1] = device->commandPool->buffers[1].size();
        snapshot.liveSets = Engine::descriptorPool->liveSets;
        return snapshot;
    }

    bool operator==(const RegistrySnapshot&) const = default;
};

} // namespace

TEST_F(FrameLoopTest, HundredsOfFramesKeepTheRegistrySteady)
{
    testing::internal::CaptureStdout();
    RegistrySnapshot early;
    for (int frame = 0; frame < 300; frame++) {
        glfwPollEvents();
        beginInterfaceFrame();
        buildInterface(frame);
        // A texture descriptor made and given up every frame, as a swapped image would.
        DescriptorSet* temporary = UiRenderer::createTextureDescriptor(uiRenderer->fontImage->view);
        Engine::graphicsDevice->releaseResource(temporary);
        Engine::drawFrame();
        if (frame == 20) {
            early = RegistrySnapshot::take();
        }
    }
    RegistrySnapshot late = RegistrySnapshot::take();
    std::string printed = testing::internal::GetCapturedStdout();

    EXPECT_TRUE(early == late) << "the registry, the deferred list or the command buffers grew";
    EXPECT_EQ(late.deferred, 0u) << "every released resource is deleted at the end of its frame";
    EXPECT_EQ(late.buffers[0], 1u);
    EXPECT_EQ(late.buffers[1], 1u);
    EXPECT_EQ(countLines(printed, "Recreating swapchain!"), 0) << printed;
    EXPECT_EQ(Engine::graphicsDevice->frameIndex, 0u) << "300 frames toggle the half an even number of times";
}

TEST_F(FrameLoopTest, SkippedFramesEndTheInterfaceFrameAndReuseNoSignalledSemaphore)
{
    int rebuilds = 0;
    std::function<void()> onResize = [&] { rebuilds++; };
    Engine::swapChain->resizeListeners->push_back(&onResize);

    testing::internal::CaptureStdout();
    int skipped = 0;
    for (int frame = 0; frame < 40; frame++) {
        glfwPollEvents();
        // Each frame begins an interface frame: a skipped frame that left it open
        // would make this call abort.
        beginInterfaceFrame();
        buildInterface(frame);
        if (frame % 3 == 1) {
            // The acquire succeeds and the frame is then dropped for the rebuild.
            Engine::swapChain->recreateRequested = 1;
            skipped++;
        }
        u32 half = Engine::graphicsDevice->frameIndex;
        Engine::drawFrame();
        if (frame % 3 == 1) {
            EXPECT_EQ(Engine::graphicsDevice->frameIndex, half) << "a skipped frame keeps its half";
            EXPECT_EQ(Engine::swapChain->recreateRequested, 0);
        }
    }
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(countLines(printed, "Recreating swapchain!"), skipped);
    EXPECT_EQ(rebuilds, skipped) << "one rebuild, one listener call per skipped frame";
    Engine::swapChain->resizeListeners->clear();
}

TEST_F(FrameLoopTest, ResizingRebuildsOnceAtTheNewSize)
{
    int rebuilds = 0;
    std::function<void()> onResize = [&] { rebuilds++; };
    Engine::swapChain->resizeListeners->push_back(&onResize);

    glfwSetWindowSize(Engine::window->handle, 800, 600);
    ASSERT_TRUE(waitForWindowSize(800, 600));
    testing::internal::CaptureStdout();
    for (int frame = 0; frame < 10; frame++) {
        glfwPollEvents();
        beginInterfaceFrame();
        buildInterface(frame);
        Engine::drawFrame();
    }
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(countLines(printed, "Recreating swapchain!"), 1) << printed;
    EXPECT_EQ(rebuilds, 1);
    EXPECT_EQ(Engine::swapChain->extent.width, 800u);
    EXPECT_EQ(Engine::swapChain->extent.height, 600u);
    Engine::swapChain->resizeListeners->clear();
}

TEST_F(FrameLoopTest, RebuildKeepsTheWindowWithinTheSurface)
{
    // A size the surface cannot have (X11 surfaces are exactly the window's size) is
    // brought back to what the surface reports, window size included.
    VkSurfaceCapabilitiesKHR capabilities{};
    vkGetPhysicalDeviceSurfaceCapabilitiesKHR(Engine::graphicsDevice->physicalDevice, Engine::window->surface,
                                              &capabilities);
    Engine::window->width = static_cast<i32>(capabilities.maxImageExtent.width) + 500;
    Engine::swapChain->recreate();
    EXPECT_EQ(Engine::swapChain->extent.width, capabilities.maxImageExtent.width);
    EXPECT_EQ(Engine::window->width, static_cast<i32>(capabilities.maxImageExtent.width));
}

TEST_F(FrameLoopTest, PresentModeTheSurfaceLacksFallsBackToFifo)
{
    // Shared demand refresh is not offered here; asking for it must not reach the driver.
    Engine::swapChain->presentMode = VK_PRESENT_MODE_SHARED_DEMAND_REFRESH_KHR;
    Engine::swapChain->recreateRequested = 1;
    testing::internal::CaptureStdout();
    for (int frame = 0; frame < 5; frame++) {
        beginInterfaceFrame();
        Engine::drawFrame();
    }
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(countLines(printed, "Recreating swapchain!"), 1);
}

TEST_F(FrameLoopTest, MinimisedFramesEndTheInterfaceFrame)
{
    // The loop skips drawFrame while the framebuffer is empty and only ends the
    // interface frame; the next frame begins normally.
    for (int frame = 0; frame < 3; frame++) {
        beginInterfaceFrame();
        buildInterface(frame);
        endInterfaceFrame();
    }
    beginInterfaceFrame();
    Engine::drawFrame();
    endInterfaceFrame(); // harmless after the frame was drawn
    SUCCEED();
}

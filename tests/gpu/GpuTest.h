#pragma once

#include "Engine/Types.h"

#include <gtest/gtest.h>
#include <vulkan/vulkan.h>

#include <mutex>
#include <optional>
#include <string>
#include <vector>

// The engine objects besides the descriptor pool that a fixture's frames need.
struct FrameResourceNeeds {
    bool swapChain = true;     // on the test window, presenting immediately
    bool frameUniforms = true; // Engine::frameUniforms, 100000 bytes a half
    bool frameStorage = false; // Engine::frameStorage, 1000000 bytes a half
};

// Brings up the engine's instance, a hidden-size window and the graphics device on
// lavapipe, as Engine::init does, and records every validation message. A message of
// severity error fails the test. Tears everything down in the engine's order.
class GpuTest : public ::testing::Test {
protected:
    GpuTest() = default;
    // For a fixture whose frames need what a world's renderers use: SetUp then makes,
    // after the device and as Engine::init does, the swap chain, the descriptor pool
    // (Engine::descriptorPool) and the per-frame rings, each switched to its first half.
    // TearDown releases them with the device.
    explicit GpuTest(const FrameResourceNeeds& needs) : frameResources(needs) {}

    void SetUp() override;
    void TearDown() override;

    // Validation errors seen so far (the messenger collects them from any thread).
    std::vector<std::string> validationErrors();

    // Runs `record` in a one-off command buffer, submits it and waits for the queue.
    template <typename F> void submitAndWait(F&& record);

    VkCommandBuffer beginOneShot();
    void endOneShotAndWait(VkCommandBuffer buffer);

private:
    void createFrameResources(const FrameResourceNeeds& needs);

    std::optional<FrameResourceNeeds> frameResources;
    VkDebugUtilsMessengerEXT messenger = VK_NULL_HANDLE;
    VkCommandPool oneShotPool = VK_NULL_HANDLE;
};

template <typename F> void GpuTest::submitAndWait(F&& record)
{
    VkCommandBuffer buffer = beginOneShot();
    record(buffer);
    endOneShotAndWait(buffer);
}

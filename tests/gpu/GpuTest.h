#pragma once

#include "Engine/Types.h"

#include <gtest/gtest.h>
#include <vulkan/vulkan.h>

#include <mutex>
#include <string>
#include <vector>

// Brings up the engine's instance, a hidden-size window and the graphics device on
// lavapipe, as Engine::init does, and records every validation message. A message of
// severity error fails the test. Tears everything down in the engine's order.
class GpuTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Validation errors seen so far (the messenger collects them from any thread).
    std::vector<std::string> validationErrors();

    // Runs `record` in a one-off command buffer, submits it and waits for the queue.
    template <typename F> void submitAndWait(F&& record);

    VkCommandBuffer beginOneShot();
    void endOneShotAndWait(VkCommandBuffer buffer);

private:
    VkDebugUtilsMessengerEXT messenger = VK_NULL_HANDLE;
    VkCommandPool oneShotPool = VK_NULL_HANDLE;
};

template <typename F> void GpuTest::submitAndWait(F&& record)
{
    VkCommandBuffer buffer = beginOneShot();
    record(buffer);
    endOneShotAndWait(buffer);
}

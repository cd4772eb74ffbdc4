#include "GpuTest.h"

#include "Engine/Descriptor/DescriptorPool.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/GraphicsDevice/Instance.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Settings/Settings.h"
#include "Engine/Storage/DataStorage.h"
#include "Engine/SwapChain/SwapChain.h"
#include "Engine/Window/Input.h"
#include "Engine/Window/Window.h"

#include <GLFW/glfw3.h>

#include <cstdio>

namespace {

std::mutex messagesMutex;
std::vector<std::string> errorMessages;

VKAPI_ATTR VkBool32 VKAPI_CALL onValidationMessage(VkDebugUtilsMessageSeverityFlagBitsEXT severity,
                                                   VkDebugUtilsMessageTypeFlagsEXT,
                                                   const VkDebugUtilsMessengerCallbackDataEXT* data, void*)
{
    if (severity & VK_DEBUG_UTILS_MESSAGE_SEVERITY_ERROR_BIT_EXT) {
        std::lock_guard lock(messagesMutex);
        errorMessages.emplace_back(data->pMessage ? data->pMessage : "(no message)");
        std::fprintf(stderr, "validation error: %s\n", data->pMessage ? data->pMessage : "");
    }
    return VK_FALSE;
}

} // namespace

void GpuTest::SetUp()
{
    {
        std::lock_guard lock(messagesMutex);
        errorMessages.clear();
    }
    Engine::instanceRecord = new InstanceRecord();
    Engine::instanceRecord->instanceExtensions = {"VK_EXT_debug_utils"};
    ASSERT_TRUE(createInstance()) << "no display: run the GPU tests under Xvfb";

    auto createMessenger = reinterpret_cast<PFN_vkCreateDebugUtilsMessengerEXT>(
        vkGetInstanceProcAddr(Engine::instanceRecord->instance, "vkCreateDebugUtilsMessengerEXT"));
    ASSERT_NE(createMessenger, nullptr);
    VkDebugUtilsMessengerCreateInfoEXT info{VK_STRUCTURE_TYPE_DEBUG_UTILS_MESSENGER_CREATE_INFO_EXT};
    info.messageSeverity = VK_DEBUG_UTILS_MESSAGE_SEVERITY_ERROR_BIT_EXT | VK_DEBUG_UTILS_MESSAGE_SEVERITY_WARNING_BIT_EXT;
    info.messageType = VK_DEBUG_UTILS_MESSAGE_TYPE_GENERAL_BIT_EXT | VK_DEBUG_UTILS_MESSAGE_TYPE_VALIDATION_BIT_EXT |
                       VK_DEBUG_UTILS_MESSAGE_TYPE_PERFORMANCE_BIT_EXT;
    info.pfnUserCallback = onValidationMessage;
    vkCheck(createMessenger(Engine::instanceRecord->instance, &info, nullptr, &messenger), "debug messenger");

    WindowSettings settings;
    settings.width = 640;
    settings.height = 480;
    Engine::window = new Window(settings);
    Engine::input = new Input(Engine::window);
    Engine::graphicsDevice = createGraphicsDevice();

    VkCommandPoolCreateInfo poolInfo{VK_STRUCTURE_TYPE_COMMAND_POOL_CREATE_INFO};
    poolInfo.flags = VK_COMMAND_POOL_CREATE_RESET_COMMAND_BUFFER_BIT;
    poolInfo.queueFamilyIndex = Engine::graphicsDevice->queueFamily;
    vkCheck(vkCreateCommandPool(Engine::graphicsDevice->device, &poolInfo, nullptr, &oneShotPool), "test pool");
    if (frameResources) createFrameResources(*frameResources);
}

void GpuTest::TearDown()
{
    if (Engine::graphicsDevice) {
        vkDeviceWaitIdle(Engine::graphicsDevice->device);
        vkDestroyCommandPool(Engine::graphicsDevice->device, oneShotPool, nullptr);
        Engine::graphicsDevice->shutdown();
        // The shutdown deleted the pool and the per-frame rings with the device's other
        // resources.
        Engine::descriptorPool = nullptr;
        Engine::frameUniforms = nullptr;
        Engine::frameStorage = nullptr;
        // As the engine does: the swap chain goes after the device's resources (its
        // image wrappers among them) and before the device.
        delete Engine::swapChain;
        Engine::swapChain = nullptr;
        delete Engine::graphicsDevice;
        Engine::graphicsDevice = nullptr;
    }
    delete Engine::input;
    Engine::input = nullptr;
    if (Engine::window) {
        Engine::window->destroy();
        delete Engine::window;
        Engine::window = nullptr;
    }
    if (Engine::instanceRecord) {
        auto destroyMessenger = reinterpret_cast<PFN_vkDestroyDebugUtilsMessengerEXT>(
            vkGetInstanceProcAddr(Engine::instanceRecord->instance, "vkDestroyDebugUtilsMessengerEXT"));
        if (destroyMessenger && messenger) {
            destroyMessenger(Engine::instanceRecord->instance, messenger, nullptr);
        }
        vkDestroyInstance(Engine::instanceRecord->instance, nullptr);
        delete Engine::instanceRecord;
        Engine::instanceRecord = nullptr;
    }
    glfwTerminate();
    EXPECT_EQ(validationErrors(), std::vector<std::string>{}) << "validation errors";
}

void GpuTest::createFrameResources(const FrameResourceNeeds& needs)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    if (needs.swapChain) {
        Engine::swapChain = new SwapChain(Engine::window, device, VK_PRESENT_MODE_IMMEDIATE_KHR);
        Engine::swapChain->recreate();
    }
    Engine::descriptorPool = new DescriptorPool(device, "UBD_100+SBD_100");
    if (needs.frameUniforms) {
        Engine::frameUniforms = new DsUniformSingle(device, 100000);
        Engine::frameUniforms->switchHalf();
    }
    if (needs.frameStorage) {
        Engine::frameStorage = new DsStorageSingle(device, 1000000);
        Engine::frameStorage->switchHalf();
    }
}

std::vector<std::string> GpuTest::validationErrors()
{
    std::lock_guard lock(messagesMutex);
    return errorMessages;
}

VkCommandBuffer GpuTest::beginOneShot()
{
    VkCommandBufferAllocateInfo info{VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO};
    info.commandPool = oneShotPool;
    info.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
    info.commandBufferCount = 1;
    VkCommandBuffer buffer = VK_NULL_HANDLE;
    vkCheck(vkAllocateCommandBuffers(Engine::graphicsDevice->device, &info, &buffer), "test command buffer");
    VkCommandBufferBeginInfo begin{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
    begin.flags = VK_COMMAND_BUFFER_USAGE_ONE_TIME_SUBMIT_BIT;
    vkCheck(vkBeginCommandBuffer(buffer, &begin), "begin test command buffer");
    return buffer;
}

void GpuTest::endOneShotAndWait(VkCommandBuffer buffer)
{
    vkCheck(vkEndCommandBuffer(buffer), "end test command buffer");
    VkSubmitInfo submit{VK_STRUCTURE_TYPE_SUBMIT_INFO};
    submit.commandBufferCount = 1;
    submit.pCommandBuffers = &buffer;
    vkCheck(vkQueueSubmit(Engine::graphicsDevice->queue, 1, &submit, VK_NULL_HANDLE), "test submit");
    vkCheck(vkQueueWaitIdle(Engine::graphicsDevice->queue), "test wait");
    vkFreeCommandBuffers(Engine::graphicsDevice->device, oneShotPool, 1, &buffer);
}

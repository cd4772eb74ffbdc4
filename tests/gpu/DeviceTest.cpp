#include "GpuTest.h"

#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Window/Window.h"

#include <cstring>

using DeviceTest = GpuTest;

TEST_F(DeviceTest, CreatesVulkan13DeviceOnLavapipe)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    ASSERT_NE(device, nullptr);
    EXPECT_NE(device->device, VK_NULL_HANDLE);
    EXPECT_NE(device->queue, VK_NULL_HANDLE);
    EXPECT_GE(device->properties.apiVersion, VK_API_VERSION_1_3);
    EXPECT_NE(std::strstr(device->properties.deviceName, "llvmpipe"), nullptr) << device->properties.deviceName;
    EXPECT_NE(device->commandPool, nullptr);
    EXPECT_EQ(device->frameIndex, 0u);
    // The queue family draws and presents to the window's surface.
    VkBool32 present = VK_FALSE;
    vkGetPhysicalDeviceSurfaceSupportKHR(device->physicalDevice, device->queueFamily, Engine::window->surface,
                                         &present);
    EXPECT_TRUE(present);
}

#include "Engine/GraphicsDevice/Instance.h"

#include "Engine/Engine.h"
#include "Engine/Helper/Fatal.h"
#include "Engine/Helper/LineLimits.h"
#include "Engine/Helper/QuotedText.h"

#include <GLFW/glfw3.h>

#include <string>

void glfwErrorCallback(int code, const char* text)
{
    printLine("GLFW error " + std::to_string(code) + ": " + messageText(text, LineLimits::MessageBytes));
}

bool createInstance()
{
    // Installed before glfwInit too, so that a failing start (no display) says why.
    glfwSetErrorCallback(glfwErrorCallback);
    if (!glfwInit()) {
        return false;
    }
    glfwSetErrorCallback(glfwErrorCallback);

    InstanceRecord* record = Engine::instanceRecord;
    std::vector<const char*> extensions = record->instanceExtensions;
    if (!glfwVulkanSupported()) {
        printLine("GLFW: Vulkan not supported!");
    }
    u32 glfwCount = 0;
    const char** glfwExtensions = glfwGetRequiredInstanceExtensions(&glfwCount);
    for (u32 i = 0; i < glfwCount; i++) {
        extensions.push_back(glfwExtensions[i]);
    }

    VkApplicationInfo application{VK_STRUCTURE_TYPE_APPLICATION_INFO};
    application.pApplicationName = "Brackenhold";
    application.applicationVersion = 0xF9C05006;
    application.pEngineName = "Engine";
    application.engineVersion = 0xF9C05006;
    application.apiVersion = VK_API_VERSION_1_3;

    VkInstanceCreateInfo info{VK_STRUCTURE_TYPE_INSTANCE_CREATE_INFO};
    info.pApplicationInfo = &application;
    info.enabledLayerCount = static_cast<u32>(record->layers.size());
    info.ppEnabledLayerNames = record->layers.data();
    info.enabledExtensionCount = static_cast<u32>(extensions.size());
    info.ppEnabledExtensionNames = extensions.data();
    VkResult result = vkCreateInstance(&info, nullptr, &record->instance);
    if (result != VK_SUCCESS) {
        fatalError("Failed to create the Vulkan 1.3 instance (VkResult " + std::to_string(result) + ")", "Instance",
                   47);
    }
    return true;
}

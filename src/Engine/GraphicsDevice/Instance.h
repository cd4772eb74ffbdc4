#pragma once

#include <vulkan/vulkan.h>

#include <vector>

// The Vulkan instance and its name lists.
struct InstanceRecord {
    VkInstance instance = VK_NULL_HANDLE;
    std::vector<const char*> instanceExtensions; // "VK_EXT_debug_utils" first
    std::vector<const char*> layers;             // none: no layer is ever enabled by the game
};

// Initialises GLFW and creates the Vulkan instance of Engine::instanceRecord.
// Returns false only when GLFW cannot be initialised.
bool createInstance();

// Prints "GLFW error <code>: <text>".
void glfwErrorCallback(int code, const char* text);

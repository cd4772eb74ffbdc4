#pragma once

#include "Engine/Settings/Settings.h"
#include "Engine/Types.h"
#include "Engine/Window/WindowPlacement.h"

#include <vulkan/vulkan.h>

#include <functional>
#include <vector>

struct GLFWwindow;
struct InstanceRecord;

struct MonitorSize {
    i32 width = 0;
    i32 height = 0;
};

// The game window with its Vulkan surface and callbacks.
class Window {
public:
    u8 renderable = 1; // 0 while the framebuffer is 0 x 0 (minimised)
    std::vector<std::function<void()>*>* sizeListeners = nullptr;
    std::vector<MonitorSize> monitorSizes;
    i32 width = 0;
    i32 height = 0;
    GLFWwindow* handle = nullptr;
    VkSurfaceKHR surface = VK_NULL_HANDLE;
    InstanceRecord* instance = nullptr;

    explicit Window(const WindowSettings& settings);
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Where each monitor lies on the desktop, in the window system's order.
    static std::vector<ScreenRect> monitorRects();

    // Surface, GLFW window and listener list; the engine calls it at shutdown.
    void destroy();

    static void onFramebufferSize(GLFWwindow* handle, int width, int height);
    static void onFocus(GLFWwindow* handle, int focused);
    static void onMaximize(GLFWwindow* handle, int maximized);
    static void onWindowSize(GLFWwindow* handle, int width, int height);
};

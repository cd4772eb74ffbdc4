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
    // The cursor as the window's events brought it, in order: where the pointer was
    // when the button event being handled happened (a poll gives where it is now), and
    // the cursor mode it was reported in (0 before the first). The window system moves
    // the cursor back without an event when mouse-look ends: a position reported in
    // another mode than the current one is stale.
    f32 eventCursorX = 0, eventCursorY = 0;
    int eventCursorMode = 0;

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
    // Key, mouse-button and cursor events: presses are noted for the next key
    // snapshot, with the cursor's place for button events. Set before the interface's
    // platform back-end, which passes the key and button events on to them.
    static void onKey(GLFWwindow* handle, int key, int scancode, int action, int mods);
    static void onMouseButton(GLFWwindow* handle, int button, int action, int mods);
    static void onCursorPos(GLFWwindow* handle, double x, double y);
};

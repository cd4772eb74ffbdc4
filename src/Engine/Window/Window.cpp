#include "Engine/Window/Window.h"

#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/Instance.h"
#include "Engine/Helper/Fatal.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Helper/Trace.h"
#include "Engine/Helper/TraceLines.h"
#include "Engine/Window/KeyboardState.h"
#include "Engine/Window/WindowPlacement.h"
#include "Engine/Window/WindowSystemErrors.h"

#include <GLFW/glfw3.h>

#include <string>

Window::Window(const WindowSettings& settings)
{
    renderable = 1;
    instance = Engine::instanceRecord;
    glfwInit();

    int monitorCount = 0;
    GLFWmonitor** monitors = glfwGetMonitors(&monitorCount);
    for (int i = 0; i < monitorCount; i++) {
        const GLFWvidmode* mode = glfwGetVideoMode(monitors[i]);
        monitorSizes.push_back({mode ? mode->width : 0, mode ? mode->height : 0});
    }

    glfwWindowHint(GLFW_CLIENT_API, GLFW_NO_API);
    glfwWindowHint(GLFW_RESIZABLE, 1);
    glfwWindowHint(GLFW_REFRESH_RATE, settings.refreshRate);
    GLFWmonitor* monitor = nullptr;
    if (!settings.fullscreen && settings.maximized) {
        glfwWindowHint(GLFW_MAXIMIZED, 1);
    } else {
        glfwWindowHint(GLFW_MAXIMIZED, 0);
        monitor = settings.fullscreen ? settings.monitor : nullptr;
    }
    handle = glfwCreateWindow(settings.width, settings.height, "Brackenhold", monitor, nullptr);
    if (handle == nullptr) {
        fatalError("Unable to create the game window.", "Window", 31);
    }
    installWindowSystemErrorHandlers(handle);
    if (!settings.fullscreen && !settings.maximized) {
        // A saved position on a monitor that is gone (or a corrupt one) would open the
        // window where nobody sees it.
        WindowPosition position = placeOnMonitor({settings.x, settings.y, settings.width, settings.height},
                                                 monitorRects());
        glfwSetWindowPos(handle, position.x, position.y);
    }
    vkCheck(glfwCreateWindowSurface(instance->instance, handle, nullptr, &surface),
            "failed to create window surface!");
    if (glfwRawMouseMotionSupported()) {
        glfwSetInputMode(handle, GLFW_RAW_MOUSE_MOTION, 1);
    }

    width = settings.width;
    height = settings.height;
    sizeListeners = new std::vector<std::function<void()>*>();
    glfwSetWindowUserPointer(handle, this);
    glfwSetFramebufferSizeCallback(handle, onFramebufferSize);
    glfwSetWindowFocusCallback(handle, onFocus);
    glfwSetWindowMaximizeCallback(handle, onMaximize);
    glfwSetWindowSizeCallback(handle, onWindowSize);
    glfwSetKeyCallback(handle, onKey);
    glfwSetMouseButtonCallback(handle, onMouseButton);
    glfwSetCursorPosCallback(handle, onCursorPos);
}

std::vector<ScreenRect> Window::monitorRects()
{
    std::vector<ScreenRect> rects;
    int count = 0;
    GLFWmonitor** monitors = glfwGetMonitors(&count);
    for (int i = 0; monitors != nullptr && i < count; i++) {
        const GLFWvidmode* mode = glfwGetVideoMode(monitors[i]);
        if (mode == nullptr) continue;
        ScreenRect rect{0, 0, mode->width, mode->height};
        glfwGetMonitorPos(monitors[i], &rect.x, &rect.y);
        rects.push_back(rect);
    }
    return rects;
}

void Window::destroy()
{
    if (surface != VK_NULL_HANDLE) {
        vkDestroySurfaceKHR(instance->instance, surface, nullptr);
        surface = VK_NULL_HANDLE;
    }
    if (handle != nullptr) {
        glfwDestroyWindow(handle);
        handle = nullptr;
    }
    delete sizeListeners;
    sizeListeners = nullptr;
}

void Window::onFramebufferSize(GLFWwindow* handle, int width, int height)
{
    auto* window = static_cast<Window*>(glfwGetWindowUserPointer(handle));
    window->renderable = !(width == 0 && height == 0);
}

void Window::onFocus(GLFWwindow*, int focused)
{
    Trace::line(focused ? "focus in" : "focus out");
    printLine("focus");
}

void Window::onMaximize(GLFWwindow* handle, int)
{
    auto* window = static_cast<Window*>(glfwGetWindowUserPointer(handle));
    window->renderable = 1;
    printLine("maximize");
}

void Window::onWindowSize(GLFWwindow* handle, int width, int height)
{
    auto* window = static_cast<Window*>(glfwGetWindowUserPointer(handle));
    window->width = width;
    window->height = height;
    for (std::function<void()>* listener : *window->sizeListeners) {
        (*listener)();
    }
}

void Window::onKey(GLFWwindow*, int key, int, int action, int)
{
    if (action != GLFW_REPEAT) Trace::key(virtualKeyOfGlfwKey(key), action == GLFW_PRESS);
    noteGlfwKeyEvent(key, action);
}

void Window::onMouseButton(GLFWwindow* handle, int button, int action, int)
{
    // The events come in order: the last cursor event before this one is where the
    // button went down or up.
    auto* window = static_cast<Window*>(glfwGetWindowUserPointer(handle));
    PointerPosition at{window->eventCursorX, window->eventCursorY};
    if (window->eventCursorMode != glfwGetInputMode(handle, GLFW_CURSOR)) {
        double x = 0, y = 0;
        glfwGetCursorPos(handle, &x, &y);
        at = {static_cast<f32>(x), static_cast<f32>(y)};
    }
    if (Trace::on()) {
        Trace::line("key " + TraceLines::keyName(virtualKeyOfGlfwButton(button)) +
                    (action == GLFW_PRESS ? " press" : " release") + " at " + std::to_string(static_cast<int>(at.x)) +
                    "," + std::to_string(static_cast<int>(at.y)));
    }
    noteGlfwButtonEvent(button, action, at);
}

void Window::onCursorPos(GLFWwindow* handle, double x, double y)
{
    auto* window = static_cast<Window*>(glfwGetWindowUserPointer(handle));
    window->eventCursorX = static_cast<f32>(x);
    window->eventCursorY = static_cast<f32>(y);
    window->eventCursorMode = glfwGetInputMode(handle, GLFW_CURSOR);
}

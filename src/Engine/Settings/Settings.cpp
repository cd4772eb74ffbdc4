#include "Engine/Settings/Settings.h"

#include "Engine/Engine.h"
#include "Engine/Helper/Fatal.h"
#include "Engine/Settings/SettingsFile.h"
#include "Engine/SwapChain/SwapChain.h"
#include "Engine/Window/Window.h"
#include "World/Shadow/ShadowRenderer.h"
#include "World/World.h"

#include <GLFW/glfw3.h>

#include <string>

namespace Settings {

f32 mouseSpeed = SettingsDefaults::MouseSpeed;
u8 cheatsEnabled = SettingsDefaults::CheatsEnabled;
u32 shadowQuality = SettingsDefaults::ShadowQuality;
i32 shadowMapSize = ShadowMapSizes::ByQuality[0];
i32 fullscreenMode = SettingsDefaults::FullscreenMode;
i32 refreshMode = SettingsDefaults::RefreshMode;
i32 monitorIndex = SettingsDefaults::MonitorIndex;
i32 resolutionIndex = 0;
i32 refreshIndex = 0;
VkPresentModeKHR presentMode = VK_PRESENT_MODE_IMMEDIATE_KHR;
WindowSettings windowSettings;
std::vector<std::vector<MonitorMode>> monitorModes;

namespace {

// Window placement after leaving full screen.
constexpr i32 RestoredX = 50;
constexpr i32 RestoredY = 50;
constexpr i32 RestoredWidth = 1600;
constexpr i32 RestoredHeight = 900;

std::vector<GLFWmonitor*> monitors;

std::vector<VideoMode> videoModesOf(GLFWmonitor* monitor)
{
    int count = 0;
    const GLFWvidmode* modes = glfwGetVideoModes(monitor, &count);
    std::vector<VideoMode> list;
    for (int i = 0; modes != nullptr && i < count; i++) {
        list.push_back({modes[i].width, modes[i].height, modes[i].refreshRate});
    }
    return list;
}

// The size of the chosen monitor's current mode; once the window exists, the size the
// window recorded for that monitor (its mode may be changed by our own full screen).
MonitorSize currentMonitorSize(GLFWmonitor* monitor)
{
    size_t index = static_cast<size_t>(monitorIndex);
    if (Engine::window != nullptr && index < Engine::window->monitorSizes.size()) {
        return Engine::window->monitorSizes[index];
    }
    if (monitor != nullptr) {
        if (const GLFWvidmode* mode = glfwGetVideoMode(monitor)) {
            return {mode->width, mode->height};
        }
    }
    return {windowSettings.width, windowSettings.height};
}

void refreshMonitorSizes(Window* window)
{
    window->monitorSizes.clear();
    for (GLFWmonitor* monitor : monitors) {
        const GLFWvidmode* mode = glfwGetVideoMode(monitor);
        window->monitorSizes.push_back({mode ? mode->width : 0, mode ? mode->height : 0});
    }
}

} // namespace

SettingsRecord currentRecord()
{
    SettingsRecord record;
    record.mouseSpeed = mouseSpeed;
    record.cheatsEnabled = cheatsEnabled;
    record.shadowQuality = static_cast<i32>(shadowQuality);
    record.fullscreenMode = fullscreenMode;
    record.refreshMode = refreshMode;
    record.monitorIndex = monitorIndex;
    record.fullscreen = windowSettings.fullscreen;
    record.maximized = windowSettings.maximized;
    record.x = windowSettings.x;
    record.y = windowSettings.y;
    record.width = windowSettings.width;
    record.height = windowSettings.height;
    record.refreshRate = windowSettings.refreshRate;
    return record;
}

void storeRecord(const SettingsRecord& record)
{
    mouseSpeed = record.mouseSpeed;
    cheatsEnabled = record.cheatsEnabled;
    shadowQuality = static_cast<u32>(record.shadowQuality);
    fullscreenMode = record.fullscreenMode;
    refreshMode = record.refreshMode;
    monitorIndex = record.monitorIndex;
    windowSettings.fullscreen = record.fullscreen;
    windowSettings.maximized = record.maximized;
    windowSettings.x = record.x;
    windowSettings.y = record.y;
    windowSettings.width = record.width;
    windowSettings.height = record.height;
    windowSettings.refreshRate = record.refreshRate;
    windowSettings.monitor = nullptr; // a stored handle means nothing in this run
}

void enumerateMonitors()
{
    int count = 0;
    GLFWmonitor** list = glfwGetMonitors(&count);
    monitors.assign(list, list + (list != nullptr ? count : 0));
    monitorIndex = clampMonitorIndex(monitorIndex, monitors.size());

    monitorModes.clear();
    for (GLFWmonitor* monitor : monitors) {
        monitorModes.push_back(groupVideoModes(videoModesOf(monitor)));
    }
}

void load()
{
    SettingsReadResult result = readSettingsFile(FileName);
    if (!result.message.empty()) {
        printLine(result.message);
    }
    if (result.status != SettingsReadStatus::Loaded) {
        return;
    }
    storeRecord(result.record);
    windowSettings.width = StartWidth;
    windowSettings.height = StartHeight;

    enumerateMonitors();
    ModeIndices indices = findModeIndices(modesOfMonitor(monitorModes, monitorIndex), windowSettings.width,
                                          windowSettings.height, windowSettings.refreshRate);
    resolutionIndex = indices.resolutionIndex;
    refreshIndex = indices.refreshIndex;
}

void apply()
{
    enumerateMonitors();
    GLFWmonitor* monitor = monitors.empty() ? nullptr : monitors[static_cast<size_t>(monitorIndex)];
    MonitorSize current = currentMonitorSize(monitor);
    Window* window = Engine::window;

    // Full screen needs a monitor; without one the window stays windowed.
    bool fullscreen = fullscreenMode == 1 && monitor != nullptr;
    windowSettings.fullscreen = fullscreen ? 1 : 0;

    if (refreshMode == 0) {
        presentMode = VK_PRESENT_MODE_IMMEDIATE_KHR;
    } else if (refreshMode == 1 || refreshMode == 2) {
        presentMode = VK_PRESENT_MODE_FIFO_KHR;
    }
    if (Engine::swapChain != nullptr) {
        Engine::swapChain->presentMode = presentMode;
        Engine::swapChain->recreateRequested = 1;
    }

    const std::vector<MonitorMode>& modes = modesOfMonitor(monitorModes, monitorIndex);
    resolutionIndex = clampResolutionIndex(resolutionIndex, modes);
    refreshIndex = clampRefreshIndex(refreshIndex, modes, resolutionIndex);

    bool leavingFullscreen = false;
    if (fullscreen) {
        FullscreenTarget target = fullscreenTarget(modes, resolutionIndex, refreshIndex, current.width, current.height);
        windowSettings.monitor = monitor;
        windowSettings.width = target.width;
        windowSettings.height = target.height;
        windowSettings.refreshRate = target.refreshRate;
    } else if (window != nullptr) {
        leavingFullscreen = glfwGetWindowMonitor(window->handle) != nullptr;
        if (leavingFullscreen) {
            windowSettings.maximized = 0;
            windowSettings.x = RestoredX;
            windowSettings.y = RestoredY;
            windowSettings.width = RestoredWidth;
            windowSettings.height = RestoredHeight;
        } else {
            windowSettings.maximized = glfwGetWindowAttrib(window->handle, GLFW_MAXIMIZED) > 0 ? 1 : 0;
            glfwGetWindowSize(window->handle, &windowSettings.width, &windowSettings.height);
            glfwGetWindowPos(window->handle, &windowSettings.x, &windowSettings.y);
        }
    }

    if (window != nullptr) {
        // Leaving full screen un-minimises and un-maximises the window first. Only when
        // needed: without a window manager, X11 refuses to restore a full-screen window.
        if (leavingFullscreen && (glfwGetWindowAttrib(window->handle, GLFW_ICONIFIED) ||
                                  glfwGetWindowAttrib(window->handle, GLFW_MAXIMIZED))) {
            glfwRestoreWindow(window->handle);
        }
        int rate = windowSettings.refreshRate > 0 ? windowSettings.refreshRate : GLFW_DONT_CARE;
        glfwSetWindowMonitor(window->handle, fullscreen ? monitor : nullptr, windowSettings.x, windowSettings.y,
                             windowSettings.width, windowSettings.height, rate);
        if (!fullscreen) {
            refreshMonitorSizes(window);
        }
    }

    shadowMapSize = shadowMapSizeOf(shadowQuality, shadowMapSize);
    // A running world's shadow map is replaced at the new size (a world still loading
    // makes its map from shadowMapSize itself).
    if (World* running = readyWorld(); running != nullptr && running->shadows != nullptr) {
        running->shadows->resizeMap(shadowMapSize);
    }
}

bool save(std::string* error)
{
    std::string failure;
    if (!writeSettingsFile(FileName, currentRecord(), &failure)) {
        printLine(failure);
        if (error != nullptr) *error = failure;
        return false;
    }
    return true;
}

} // namespace Settings

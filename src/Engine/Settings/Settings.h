#pragma once

#include "Engine/Types.h"

#include <vulkan/vulkan.h>

#include <vector>

struct GLFWmonitor;

// Window placement: what the window is created from, saved whole in config.gcfg.
struct WindowSettings {
    u8 fullscreen = 0;
    u8 maximized = 0;
    i32 x = 50;
    i32 y = 50;
    i32 width = 1600;
    i32 height = 900;
    i32 refreshRate = 0; // -1: no preference
    GLFWmonitor* monitor = nullptr;
};

// One distinct video-mode size of a monitor with its refresh rates, in GLFW's order.
struct MonitorMode {
    i32 width = 0;
    i32 height = 0;
    std::vector<i32> refreshRates;
};

namespace Settings {

extern f32 mouseSpeed;
extern u8 cheatsEnabled;
extern u32 shadowQuality; // 0 Low, 1 Medium, 2 High, 3 Ultra
extern i32 shadowMapSize;
extern i32 fullscreenMode; // 0 windowed, 1 full screen
extern i32 refreshMode;    // 0 unlimited, 1 V-Sync
extern i32 monitorIndex;
extern i32 resolutionIndex; // 1-based into monitorModes[monitorIndex]; 0 = current mode
extern i32 refreshIndex;    // 1-based into the resolution's rates; 0 = native
extern VkPresentModeKHR presentMode;
extern WindowSettings windowSettings;
extern std::vector<std::vector<MonitorMode>> monitorModes;

// Reads config.gcfg from the working directory, if it exists.
void load();
// Applies the globals to the window, the swap chain and the shadow map.
void apply();
// Writes config.gcfg.
void save();
// Lists the monitors and their video modes into monitorModes.
void enumerateMonitors();

} // namespace Settings

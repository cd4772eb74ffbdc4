#pragma once

#include "Engine/Settings/DisplayModes.h"
#include "Engine/Settings/SettingsCodec.h"
#include "Engine/Types.h"

#include <vulkan/vulkan.h>

#include <string>
#include <vector>

struct GLFWmonitor;

// Window placement: what the window is created from, saved whole in config.gcfg.
struct WindowSettings {
    u8 fullscreen = SettingsDefaults::Fullscreen;
    u8 maximized = SettingsDefaults::Maximized;
    i32 x = SettingsDefaults::WindowX;
    i32 y = SettingsDefaults::WindowY;
    i32 width = SettingsDefaults::WindowWidth;
    i32 height = SettingsDefaults::WindowHeight;
    i32 refreshRate = SettingsDefaults::RefreshRate; // -1: no preference
    GLFWmonitor* monitor = nullptr;                  // the full-screen monitor
};

namespace Settings {

constexpr const char* FileName = "config.gcfg";
// Every start opens a window of this size; the saved size is not used.
constexpr i32 StartWidth = 1920;
constexpr i32 StartHeight = 1080;

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
// One list per monitor, in the window system's order.
extern std::vector<std::vector<MonitorMode>> monitorModes;

// Reads config.gcfg from the working directory, if it exists. A file that is not a
// settings record keeps every default and says so in one line.
void load();
// Applies the globals to the window, the swap chain and the shadow map.
void apply();
// Writes config.gcfg through a temporary file; a failure is reported in one line (also
// put into `error` when given) and leaves the previous file. Returns whether the file
// was written.
bool save(std::string* error = nullptr);
// Lists the monitors and their video modes into monitorModes.
void enumerateMonitors();

// The saved part of the globals as a file record, and back.
SettingsRecord currentRecord();
void storeRecord(const SettingsRecord& record);

} // namespace Settings

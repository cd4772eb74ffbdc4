#include "Engine/Settings/Settings.h"

namespace Settings {

f32 mouseSpeed = 1.0f;
u8 cheatsEnabled = 0;
u32 shadowQuality = 2;
i32 shadowMapSize = 2048;
i32 fullscreenMode = 0;
i32 refreshMode = 0;
i32 monitorIndex = 0;
i32 resolutionIndex = 0;
i32 refreshIndex = 0;
VkPresentModeKHR presentMode = VK_PRESENT_MODE_IMMEDIATE_KHR;
WindowSettings windowSettings;
std::vector<std::vector<MonitorMode>> monitorModes;

} // namespace Settings

// Placeholder bodies until the settings file is read and written.
void Settings::load() {}
void Settings::apply() {}
void Settings::save() {}
void Settings::enumerateMonitors() {}

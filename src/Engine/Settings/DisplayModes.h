#pragma once

// Monitors' video modes as the settings window lists them, and the choices made from
// them: pure functions, no window.

#include "Engine/Types.h"

#include <cstddef>
#include <string>
#include <vector>

// One video mode as the window system reports it.
struct VideoMode {
    i32 width = 0;
    i32 height = 0;
    i32 refreshRate = 0; // 0 when the system does not know it (virtual displays)
};

// One distinct video-mode size of a monitor with its refresh rates, in report order.
struct MonitorMode {
    i32 width = 0;
    i32 height = 0;
    std::vector<i32> refreshRates;

    bool operator==(const MonitorMode&) const = default;
};

// Side of the shadow map array per shadow quality (Low, Medium, High, Ultra).
namespace ShadowMapSizes {
constexpr i32 ByQuality[] = {2048, 4096, 8192, 12288};
} // namespace ShadowMapSizes

// Groups modes by size in the order each size first appears; each size lists its
// refresh rates in report order, without repeats.
std::vector<MonitorMode> groupVideoModes(const std::vector<VideoMode>& modes);

// The chosen monitor kept inside [0, count - 1]; 0 when there are no monitors.
i32 clampMonitorIndex(i32 index, size_t monitorCount);

// The modes of one monitor, or an empty list for an index outside the list.
const std::vector<MonitorMode>& modesOfMonitor(const std::vector<std::vector<MonitorMode>>& monitors, i32 index);

// 1-based resolution index kept in [0, number of modes] (0 = the monitor's current mode).
i32 clampResolutionIndex(i32 index, const std::vector<MonitorMode>& modes);
// 1-based refresh index kept in [0, number of rates of the chosen resolution] (0 = native).
i32 clampRefreshIndex(i32 index, const std::vector<MonitorMode>& modes, i32 resolutionIndex);

struct ModeIndices {
    i32 resolutionIndex = 0;
    i32 refreshIndex = 0;
};

// The 1-based positions of a size and, within it, of a refresh rate; 0 where absent.
ModeIndices findModeIndices(const std::vector<MonitorMode>& modes, i32 width, i32 height, i32 refreshRate);

struct FullscreenTarget {
    i32 width = 0;
    i32 height = 0;
    i32 refreshRate = -1; // -1: no preference
};

// The full-screen size and rate for the chosen indices (clamped first): the mode's
// size, or the current size for index 0; its rate, or -1 for index 0 or an unknown
// (0 Hz) rate.
FullscreenTarget fullscreenTarget(const std::vector<MonitorMode>& modes, i32 resolutionIndex, i32 refreshIndex,
                                  i32 currentWidth, i32 currentHeight);

// The shadow map side for a quality; other qualities keep `current`.
i32 shadowMapSizeOf(u32 quality, i32 current);

// The quality whose map has `side`, or -1.
i32 shadowQualityOfSize(i32 side);

// The sides to try, in order, for a shadow map of `requested` on a device that may not
// hold it: `requested` itself, then the sides of the smaller qualities, largest first.
std::vector<i32> shadowMapCandidates(i32 requested);

// The line that says a shadow map of `requested` did not fit (`reason`) and that one
// of `used` is drawn instead.
std::string shadowFallbackLine(i32 requested, i32 used, const std::string& reason);

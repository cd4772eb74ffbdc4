#pragma once

// Where a windowed game window opens: pure functions, no window system.

#include "Engine/Types.h"

#include <vector>

// A rectangle on the desktop: a monitor, or the window to place.
struct ScreenRect {
    i32 x = 0;
    i32 y = 0;
    i32 width = 0;
    i32 height = 0;
};

struct WindowPosition {
    i32 x = 0;
    i32 y = 0;
};

namespace WindowPlacementRules {
// So much of the window (each way, or all of it when smaller) must lie on one monitor
// for the player to see it and drag it back.
constexpr i32 MinVisible = 64;
// Where a window that would be off every monitor goes, from the first monitor's corner.
constexpr i32 FallbackX = 50;
constexpr i32 FallbackY = 50;
} // namespace WindowPlacementRules

// The saved position while enough of the window lies on some monitor; otherwise the
// fallback position on the first monitor. Without monitors the position is kept.
WindowPosition placeOnMonitor(const ScreenRect& window, const std::vector<ScreenRect>& monitors);

#include "Engine/Window/WindowPlacement.h"

#include <algorithm>

namespace {

// Length of the overlap of [a, a + aLength) and [b, b + bLength), in 64 bits so that
// positions near the ends of the i32 range do not overflow.
i64 overlap(i32 a, i32 aLength, i32 b, i32 bLength)
{
    i64 start = std::max<i64>(a, b);
    i64 end = std::min<i64>(i64{a} + aLength, i64{b} + bLength);
    return std::max<i64>(0, end - start);
}

bool visibleOn(const ScreenRect& window, const ScreenRect& monitor)
{
    i64 needX = std::clamp<i64>(window.width, 1, WindowPlacementRules::MinVisible);
    i64 needY = std::clamp<i64>(window.height, 1, WindowPlacementRules::MinVisible);
    return overlap(window.x, window.width, monitor.x, monitor.width) >= needX &&
           overlap(window.y, window.height, monitor.y, monitor.height) >= needY;
}

} // namespace

WindowPosition placeOnMonitor(const ScreenRect& window, const std::vector<ScreenRect>& monitors)
{
    if (monitors.empty()) {
        return {window.x, window.y};
    }
    for (const ScreenRect& monitor : monitors) {
        if (visibleOn(window, monitor)) {
            return {window.x, window.y};
        }
    }
    const ScreenRect& first = monitors.front();
    return {first.x + WindowPlacementRules::FallbackX, first.y + WindowPlacementRules::FallbackY};
}

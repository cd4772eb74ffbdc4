#pragma once

// The item lists of the settings window's "Resolution" and "Refresh rate" lists, built
// as zero-separated texts (the list widget's format): pure functions.

#include "Engine/Settings/DisplayModes.h"

#include <cstddef>
#include <vector>

// Writes "Native" and one "<width>x<height>" item per mode into `buffer`, each item
// zero-terminated, with one more zero at the end. Items that would not fit in
// `capacity` bytes are left out. Returns the number of mode items written.
size_t buildResolutionItems(const std::vector<MonitorMode>& modes, char* buffer, size_t capacity);

// The same with "Native" and one "<rate> Hz" item per refresh rate of `mode`.
size_t buildRefreshItems(const MonitorMode& mode, char* buffer, size_t capacity);

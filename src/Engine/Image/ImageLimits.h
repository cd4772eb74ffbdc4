#pragma once

// What the device can hold, and whether an image fits it: pure functions, no Vulkan.

#include "Engine/Types.h"

#include <string>

// The largest image of one format and use that the device creates, and the largest
// block of device-local memory it hands out.
struct ImageLimits {
    bool formatSupported = true;
    u32 maxWidth = 0;
    u32 maxHeight = 0;
    u32 maxMipLevels = 0;
    u32 maxArrayLayers = 0;
    u64 maxResourceSize = 0;  // bytes of one image
    u64 largestAllocation = 0; // the smaller of the heap and the largest single allocation
};

struct ImageShape {
    u32 width = 0;
    u32 height = 0;
    u32 levels = 1;
    u32 layers = 1;
};

// Empty when an image of `shape` can be created; else why not, on one line
// ("65536 x 1 is larger than the device's largest image, 16384 x 16384").
std::string imageShapeProblem(const ImageShape& shape, const ImageLimits& limits);

// Empty when `bytes` of image memory fit in one allocation; else why not.
std::string imageMemoryProblem(u64 bytes, const ImageLimits& limits);

// A byte count in whole MiB, rounded up ("2304 MiB").
std::string mebibytes(u64 bytes);

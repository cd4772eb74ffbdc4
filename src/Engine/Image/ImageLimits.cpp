#include "Engine/Image/ImageLimits.h"

namespace {

std::string size(u32 width, u32 height)
{
    return std::to_string(width) + " x " + std::to_string(height);
}

} // namespace

std::string imageShapeProblem(const ImageShape& shape, const ImageLimits& limits)
{
    if (!limits.formatSupported) {
        return "the device has no images of this format for this use";
    }
    if (shape.width == 0 || shape.height == 0) {
        return "an image of " + size(shape.width, shape.height) + " pixels is empty";
    }
    if (shape.width > limits.maxWidth || shape.height > limits.maxHeight) {
        return size(shape.width, shape.height) + " is larger than the device's largest image, " +
               size(limits.maxWidth, limits.maxHeight);
    }
    if (shape.levels > limits.maxMipLevels) {
        return std::to_string(shape.levels) + " mip levels are more than the device's " +
               std::to_string(limits.maxMipLevels);
    }
    if (shape.layers > limits.maxArrayLayers) {
        return std::to_string(shape.layers) + " layers are more than the device's " +
               std::to_string(limits.maxArrayLayers);
    }
    return "";
}

std::string imageMemoryProblem(u64 bytes, const ImageLimits& limits)
{
    if (bytes > limits.maxResourceSize) {
        return "the image needs " + mebibytes(bytes) + ", more than the device's largest image of " +
               mebibytes(limits.maxResourceSize);
    }
    if (bytes > limits.largestAllocation) {
        return "the image needs " + mebibytes(bytes) + " of memory, the device allocates at most " +
               mebibytes(limits.largestAllocation);
    }
    return "";
}

std::string mebibytes(u64 bytes)
{
    constexpr u64 MiB = u64{1} << 20;
    return std::to_string(bytes / MiB + (bytes % MiB != 0 ? 1 : 0)) + " MiB";
}

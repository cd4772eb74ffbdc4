#include "Engine/Image/ImageLimits.h"

#include <gtest/gtest.h>

namespace {

// lavapipe's limits for a sampled 2D texture: 16384 a side, a 2 GiB heap.
ImageLimits lavapipeLike()
{
    ImageLimits limits;
    limits.maxWidth = 16384;
    limits.maxHeight = 16384;
    limits.maxMipLevels = 15;
    limits.maxArrayLayers = 2048;
    limits.maxResourceSize = 0xFFFFFFFFull;
    limits.largestAllocation = u64{2} << 30;
    return limits;
}

} // namespace

TEST(ImageLimits, ShapesBeyondTheDeviceAreRefusedWithTheirSizes)
{
    const ImageLimits limits = lavapipeLike();
    EXPECT_EQ(imageShapeProblem({16384, 16384, 15, 1}, limits), "");
    EXPECT_EQ(imageShapeProblem({1, 1, 1, 2048}, limits), "");
    EXPECT_EQ(imageShapeProblem({65536, 1, 1, 1}, limits),
              "65536 x 1 is larger than the device's largest image, 16384 x 16384");
    EXPECT_EQ(imageShapeProblem({1, 16385, 1, 1}, limits),
              "1 x 16385 is larger than the device's largest image, 16384 x 16384");
    EXPECT_EQ(imageShapeProblem({256, 256, 16, 1}, limits), "16 mip levels are more than the device's 15");
    EXPECT_EQ(imageShapeProblem({256, 256, 1, 2049}, limits), "2049 layers are more than the device's 2048");
    EXPECT_NE(imageShapeProblem({0, 256, 1, 1}, limits), "");

    ImageLimits unsupported = limits;
    unsupported.formatSupported = false;
    EXPECT_EQ(imageShapeProblem({4, 4, 1, 1}, unsupported), "the device has no images of this format for this use");
}

TEST(ImageLimits, MemoryBeyondOneAllocationIsRefused)
{
    const ImageLimits limits = lavapipeLike();
    // The shadow maps: four depth layers of 4 bytes a texel.
    const u64 high = u64{8192} * 8192 * 4 * 4;
    const u64 ultra = u64{12288} * 12288 * 4 * 4;
    EXPECT_EQ(imageMemoryProblem(high, limits), "");
    EXPECT_EQ(imageMemoryProblem(limits.largestAllocation, limits), "");
    EXPECT_EQ(imageMemoryProblem(ultra, limits),
              "the image needs 2304 MiB of memory, the device allocates at most 2048 MiB");

    ImageLimits smallResources = limits;
    smallResources.maxResourceSize = u64{1} << 30;
    EXPECT_EQ(imageMemoryProblem(high + 1, smallResources),
              "the image needs 1025 MiB, more than the device's largest image of 1024 MiB");
    EXPECT_EQ(mebibytes(0), "0 MiB");
    EXPECT_EQ(mebibytes(1), "1 MiB");
}

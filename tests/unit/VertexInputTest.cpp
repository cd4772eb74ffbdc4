#include "Engine/Pipeline/VertexInput.h"

#include <gtest/gtest.h>

namespace {

// Position, normal, texture coordinate: 12, 12 and 8 bytes at locations 0, 1, 2.
std::vector<VertexAttribute> posNormalUv()
{
    return {{0, VK_FORMAT_R32G32B32_SFLOAT, 12, 1}, {1, VK_FORMAT_R32G32B32_SFLOAT, 12, 2},
            {2, VK_FORMAT_R32G32_SFLOAT, 8, 3}};
}

} // namespace

TEST(VertexInput, InterleavedUsesOneBindingWithRunningOffsets)
{
    VertexInputDescription input = describeVertexInput(posNormalUv(), 32, true);
    ASSERT_EQ(input.bindings.size(), 1u);
    EXPECT_EQ(input.bindings[0].binding, 0u);
    EXPECT_EQ(input.bindings[0].stride, 32u);
    EXPECT_EQ(input.bindings[0].inputRate, VK_VERTEX_INPUT_RATE_VERTEX);
    ASSERT_EQ(input.attributes.size(), 3u);
    u32 offsets[] = {0, 12, 24};
    VkFormat formats[] = {VK_FORMAT_R32G32B32_SFLOAT, VK_FORMAT_R32G32B32_SFLOAT, VK_FORMAT_R32G32_SFLOAT};
    for (u32 i = 0; i < 3; i++) {
        EXPECT_EQ(input.attributes[i].location, i);
        EXPECT_EQ(input.attributes[i].binding, 0u);
        EXPECT_EQ(input.attributes[i].format, formats[i]);
        EXPECT_EQ(input.attributes[i].offset, offsets[i]);
    }
}

TEST(VertexInput, SeparateStreamsGiveOneBindingPerAttribute)
{
    VertexInputDescription input = describeVertexInput(posNormalUv(), 32, false);
    ASSERT_EQ(input.bindings.size(), 3u);
    ASSERT_EQ(input.attributes.size(), 3u);
    u32 strides[] = {12, 12, 8};
    for (u32 i = 0; i < 3; i++) {
        EXPECT_EQ(input.bindings[i].binding, i);
        EXPECT_EQ(input.bindings[i].stride, strides[i]);
        EXPECT_EQ(input.attributes[i].binding, i);
        EXPECT_EQ(input.attributes[i].location, i);
        EXPECT_EQ(input.attributes[i].offset, 0u);
    }
}

TEST(VertexInput, LocationsComeFromTheAttributesNotTheirOrder)
{
    // The interface layout: position, texture coordinate, packed colour (20 bytes).
    std::vector<VertexAttribute> ui = {{0, VK_FORMAT_R32G32_SFLOAT, 8, 1}, {1, VK_FORMAT_R32G32_SFLOAT, 8, 3},
                                       {2, VK_FORMAT_R8G8B8A8_UNORM, 4, 6}};
    VertexInputDescription input = describeVertexInput(ui, 20, true);
    EXPECT_EQ(input.attributes[2].offset, 16u);
    EXPECT_EQ(input.attributes[2].format, VK_FORMAT_R8G8B8A8_UNORM);

    std::vector<VertexAttribute> swapped = {{3, VK_FORMAT_R32G32_SFLOAT, 8, 3}, {0, VK_FORMAT_R32G32B32_SFLOAT, 12, 1}};
    VertexInputDescription separate = describeVertexInput(swapped, 20, false);
    EXPECT_EQ(separate.attributes[0].location, 3u);
    EXPECT_EQ(separate.attributes[0].binding, 0u);
    EXPECT_EQ(separate.attributes[1].location, 0u);
    EXPECT_EQ(separate.attributes[1].binding, 1u);
}

TEST(VertexInput, EmptyLayout)
{
    VertexInputDescription separate = describeVertexInput({}, 0, false);
    EXPECT_TRUE(separate.bindings.empty());
    EXPECT_TRUE(separate.attributes.empty());
    VertexInputDescription interleaved = describeVertexInput({}, 0, true);
    EXPECT_TRUE(interleaved.attributes.empty());
}

#include "ShaderBlockLayouts.h"

#include <gtest/gtest.h>

// The camera block that every world shader declares must match the camera's own
// 104-byte layout.
TEST(ShaderBlocks, CameraBlockMatchesTheCamera)
{
    if (!shaderBuilt("physicsDebugVert")) GTEST_SKIP() << "shaders are not built in this configuration";
    EXPECT_TRUE(blockMatches("physicsDebugVert", 0, 0, CameraBlockLayout));
    std::optional<SpirvBlock> block = spirvBlockAt(shaderPath("physicsDebugVert"), 0, 0);
    ASSERT_TRUE(block.has_value());
    EXPECT_EQ(block->offsetOf("viewProjection"), 0u);
    EXPECT_EQ(block->offsetOf("position"), 64u);
    EXPECT_EQ(block->offsetOf("forward"), 80u);
    EXPECT_EQ(block->offsetOf("nearPlane"), 96u);
    EXPECT_EQ(block->offsetOf("farPlane"), 100u);
    EXPECT_EQ(sizeof(CameraUniforms), 104u);
}

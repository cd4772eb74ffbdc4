#include "ShaderBlockLayouts.h"

#include <gtest/gtest.h>

// The final pass's uniform is the 4-byte outline flag that World::draw writes: one
// uint at the start of set 0, binding 0, and no other buffer block.
TEST(PostProcessShader, OutlineFlagIsOneFourByteValueAtBindingZero)
{
    if (!shaderBuilt("postProcessFrag")) GTEST_SKIP() << "shaders are not built in this configuration";
    ASSERT_EQ(readSpirvBlocks(shaderPath("postProcessFrag")).size(), 1u);
    EXPECT_TRUE(blockMatches("postProcessFrag", 0, 0, PostProcessBlockLayout));
    EXPECT_TRUE(readSpirvBlocks(shaderPath("postProcessVert")).empty()) << "the full-screen triangle needs no buffers";
}

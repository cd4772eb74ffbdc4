#include "ShaderBlockLayouts.h"

#include <gtest/gtest.h>

// The final pass's uniform is the 4-byte outline flag that World::draw writes: one
// uint at the start of set 0, binding 0. The vertex stage reads it and hands it on as a
// flat input, so the fragment stage, which branches on it, reads no buffer block.
TEST(PostProcessShader, OutlineFlagIsOneFourByteValueAtBindingZero)
{
    if (!shaderBuilt("postProcessVert")) GTEST_SKIP() << "shaders are not built in this configuration";
    ASSERT_EQ(readSpirvBlocks(shaderPath("postProcessVert")).size(), 1u);
    EXPECT_TRUE(blockMatches("postProcessVert", 0, 0, PostProcessBlockLayout));
    EXPECT_TRUE(readSpirvBlocks(shaderPath("postProcessFrag")).empty()) << "the fragment stage takes the flag as an input";
}

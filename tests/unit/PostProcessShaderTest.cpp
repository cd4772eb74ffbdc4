#include "SpirvReflect.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

// The final pass's uniform is the 4-byte outline flag that World::draw writes: one
// uint at the start of set 0, binding 0, and no other buffer block.
TEST(PostProcessShader, OutlineFlagIsOneFourByteValueAtBindingZero)
{
    std::string path = std::string(BRACKENHOLD_RUN_DIR) + "/shaders/postProcessFrag.spv";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "shaders are not built in this configuration";
    std::vector<SpirvBlock> blocks = readSpirvBlocks(path);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].set, 0u);
    EXPECT_EQ(blocks[0].binding, 0u);
    ASSERT_EQ(blocks[0].members.size(), 1u);
    EXPECT_EQ(blocks[0].offsetOf("outlineFlag"), 0u);
    EXPECT_TRUE(readSpirvBlocks(std::string(BRACKENHOLD_RUN_DIR) + "/shaders/postProcessVert.spv").empty())
        << "the full-screen triangle needs no buffers";
}

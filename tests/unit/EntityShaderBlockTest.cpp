#include "ShaderBlockLayouts.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The projectile and smoke shaders with the blocks their
// pipelines' descriptor layouts give them.
const std::vector<ShaderBlocks> EntityShaders = {
    {"projectileVert", {{0, 0, &CameraBlockLayout}, {1, 4, &InstancesBlockLayout}}},
    {"projectileFrag", {{0, 0, &CameraBlockLayout}, {0, 1, &SkyParamsBlockLayout}, {0, 2, &ShadowBlockLayout}}},
    {"particleVert", {{0, 0, &CameraBlockLayout}, {1, 4, &SmokeBlockLayout}}},
    {"particleFrag", {{0, 0, &CameraBlockLayout}, {0, 1, &SkyParamsBlockLayout}}},
};

} // namespace

TEST(EntityShaderBlocks, EveryBlockMatchesTheLayoutItIsFilledWith)
{
    if (!shaderBuilt("projectileVert")) GTEST_SKIP() << "shaders are not built in this configuration";
    for (const ShaderBlocks& shader : EntityShaders) {
        SCOPED_TRACE(shader.shader);
        const std::vector<SpirvBlock> blocks = readSpirvBlocks(shaderPath(shader.shader));
        ASSERT_FALSE(blocks.empty()) << "unreadable shader";
        EXPECT_EQ(blocks.size(), shader.blocks.size());
        for (const ExpectedBlock& expected : shader.blocks) {
            EXPECT_TRUE(blockMatches(shader.shader, expected.set, expected.binding, *expected.layout));
        }
    }
}

#include "ShaderBlockLayouts.h"

#include "Game/Enemies/EnemyRules.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The enemy pipelines' shaders with the blocks their descriptor layouts give them
// ("UBD_0+UBD_1+UBD_2+CIS_3 SBD_4"; the shadow pipeline "UBD_0 SBD_4").
const std::vector<ShaderBlocks> EnemyShaders = {
    {"enemyVert", {{0, 0, &CameraBlockLayout}, {1, 4, &InstancesBlockLayout}}},
    {"enemyFrag", {{0, 0, &CameraBlockLayout}, {0, 1, &SkyParamsBlockLayout}, {0, 2, &ShadowBlockLayout}}},
    {"shadowInstanceVert", {{0, 0, &CameraBlockLayout}, {1, 4, &InstancesBlockLayout}}},
};

} // namespace

TEST(EnemyShaderBlocks, EveryBlockMatchesTheLayoutItIsFilledWith)
{
    if (!shaderBuilt("enemyVert")) GTEST_SKIP() << "shaders are not built in this configuration";
    for (const ShaderBlocks& shader : EnemyShaders) {
        SCOPED_TRACE(shader.shader);
        const std::vector<SpirvBlock> blocks = readSpirvBlocks(shaderPath(shader.shader));
        ASSERT_FALSE(blocks.empty()) << "unreadable shader";
        EXPECT_EQ(blocks.size(), shader.blocks.size());
        for (const ExpectedBlock& expected : shader.blocks) {
            EXPECT_TRUE(blockMatches(shader.shader, expected.set, expected.binding, *expected.layout));
        }
    }
    // The matrices are as far apart as the enemies' draws write them.
    EXPECT_EQ(EnemyDrawRules::MatrixBytes, 64u);
}

#include "ShaderBlockLayouts.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Every terrain shader with the blocks its pipeline's descriptor layout gives it.
const std::vector<ShaderBlocks> TerrainShaders = {
    {"terrainVert", {{0, 0, &CameraBlockLayout}, {1, 4, &ChunkBlockLayout}}},
    {"terrainFrag", {{0, 0, &CameraBlockLayout}, {0, 1, &SkyParamsBlockLayout}, {0, 2, &ShadowBlockLayout}}},
    {"terrainVertOpt", {{0, 0, &CameraBlockLayout}, {0, 1, &SunBlockLayout}, {1, 4, &ChunkBlockLayout}}},
    {"terrainFragOpt", {{0, 0, &CameraBlockLayout}, {0, 2, &ShadowBlockLayout}}},
    {"terrainWaterVert", {{0, 0, &CameraBlockLayout}, {1, 4, &ChunkBlockLayout}}},
    {"terrainWaterFrag",
     {{0, 0, &CameraBlockLayout},
      {0, 1, &SkyParamsBlockLayout},
      {0, 2, &WaterParamsBlockLayout},
      {0, 3, &ShadowBlockLayout}}},
    {"terrainWaterVertOpt", {{0, 0, &CameraBlockLayout}, {0, 1, &SunBlockLayout}, {1, 4, &ChunkBlockLayout}}},
    {"terrainWaterFragOpt", {{0, 0, &CameraBlockLayout}, {0, 3, &ShadowBlockLayout}}},
    {"terrainShadowVert", {{0, 0, &CameraBlockLayout}, {1, 4, &ChunkBlockLayout}}},
};

} // namespace

TEST(TerrainShaderBlocks, EveryBlockMatchesTheLayoutItIsFilledWith)
{
    if (!shaderBuilt("terrainVert")) GTEST_SKIP() << "shaders are not built in this configuration";
    for (const ShaderBlocks& shader : TerrainShaders) {
        SCOPED_TRACE(shader.shader);
        const std::vector<SpirvBlock> blocks = readSpirvBlocks(shaderPath(shader.shader));
        ASSERT_FALSE(blocks.empty()) << "unreadable shader";
        // No block at a binding its pipeline does not fill.
        EXPECT_EQ(blocks.size(), shader.blocks.size());
        for (const ExpectedBlock& expected : shader.blocks) {
            EXPECT_TRUE(blockMatches(shader.shader, expected.set, expected.binding, *expected.layout));
        }
    }
}

#include "ShaderBlockLayouts.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Every shader of the building pipelines with the blocks its descriptor layout gives it.
const std::vector<ShaderBlocks> BuildingShaders = {
    {"towerVert", {{0, 0, &CameraBlockLayout}, {1, 4, &InstanceBlockLayout}}},
    {"towerFrag", {{0, 0, &CameraBlockLayout}, {0, 1, &SkyParamsBlockLayout}, {0, 2, &ShadowBlockLayout}}},
    {"shadowInstanceVert", {{0, 0, &CameraBlockLayout}, {1, 4, &InstancesBlockLayout}}},
    {"towerPreviewVert", {{0, 0, &CameraBlockLayout}, {0, 1, &PreviewBlockLayout}}},
    {"towerPreviewFrag", {{0, 1, &PreviewBlockLayout}}},
    {"towerEdgeVert", {{0, 0, &CameraBlockLayout}, {0, 1, &PreviewBlockLayout}}},
    {"towerEdgeFrag", {}},
    // The outline pass: a full-screen triangle reading the outline's depth image.
    {"edgeEffectVert", {}},
    {"edgeEffectFrag", {}},
    {"portalVert", {{0, 0, &CameraBlockLayout}, {1, 4, &InstanceBlockLayout}}},
    {"portalFrag", {{0, 0, &CameraBlockLayout}, {0, 1, &SkyParamsBlockLayout}}},
    {"portalFrameVert", {{0, 0, &CameraBlockLayout}, {1, 4, &InstanceBlockLayout}}},
    {"portalFrameFrag", {{0, 0, &CameraBlockLayout}, {0, 1, &SkyParamsBlockLayout}, {0, 2, &ShadowBlockLayout}}},
};

} // namespace

TEST(BuildingShaderBlocks, EveryBlockMatchesTheLayoutItIsFilledWith)
{
    if (!shaderBuilt("towerVert")) GTEST_SKIP() << "shaders are not built in this configuration";
    for (const ShaderBlocks& shader : BuildingShaders) {
        SCOPED_TRACE(shader.shader);
        ASSERT_TRUE(shaderBuilt(shader.shader));
        const std::vector<SpirvBlock> blocks = readSpirvBlocks(shaderPath(shader.shader));
        // No block at a binding its pipeline does not fill.
        EXPECT_EQ(blocks.size(), shader.blocks.size());
        for (const ExpectedBlock& expected : shader.blocks) {
            EXPECT_TRUE(blockMatches(shader.shader, expected.set, expected.binding, *expected.layout));
        }
    }
}

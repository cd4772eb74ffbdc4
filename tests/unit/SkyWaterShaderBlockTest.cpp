#include "ShaderBlockLayouts.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

namespace {

// The block each binding of set 0 must hold, per shader.
const std::vector<ShaderBlocks> SkyWaterShaders = {
    {"skyboxVert", {{0, 0, &CameraBlockLayout}, {0, 1, &SkyParamsBlockLayout}, {0, 2, &PlacementBlockLayout}}},
    {"skyboxFrag", {{0, 0, &CameraBlockLayout}, {0, 1, &SkyParamsBlockLayout}}},
    {"skyboxVertOpt", {{0, 0, &CameraBlockLayout}, {0, 1, &SunBlockLayout}, {0, 2, &PlacementBlockLayout}}},
    {"skyboxFragOpt", {{0, 0, &CameraBlockLayout}, {0, 1, &SunBlockLayout}}},
    {"skyTableVert", {{0, 0, &CameraBlockLayout}, {0, 1, &SkyParamsBlockLayout}}},
    {"skyTableFrag", {{0, 0, &CameraBlockLayout}, {0, 1, &SkyParamsBlockLayout}}},
    {"skyTableVertOpt", {{0, 0, &CameraBlockLayout}, {0, 1, &SunBlockLayout}}},
    {"skyTableFragOpt", {{0, 0, &CameraBlockLayout}, {0, 1, &SunBlockLayout}}},
    {"waterVert", {{0, 0, &CameraBlockLayout}, {0, 1, &SkyParamsBlockLayout}, {0, 2, &WaterParamsBlockLayout}}},
    {"waterFrag", {{0, 0, &CameraBlockLayout}, {0, 1, &SkyParamsBlockLayout}, {0, 2, &WaterParamsBlockLayout}}},
    {"waterVertOpt", {{0, 0, &CameraBlockLayout}, {0, 1, &SunBlockLayout}, {0, 2, &WaterOptBlockLayout}}},
    {"waterFragOpt", {{0, 0, &CameraBlockLayout}, {0, 1, &SunBlockLayout}, {0, 2, &WaterOptBlockLayout}}},
};

} // namespace

// Every uniform block of the sky and water shaders against the C++ structure it is
// filled from: the same members at the same byte offsets, nothing more, and only in
// set 0 (set 1 holds the images).
TEST(SkyWaterShaderBlocks, EveryBlockMatchesItsStructure)
{
    if (!shaderBuilt("skyboxVert")) GTEST_SKIP() << "shaders are not built";
    for (const ShaderBlocks& shader : SkyWaterShaders) {
        SCOPED_TRACE(shader.shader);
        std::vector<SpirvBlock> blocks = readSpirvBlocks(shaderPath(shader.shader));
        ASSERT_FALSE(blocks.empty());
        for (const SpirvBlock& block : blocks) EXPECT_EQ(block.set, 0u) << block.typeName;
        for (const ExpectedBlock& expected : shader.blocks) {
            EXPECT_TRUE(blockMatches(shader.shader, expected.set, expected.binding, *expected.layout));
        }
    }
}

// The blocks' sizes as the slots are made: the shaders read no byte beyond them.
TEST(SkyWaterShaderBlocks, LastMembersEndAtTheSlotSizes)
{
    EXPECT_EQ(sizeof(SkyboxParams), 88u);
    EXPECT_EQ(offsetof(SkyboxParams, subScatterSteps) + 4, sizeof(SkyboxParams));
    EXPECT_EQ(sizeof(WaterParams), 164u);
    EXPECT_EQ(offsetof(WaterParams, mainRaySteps) + 4, sizeof(WaterParams));
    EXPECT_EQ(sizeof(WaterOptParams), 76u);
    EXPECT_EQ(offsetof(WaterOptParams, time) + 4, sizeof(WaterOptParams));
    EXPECT_EQ(sizeof(glm::vec3), 12u); // the sun block
}

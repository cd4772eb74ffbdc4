#include "SpirvReflect.h"

#include "Engine/Camera/CameraMath.h"
#include "World/Shadow/ShadowRenderer.h"
#include "World/Sky/Skybox.h"
#include "World/Water/Water.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

// A block's members by their shader names, with the byte offsets of the C++ fields
// that fill them.
using Layout = std::vector<std::pair<std::string, uint32_t>>;

const Layout CameraLayout = {
    {"viewProjection", offsetof(CameraUniforms, viewProjection)},
    {"position", offsetof(CameraUniforms, position)},
    {"reserved0", offsetof(CameraUniforms, reserved0)},
    {"forward", offsetof(CameraUniforms, forward)},
    {"reserved1", offsetof(CameraUniforms, reserved1)},
    {"nearPlane", offsetof(CameraUniforms, nearPlane)},
    {"farPlane", offsetof(CameraUniforms, farPlane)},
};

const Layout SkyLayout = {
    {"sunDirection", offsetof(SkyboxParams, sunDirection)},
    {"reserved0", offsetof(SkyboxParams, pad0)},
    {"sunColor", offsetof(SkyboxParams, sunColor)},
    {"reserved1", offsetof(SkyboxParams, pad1)},
    {"rgbScatter", offsetof(SkyboxParams, rgbScatter)},
    {"reserved2", offsetof(SkyboxParams, pad2)},
    {"planetRadius", offsetof(SkyboxParams, planetRadius)},
    {"atmosphereThickness", offsetof(SkyboxParams, atmosphereThickness)},
    {"atmosphereAveragePoint", offsetof(SkyboxParams, atmosphereAveragePoint)},
    {"atmosphereDensity", offsetof(SkyboxParams, atmosphereDensity)},
    {"rayleighIntensity", offsetof(SkyboxParams, rayleighIntensity)},
    {"mieIntensity", offsetof(SkyboxParams, mieIntensity)},
    {"mieFactor", offsetof(SkyboxParams, mieFactor)},
    {"exposure", offsetof(SkyboxParams, exposure)},
    {"mainRaySteps", offsetof(SkyboxParams, mainRaySteps)},
    {"subScatterSteps", offsetof(SkyboxParams, subScatterSteps)},
};

// The optimised shaders' 12-byte sun block.
const Layout SunLayout = {{"sunDirection", 0}};

const Layout ShadowLayout = {
    {"lightViewProjection", offsetof(ShadowUniforms, lightViewProjection)},
    {"reserved0", offsetof(ShadowUniforms, reserved0)},
    {"bias", offsetof(ShadowUniforms, bias)},
    {"reserved1", offsetof(ShadowUniforms, reserved1)},
    {"splitExponent", offsetof(ShadowUniforms, splitExponent)},
};

#define WATER_MEMBER(name) {#name, offsetof(WaterParams, name)}
const Layout WaterLayout = {
    WATER_MEMBER(inverseViewProjection), WATER_MEMBER(rgbScatter),     WATER_MEMBER(pad0),
    WATER_MEMBER(rgbAbsorption),         WATER_MEMBER(pad1),           WATER_MEMBER(prepassScale),
    WATER_MEMBER(absorptionFactor),      WATER_MEMBER(time),           WATER_MEMBER(timeMultiplier),
    WATER_MEMBER(sizeScaling),           WATER_MEMBER(heightScaling),  WATER_MEMBER(iterations),
    WATER_MEMBER(offsetWeight),          WATER_MEMBER(heightWeight),   WATER_MEMBER(phaseWeight),
    WATER_MEMBER(speedWeight),           WATER_MEMBER(dxMul),          WATER_MEMBER(density),
    WATER_MEMBER(depth),                 WATER_MEMBER(refractiveStrength), WATER_MEMBER(mainRaySteps),
};
#undef WATER_MEMBER

// The chunk's model matrix, as the terrain writes it into its per-chunk slot.
const Layout ChunkLayout = {{"model", 0}};

struct ExpectedBlock {
    uint32_t set;
    uint32_t binding;
    const char* typeName;
    const Layout* layout;
};

struct ShaderBlocks {
    const char* shader;
    std::vector<ExpectedBlock> blocks;
};

// Every terrain shader with the blocks its pipeline's descriptor layout gives it.
const std::vector<ShaderBlocks> TerrainShaders = {
    {"terrainVert", {{0, 0, "CameraBlock", &CameraLayout}, {1, 4, "ChunkBlock", &ChunkLayout}}},
    {"terrainFrag",
     {{0, 0, "CameraBlock", &CameraLayout}, {0, 1, "SkyParamsBlock", &SkyLayout}, {0, 2, "ShadowBlock", &ShadowLayout}}},
    {"terrainVertOpt",
     {{0, 0, "CameraBlock", &CameraLayout}, {0, 1, "SunBlock", &SunLayout}, {1, 4, "ChunkBlock", &ChunkLayout}}},
    {"terrainFragOpt", {{0, 0, "CameraBlock", &CameraLayout}, {0, 2, "ShadowBlock", &ShadowLayout}}},
    {"terrainWaterVert", {{0, 0, "CameraBlock", &CameraLayout}, {1, 4, "ChunkBlock", &ChunkLayout}}},
    {"terrainWaterFrag",
     {{0, 0, "CameraBlock", &CameraLayout},
      {0, 1, "SkyParamsBlock", &SkyLayout},
      {0, 2, "WaterParamsBlock", &WaterLayout},
      {0, 3, "ShadowBlock", &ShadowLayout}}},
    {"terrainWaterVertOpt",
     {{0, 0, "CameraBlock", &CameraLayout}, {0, 1, "SunBlock", &SunLayout}, {1, 4, "ChunkBlock", &ChunkLayout}}},
    {"terrainWaterFragOpt", {{0, 0, "CameraBlock", &CameraLayout}, {0, 3, "ShadowBlock", &ShadowLayout}}},
    {"terrainShadowVert", {{0, 0, "CameraBlock", &CameraLayout}, {1, 4, "ChunkBlock", &ChunkLayout}}},
};

std::string shaderPath(const char* name)
{
    return std::string(BRACKENHOLD_RUN_DIR) + "/shaders/" + name + ".spv";
}

} // namespace

TEST(TerrainShaderBlocks, EveryBlockMatchesTheLayoutItIsFilledWith)
{
    if (!std::filesystem::exists(shaderPath("terrainVert"))) {
        GTEST_SKIP() << "shaders are not built in this configuration";
    }
    for (const ShaderBlocks& shader : TerrainShaders) {
        SCOPED_TRACE(shader.shader);
        const std::vector<SpirvBlock> blocks = readSpirvBlocks(shaderPath(shader.shader));
        ASSERT_FALSE(blocks.empty()) << "unreadable shader";
        // No block at a binding its pipeline does not fill.
        EXPECT_EQ(blocks.size(), shader.blocks.size());
        for (const ExpectedBlock& expected : shader.blocks) {
            SCOPED_TRACE(expected.typeName);
            std::optional<SpirvBlock> block = spirvBlockAt(shaderPath(shader.shader), expected.set, expected.binding);
            ASSERT_TRUE(block.has_value()) << "no block at set " << expected.set << " binding " << expected.binding;
            EXPECT_EQ(block->typeName, expected.typeName);
            ASSERT_EQ(block->members.size(), expected.layout->size());
            for (size_t m = 0; m < block->members.size(); m++) {
                EXPECT_EQ(block->members[m].name, (*expected.layout)[m].first);
                EXPECT_EQ(block->members[m].offset, (*expected.layout)[m].second) << block->members[m].name;
            }
        }
    }
}

#include "SpirvReflect.h"

#include "Engine/Camera/CameraMath.h"
#include "World/Sky/Skybox.h"
#include "World/Water/Water.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

using Layout = std::vector<std::pair<std::string, uint32_t>>;

std::string shaderPath(const std::string& name)
{
    return std::string(BRACKENHOLD_RUN_DIR) + "/shaders/" + name + ".spv";
}

// The C++ layouts the shaders' blocks must follow, member by member.
const Layout CameraLayout = {{"viewProjection", offsetof(CameraUniforms, viewProjection)},
                             {"position", offsetof(CameraUniforms, position)},
                             {"forward", offsetof(CameraUniforms, forward)},
                             {"nearPlane", offsetof(CameraUniforms, nearPlane)},
                             {"farPlane", offsetof(CameraUniforms, farPlane)}};

const Layout SkyLayout = {{"sunDirection", offsetof(SkyboxParams, sunDirection)},
                          {"sunColor", offsetof(SkyboxParams, sunColor)},
                          {"rgbScatter", offsetof(SkyboxParams, rgbScatter)},
                          {"planetRadius", offsetof(SkyboxParams, planetRadius)},
                          {"atmosphereThickness", offsetof(SkyboxParams, atmosphereThickness)},
                          {"atmosphereAveragePoint", offsetof(SkyboxParams, atmosphereAveragePoint)},
                          {"atmosphereDensity", offsetof(SkyboxParams, atmosphereDensity)},
                          {"rayleighIntensity", offsetof(SkyboxParams, rayleighIntensity)},
                          {"mieIntensity", offsetof(SkyboxParams, mieIntensity)},
                          {"mieFactor", offsetof(SkyboxParams, mieFactor)},
                          {"exposure", offsetof(SkyboxParams, exposure)},
                          {"mainRaySteps", offsetof(SkyboxParams, mainRaySteps)},
                          {"subScatterSteps", offsetof(SkyboxParams, subScatterSteps)}};

const Layout SunLayout = {{"sunDirection", 0}};

const Layout PlacementLayout = {{"model", 0}};

const Layout WaterLayout = {{"inverseViewProjection", offsetof(WaterParams, inverseViewProjection)},
                            {"rgbScatter", offsetof(WaterParams, rgbScatter)},
                            {"rgbAbsorption", offsetof(WaterParams, rgbAbsorption)},
                            {"prepassScale", offsetof(WaterParams, prepassScale)},
                            {"absorptionFactor", offsetof(WaterParams, absorptionFactor)},
                            {"time", offsetof(WaterParams, time)},
                            {"timeMultiplier", offsetof(WaterParams, timeMultiplier)},
                            {"sizeScaling", offsetof(WaterParams, sizeScaling)},
                            {"heightScaling", offsetof(WaterParams, heightScaling)},
                            {"iterations", offsetof(WaterParams, iterations)},
                            {"offsetWeight", offsetof(WaterParams, offsetWeight)},
                            {"heightWeight", offsetof(WaterParams, heightWeight)},
                            {"phaseWeight", offsetof(WaterParams, phaseWeight)},
                            {"speedWeight", offsetof(WaterParams, speedWeight)},
                            {"dxMul", offsetof(WaterParams, dxMul)},
                            {"density", offsetof(WaterParams, density)},
                            {"depth", offsetof(WaterParams, depth)},
                            {"refractiveStrength", offsetof(WaterParams, refractiveStrength)},
                            {"mainRaySteps", offsetof(WaterParams, mainRaySteps)}};

const Layout WaterOptLayout = {{"inverseViewProjection", offsetof(WaterOptParams, inverseViewProjection)},
                               {"prepassScale", offsetof(WaterOptParams, prepassScale)},
                               {"time", offsetof(WaterOptParams, time)}};

// The block each binding of set 0 must hold, per shader.
struct ShaderBlocks {
    const char* shader;
    std::vector<std::pair<uint32_t, const Layout*>> bindings;
};

const std::vector<ShaderBlocks> Shaders = {
    {"skyboxVert", {{0, &CameraLayout}, {1, &SkyLayout}, {2, &PlacementLayout}}},
    {"skyboxFrag", {{0, &CameraLayout}, {1, &SkyLayout}}},
    {"skyboxVertOpt", {{0, &CameraLayout}, {1, &SunLayout}, {2, &PlacementLayout}}},
    {"skyboxFragOpt", {{0, &CameraLayout}, {1, &SunLayout}}},
    {"waterVert", {{0, &CameraLayout}, {1, &SkyLayout}, {2, &WaterLayout}}},
    {"waterFrag", {{0, &CameraLayout}, {1, &SkyLayout}, {2, &WaterLayout}}},
    {"waterVertOpt", {{0, &CameraLayout}, {1, &SunLayout}, {2, &WaterOptLayout}}},
    {"waterFragOpt", {{0, &CameraLayout}, {1, &SunLayout}, {2, &WaterOptLayout}}},
};

bool isPadding(const std::string& name)
{
    return name.rfind("pad", 0) == 0 || name.rfind("reserved", 0) == 0;
}

} // namespace

// Every uniform block of the sky and water shaders against the C++ structure it is
// filled from: the same members at the same byte offsets, nothing more, and only in
// set 0 (set 1 holds the images).
TEST(SkyWaterShaderBlocks, EveryBlockMatchesItsStructure)
{
    if (!std::filesystem::exists(shaderPath("skyboxVert"))) GTEST_SKIP() << "shaders are not built";
    for (const ShaderBlocks& expected : Shaders) {
        SCOPED_TRACE(expected.shader);
        std::vector<SpirvBlock> blocks = readSpirvBlocks(shaderPath(expected.shader));
        ASSERT_FALSE(blocks.empty());
        for (const SpirvBlock& block : blocks) EXPECT_EQ(block.set, 0u) << block.typeName;
        for (const auto& [binding, layout] : expected.bindings) {
            SCOPED_TRACE("binding " + std::to_string(binding));
            std::optional<SpirvBlock> block = spirvBlockAt(shaderPath(expected.shader), 0, binding);
            ASSERT_TRUE(block.has_value());
            size_t members = 0;
            for (const SpirvMember& member : block->members) {
                if (!isPadding(member.name)) members++;
            }
            EXPECT_EQ(members, layout->size());
            for (const auto& [name, offset] : *layout) EXPECT_EQ(block->offsetOf(name), offset) << name;
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

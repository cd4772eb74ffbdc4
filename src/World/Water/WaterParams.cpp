#include "World/Water/Water.h"

#include "World/Sky/Skybox.h"

#include <algorithm>
#include <cmath>

namespace {

namespace WaterDefaults {
constexpr glm::vec3 Absorption{0.6f, 0.08f, 0.015f};
constexpr f32 AbsorptionFactor = 120.0f;
constexpr f32 TimeMultiplier = 1.0f;
constexpr f32 SizeScaling = 18.0f;
constexpr f32 HeightScaling = 0.2197f;
constexpr i32 Iterations = 30;
constexpr f32 OffsetWeight = 0.946f;
constexpr f32 HeightWeight = 0.753f;
constexpr f32 PhaseWeight = 1.215f;
constexpr f32 SpeedWeight = 1.1f;
constexpr f32 DxMul = 0.201f;
constexpr f32 Density = 0.05f;
constexpr f32 Depth = 35.0f;
constexpr f32 RefractiveStrength = 0.8f;
constexpr i32 MainRaySteps = 3;
} // namespace WaterDefaults

// The waves' height unit of the shaders (water.glsl): the crests rise half the height
// scaling of it above the sea sphere.
constexpr f32 WaveHeightUnit = 4.0f;

} // namespace

WaterParams::WaterParams()
{
    using namespace WaterDefaults;
    // The matrix and the prepass scale are written every frame before the upload; a
    // fresh block (also one made by "Reset") holds zeros there until then.
    inverseViewProjection = glm::mat4(0.0f);
    // The water scatters like the sky's air by default.
    rgbScatter = SkyboxParams().rgbScatter;
    pad0 = 0.0f;
    rgbAbsorption = Absorption;
    pad1 = 0.0f;
    prepassScale = glm::vec2(0.0f);
    absorptionFactor = AbsorptionFactor;
    time = 0.0f;
    timeMultiplier = TimeMultiplier;
    sizeScaling = SizeScaling;
    heightScaling = HeightScaling;
    iterations = Iterations;
    offsetWeight = OffsetWeight;
    heightWeight = HeightWeight;
    phaseWeight = PhaseWeight;
    speedWeight = SpeedWeight;
    dxMul = DxMul;
    density = Density;
    depth = Depth;
    refractiveStrength = RefractiveStrength;
    mainRaySteps = MainRaySteps;
}

f32 Water::crestHeight(bool optimized) const
{
    const f32 scaling = optimized ? WaterDefaults::HeightScaling : params.heightScaling;
    return 0.5f * std::abs(scaling) * WaveHeightUnit;
}

f32 Water::sampleReach(bool optimized) const
{
    if (optimized) return WaterDefaults::Depth * WaterDefaults::RefractiveStrength;
    // As the shaders take them: a depth of at least 0.01.
    return std::max(params.depth, 0.01f) * std::abs(params.refractiveStrength);
}

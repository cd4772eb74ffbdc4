#include "World/Water/WaterSettings.h"

#include "World/Water/Water.h"

#include <glm/gtc/type_ptr.hpp>
#include <imgui.h>

namespace {

constexpr ImGuiSliderFlags Log = ImGuiSliderFlags_Logarithmic;

// Slider ranges.
namespace WaterSliders {
constexpr f32 ColorMin = 0.001f, ColorMax = 1.0f;
constexpr f32 AbsorptionFactorMin = 0.1f, AbsorptionFactorMax = 2000.0f;
constexpr f32 TimeMultiplierMin = 0.01f, TimeMultiplierMax = 20.0f;
constexpr f32 ScalingMin = 0.001f, ScalingMax = 200.0f;
constexpr i32 IterationsMin = 1, IterationsMax = 42;
constexpr f32 WeightMin = 0.1f, WeightMax = 2.0f;
constexpr f32 DxMulMin = 0.01f, DxMulMax = 20000.0f;
constexpr f32 DensityMin = 0.001f, DensityMax = 20.0f;
constexpr f32 DepthMin = 1.0f, DepthMax = 1000.0f;
constexpr f32 RefractionMin = 0.001f, RefractionMax = 100.0f;
constexpr i32 StepsMin = 1, StepsMax = 50;
} // namespace WaterSliders

} // namespace

void drawWaterSettings(WaterParams& params)
{
    using namespace WaterSliders;
    ImGui::SliderFloat3("RGB scatter", glm::value_ptr(params.rgbScatter), ColorMin, ColorMax, "%.3f");
    ImGui::SliderFloat3("RGB absorption", glm::value_ptr(params.rgbAbsorption), ColorMin, ColorMax, "%.3f");
    ImGui::SliderFloat("Absorption factor", &params.absorptionFactor, AbsorptionFactorMin, AbsorptionFactorMax,
                       "%.3f", Log);
    ImGui::SliderFloat("Time multiplier", &params.timeMultiplier, TimeMultiplierMin, TimeMultiplierMax, "%.3f", Log);
    ImGui::SliderFloat("Size scaling", &params.sizeScaling, ScalingMin, ScalingMax, "%.4f", Log);
    ImGui::SliderFloat("Height scaling", &params.heightScaling, ScalingMin, ScalingMax, "%.4f", Log);
    ImGui::SliderInt("Iterations", &params.iterations, IterationsMin, IterationsMax, "%d");
    ImGui::SliderFloat("Offset weight", &params.offsetWeight, WeightMin, WeightMax, "%.3f");
    ImGui::SliderFloat("Height weight", &params.heightWeight, WeightMin, WeightMax, "%.3f");
    ImGui::SliderFloat("Phase weight", &params.phaseWeight, WeightMin, WeightMax, "%.3f");
    ImGui::SliderFloat("Speed weight", &params.speedWeight, WeightMin, WeightMax, "%.3f");
    ImGui::SliderFloat("Dx Mul", &params.dxMul, DxMulMin, DxMulMax, "%.3f", Log);
    ImGui::SliderFloat("Density", &params.density, DensityMin, DensityMax, "%.3f", Log);
    ImGui::SliderFloat("Depth", &params.depth, DepthMin, DepthMax, "%.3f", Log);
    ImGui::SliderFloat("Refractive strength", &params.refractiveStrength, RefractionMin, RefractionMax, "%.3f", Log);
    ImGui::SliderInt("Main ray steps", &params.mainRaySteps, StepsMin, StepsMax, "%d");
    if (ImGui::Button("Reset")) params = WaterParams();
}

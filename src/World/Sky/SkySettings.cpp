#include "World/Sky/SkySettings.h"

#include "World/Sky/Skybox.h"
#include "World/Sky/SunControl.h"

#include <glm/gtc/type_ptr.hpp>
#include <imgui.h>

namespace {

// The planet and atmosphere sizes are stored in world units and shown in thousands.
constexpr f32 UnitsToKm = 0.001f;
constexpr f32 KmToUnits = 1000.0f;

// Slider ranges.
namespace SkySliders {
constexpr f32 ScatterMin = 0.01f, ScatterMax = 1.0f;
constexpr f32 RadiusMin = 0.1f, RadiusMax = 10000.0f;
constexpr f32 ThicknessMin = 0.02f, ThicknessMax = 100.0f;
constexpr f32 AveragePointMin = 0.01f, AveragePointMax = 1.0f;
constexpr f32 DensityMin = 0.01f, DensityMax = 10.0f;
constexpr f32 IntensityMin = 0.01f, IntensityMax = 10.0f;
constexpr f32 MieFactorMin = 0.5f, MieFactorMax = 0.999f;
constexpr f32 ExposureMin = 0.5f, ExposureMax = 5.0f;
constexpr i32 StepsMin = 1, StepsMax = 100;
} // namespace SkySliders

// A size slider in kilometres over a value kept in world units. The value is written
// back only when the slider moved: converting an untouched value there and back again
// every frame would let it creep away from what was set (12742 becomes 12742.004).
void kilometreSlider(const char* label, f32& units, f32 min, f32 max, const char* format)
{
    f32 km = units * UnitsToKm;
    if (ImGui::SliderFloat(label, &km, min, max, format, ImGuiSliderFlags_Logarithmic)) {
        units = km * KmToUnits;
    }
}

} // namespace

void drawSkySettings(SkyboxParams& params)
{
    using namespace SkySliders;
    ImGui::ColorEdit3("Sun Color", glm::value_ptr(params.sunColor), ImGuiColorEditFlags_PickerHueWheel);
    ImGui::SliderFloat3("RGB scatter", glm::value_ptr(params.rgbScatter), ScatterMin, ScatterMax, "%.3f");
    kilometreSlider("Planet radius [km]", params.planetRadius, RadiusMin, RadiusMax, "%.1f");
    kilometreSlider("Atmosphere thickness [km]", params.atmosphereThickness, ThicknessMin, ThicknessMax, "%.2f");
    ImGui::SliderFloat("Atmosphere average point", &params.atmosphereAveragePoint, AveragePointMin,
                       AveragePointMax, "%.3f");
    ImGui::SliderFloat("Atmosphere density", &params.atmosphereDensity, DensityMin, DensityMax, "%.2f");
    ImGui::SliderFloat("Rayleigh intensity", &params.rayleighIntensity, IntensityMin, IntensityMax, "%.2f");
    ImGui::SliderFloat("Mie intensity", &params.mieIntensity, IntensityMin, IntensityMax, "%.2f");
    ImGui::SliderFloat("Mie factor", &params.mieFactor, MieFactorMin, MieFactorMax, "%.3f");
    ImGui::SliderFloat("Exposure", &params.exposure, ExposureMin, ExposureMax, "%.2f");
    ImGui::SliderInt("Main ray steps", &params.mainRaySteps, StepsMin, StepsMax, "%d");
    ImGui::SliderInt("Sub scatter steps", &params.subScatterSteps, StepsMin, StepsMax, "%d");
    if (ImGui::Button("Reset")) resetSkyParams(params);
}

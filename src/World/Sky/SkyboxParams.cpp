#include "World/Sky/Skybox.h"

#include <cmath>

namespace {

// Rayleigh scattering goes with the inverse fourth power of the wavelength: the
// coefficients are (400 nm / wavelength)^4 for red, green and blue.
namespace SkyDefaults {
constexpr f32 RedRatio = 0.5714286f;    // 400 / 700
constexpr f32 GreenRatio = 0.754717f;   // 400 / 530
constexpr f32 BlueRatio = 0.90909094f;  // 400 / 440
constexpr f32 PlanetRadius = 12742.0f;  // world units
constexpr f32 AtmosphereThickness = 1000.0f;
constexpr f32 AtmosphereAveragePoint = 0.125f;
constexpr f32 AtmosphereDensity = 1.0f;
constexpr f32 RayleighIntensity = 1.8f;
constexpr f32 MieIntensity = 1.5f;
constexpr f32 MieFactor = 0.8f;
constexpr f32 Exposure = 1.5f;
constexpr i32 MainRaySteps = 12;
constexpr i32 SubScatterSteps = 6;
} // namespace SkyDefaults

} // namespace

SkyboxParams::SkyboxParams()
{
    using namespace SkyDefaults;
    sunColor = glm::vec3(1.0f);
    rgbScatter = glm::vec3(std::pow(RedRatio, 4.0f), std::pow(GreenRatio, 4.0f), std::pow(BlueRatio, 4.0f));
    planetRadius = PlanetRadius;
    atmosphereThickness = AtmosphereThickness;
    atmosphereAveragePoint = AtmosphereAveragePoint;
    atmosphereDensity = AtmosphereDensity;
    rayleighIntensity = RayleighIntensity;
    mieIntensity = MieIntensity;
    mieFactor = MieFactor;
    exposure = Exposure;
    mainRaySteps = MainRaySteps;
    subScatterSteps = SubScatterSteps;
}

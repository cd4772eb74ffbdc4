#pragma once

#include "Engine/Types.h"
#include "World/Sky/Skybox.h"

#include <glm/glm.hpp>

#include <vulkan/vulkan.h>

class Camera;
class CommandBuffer;
class DataSet;
class Image2D;
class Pipeline;
class Sampler;
struct ImageBinding;
struct StorageSlot;

// The sky's scattering worked out once per camera position and sun into two tables
// (in-scattered light and transmittance) for a grid of view directions and, for the
// haze over the scene, of distances; the sky pass looks them up instead of integrating
// the air along every pixel's ray. The layout is the shaders' (skyTable.glsl).
namespace SkyTableRules {
constexpr u32 SkyAzimuths = 256;
constexpr u32 SkyElevations = 128; // per half: below and above the horizon
constexpr u32 HazeAzimuths = 128;
constexpr u32 HazeElevations = 32;
constexpr u32 HazeDistances = 64;
constexpr u32 Width = SkyAzimuths + 1; // the first azimuth again, for lookups across it
static_assert(HazeAzimuths < Width, "the haze blocks fit in the sky's width");
constexpr u32 Height = 2 * SkyElevations + HazeDistances * HazeElevations;
// Filterable and a colour attachment on every Vulkan device; ample for light values.
constexpr VkFormat Format = VK_FORMAT_R16G16B16A16_SFLOAT;
} // namespace SkyTableRules

// What the tables are made from: they are made again when any of it changes. The
// optimised shaders build in every parameter but the sun's direction.
struct SkyTableKey {
    glm::vec3 cameraPosition{0.0f};
    f32 farPlane = 0.0f;
    bool optimized = false;
    SkyboxParams params; // the sun's direction only, for the optimised shaders

    bool operator==(const SkyTableKey& other) const;
    bool operator!=(const SkyTableKey& other) const { return !(*this == other); }
};

SkyTableKey skyTableKey(const SkyboxParams& params, const glm::vec3& cameraPosition, f32 farPlane, bool optimized);

class SkyTables {
public:
    Image2D* inscatter = nullptr;
    Image2D* transmittance = nullptr;
    ImageBinding* inscatterBinding = nullptr;
    ImageBinding* transmittanceBinding = nullptr;
    Pipeline* pipeline = nullptr;    // from the sky's parameter block
    Pipeline* optPipeline = nullptr; // with the default parameters built in
    DataSet* setA = nullptr;         // camera, sky parameters
    DataSet* setB = nullptr;         // camera, sun direction
    SkyTableKey madeFor;
    bool made = false;
    u32 builds = 0; // how many times the tables were made

    // The camera's block and the sky's two parameter slots; `sampler` filters the
    // lookups (linear, clamped).
    SkyTables(Camera* camera, StorageSlot* paramSlot, StorageSlot* sunSlot, Sampler* sampler);
    ~SkyTables();
    SkyTables(const SkyTables&) = delete;
    SkyTables& operator=(const SkyTables&) = delete;

    // Outside any rendering: records the pass that makes the tables when `key` differs
    // from what they were last made for, and leaves them readable by the fragment
    // shaders that follow. Returns whether it did.
    bool update(CommandBuffer* cmd, const SkyTableKey& key);
};

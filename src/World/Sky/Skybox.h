#pragma once

#include "Engine/Types.h"

#include <glm/glm.hpp>

#include <cstddef>

class Camera;
class Cube;
class DataSet;
class DsDeviceMeshSingle;
class ImageCube;
class Pipeline;
class Sampler;
class SkyTables;
struct ImageBinding;
struct StorageSlot;

// The sky's parameter block (std140, 88 bytes), read by the normal sky and water
// shaders; its planet radius also places the sea-level sphere at (0, -radius, 0).
struct SkyboxParams {
    glm::vec3 sunDirection{0.0f, 1.0f, 0.0f}; // towards the sun, unit
    f32 pad0 = 0.0f;
    glm::vec3 sunColor;
    f32 pad1 = 0.0f;
    glm::vec3 rgbScatter;
    f32 pad2 = 0.0f;
    f32 planetRadius;        // world units
    f32 atmosphereThickness; // world units
    f32 atmosphereAveragePoint;
    f32 atmosphereDensity;
    f32 rayleighIntensity;
    f32 mieIntensity;
    f32 mieFactor;
    f32 exposure;
    i32 mainRaySteps;
    i32 subScatterSteps;

    // The defaults of every field but the sun direction.
    SkyboxParams();
};
static_assert(offsetof(SkyboxParams, sunColor) == 16);
static_assert(offsetof(SkyboxParams, rgbScatter) == 32);
static_assert(offsetof(SkyboxParams, planetRadius) == 48);
static_assert(offsetof(SkyboxParams, mainRaySteps) == 80);
static_assert(sizeof(SkyboxParams) == 88);

// The sky with atmospheric scattering and the star cube map, composed over the
// finished scene in the sky pass. The arrow keys turn the sun.
class Skybox {
public:
    SkyboxParams params;
    glm::vec3 sunBlock{0.0f}; // the sun direction for the optimised shaders
    StorageSlot* paramSlot = nullptr;
    StorageSlot* sunSlot = nullptr;
    ImageBinding* starBinding = nullptr;
    Pipeline* pipeline = nullptr;
    Pipeline* optPipeline = nullptr;
    // The haze over the scene's pixels (the two above draw the sky where it is empty).
    Pipeline* hazePipeline = nullptr;
    Pipeline* hazeOptPipeline = nullptr;
    DsDeviceMeshSingle* meshStorage = nullptr;
    Cube* cube = nullptr;
    DataSet* setA = nullptr; // normal shaders, set 0
    DataSet* setB = nullptr; // optimised shaders, set 0
    DataSet* setC = nullptr; // star cube, scene colour, scene depth, the two tables: set 1
    ImageCube* stars = nullptr;
    Sampler* sampler = nullptr;
    StorageSlot* placementSlot = nullptr;
    f32 sunAngle = -1.0f;
    // The scattering tables the sky pass reads, made again when the camera moves or
    // the sun or the parameters change.
    SkyTables* tables = nullptr;

    // The world's scene colour and depth bindings must exist already.
    explicit Skybox(Camera* camera);
    ~Skybox();
    Skybox(const Skybox&) = delete;
    Skybox& operator=(const Skybox&) = delete;

    // Turns the sun with the arrow keys and uploads the three blocks.
    void update(f32 frameMs, Camera* camera);
    // The controls of the "Skybox settings" window.
    void drawSettings();
};

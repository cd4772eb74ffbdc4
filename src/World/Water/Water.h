#pragma once

#include "Engine/Types.h"

#include <glm/glm.hpp>
#include <vulkan/vulkan.h>

#include <cstddef>

class Camera;
class DataSet;
class DsDeviceMeshSingle;
class Mesh;
class Pipeline;
struct StorageSlot;

// The normal water shaders' block (std140, 164 bytes).
struct WaterParams {
    glm::mat4 inverseViewProjection; // inverse(projection * rotation-only view), per frame
    glm::vec3 rgbScatter;
    f32 pad0;
    glm::vec3 rgbAbsorption;
    f32 pad1;
    glm::vec2 prepassScale; // per frame
    f32 absorptionFactor;
    f32 time; // seconds, advanced per frame
    f32 timeMultiplier;
    f32 sizeScaling;
    f32 heightScaling;
    i32 iterations;
    f32 offsetWeight;
    f32 heightWeight;
    f32 phaseWeight;
    f32 speedWeight;
    f32 dxMul;
    f32 density;
    f32 depth;
    f32 refractiveStrength;
    i32 mainRaySteps;

    // The defaults of the parameters (the matrix, the scale and the paddings stay zero).
    WaterParams();
};
static_assert(offsetof(WaterParams, rgbScatter) == 64);
static_assert(offsetof(WaterParams, rgbAbsorption) == 80);
static_assert(offsetof(WaterParams, prepassScale) == 96);
static_assert(offsetof(WaterParams, time) == 108);
static_assert(offsetof(WaterParams, iterations) == 124);
static_assert(offsetof(WaterParams, mainRaySteps) == 160);
static_assert(sizeof(WaterParams) == 164);

// The optimised water shaders' block (76 bytes); their other parameters are built in.
struct WaterOptParams {
    glm::mat4 inverseViewProjection;
    glm::vec2 prepassScale;
    f32 time;
};
static_assert(offsetof(WaterOptParams, time) == 72);
static_assert(sizeof(WaterOptParams) == 76);

// The format of the image the sea's colour pass writes its surface depths to.
constexpr VkFormat SurfaceDepthFormat = VK_FORMAT_R32_SFLOAT;

// The sea: a 100 x 100 screen-space grid that the water shaders project onto the sea
// surface, shaded with the terrain's water prepass beneath it.
class Water {
public:
    StorageSlot* paramSlot = nullptr;    // 164 bytes
    StorageSlot* optParamSlot = nullptr; // 76 bytes
    Pipeline* pipeline = nullptr;
    Pipeline* optPipeline = nullptr;
    // Writes the surface depths of the colour pass into the scene's depth.
    Pipeline* depthPipeline = nullptr;
    DsDeviceMeshSingle* meshStorage = nullptr;
    DataSet* setA = nullptr; // camera, sky parameters, water parameters
    DataSet* setB = nullptr; // camera, sun direction, optimised parameters
    // The terrain's prepass colour and depth, and the scene's depth before the sea.
    DataSet* setC = nullptr;
    DataSet* depthSet = nullptr; // the surface depths the colour pass wrote
    Mesh* mesh = nullptr;
    WaterParams params;
    WaterOptParams optParams{};

    Water();
    ~Water();
    Water(const Water&) = delete;
    Water& operator=(const Water&) = delete;

    // Sets A, B and C; the terrain's prepass bindings must exist.
    void createDataSets(Camera* camera);
    // The controls of the "Water settings" window.
    void drawSettings();

    // What the shaders work with, as their constants and parameters give it: the height
    // of the highest crest above the sea sphere, and how far from a shaded point of the
    // surface the ground beneath is sampled (depth times refractive strength). The
    // optimised shaders build in the parameters' defaults.
    f32 crestHeight(bool optimized) const;
    f32 sampleReach(bool optimized) const;
};

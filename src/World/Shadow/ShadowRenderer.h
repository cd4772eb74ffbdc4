#pragma once

#include "Engine/Types.h"
#include "World/Shadow/ShadowReceivers.h"

#include <glm/glm.hpp>

#include <cstddef>
#include <functional>
#include <vector>

class Camera;
class CommandBuffer;
class Image2DArray;
class Sampler;
struct Frustum;
struct ImageBinding;
struct StorageSlot;

// The shadow block the scene shaders read: four light view-projections, a bias pair
// per cascade and the split exponent (std140, 484 bytes).
struct ShadowUniforms {
    glm::mat4 lightViewProjection[4];
    u8 reserved0[128];
    glm::vec4 bias[4]; // (-4 t, -1.25 t, 0, 0), t = one texel in the cascade's depth
    u8 reserved1[32];
    f32 splitExponent;
};
static_assert(offsetof(ShadowUniforms, bias) == 384);
static_assert(offsetof(ShadowUniforms, splitExponent) == 480);
static_assert(sizeof(ShadowUniforms) == 484);

// The sun's shadows: four cascades in one depth array, fitted around the game camera's
// view range up to 1000 units and snapped to whole texels.
class ShadowRenderer {
public:
    static constexpr u32 CascadeCount = 4;

    Image2DArray* map = nullptr;
    Sampler* compareSampler = nullptr;
    StorageSlot* uniformSlot = nullptr; // 484 bytes in the per-frame uniforms
    ImageBinding* mapBinding = nullptr;
    Camera* lightCamera = nullptr;
    u8 dirty = 1;
    std::function<void(CommandBuffer*, Camera*, const Frustum&)> casterCallback;
    f32 cascadeExtents[CascadeCount]{};
    // The surfaces in view that take shadows, gathered by the world before each render
    // while `receiversKnown` is set: each cascade then draws only the casters over the
    // receivers that read it, and none when no receiver does. Unset, every caster in a
    // cascade's bounds is drawn.
    std::vector<ReceiverBox> receivers;
    u8 receiversKnown = 0;
    // While the casters of a cascade are drawn: where its receivers lie within the
    // casters' bounds (not known without receivers). Casters whose light-space
    // rectangle meets none of it may be left out.
    ReceiverCoverage casterCoverage;
    // Cascades that drew their casters in the last render (bit = cascade).
    u32 cascadesDrawn = 0;
    ShadowUniforms uniforms{};
    // Towards the sun (unit): the sky's sun direction, set by the world once the sky
    // exists. Until then the sun stands straight overhead.
    const glm::vec3* sunDirection = nullptr;

    ShadowRenderer();
    ~ShadowRenderer();
    ShadowRenderer(const ShadowRenderer&) = delete;
    ShadowRenderer& operator=(const ShadowRenderer&) = delete;

    // Records the four cascade passes and uploads the block (outside any rendering).
    void render(CommandBuffer* cmd, Camera* gameCamera);
    // The side of cascade i's square: the largest distance between two corners of its
    // sub-frustum.
    static f32 cascadeExtent(Camera* gameCamera, u32 i);
    // minX, maxX, minY, maxY, -maxZ, -minZ of the cascade's corners in light view space.
    static void cascadeBounds(const glm::mat4& cascadeViewProjection, const glm::mat4& lightView, f32 out[6]);

    // Replaces the map with one of `size` (a shadow-quality change) and tells the
    // map binding's listeners.
    void resizeMap(i32 size);

    // The map to draw for a requested side: the largest one up to `requested` that the
    // device holds (its image limits and its largest allocation), the current map when
    // that has the side. A smaller map than asked for is said in one line, and the
    // settings then name the size and quality in use.
    Image2DArray* mapFitting(i32 requested);
};

#pragma once

#include "GpuTest.h"
#include "Offscreen.h"

#include "Engine/Camera/Random.h"
#include "Engine/Physics/PhysicsWorld.h"
#include "Engine/Physics/Simulation.h"
#include "Engine/Types.h"
#include "Game/Buildings/Building.h"
#include "World/Culling/CullingGrid.h"
#include "World/Sky/Skybox.h"
#include "World/World.h"

#include <glm/glm.hpp>

#include <functional>
#include <memory>
#include <vector>

class Camera;
class EnemyInstance;
class EnemyManager;
class BuildingManager;
class Mesh;
class ParticleRenderer;
class Pipeline;
class ProjectileRenderer;
class ShadowRenderer;
class DataSet;
struct StorageSlot;

// What a scene of the offscreen world holds besides the buildings.
struct OffscreenScene {
    u32 width = 192;
    u32 height = 96;
    float clear[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    glm::vec3 sunDirection{0.0f, 1.0f, 0.0f}; // normalised by the fixture
    glm::vec3 origin{0.0f};                   // the building grid's corner (64 x 64 cells)
    // A green slab at height 0, drawn with the buildings' pipelines: its centre and half
    // its side; no slab when the half side is 0.
    glm::vec3 groundCentre{0.0f};
    f32 groundHalfSide = 0.0f;
    bool enemies = false; // the enemy manager with its pipelines
    bool shots = false;   // the projectile and particle renderers (and the room they need)
    bool outline = false; // the building manager's outline effect at the target's size
};

// The game's kinds with their real models, pipelines and shaders drawn as the world
// records a frame, into an offscreen target: the building snapshots blended, the
// culling cells filled, the four shadow cascades, then the main pass with ground,
// buildings, projectiles, enemies, smoke and (last) what `ghosts` adds.
class OffscreenWorldTest : public GpuTest {
protected:
    explicit OffscreenWorldTest(const OffscreenScene& scene) : GpuTest({.frameStorage = true}), scene(scene) {}

    void SetUp() override;
    void TearDown() override;

    // Points the camera (60 degrees, the target's aspect) from `eye` at `at`.
    void lookAt(glm::vec3 eye, glm::vec3 at);

    // A frame as the world records it, with snapshot index `frame`; `hidden`, if given,
    // stands in a cell that the main pass does not see. The pixels of the target.
    std::vector<u8> drawFrame(u32 frame = 0, EnemyInstance* hidden = nullptr);
    // Only the main pass (no cascades), after a whole frame has written the cascades'
    // block: the building snapshots are blended, the bounds filled, and every draw of
    // the frame's main pass recorded.
    std::vector<u8> drawMainPass(u32 frame = 0);

    // Red, green and blue (0..1) of a pixel, whatever byte order the format has.
    glm::vec3 colorAt(const std::vector<u8>& pixels, glm::ivec2 at) const;
    glm::vec3 colorAt(const std::vector<u8>& pixels, glm::vec3 point) const { return colorAt(pixels, screenOf(point)); }
    glm::ivec2 screenOf(glm::vec3 point) const;
    // Writes the picture as a PPM when the environment variable `variable` names a
    // file (with `suffix` added before ".ppm" when given), to look at.
    void keepShot(const std::vector<u8>& pixels, const char* variable, const char* suffix = nullptr) const;

    // The slab of the scene, drawn with `pipeline` and `set` (a shadow pipeline sets
    // the cascade's viewport, scissor and bias).
    void drawGround(CommandBuffer* cmd, Pipeline* pipeline, DataSet* set, VkExtent2D extent);

    OffscreenScene scene;
    Random random{5};
    SkyboxParams sky;
    StorageSlot* skySlot = nullptr;
    StorageSlot* groundSlot = nullptr;
    ShadowRenderer* shadows = nullptr;
    Camera* camera = nullptr;
    PhysicsWorld queryWorld;
    WorldPhysics physics;
    CullingGrid culling{{-64.0f, -64.0f}, {32.0f, 32.0f}, {4, 4}};
    std::vector<i32> steps = std::vector<i32>(65 * 65, 0);
    Random enemyRandom{3};
    BuildingManager* manager = nullptr;
    EnemyManager* enemies = nullptr;
    ProjectileRenderer* projectiles = nullptr;
    ParticleRenderer* particles = nullptr;
    Mesh* ground = nullptr;
    OffscreenTarget target;
    // Whether the enemies are drawn into the cascades (the test frame storage holds
    // one full range of their matrices, not one per cascade).
    bool enemiesCastShadows = true;
    // Drawn last in the main pass, as the tools' previews are.
    std::function<void(CommandBuffer&)> ghosts;

private:
    void makeGround();
    void fillBounds(u32 frame);
    void recordMainPass(CommandBuffer* cmd, u32 frame, EnemyInstance* hidden);
    std::vector<u8> finish(CommandBuffer* cmd);

    Random* savedRandom = nullptr;
    i32 savedMapSize = 0;
};

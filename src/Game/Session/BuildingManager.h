#pragma once

#include "Engine/Types.h"
#include "Game/Session/OccupancyGrid.h"
#include "Game/Towers/EnemyBucketView.h"

#include <glm/glm.hpp>
#include <vulkan/vulkan.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

class BuildingInstance;
class Camera;
class CommandBuffer;
class DataSet;
class EdgeEffect;
class NavigationInputs;
class TerrainGrid;
struct GameSession;
struct ImageBinding;
struct StorageSlot;
struct WorldPhysics;
class CullingGrid;
class GameLogic;

// What a tool preview's ghost or outline draw reads for each part (80 bytes in
// previewSlot): the part's model matrix and the colour it is drawn in.
struct PreviewBlock {
    glm::mat4 model{1.0f};
    glm::vec4 color{1.0f};
};
static_assert(sizeof(PreviewBlock) == 80);

// What the buildings of one game reach in the world around them.
struct BuildingContext {
    glm::vec3 origin{0.0f};               // world position of grid point (0, 0)
    u32 gridWidth = 0;                    // terrain cells per side
    WorldPhysics* physics = nullptr;      // the query world and its mutex
    CullingGrid* cullingGrid = nullptr;
    const TerrainGrid* terrain = nullptr; // build sites of the castle and the portals
    NavigationInputs* navigation = nullptr;
    GameSession* session = nullptr;
    EnemyBucketView enemies;              // where towers look for targets
    const GameLogic* gameLogic = nullptr; // the snapshot blend of the towers' moving parts
    const Camera* camera = nullptr;       // the game camera: cursor picks
};

// What the buildings' scene, preview and shadow sets read from the world's renderers.
struct BuildingDrawBindings {
    StorageSlot* camera = nullptr;         // the game camera's block
    StorageSlot* skyParams = nullptr;      // the sky's 88-byte parameters
    StorageSlot* shadowUniforms = nullptr; // the cascades' block
    ImageBinding* shadowMap = nullptr;
    StorageSlot* lightCamera = nullptr;    // the cascade being drawn
    // The camera, for the hover outline, and the size of the world's render targets
    // that the outline matches; without a size no outline is made.
    Camera* gameCamera = nullptr;
    VkExtent2D targetExtent{};
};

// The buildings of one game: the occupancy grid, the queue of instances made but not
// yet spawned, their per-tick update on the game-logic thread, and the slots and data
// sets with which buildings and towers draw.
class BuildingManager {
public:
    OccupancyGrid occupancy;
    // The model matrix of the building being drawn: a range of `instanceStorage` whose
    // offset each draw sets to its own matrix before binding instanceSet.
    StorageSlot* instanceSlot = nullptr;
    // The tool previews' 80-byte block in the per-frame storage.
    StorageSlot* previewSlot = nullptr;
    DataSet* instanceSet = nullptr; // binding 4: instanceSlot ("SBD_4")
    DataSet* sceneSet = nullptr;    // camera, sky, shadows, shadow map ("UBD_0+UBD_1+UBD_2+CIS_3")
    DataSet* previewSet = nullptr;  // camera, previewSlot ("UBD_0+SBD_1")
    DataSet* shadowSet = nullptr;   // the light camera ("UBD_0")
    // The hover outline's images, pass and pipeline (null until createDrawObjects).
    EdgeEffect* edgeEffect = nullptr;
    BuildingContext context;
    std::vector<std::shared_ptr<BuildingInstance>> pending;
    std::mutex pendingMutex;
    // Set by destroyAll: destroys of the teardown end no game.
    std::atomic<bool> tearingDown{false};

    // The grid (context.gridWidth cells a side), the instance slot and an empty queue;
    // no GPU objects (createDrawObjects makes them).
    explicit BuildingManager(const BuildingContext& context);
    // Frees the grid and both slots and releases the data sets and the edge effect.
    // Instances still in the kinds' lists are the teardown's (destroyAll).
    ~BuildingManager();
    BuildingManager(const BuildingManager&) = delete;
    BuildingManager& operator=(const BuildingManager&) = delete;

    // The preview slot, the four data sets and the edge effect, on the global device
    // and pool.
    void createDrawObjects(const BuildingDrawBindings& bindings);

    // Any thread: queues `instance` for the next logic tick. False (and nothing
    // queued) for an instance that was queued before.
    bool enqueue(const std::shared_ptr<BuildingInstance>& instance);
    // Queues `instance` and occupies its footprint, when the footprint lies inside the
    // grid and is free; false otherwise.
    bool place(const std::shared_ptr<BuildingInstance>& instance);
    // The castle at a build site near the grid's centre; null if none is free.
    std::shared_ptr<BuildingInstance> placeCastle();
    // One portal at a free build site near `centre` (grid cells), turned `rotation`
    // radians about y; false when no free site is found.
    bool placePortal(glm::ivec2 centre, f32 rotation);
    // The four portals of a new game, each near a point a quarter of the grid from the
    // centre (north, west, south, east; west and east turned a quarter). Returns how
    // many found a site.
    u32 placeStartPortals();

    // Game-logic thread, once per tick: spawns the queued instances; then, paused
    // (speed 0), destroys the buildings marked for it, else updates every building
    // `speed` times. Kinds in index order, each list from the last to the first.
    void update(u32 speed);

    // The tool actions on the building under the cursor (main thread, on a click):
    // sell it (not the castle) for its value, less a fifth when damaged; repair it to
    // full health for a fifth of its value; upgrade it to the next level for that
    // level's cost. Each holds the query world's mutex across the pick and the change
    // and does nothing when the cursor is outside the window, terrain hides the
    // building, the money does not reach (without cheats) or the building is going.
    void sellAtCursor();
    void repairAtCursor();
    void upgradeAtCursor();

    // Main thread, inside the main pass: every kind's instances with towerPipeline and
    // sceneSet over `extent`, drawing snapshot slot `frame`.
    void drawBuildings(CommandBuffer* cmd, VkExtent2D extent, u32 frame);
    // Inside one shadow cascade: every kind's shadow draws with shadowInstancePipeline
    // and shadowSet, viewport over the whole map (`mapExtent`), scissor over the
    // cascade's area, the casters' depth bias.
    void drawShadowCasters(CommandBuffer* cmd, VkExtent2D mapExtent, u32 frame);

    // The teardown, once the game-logic thread has stopped: destroys every instance of
    // the five kinds and drops the queued ones.
    void destroyAll();

private:
    // A free build site for `size` near `centre` within `radius` and `tolerance`, or
    // false.
    bool findFreeSite(glm::ivec2 centre, const glm::ivec3& size, f32 radius, i32 tolerance, glm::ivec3& site) const;
};

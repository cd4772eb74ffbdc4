#pragma once

#include "Engine/Types.h"
#include "Game/Buildings/BuildingConfig.h"

#include <glm/glm.hpp>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

class BuildingInstance;
class Camera;
class CommandBuffer;
class Mesh;
class btCollisionShape;

// The building kinds by their index in `buildingTypes`.
enum BuildingTypeIndex : u32 {
    BuildingTypeWall = 0,
    BuildingTypeCannon = 1,
    BuildingTypeMortar = 2,
    BuildingTypeCastle = 3,
    BuildingTypePortal = 4,
    BuildingTypeCount = 5,
};

// A mesh and where it stands: what previews, highlights and tower parts draw.
struct RenderObject {
    Mesh* model = nullptr;
    glm::mat4 transform{1.0f}; // model to world
};

// The centre of a footprint at `gridPos` {cell x, step, cell z} of `gridSize` on the
// ground, in world space: (x + gx/2, step * 0.4, z + gz/2) from the grid's origin.
glm::vec3 footprintCentre(const glm::ivec3& gridPos, const glm::ivec3& gridSize, const glm::vec3& origin);

// One building kind (wall, cannon tower, mortar tower, castle, portal): its numbers
// from its file, its meshes and shape, and the list of its placed instances. Made once
// at start-up and kept for the life of the process.
//
// The instance list changes only on the game-logic thread (spawn, destroy) and in the
// world's teardown after that thread has stopped, always under instancesMutex; the
// main thread's walks (bounds, draws, health bars) hold the mutex, the logic thread
// walks it by index without it.
class Building {
public:
    BuildingConfig config;
    std::vector<std::shared_ptr<BuildingInstance>> instances;
    std::mutex instancesMutex;
    u32 typeIndex = 0;
    bool inToolBar = true;
    LogoIndex logoIndex;
    // The box that every instance's bodies share; null for the portal, which has none.
    btCollisionShape* shape = nullptr;

    explicit Building(u32 typeIndex);
    virtual ~Building();
    Building(const Building&) = delete;
    Building& operator=(const Building&) = delete;

    // Reads the kind's file (and ends the start-up with a line naming it if broken).
    virtual void loadConfig() = 0;
    // Main thread, every frame after the culling grid is reset: each instance grows
    // its culling cell.
    virtual void updateAllBounds();
    // Interface text lines for the detail popup: "Health: {}" of `level`.
    virtual void drawInfo(i32 level);
    // "{name} ({cost}$)" in the medium font: the tool bar's hover label.
    virtual void drawToolLabel();
    // The ghost of a building about to be placed at `gridPos`; none by default.
    virtual std::vector<RenderObject> getPreviewRenderObjects(const glm::ivec3& gridPos);
    // Every instance's shadow draw, first to last, with the caller's pipeline and sets.
    virtual void drawShadowCasters(CommandBuffer& cmd, u32 firstSet, u32 frame);
    // Every instance's main-pass draw, first to last.
    virtual void drawInstances(CommandBuffer& cmd, u32 firstSet, u32 frame);
    // A bar over every damaged instance near `camera`, into the interface's
    // background draw list (viewport: the window size in pixels).
    virtual void drawHealthBars(const Camera& camera, glm::ivec2 viewport);
    // A new instance at `gridPos` {cell x, step, cell z}, not yet spawned; only the
    // portal keeps `rotation` (radians about y).
    virtual std::shared_ptr<BuildingInstance> createInstance(const glm::ivec3& gridPos, f32 rotation) = 0;

    // The text lines of drawInfo and drawToolLabel.
    virtual std::vector<std::string> infoLines(i32 level) const;
    std::string toolLabel() const;

    // All the money put into a building of `level`: the costs of levels 0 to `level`.
    u32 totalCost(i32 level) const;
    // Health of a building at `level` (levels are never empty).
    i32 maxHealthAt(u32 level) const;
    u32 levelCount() const { return static_cast<u32>(config.levels.size()); }
};

#pragma once

#include "Engine/Types.h"

#include <memory>

class BuildingInstance;

// What the player's mouse does in the world: set by the tool bar and the detail
// pop-up, read by the tools once a frame and by the frame's previews. Main thread only.
enum ToolMode : u32 {
    ToolModeNone = 0,    // hover outlines a building, a click selects it
    ToolModePlace = 1,   // places the selected building (or, with cheats, enemy)
    ToolModeSell = 2,
    ToolModeRepair = 3,
    ToolModeUpgrade = 4,
};

// The tool bar's categories.
enum ToolCategory : u32 {
    ToolCategoryBuildings = 0,
    ToolCategoryEnemies = 1, // offered only with cheats
};

// What tool mode 1 places: a building kind (by BuildingTypeIndex) or an enemy kind
// (0 normal, 1 heavy).
struct ToolSelection {
    u32 category = ToolCategoryBuildings;
    u32 index = 0;
};

// The building shown in the detail pop-up. The reference keeps the instance alive
// until the pop-up replaces or releases it, so it must be released before a game's
// teardown waits for its buildings to go.
struct BuildingSelection {
    std::shared_ptr<BuildingInstance> instance;
    bool openRequest = false; // the pop-up opens on its next frame and clears it
};

extern u32 toolMode;
extern ToolSelection toolSelection;
extern BuildingSelection buildingSelection;

namespace PlayerTools {

// No tool, no selection, no pending message, game speed 1: what a game starts with,
// and what a game that ends must leave behind (the selection holds a building).
void resetForNewGame();

} // namespace PlayerTools

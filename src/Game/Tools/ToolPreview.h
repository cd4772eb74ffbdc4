#pragma once

#include "Engine/Types.h"

#include <glm/vec4.hpp>

#include <string>

class BuildingInstance;

// A building's numbers as the tools and the detail pop-up price it, each read once.
struct BuildingStanding {
    u32 typeIndex = 0;
    u32 level = 0;
    u32 levelCount = 1;
    i32 health = 0;
    i32 maxHealth = 0;     // of its level
    i64 value = 0;         // all the money put into it: the costs of levels 0 to level
    i64 nextLevelCost = 0; // the next level's cost, 0 at the last level
    bool going = false;    // sold or destroyed: no longer for sale, repair or upgrade

    bool damaged() const { return health < maxHealth; }
    bool atLastLevel() const { return level + 1 >= levelCount; }
    bool isCastle() const;
};

BuildingStanding standingOf(const BuildingInstance& instance);

// What a tool's preview shows: nothing, or a message next to the cursor and the colour
// of the ghost.
struct ToolPreview {
    bool shown = false;
    std::string message;
    glm::vec4 colour{0.0f};
};

// Tool mode 1 over a footprint: green, or red with "Placement is invalid!" when a cell
// is taken, and red with "Not enough money!" (which wins) when the price is too high.
ToolPreview placementPreview(bool cellsFree, i64 cost, i64 money, bool cheats);
// Tool mode 2: red with "Sell for {}$" and the refund a sale pays; nothing for the
// castle.
ToolPreview sellPreview(const BuildingStanding& building);
// Tool mode 3: green with "Repair for {}$", or red when the money is short or the
// building is at full health.
ToolPreview repairPreview(const BuildingStanding& building, i64 money, bool cheats);
// Tool mode 4: green with "Upgrade to level {} ({}$)", or red when the money is short
// or the building is at its last level.
ToolPreview upgradePreview(const BuildingStanding& building, i64 money, bool cheats);

// The prices and buttons of the building detail pop-up.
struct DetailPrices {
    bool canSell = false;   // every building but the castle
    i64 salePrice = 0;      // the value, less a fifth when damaged
    bool canRepair = false; // only a damaged building
    i64 repairCost = 0;     // a fifth of the value, for the castle too
    bool canUpgrade = false;
    i64 upgradeCost = 0;
};

DetailPrices detailPrices(const BuildingStanding& building);

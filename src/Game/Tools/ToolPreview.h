#pragma once

#include "Engine/Types.h"
#include "Game/Session/BuildingPrices.h"

#include <glm/vec4.hpp>

#include <string>

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

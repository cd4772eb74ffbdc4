#pragma once

#include "Engine/Physics/CollisionType.h"
#include "Engine/Types.h"

#include <glm/vec4.hpp>

// The numbers of the player's tools, grouped by what they govern.

// Picking under the cursor.
namespace ToolPickRules {
// Buildings, with the terrain in front of them hiding them.
constexpr u32 BuildingMask = CollisionBuilding | CollisionTerrain; // 576
constexpr u32 TerrainMask = CollisionTerrain;                      // 64
constexpr f32 RayLength = 10000.0f;
} // namespace ToolPickRules

// Placing with tool mode 1.
namespace ToolPlacementRules {
constexpr f32 Rotation = 0.0f;            // buildings are placed unturned
constexpr f32 CheatEnemyHeight = 5.0f;    // a cheat enemy drops in from above its cell
} // namespace ToolPlacementRules

// The colours the ghosts and the outline are drawn in (RGBA).
namespace ToolColours {
constexpr glm::vec4 Valid{0.0f, 1.0f, 0.0f, 0.5f};
constexpr glm::vec4 Refused{1.0f, 0.0f, 0.0f, 0.5f}; // also every sell preview
constexpr glm::vec4 Outline{1.0f, 1.0f, 1.0f, 1.0f};
} // namespace ToolColours

// What the previews tell the player next to the cursor (the priced ones are built by
// the preview rules).
namespace ToolMessages {
constexpr const char* PlacementInvalid = "Placement is invalid!";
constexpr const char* NotEnoughMoney = "Not enough money!";
constexpr const char* FullyRepaired = "Already fully repaired!";
constexpr const char* MaxLevel = "Already max level";
} // namespace ToolMessages

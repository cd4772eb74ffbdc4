#pragma once

#include "Engine/Types.h"

// The numbers that govern buildings, grouped by what they govern.

// What a building file may hold. Values outside these ranges end the start-up with a
// line naming the file: a footprint must fit the occupancy grid many times over, all
// the money put into one building must stay far below 2^31 (signed money arithmetic),
// health is divided by in the health bar, and a tower fires at most once per tick.
namespace BuildingFileRules {
constexpr i64 MinFootprintCells = 1;   // "gridSize" x and z
constexpr i64 MaxFootprintCells = 32;
constexpr i64 MinHeightSteps = 1;      // "gridSize" y
constexpr i64 MaxHeightSteps = 100;
constexpr u64 MaxLevels = 100;         // entries of "levels"
constexpr i64 MaxCost = 10'000'000;    // per level: 100 levels stay below 2^31
constexpr i64 MinHealth = 1;
constexpr i64 MaxHealth = 1'000'000'000;
constexpr i64 MaxDamage = 1'000'000'000;
constexpr i64 MinShootingInterval = 1; // ticks between two shots
constexpr i64 MaxShootingInterval = 36'000;
constexpr i64 MaxLogoCell = 63;        // column and row of the tool-bar icon
constexpr f64 MinReach = 1.0;          // "radius", in grid cells
constexpr f64 MaxReach = 256.0;
constexpr f64 MaxTurnPerTick = 3.14159265358979; // "idleSpeed", "aimSpeed": radians
constexpr f64 MaxProjectileSpeed = 1000.0;
constexpr f64 MaxPitch = 1.57079632679490;       // "verticalAimRestriction": radians either way
} // namespace BuildingFileRules

// Where buildings stand: a terrain step is 0.4 units high.
namespace BuildingGeometryRules {
constexpr f32 StepHeight = 0.4f;
constexpr f32 TowerPivotHeight = 1.0f;  // the tower ghost's base above the ground
constexpr f32 TowerHalfHeight = 1.2f;   // the towers' collision box, whatever their height
constexpr f32 HealthBarHeight = 2.0f;   // above the footprint's ground centre
constexpr f32 HealthBarMaxDistanceSquared = 2500.0f; // no bar beyond 50 units
} // namespace BuildingGeometryRules

// Bodies of standing buildings: static, in the building group, touched by everything
// but terrain, projectiles and other buildings.
namespace BuildingBodyRules {
constexpr i32 BodyMask = -705; // every bit but 64, 128 and 512
constexpr i32 QueryMask = -1;  // the query world's copy answers every ray
constexpr f32 ContactThreshold = 0.1f;
} // namespace BuildingBodyRules

// What a building tells the enemies' navigation about its footprint.
namespace BuildingNavigationRules {
constexpr f32 GoalValue = 0.0f;        // castle and towers: enemies walk to them
constexpr f32 NoGoalValue = 999999.0f; // a footprint that stops being a goal
constexpr f32 WallCost = 30.0f;        // walking past a wall
constexpr f32 SlopeCost = -1.0f;       // back to the ground's own cost
} // namespace BuildingNavigationRules

// Where the game puts the castle and the portals at the start of a game (n: the
// terrain's vertex count per side).
namespace BuildingPlacementRules {
constexpr f32 CastleRadiusShare = 0.7f;  // search radius n * 0.5 * 0.7 around the centre
constexpr i32 CastleStepTolerance = 2;
constexpr f32 PortalRadiusShare = 0.25f; // n * 0.5 * 0.25 around each portal centre
constexpr i32 PortalStepTolerance = 3;
constexpr f32 QuarterTurn = 1.5707964f;  // radians
} // namespace BuildingPlacementRules

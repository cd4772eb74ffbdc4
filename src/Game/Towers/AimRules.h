#pragma once

#include "Engine/Types.h"

// The numbers of tower aiming: the ballistic solution, the lead prediction, the reach
// map and the turret's fire cone and idle sweep.
namespace AimRules {
// Ballistics. Gravity is the simulated world's, so projectiles fly the computed arcs.
constexpr f32 Gravity = 40.0f;              // units/s^2
constexpr f32 NoSolution = 999999.0f;       // launchAngle's answer when no arc reaches the point
constexpr f32 NoSolutionAbove = 100.0f;     // a pitch above this is "no solution"
// Below this horizontal distance a pitch is meaningless (0/0): no solution.
constexpr f32 MinHorizontalDistance = 0.001f;
constexpr i32 FlatArc = 1;                  // arc sign of the lower, flatter root
constexpr i32 HighArc = -1;                 // arc sign of the lob

// Lead prediction: the flight time is refined by a halving search and accepted only
// when the time to the predicted point agrees with the search's time.
constexpr i32 LeadHalvings = 10;
constexpr f64 LeadTolerance = 0.1;          // |1 - T''/T| must stay below this
constexpr f32 VerticalVelocityShare = 0.5f; // share of the enemy's vy fed to the prediction

// Reach map.
constexpr f64 MinReachDistanceSquared = 0.1; // cells closer to the muzzle are unreachable
constexpr f32 AimAboveGround = 1.0f;         // a cell's aim point above its terrain step
constexpr i32 ArcSegments = 5;               // ray-tested pieces of each arc
constexpr i32 TerrainMask = 64;              // the reach tests see terrain only

// Enemy buckets: square cells of the enemy manager's bucket grid.
constexpr u32 BucketSize = 8;                // grid units per bucket side

// Turret.
constexpr f64 FireCone = 0.9975;             // cos of the largest aim error that still fires (about 4 degrees)
constexpr f64 NoTargetDistance = 9999999.0;  // start of the nearest-target search
constexpr i32 IdlePauseStart = 60;           // ticks
constexpr u32 AimIdlePauseExtra = 90;        // while aiming: idle pause = 60 + draw in [0, 90)
constexpr i32 IdleTurnBase = 60;             // idle turn = 60 + draw in [0, 120)
constexpr u32 IdleTurnExtra = 120;
constexpr i32 IdleRestBase = 100;            // after a turn: pause = 100 + draw in [0, 140)
constexpr u32 IdleRestExtra = 140;
constexpr f32 IdlePitchDecay = 0.99f;
constexpr f32 IdleLobPitchLift = 0.013f;     // a lob barrel settles near 1.3 rad
} // namespace AimRules

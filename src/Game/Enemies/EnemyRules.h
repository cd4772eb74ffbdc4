#pragma once

#include "Engine/Types.h"

// The numbers that govern enemies, grouped by what they govern.

// What tells the two enemy kinds apart.
struct EnemyKindRules {
    u32 typeIndex = 0;
    i32 logoX = 0, logoY = 0;             // the kind's cell in the tool bar's sprite sheet
    f32 width = 0.0f, height = 0.0f;      // the body: a capsule of radius width/2, height in all
    i32 maxHealth = 0;
    f32 mass = 0.0f;
    f32 friction = 0.0f;
    f32 lateralOffsetScale = 0.0f;        // the largest fixed sideways bias per axis
    f32 walkingSpeed = 0.0f;              // units per second along the field
    f32 steeringGain = 0.0f;              // acceleration per unit of velocity error
    f32 speedDivisorFactor = 0.0f;        // how fast the start-up boost fades with speed
    f32 knockedSpeedSquared = 0.0f;       // faster than this the enemy cannot hit
    f32 groundMargin = 0.0f;              // higher than this above the ground: airborne
    f32 stunDecay = 0.0f;                 // stun ticks worn off per update
    i32 contactDamage = 0;                // to a building it touches, once per hit cooldown
    f32 spawnHeight = 0.0f;               // above the portal's ground
};

namespace EnemyKinds {

constexpr EnemyKindRules Normal{
    .typeIndex = 0,
    .logoX = 0,
    .logoY = 1,
    .width = 0.8f,
    .height = 2.0f,
    .maxHealth = 100,
    .mass = 1.0f,
    .friction = 0.0f,
    .lateralOffsetScale = 0.2f,
    .walkingSpeed = 6.0f,
    .steeringGain = 10.0f,
    .speedDivisorFactor = 2.0f,
    .knockedSpeedSquared = 9.0f,
    .groundMargin = 2.4f,
    .stunDecay = 1.0f,
    .contactDamage = 5,
    .spawnHeight = 1.0f,
};

constexpr EnemyKindRules Heavy{
    .typeIndex = 1,
    .logoX = 1,
    .logoY = 1,
    .width = 2.0f,
    .height = 3.0f,
    .maxHealth = 2500,
    .mass = 50.0f,
    .friction = 0.005f,
    .lateralOffsetScale = 0.1f,
    .walkingSpeed = 3.0f,
    .steeringGain = 20.0f,
    .speedDivisorFactor = 5.0f,
    .knockedSpeedSquared = 2.25f,
    .groundMargin = 3.6f,
    .stunDecay = 4.0f,
    .contactDamage = 60,
    .spawnHeight = 2.0f,
};

} // namespace EnemyKinds

// The body every enemy gets: upright (it turns about y only), never asleep, touching
// everything, reporting contacts with buildings.
namespace EnemyBodyRules {
constexpr f32 RollingFriction = 0.01f;
constexpr f32 SpinningFriction = 0.01f;
constexpr f32 AngularDamping = 0.95f;
constexpr i32 Mask = -1;               // collides with everything
constexpr f32 ContactThreshold = 1.0f; // touching or within a unit of a building counts
} // namespace EnemyBodyRules

// Attacks: a touching enemy hits once per cooldown; one that moves fast (knocked by a
// blast, falling) waits a little before it can hit.
namespace EnemyAttackRules {
constexpr i32 StartCooldown = 60; // ticks
constexpr i32 HitCooldown = 60;
constexpr i32 KnockedCooldown = 10;
} // namespace EnemyAttackRules

// Where the world ends for an enemy: below the origin's height less this, or within
// this many vertices of the grid's far edges (or before its near edges).
namespace EnemyWorldRules {
constexpr f32 LowestHeight = -3.0f;
constexpr u32 FarBorderVertices = 2;
constexpr f32 StepHeight = 0.4f; // a terrain step, in units
} // namespace EnemyWorldRules

// The last resort of an enemy stuck at the foot of a climb its push cannot carry it
// up (a terrace riser of 60 degrees and more, where the field may lead): once it has
// not come a step closer to its goal for 5 s of game time, its weight is carried while
// the ground ahead on its way rises steeper than 45 degrees, so that its push walks it
// up as on flat ground; it stops being helped when the ground ahead is walkable again.
namespace EnemyClimbRules {
constexpr i32 StuckSteps = 300;           // physics steps (5 s) without progress
constexpr f32 ProgressDistance = 1.0f;    // field distance: a step on the flat
constexpr f32 LookAhead = 1.0f;           // units along the way
constexpr f32 SteepRise = 1.0f;           // rise over LookAhead that counts as steep (45 degrees)
} // namespace EnemyClimbRules

// The bucket grid that tower aiming reads: square buckets of this many units.
namespace EnemyBucketRules {
constexpr u32 BucketCells = 8;
constexpr f32 InverseBucketCells = 0.125f;
} // namespace EnemyBucketRules

// Drawing: every drawn enemy is one 64-byte model matrix in a per-frame range of this
// many matrices; health bars only near the camera.
namespace EnemyDrawRules {
constexpr u32 MatrixBytes = 64;
constexpr u32 MaxDrawnEnemies = 8000;
constexpr f32 HealthBarRise = 1.0f;                  // above the body's centre
constexpr f32 HealthBarMaxDistanceSquared = 2500.0f; // no bar beyond 50 units
} // namespace EnemyDrawRules

// Enemies placed by the cheat tool: this far above the terrain step under the cursor.
namespace EnemyCheatRules {
constexpr f32 PlacementHeight = 5.0f;
} // namespace EnemyCheatRules

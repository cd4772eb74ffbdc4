#pragma once

#include "Engine/Types.h"

// The numbers of cannonballs, bombs, their blasts and their drawing.
namespace ProjectileRules {
// Kinds by their index in projectileTypes.
constexpr u32 CannonBallType = 0;
constexpr u32 BombType = 1;
constexpr u32 TypeCount = 2;

constexpr f32 CannonBallRadius = 0.2f;
constexpr f32 BombRadius = 0.3f;

// Bodies: light spheres that roll a little, swept against tunnelling at their own
// radius, in the projectile group; they pass through buildings.
constexpr f32 Mass = 1.0f;
constexpr f32 RollingFriction = 0.02f;
constexpr f32 SpinningFriction = 0.01f;
constexpr i32 Group = 128;
constexpr i32 Mask = ~512;
// A cannonball reports enemies; a bomb enemies and terrain.
constexpr u32 CannonBallContactMask = 256;
constexpr u32 BombContactMask = 320;
constexpr f32 ContactThreshold = 0.2f;

// One logic tick, in seconds (single precision: 5 s gives 299 ticks).
constexpr f32 TickSeconds = 1.0f / 60.0f;
// A bomb that touches nothing bursts after this many ticks.
constexpr i32 BombFuseTicks = 1199;

// What the towers fire with.
constexpr f32 CannonBallLifetimeSeconds = 5.0f;
constexpr f32 BombBlastRadius = 10.0f;

// Blast: f = 1 - distance / radius; damage x f below 1 leaves an enemy untouched;
// push = f x 4000 away from the centre (straight up at the centre itself); stun +=
// 30 / (stun + 30) x 120 x f.
constexpr f32 MinBlastDamage = 1.0f;
constexpr f32 BlastForce = 4000.0f;
constexpr f32 StunBase = 30.0f;
constexpr f32 StunAtCentre = 120.0f;
// Closer than this to the centre the push has no direction of its own.
constexpr f32 MinBlastDistance = 1e-4f;

// The smoke ring of a burst: 50 puffs around the centre at 1 unit, at angles
// 2 pi (i / 50 + 0.02 (2 u1 - 1)), with speed 0.65 + 0.55 u2 per tick outwards
// (0.55) and upwards (0.1375); they spin about the ring's tangent.
constexpr i32 SmokeRingPuffs = 50;
constexpr f32 SmokeAngleJitter = 0.02f;
constexpr f32 SmokeSpeedBase = 0.65f;
constexpr f32 SmokeSpeedRange = 0.55f;
constexpr f32 SmokeOutward = 0.55f;
constexpr f32 SmokeLift = 0.1375f;
constexpr f32 SmokeSpin = 0.2f;
constexpr f32 SmokeSize = 0.5f;
constexpr f32 SmokeOpacity = 0.2f;
constexpr f32 SmokeDrag = 0.92f;
constexpr f32 SmokeGrowth = 0.03f;
constexpr f32 SmokeFade = -0.02f;
constexpr f32 SmokeSpinDamping = 0.9f;

// The renderer's per-frame slot: 8,000 matrices a draw.
constexpr u32 MatrixBytes = 64;
constexpr u32 SlotBytes = 512'000;
constexpr u32 MaxDrawnProjectiles = SlotBytes / MatrixBytes;
} // namespace ProjectileRules

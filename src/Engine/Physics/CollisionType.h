#pragma once

#include "Engine/Types.h"

// Bits of a physics reference's type and mask.
enum CollisionType : u32 {
    CollisionTerrain = 64,
    CollisionProjectile = 128,
    CollisionEnemy = 256,
    CollisionBuilding = 512,
};

// Largest contact distance that counts as a contact, unless a creator gives another.
constexpr f32 DefaultContactThreshold = 0.1f;

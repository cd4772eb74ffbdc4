#pragma once

#include "Engine/Types.h"
#include "Game/Particles/PcSmoke.h"

#include <glm/glm.hpp>

// What a bomb's blast at `centre` with `radius` and `damage` does to an enemy at
// `enemyPosition` whose stun is `stun`.
struct BlastEffect {
    bool hits = false;         // false: the enemy is left untouched
    glm::vec3 push{0.0f};      // force for the enemy's next physics tick
    f32 stunAdded = 0.0f;      // ticks
    i32 damage = 0;
};

// f = 1 - distance / radius and damage x f: below 1 (also beyond the radius, and for
// anything not finite) no effect. The push points away from the centre, straight up
// for an enemy at the centre itself.
BlastEffect blastEffect(const glm::vec3& enemyPosition, const glm::vec3& centre, f32 radius, i32 damage, f32 stun);

// Puff `index` (0..49) of a burst's smoke ring around `centre`, from two uniform
// draws u1, u2 in [0, 1).
SmokePuff smokeRingPuff(const glm::vec3& centre, i32 index, f32 u1, f32 u2);

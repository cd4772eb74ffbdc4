#pragma once

#include "Engine/Types.h"
#include "Game/Enemies/EnemyRules.h"

#include <glm/glm.hpp>

// The steering of one enemy, as numbers: where it stands on the terrain grid, whether
// it may steer there, and the force that walks it along the navigation field. The
// simulation thread runs it for every enemy before every physics step.

// The ground the enemies walk on: the terrain's step grid (gridSize x gridSize
// vertices one unit apart, index z*gridSize + x) from the world origin.
struct SteeringGround {
    glm::vec3 origin{0.0f};
    u32 gridSize = 0;
    const i32* steps = nullptr;
};

// Where an enemy stands: off the world (it is destroyed at its next update), in the
// air (no force), or on the grid vertex (xi, zi) it reads its direction from.
struct SteeringCell {
    bool outOfWorld = false;
    bool airborne = false;
    i64 xi = 0;
    i64 zi = 0;
};

// An enemy at `position` with the kind's ground margin. A position that is not finite
// is off the world.
SteeringCell locateEnemy(const glm::vec3& position, f32 groundMargin, const SteeringGround& ground);

// A knocked enemy (faster than its kind allows) cannot hit for a while.
bool isKnocked(const EnemyKindRules& kind, const glm::vec3& velocity);

// The horizontal force that turns `velocity` towards the field's `direction` plus the
// enemy's `lateralOffset`, at the kind's speed (zero while stunned, which brakes it):
// gain x mass x k times the velocity error, k = 1 + 1/(factor x speed + 0.2), so a
// standing enemy starts quickly. `inverseMass` 0 gives no force.
glm::vec3 steeringForce(const EnemyKindRules& kind, const glm::vec3& velocity, f32 inverseMass, bool stunned,
                        glm::vec2 direction, glm::vec2 lateralOffset);

// Whether every component of `v` is a finite number (a force that is not would put
// the body out of the physics world).
bool isFinite(const glm::vec3& v);

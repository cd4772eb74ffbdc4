#pragma once

#include "Engine/Types.h"
#include "Game/Enemies/EnemyRules.h"

#include <glm/glm.hpp>

#include <limits>

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
// air (no force), or on the ground at `local` (x and z from the world origin), nearest
// to the grid vertex (xi, zi).
struct SteeringCell {
    bool outOfWorld = false;
    bool airborne = false;
    i64 xi = 0;
    i64 zi = 0;
    glm::vec2 local{0.0f};
};

// An enemy of `kind` at `position`: airborne when its centre is the kind's ground
// margin or more above the terrain's surface under its body (groundUnder). A position
// that is not finite is off the world.
SteeringCell locateEnemy(const glm::vec3& position, const EnemyKindRules& kind, const SteeringGround& ground);

// The highest point of the terrain's surface under a body of `radius` standing at
// (x, z) from the origin: the surface at its centre and at `radius` from it along
// +x, -x, +z and -z. On a steep slope the body rests on the slope at its side, well
// above the surface right under its centre.
f32 groundUnder(const SteeringGround& ground, f32 x, f32 z, f32 radius);

// The height above the origin of the terrain's collision surface at (x, z) from the
// origin (clamped to the grid): the step grid's quads cut into two triangles each, as
// the collision mesh cuts them. A grid of at least 2 x 2 vertices.
f32 surfaceHeight(const SteeringGround& ground, f32 x, f32 z);

// A knocked enemy (faster than its kind allows) cannot hit for a while.
bool isKnocked(const EnemyKindRules& kind, const glm::vec3& velocity);

// The horizontal force that turns `velocity` towards the field's `direction` plus the
// enemy's `lateralOffset`, at the kind's speed (zero while stunned, which brakes it):
// gain x mass x k times the velocity error, k = 1 + 1/(factor x speed + 0.2), so a
// standing enemy starts quickly. `inverseMass` 0 gives no force.
glm::vec3 steeringForce(const EnemyKindRules& kind, const glm::vec3& velocity, f32 inverseMass, bool stunned,
                        glm::vec2 direction, glm::vec2 lateralOffset);

// How an enemy gets on along the field, kept by its steering (simulation thread): the
// least field distance it has reached since the field last changed as a whole, the
// physics steps since it last came a step closer, whether it is stuck (which lasts
// until the ground ahead is walkable), and whether it awaits a changed field: set by a
// whole change of the field, cleared by the first distance the changed field gives
// where it stands. A new enemy awaits nothing: it follows the ordinary rule. Help only
// starts where the field gives a distance, never where it has not reached.
struct ClimbWatch {
    u32 fieldResets = 0;
    f32 best = std::numeric_limits<f32>::infinity();
    i32 stepsWithoutProgress = 0;
    i32 stepsAwaiting = 0; // steps since it began to await a changed field (up to StuckSteps)
    bool stuck = false;
    bool awaitingField = false;
};

// One physics step of an enemy on the ground and not stunned, at field distance
// `distance`, with `resets` the field's count of whole changes, and `steep` whether the
// ground ahead on its way is steeper than it can walk. True when its weight is carried
// this step: it is stuck and faces a steep climb.
//
// A whole change (a building gone, a wall placed or sold, anywhere on the island) may
// have moved every distance, so progress counts afresh from the first distance the
// changed field gives where the enemy stands; that distance is no progress in itself.
// The steps already spent without progress still count, and help already given holds
// while the ground ahead stays steep, as well as while the changed field has not yet
// reached where the enemy stands (the old direction it steers by there says nothing of
// the climb): buildings falling far away neither hold a waiting enemy below its climb
// nor drop one halfway up. A field that stays away as long as it takes to start help
// (further changes meanwhile do not restart that count) may never come (the enemy is
// walled in): from then on walkable ground ahead ends the help again.
bool watchClimb(ClimbWatch& watch, f32 distance, u32 resets, bool steep);

// An enemy that hits a building is fighting, not lost: progress.
void noteFight(ClimbWatch& watch);

// Whether the terrain's surface rises more than EnemyClimbRules::SteepRise over the
// look-ahead along `way` (a unit vector, or zero: never steep) from `local`.
bool steepAhead(const SteeringGround& ground, glm::vec2 local, glm::vec2 way);

// Whether every component of `v` is a finite number (a force that is not would put
// the body out of the physics world).
bool isFinite(const glm::vec3& v);

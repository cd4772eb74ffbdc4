#pragma once

#include "Engine/Types.h"
#include "Game/Towers/AimRules.h"

#include <glm/vec3.hpp>

// Ballistic arcs under constant gravity, in single precision. Angles are radians; a
// pitch is the elevation above the horizontal. No function here returns NaN.
namespace Ballistics {

// Where a shot fired now meets a moving target; `point` is meaningful only when valid.
struct LeadResult {
    bool valid = false;
    glm::vec3 point{0.0f};
};

// The launch pitch that carries a projectile of muzzle speed `speed` over the
// displacement `d` (target - muzzle): arc sign +1 the flatter arc, -1 the lob.
// AimRules::NoSolution when no arc reaches the point, when the point lies (almost)
// straight above or below the muzzle, or when the input is not finite.
f32 launchAngle(const glm::vec3& d, f32 speed, i32 arcSign, f32 gravity);

// True for a pitch launchAngle gave as a real solution.
inline bool hasSolution(f32 pitch) { return pitch <= AimRules::NoSolutionAbove; }

// Seconds of flight over `horizontalDistance` at `pitch`: the distance over the
// horizontal speed.
f32 flightTime(f32 horizontalDistance, f32 pitch, f32 speed);

// The flight time to the point `d` away, or a negative value when no arc reaches it.
f32 flightTimeTo(const glm::vec3& d, f32 speed, i32 arcSign, f32 gravity);

// The lead prediction: a halving search for the flight time T at which the target,
// moving on at `targetVelocity`, is where the shot lands. Invalid when the target
// is out of reach now, or the search does not settle within 10 % of the time to the
// predicted point.
LeadResult leadTarget(const glm::vec3& muzzle, const glm::vec3& targetPosition, const glm::vec3& targetVelocity,
                      f32 speed, f32 gravity, i32 arcSign);

} // namespace Ballistics

#include "Game/Towers/Ballistics.h"

#include <cmath>

namespace Ballistics {

namespace {

bool finite(const glm::vec3& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

f32 horizontalLength(const glm::vec3& d)
{
    return std::sqrt(d.x * d.x + d.z * d.z);
}

} // namespace

f32 launchAngle(const glm::vec3& d, f32 speed, i32 arcSign, f32 gravity)
{
    if (!finite(d) || !(speed > 0.0f) || !(gravity > 0.0f) || !std::isfinite(speed) || !std::isfinite(gravity)) {
        return AimRules::NoSolution;
    }
    const f32 x = horizontalLength(d);
    const f32 y = d.y;
    // Straight above or below the muzzle the pitch would be 0/0.
    if (!(x >= AimRules::MinHorizontalDistance)) return AimRules::NoSolution;
    const f32 v2 = speed * speed;
    const f32 disc = v2 * v2 - gravity * (gravity * x * x + 2.0f * y * v2);
    if (!(disc >= 0.0f)) return AimRules::NoSolution;
    const f32 sign = static_cast<f32>(arcSign);
    const f32 pitch = std::atan((v2 - sign * std::sqrt(disc)) / (x * gravity));
    return std::isfinite(pitch) ? pitch : AimRules::NoSolution;
}

f32 flightTime(f32 horizontalDistance, f32 pitch, f32 speed)
{
    return horizontalDistance / (std::cos(pitch) * speed);
}

f32 flightTimeTo(const glm::vec3& d, f32 speed, i32 arcSign, f32 gravity)
{
    const f32 pitch = launchAngle(d, speed, arcSign, gravity);
    if (!hasSolution(pitch)) return -1.0f;
    const f32 time = flightTime(horizontalLength(d), pitch, speed);
    // A pitch rounded onto the vertical has no horizontal speed left.
    return std::isfinite(time) && time > 0.0f ? time : -1.0f;
}

LeadResult leadTarget(const glm::vec3& muzzle, const glm::vec3& targetPosition, const glm::vec3& targetVelocity,
                      f32 speed, f32 gravity, i32 arcSign)
{
    LeadResult result;
    // A target out of reach now is not aimed at, wherever it may be heading.
    f32 time = flightTimeTo(targetPosition - muzzle, speed, arcSign, gravity);
    if (time < 0.0f) return result;

    f32 step = time;
    for (i32 i = 0; i < AimRules::LeadHalvings; i++) {
        const glm::vec3 predicted = targetPosition + targetVelocity * time;
        const f32 predictedTime = flightTimeTo(predicted - muzzle, speed, arcSign, gravity);
        // The target is in reach now and the reachable points along its straight path
        // form one stretch: a prediction out of reach lies too far along it.
        if (predictedTime < 0.0f || predictedTime < time) {
            time -= step;
        } else if (predictedTime > time) {
            time += step;
        } else {
            break;
        }
        step *= 0.5f;
    }

    const glm::vec3 point = targetPosition + targetVelocity * time;
    const f32 finalTime = flightTimeTo(point - muzzle, speed, arcSign, gravity);
    if (finalTime < 0.0f || !(time > 0.0f)) return result;
    if (std::abs(1.0 - static_cast<f64>(finalTime) / static_cast<f64>(time)) < AimRules::LeadTolerance) {
        result.valid = true;
        result.point = point;
    }
    return result;
}

} // namespace Ballistics

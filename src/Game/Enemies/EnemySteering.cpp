#include "Game/Enemies/EnemySteering.h"

#include <cmath>

namespace {

// The start-up boost's floor: k stays finite for a standing enemy.
constexpr f32 BoostSpeedFloor = 0.2f;

} // namespace

bool isFinite(const glm::vec3& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

SteeringCell locateEnemy(const glm::vec3& position, f32 groundMargin, const SteeringGround& ground)
{
    using namespace EnemyWorldRules;
    SteeringCell cell;
    const glm::vec3 r = position - ground.origin;
    // Written so that NaN fails every test and counts as off the world.
    const f32 far = static_cast<f32>(ground.gridSize) - static_cast<f32>(FarBorderVertices);
    const bool inside = r.y >= LowestHeight && r.x >= 0.0f && r.z >= 0.0f && r.x < far && r.z < far &&
                        std::isfinite(r.y);
    if (!inside || ground.steps == nullptr) {
        cell.outOfWorld = true;
        return cell;
    }
    cell.xi = static_cast<i64>(r.x + 0.5f);
    cell.zi = static_cast<i64>(r.z + 0.5f);
    const size_t index = static_cast<size_t>(cell.zi) * ground.gridSize + static_cast<size_t>(cell.xi);
    const f32 groundHeight = static_cast<f32>(ground.steps[index]) * StepHeight;
    cell.airborne = !(groundHeight > r.y - groundMargin);
    return cell;
}

bool isKnocked(const EnemyKindRules& kind, const glm::vec3& velocity)
{
    return glm::dot(velocity, velocity) > kind.knockedSpeedSquared;
}

glm::vec3 steeringForce(const EnemyKindRules& kind, const glm::vec3& velocity, f32 inverseMass, bool stunned,
                        glm::vec2 direction, glm::vec2 lateralOffset)
{
    glm::vec2 desired = (direction + lateralOffset) * kind.walkingSpeed;
    if (stunned) desired = glm::vec2(0.0f);
    const f32 speed = glm::length(velocity);
    const f32 k = 1.0f + 1.0f / (kind.speedDivisorFactor * speed + BoostSpeedFloor);
    const f32 mass = inverseMass != 0.0f ? 1.0f / inverseMass : 0.0f;
    const f32 scale = kind.steeringGain * mass * k;
    return glm::vec3((desired.x - velocity.x) * scale, 0.0f, (desired.y - velocity.z) * scale);
}

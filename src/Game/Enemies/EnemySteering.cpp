#include "Game/Enemies/EnemySteering.h"

#include "Game/Navigation/NavigationRules.h"
#include "World/Terrain/QuadSplit.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The start-up boost's floor: k stays finite for a standing enemy.
constexpr f32 BoostSpeedFloor = 0.2f;

// A whole change of the field, `resets` its new count: no best distance until the
// changed field reaches where the enemy stands. The count of steps without progress
// and the help stay.
void rebaseClimb(ClimbWatch& watch, u32 resets)
{
    watch.fieldResets = resets;
    watch.best = std::numeric_limits<f32>::infinity();
    if (!watch.awaitingField) watch.stepsAwaiting = 0;
    watch.awaitingField = true;
}

} // namespace

bool isFinite(const glm::vec3& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

SteeringCell locateEnemy(const glm::vec3& position, const EnemyKindRules& kind, const SteeringGround& ground)
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
    cell.local = glm::vec2(r.x, r.z);
    cell.airborne = !(groundUnder(ground, r.x, r.z, kind.width * 0.5f) > r.y - kind.groundMargin);
    return cell;
}

f32 groundUnder(const SteeringGround& ground, f32 x, f32 z, f32 radius)
{
    f32 highest = surfaceHeight(ground, x, z);
    highest = std::max(highest, surfaceHeight(ground, x + radius, z));
    highest = std::max(highest, surfaceHeight(ground, x - radius, z));
    highest = std::max(highest, surfaceHeight(ground, x, z + radius));
    return std::max(highest, surfaceHeight(ground, x, z - radius));
}

f32 surfaceHeight(const SteeringGround& ground, f32 x, f32 z)
{
    using namespace EnemyWorldRules;
    if (ground.steps == nullptr || ground.gridSize < 2) return 0.0f;
    const f32 last = static_cast<f32>(ground.gridSize) - 1.0f;
    // Clamped so that the quad (x0, z0)..(x0+1, z0+1) lies in the grid.
    x = std::clamp(x, 0.0f, last);
    z = std::clamp(z, 0.0f, last);
    const u32 x0 = std::min(static_cast<u32>(x), ground.gridSize - 2);
    const u32 z0 = std::min(static_cast<u32>(z), ground.gridSize - 2);
    const f32 fx = x - static_cast<f32>(x0);
    const f32 fz = z - static_cast<f32>(z0);
    const size_t i = static_cast<size_t>(z0) * ground.gridSize + x0;
    const f32 h00 = static_cast<f32>(ground.steps[i]) * StepHeight;
    const f32 h10 = static_cast<f32>(ground.steps[i + 1]) * StepHeight;
    const f32 h01 = static_cast<f32>(ground.steps[i + ground.gridSize]) * StepHeight;
    const f32 h11 = static_cast<f32>(ground.steps[i + ground.gridSize + 1]) * StepHeight;
    // The triangle of the quad that holds the point, cut as the collision mesh cuts it.
    if (splitsAlongP00P11(h00, h10, h01, h11)) {
        if (fx >= fz) return h00 + fx * (h10 - h00) + fz * (h11 - h10);
        return h00 + fz * (h01 - h00) + fx * (h11 - h01);
    }
    if (fx + fz <= 1.0f) return h00 + fx * (h10 - h00) + fz * (h01 - h00);
    return h11 + (1.0f - fx) * (h01 - h11) + (1.0f - fz) * (h10 - h11);
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

bool watchClimb(ClimbWatch& watch, f32 distance, u32 resets, bool steep)
{
    using namespace EnemyClimbRules;
    if (resets != watch.fieldResets) rebaseClimb(watch, resets);
    // Where the field has not reached (yet) no distance compares: no progress.
    const bool solved = distance < PathDistanceRules::SolvedLimit;
    if (solved && watch.awaitingField) {
        // The first distance of a changed field is where progress counts from: that
        // step counts neither way.
        watch.best = distance;
        watch.awaitingField = false;
    } else if (solved && distance <= watch.best - ProgressDistance) {
        watch.best = distance;
        watch.stepsWithoutProgress = 0;
    } else if (watch.stepsWithoutProgress < StuckSteps) {
        watch.stepsWithoutProgress++;
    }
    if (watch.awaitingField && watch.stepsAwaiting < StuckSteps) watch.stepsAwaiting++;
    // Help starts only where the field gives a distance: where it has not reached (deep
    // water, the grid's border, a spot cut off, or a field still regrowing after a change)
    // the enemy has no climb to be helped up, however long it stands there.
    if (solved && watch.stepsWithoutProgress >= StuckSteps) watch.stuck = true;
    // Helped on up the whole climb, however it gets on meanwhile, until the ground
    // ahead is walkable.
    // Until a changed field reaches where it stands, its way there is an old direction
    // that need not run up the climb: the ground ahead along it does not end the help.
    // A changed field that has stayed away as long as it takes to start help may never
    // come: then the ground ahead counts again.
    const bool fieldAway = watch.awaitingField && watch.stepsAwaiting < StuckSteps;
    if (!steep && !fieldAway) watch.stuck = false;
    return watch.stuck;
}

void noteFight(ClimbWatch& watch)
{
    watch.stepsWithoutProgress = 0;
}

bool steepAhead(const SteeringGround& ground, glm::vec2 local, glm::vec2 way)
{
    using namespace EnemyClimbRules;
    if (way == glm::vec2(0.0f)) return false;
    const glm::vec2 ahead = local + way * LookAhead;
    return surfaceHeight(ground, ahead.x, ahead.y) - surfaceHeight(ground, local.x, local.y) > SteepRise;
}

#include "Game/Enemies/EnemySpawner.h"

#include "Engine/Camera/Random.h"
#include "Game/Buildings/Building.h"
#include "Game/Buildings/BuildingInstance.h"
#include "Game/Enemies/EnBaseInstance.h"
#include "Game/Enemies/EnHeavyInstance.h"
#include "Game/Enemies/EnemyManager.h"
#include "Game/Enemies/EnemyRules.h"
#include "Game/Session/BoundedDraw.h"
#include "Game/Session/GameSession.h"

#include <algorithm>

std::vector<PortalSite> EnemySpawner::portalSites() const
{
    std::vector<PortalSite> sites;
    if (portalKind == nullptr) return sites;
    sites.reserve(portalKind->instances.size());
    for (const std::shared_ptr<BuildingInstance>& portal : portalKind->instances) {
        sites.push_back({portal->gridPos, portalKind->config.gridSize});
    }
    return sites;
}

glm::vec3 EnemySpawner::spawnPosition(const PortalSite& portal, const SteeringGround& ground, bool heavy)
{
    const f32 x = static_cast<f32>(portal.gridPos.x) + static_cast<f32>(portal.gridSize.x) * 0.5f;
    const f32 z = static_cast<f32>(portal.gridPos.z) + static_cast<f32>(portal.gridSize.z) * 0.5f;
    // The step under the centre, clamped to the grid.
    const i64 last = static_cast<i64>(ground.gridSize) - 1;
    const i64 xi = std::clamp<i64>(static_cast<i64>(x), 0, last);
    const i64 zi = std::clamp<i64>(static_cast<i64>(z), 0, last);
    const i32 step = ground.steps != nullptr ? ground.steps[zi * static_cast<i64>(ground.gridSize) + xi] : 0;
    const EnemyKindRules& kind = heavy ? EnemyKinds::Heavy : EnemyKinds::Normal;
    const f32 height = static_cast<f32>(step) * EnemyWorldRules::StepHeight + kind.spawnHeight;
    return ground.origin + glm::vec3(x, height, z);
}

bool EnemySpawner::spawnAtRandomPortal(WaveState& wave, const std::vector<PortalSite>& portals)
{
    // No portal to choose from (the count would divide the draw): the enemy stays owed.
    if (portals.empty() || enemies == nullptr || enemies->context.random == nullptr) return false;
    Random& random = *enemies->context.random;
    const u32 chosen = boundedDraw(random.engine, static_cast<u32>(portals.size()));
    const bool heavy = wave.heavyLeft.load() >= 1;
    const glm::vec3 at = spawnPosition(portals[chosen], enemies->context.ground, heavy);
    if (heavy) {
        wave.heavyLeft.fetch_sub(1);
        enemies->enqueue(std::make_unique<EnHeavyInstance>(at));
    } else {
        wave.normalLeft.fetch_sub(1);
        enemies->enqueue(std::make_unique<EnBaseInstance>(at));
    }
    return true;
}

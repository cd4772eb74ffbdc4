#include "Game/Buildings/BdWallInstance.h"

#include "Game/Buildings/BuildingRules.h"
#include "Game/Navigation/NavigationInputs.h"
#include "Game/Session/BuildingManager.h"

#include <glm/gtc/matrix_transform.hpp>

void BdWallInstance::spawn()
{
    const glm::vec3 centre = footprintCentre();
    model = glm::translate(glm::mat4(1.0f), centre);
    const f32 halfHeight = static_cast<f32>(kind->config.gridSize.y) * BuildingGeometryRules::StepHeight * 0.5f;
    spawnWithBody(centre + glm::vec3(0.0f, halfHeight, 0.0f));
    if (manager->context.navigation != nullptr) {
        manager->context.navigation->queueFixedCosts(gridPos, kind->config.gridSize,
                                                     BuildingNavigationRules::WallCost);
    }
}

void BdWallInstance::destroy()
{
    using namespace BuildingNavigationRules;
    if (!claimDestroy()) return;
    removeFromGame();
    NavigationInputs* navigation = manager->context.navigation;
    if (navigation == nullptr) return;
    const glm::ivec3& size = kind->config.gridSize;
    navigation->queueFixedCosts(gridPos, size, SlopeCost);
    auto isWall = [](const BuildingInstance* other) { return other->typeIndex == BuildingTypeWall; };
    for (const glm::ivec2 vertex : manager->occupancy.verticesTouching(gridPos, size, isWall)) {
        navigation->queueFixedCosts({vertex.x, gridPos.y, vertex.y}, glm::ivec3(0), WallCost);
    }
}

void BdWallInstance::recordShadowDraw(CommandBuffer& cmd, u32 firstSet, u32)
{
    if (prepareDraw()) drawWithInstanceSet(cmd, firstSet, mesh);
}

void BdWallInstance::recordDraw(CommandBuffer& cmd, u32 firstSet, u32)
{
    if (prepareDraw()) drawWithInstanceSet(cmd, firstSet, mesh);
}

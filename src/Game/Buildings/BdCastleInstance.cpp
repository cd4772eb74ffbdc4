#include "Game/Buildings/BdCastleInstance.h"

#include "Game/Buildings/BuildingRules.h"
#include "Game/Navigation/NavigationInputs.h"
#include "Game/Session/BuildingManager.h"
#include "Game/Session/GameSession.h"

#include <glm/gtc/matrix_transform.hpp>

void BdCastleInstance::spawn()
{
    const glm::vec3 centre = footprintCentre();
    model = glm::translate(glm::mat4(1.0f), centre);
    // The box stands on the ground: its centre half the building's height up.
    const f32 halfHeight = static_cast<f32>(kind->config.gridSize.y) * BuildingGeometryRules::StepHeight * 0.5f;
    spawnWithBody(centre + glm::vec3(0.0f, halfHeight, 0.0f));
    if (manager->context.navigation != nullptr) {
        manager->context.navigation->queueCellValues(gridPos, kind->config.gridSize,
                                                     BuildingNavigationRules::GoalValue);
    }
}

void BdCastleInstance::destroy()
{
    if (!claimDestroy()) return;
    GameSession* session = manager->context.session;
    if (!manager->tearingDown && session != nullptr) {
        session->state = SessionLost;
    }
    removeFromGame();
}

void BdCastleInstance::recordShadowDraw(CommandBuffer& cmd, u32 firstSet, u32)
{
    if (prepareDraw()) drawWithInstanceSet(cmd, firstSet, mesh);
}

void BdCastleInstance::recordDraw(CommandBuffer& cmd, u32 firstSet, u32)
{
    if (prepareDraw()) drawWithInstanceSet(cmd, firstSet, mesh);
}

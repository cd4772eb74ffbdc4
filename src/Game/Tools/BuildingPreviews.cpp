#include "Game/Tools/BuildingPreviews.h"

#include "Engine/Physics/RayHit.h"
#include "Engine/Settings/Settings.h"
#include "Game/Buildings/BuildingInstance.h"
#include "Game/Session/BuildingManager.h"
#include "Game/Session/GameSession.h"
#include "Game/Tools/BuildTool.h"
#include "Game/Tools/Picker.h"
#include "Game/Tools/ToolPreview.h"
#include "Game/Tools/ToolRules.h"
#include "Game/Ui/UiState.h"
#include "World/World.h"

#include <mutex>

namespace {

// The building under the cursor, held (and the query world locked) while its preview
// is drawn: the ghost of its parts in the preview's colour, its own next draw skipped.
template <typename Judge> void previewBuildingUnderCursor(BuildingManager& manager, CommandBuffer& cmd, Judge&& judge)
{
    const BuildingContext& context = manager.context;
    if (context.physics == nullptr || !Picker::cursorInside(Picker::currentView(context.camera))) return;
    std::lock_guard lock(context.physics->mutex);
    RayHit hit;
    Picker::pickUnderCursor(manager, hit, ToolPickRules::BuildingMask, false);
    if (hit.hit && hit.type == CollisionBuilding && hit.owner != nullptr) {
        BuildingInstance& building = *static_cast<BuildingInstance*>(hit.owner);
        const ToolPreview preview = judge(standingOf(building));
        if (preview.shown) {
            building.skipNextDraw = true;
            if (!preview.message.empty()) Ui::showMessage(preview.message);
            BuildTool::drawGhost(manager, cmd, building.getRenderObjects(), preview.colour);
        }
    }
    // The hold on the building goes before the lock.
    hit = {};
}

i64 money(const BuildingManager& manager)
{
    const GameSession* session = manager.context.session;
    return session != nullptr ? session->money->load() : 0;
}

bool cheats()
{
    return Settings::cheatsEnabled != 0;
}

} // namespace

namespace SellTool {

void preview(BuildingManager& manager, CommandBuffer& cmd)
{
    previewBuildingUnderCursor(manager, cmd, [](const BuildingStanding& building) { return sellPreview(building); });
}

} // namespace SellTool

namespace RepairTool {

void preview(BuildingManager& manager, CommandBuffer& cmd)
{
    const i64 available = money(manager);
    previewBuildingUnderCursor(manager, cmd, [available](const BuildingStanding& building) {
        return repairPreview(building, available, cheats());
    });
}

} // namespace RepairTool

namespace UpgradeTool {

void preview(BuildingManager& manager, CommandBuffer& cmd)
{
    const i64 available = money(manager);
    previewBuildingUnderCursor(manager, cmd, [available](const BuildingStanding& building) {
        return upgradePreview(building, available, cheats());
    });
}

} // namespace UpgradeTool

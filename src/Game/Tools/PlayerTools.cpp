#include "Game/Tools/PlayerTools.h"

#include "Engine/Engine.h"
#include "Engine/Physics/RayHit.h"
#include "Engine/Settings/Settings.h"
#include "Engine/Window/Input.h"
#include "Game/Buildings/BuildingInstance.h"
#include "Game/Buildings/BuildingRules.h"
#include "Game/Enemies/Enemy.h"
#include "Game/Enemies/EnemyInstance.h"
#include "Game/Enemies/EnemyManager.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "Game/Intro/CameraPath.h"
#include "Game/Session/BuildingManager.h"
#include "Game/Session/GameSession.h"
#include "Game/Session/Money.h"
#include "Game/Tools/BuildTool.h"
#include "Game/Tools/BuildingPreviews.h"
#include "Game/Tools/Picker.h"
#include "Game/Tools/ToolRules.h"
#include "Game/Tools/ToolState.h"
#include "Game/Ui/MenuState.h"
#include "World/World.h"

#include <mutex>

namespace {

bool cheats()
{
    return Settings::cheatsEnabled != 0;
}

// Escape, or a wave that starts (unless cheats are on), puts the tool away. True when
// it did; the same frame then goes on as with no tool.
bool putToolAway(Input& input)
{
    if (toolMode == ToolModeNone) return false;
    if (input.pressed(Key::Escape) && !input.escapeHandled) {
        // The press is taken: the pause menu does not open with it.
        input.handleEscape("tools");
        toolMode = ToolModeNone;
        return true;
    }
    if (gameSession->waveState->active.load(std::memory_order_acquire) && !cheats()) {
        toolMode = ToolModeNone;
        return true;
    }
    return false;
}

// A building of the selected kind on the footprint under the cursor, paid in one
// checked debit. Nothing without a cell, on a taken cell or without the money.
void placeBuilding(World& running, u32 index)
{
    if (index >= BuildingTypeCount || buildingTypes[index] == nullptr || !buildingTypes[index]->inToolBar) return;
    Building& kind = *buildingTypes[index];
    BuildingManager& manager = *running.buildingManager;
    const glm::ivec3& size = kind.config.gridSize;
    glm::ivec3 cell;
    if (!Picker::cursorGridCell(manager, size.x, size.z, cell)) return;
    std::atomic<i32>& money = *gameSession->money;
    const i64 cost = kind.config.levels.front().cost;
    if (!canAfford(cost, money.load(), cheats()) || !manager.occupancy.isFree(cell, size)) return;
    std::shared_ptr<BuildingInstance> building = kind.createInstance(cell, ToolPlacementRules::Rotation);
    if (building == nullptr) return;
    if (!cheats() && !tryDebit(money, cost)) return;
    if (!manager.place(building) && !cheats()) money.fetch_add(static_cast<i32>(cost));
}

// With cheats: an enemy of the selected kind dropped on the cell under the cursor.
void placeEnemy(World& running, u32 index)
{
    if (!cheats() || index >= EnemyTypeCount || enemyTypes[index] == nullptr || running.enemyManager == nullptr) {
        return;
    }
    glm::ivec3 cell;
    if (!running.enemyManager->cursorGridCell(1, 1, cell)) return;
    const glm::vec3& origin = running.origin;
    const glm::vec3 position(static_cast<f32>(cell.x) + origin.x,
                             (static_cast<f32>(cell.y) + origin.y) * BuildingGeometryRules::StepHeight +
                                 ToolPlacementRules::CheatEnemyHeight,
                             static_cast<f32>(cell.z) + origin.z);
    running.enemyManager->enqueue(enemyTypes[index]->createInstance(position));
}

// A click with no tool: the building under it is selected for the detail pop-up; a
// click on anything else lets the selection go.
void selectUnderCursor(BuildingManager& manager)
{
    const BuildingContext& context = manager.context;
    if (context.physics == nullptr || !Picker::cursorInside(Picker::currentView(context.camera))) return;
    std::lock_guard lock(context.physics->mutex);
    RayHit hit;
    Picker::pickUnderCursor(manager, hit, ToolPickRules::BuildingMask, false);
    if (hit.hit && hit.type == CollisionBuilding && hit.owner != nullptr && hit.sharedOwner != nullptr) {
        buildingSelection.instance = std::static_pointer_cast<BuildingInstance>(hit.sharedOwner);
        buildingSelection.openRequest = true;
    } else {
        buildingSelection.instance.reset();
        buildingSelection.openRequest = false;
    }
    hit = {};
}

} // namespace

namespace PlayerTools {

bool inPlay()
{
    if (readyWorld() == nullptr || gameSession == nullptr || Ui::currentMenuState() != MenuStateInGame) return false;
    if (Engine::cameraPath != nullptr && Engine::cameraPath->playing.load()) return false;
    // Lost or won: the end dialog is open until "Continue".
    const u32 state = gameSession->state.load();
    return state == SessionPlaying || state == SessionPlayingOn;
}

void update()
{
    if (!inPlay() || Engine::input == nullptr) return;
    World& running = *readyWorld();
    Input& input = *Engine::input;
    if (!putToolAway(input)) {
        if (toolMode == ToolModePlace && input.isDown(Key::MouseLeft)) {
            // Held down: every newly free footprint the cursor passes gets one.
            if (toolSelection.category == ToolCategoryBuildings) placeBuilding(running, toolSelection.index);
            if (toolSelection.category == ToolCategoryEnemies) placeEnemy(running, toolSelection.index);
        } else if (input.pressed(Key::MouseLeft)) {
            BuildingManager& manager = *running.buildingManager;
            if (toolMode == ToolModeSell) manager.sellAtCursor();
            if (toolMode == ToolModeRepair) manager.repairAtCursor();
            if (toolMode == ToolModeUpgrade) manager.upgradeAtCursor();
        }
    }
    if (toolMode == ToolModeNone && input.pressed(Key::MouseLeft)) selectUnderCursor(*running.buildingManager);
}

void drawPreview(BuildingManager& manager, CommandBuffer& cmd)
{
    switch (toolMode) {
    case ToolModePlace:
        // An enemy about to be dropped has no ghost.
        if (toolSelection.category == ToolCategoryBuildings) BuildTool::previewPlacement(manager, cmd, toolSelection);
        break;
    case ToolModeSell: SellTool::preview(manager, cmd); break;
    case ToolModeRepair: RepairTool::preview(manager, cmd); break;
    case ToolModeUpgrade: UpgradeTool::preview(manager, cmd); break;
    default: break;
    }
}

bool highlightHovered(BuildingManager& manager, CommandBuffer& cmd)
{
    const BuildingContext& context = manager.context;
    if (manager.edgeEffect == nullptr || context.physics == nullptr ||
        !Picker::cursorInside(Picker::currentView(context.camera))) {
        return false;
    }
    std::lock_guard lock(context.physics->mutex);
    RayHit hit;
    Picker::pickUnderCursor(manager, hit, ToolPickRules::BuildingMask, false);
    bool outlined = false;
    if (hit.hit && hit.type == CollisionBuilding && hit.owner != nullptr) {
        // The building's own draw stays: the outline goes around it.
        BuildTool::renderPreviewPass(manager, cmd, static_cast<BuildingInstance*>(hit.owner)->getRenderObjects(),
                                     ToolColours::Outline);
        outlined = true;
    }
    hit = {};
    return outlined;
}

} // namespace PlayerTools

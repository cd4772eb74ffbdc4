#include "Game/Session/Economy.h"

#include "Engine/Physics/CollisionType.h"
#include "Engine/Settings/Settings.h"
#include "Game/Buildings/BuildingInstance.h"
#include "Game/Session/BuildingManager.h"
#include "Game/Session/GameSession.h"
#include "Game/Session/SessionRules.h"
#include "Game/Tools/Picker.h"
#include "World/World.h"

#include <mutex>

namespace Economy {

namespace {

void pay(std::atomic<i32>& money, i64 amount)
{
    money.fetch_add(static_cast<i32>(amount));
}

} // namespace

i64 value(const BuildingInstance& building)
{
    return static_cast<i64>(building.kind->totalCost(static_cast<i32>(building.level.load())));
}

bool affordable(i64 cost, const std::atomic<i32>& money, bool cheats)
{
    return cheats || cost <= static_cast<i64>(money.load());
}

bool sell(BuildingInstance& building, std::atomic<i32>& money)
{
    if (building.typeIndex == BuildingTypeCastle || building.destroyed.load()) return false;
    const bool damaged = building.health.load() < building.maxHealth();
    const i64 refund = saleRefund(value(building), damaged);
    // Only the call that marks the building pays.
    if (!building.requestDestroy()) return false;
    pay(money, refund);
    return true;
}

bool repair(BuildingInstance& building, std::atomic<i32>& money, bool cheats)
{
    if (building.going()) return false;
    const i32 full = building.maxHealth();
    const i64 cost = repairCost(value(building));
    if (!affordable(cost, money, cheats)) return false;
    // An enemy may hit at the same time: repair only from a health it did not bring to 0.
    i32 health = building.health.load();
    do {
        if (health >= full || health <= 0) return false;
    } while (!building.health.compare_exchange_weak(health, full));
    if (!cheats) pay(money, -cost);
    return true;
}

bool upgrade(BuildingInstance& building, std::atomic<i32>& money, bool cheats)
{
    if (building.going()) return false;
    const u32 level = building.level.load();
    if (level + 1 >= building.kind->levelCount()) return false;
    const i64 cost = static_cast<i64>(building.kind->config.levels[level + 1].cost);
    if (!affordable(cost, money, cheats)) return false;
    building.upgrade();
    if (!cheats) pay(money, -cost);
    return true;
}

namespace {

// The common steps of the tool actions: the cursor inside the window, the query
// world's mutex held across the pick and the change, a building (not terrain in front
// of it) with an owner under the cursor.
template <typename Action> bool actOnBuildingAt(BuildingManager& manager, const CursorView& view, Action&& action)
{
    const BuildingContext& context = manager.context;
    if (context.physics == nullptr || context.session == nullptr || !Picker::cursorInside(view)) return false;
    std::lock_guard lock(context.physics->mutex);
    RayHit hit = Picker::pick(view, *context.physics, CollisionBuilding | CollisionTerrain, false);
    bool acted = false;
    if (hit.hit && hit.owner != nullptr && hit.type == CollisionBuilding) {
        acted = action(*static_cast<BuildingInstance*>(hit.owner), *context.session->money);
    }
    // The pick's hold on the building goes before the mutex.
    hit = {};
    return acted;
}

} // namespace

bool sellAt(BuildingManager& manager, const CursorView& view)
{
    return actOnBuildingAt(manager, view,
                           [](BuildingInstance& building, std::atomic<i32>& money) { return sell(building, money); });
}

bool repairAt(BuildingManager& manager, const CursorView& view, bool cheats)
{
    return actOnBuildingAt(manager, view, [cheats](BuildingInstance& building, std::atomic<i32>& money) {
        return repair(building, money, cheats);
    });
}

bool upgradeAt(BuildingManager& manager, const CursorView& view, bool cheats)
{
    return actOnBuildingAt(manager, view, [cheats](BuildingInstance& building, std::atomic<i32>& money) {
        return upgrade(building, money, cheats);
    });
}

} // namespace Economy

void BuildingManager::sellAtCursor()
{
    Economy::sellAt(*this, Picker::currentView(context.camera));
}

void BuildingManager::repairAtCursor()
{
    Economy::repairAt(*this, Picker::currentView(context.camera), Settings::cheatsEnabled != 0);
}

void BuildingManager::upgradeAtCursor()
{
    Economy::upgradeAt(*this, Picker::currentView(context.camera), Settings::cheatsEnabled != 0);
}

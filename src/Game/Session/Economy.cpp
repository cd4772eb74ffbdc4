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

} // namespace Economy

namespace {

// The common steps of the tool actions: the cursor inside the window, the query
// world's mutex held across the pick and the change, a building (not terrain in front
// of it) with an owner under the cursor.
template <typename Action> void actOnBuildingAtCursor(BuildingManager& manager, Action&& action)
{
    const BuildingContext& context = manager.context;
    if (context.physics == nullptr || context.session == nullptr) return;
    if (!Picker::cursorInside(Picker::currentView(context.camera))) return;
    std::lock_guard lock(context.physics->mutex);
    RayHit hit;
    Picker::pickUnderCursor(manager, hit, CollisionBuilding | CollisionTerrain, false);
    if (hit.hit && hit.owner != nullptr && hit.type == CollisionBuilding) {
        action(*static_cast<BuildingInstance*>(hit.owner), *context.session->money);
    }
    // The pick's hold on the building goes before the mutex.
    hit = {};
}

} // namespace

void BuildingManager::sellAtCursor()
{
    actOnBuildingAtCursor(*this, [](BuildingInstance& building, std::atomic<i32>& money) {
        Economy::sell(building, money);
    });
}

void BuildingManager::repairAtCursor()
{
    actOnBuildingAtCursor(*this, [](BuildingInstance& building, std::atomic<i32>& money) {
        Economy::repair(building, money, Settings::cheatsEnabled != 0);
    });
}

void BuildingManager::upgradeAtCursor()
{
    actOnBuildingAtCursor(*this, [](BuildingInstance& building, std::atomic<i32>& money) {
        Economy::upgrade(building, money, Settings::cheatsEnabled != 0);
    });
}

#include "Game/Session/Economy.h"

#include "Game/Buildings/BuildingInstance.h"
#include "Game/Session/GameSession.h"
#include "Game/Session/Money.h"
#include "Game/Session/BuildingPrices.h"

bool sellBuilding(GameSession& session, BuildingInstance& building)
{
    const BuildingStanding standing = standingOf(building);
    const BuildingPrices prices = pricesOf(standing);
    if (!prices.canSell || building.destroyed.load()) return false;
    // Only the call that sets the mark pays.
    if (building.destroyPending.exchange(true)) return false;
    session.money->fetch_add(static_cast<i32>(prices.salePrice));
    return true;
}

bool repairBuilding(GameSession& session, BuildingInstance& building, bool cheats)
{
    const BuildingStanding standing = standingOf(building);
    const BuildingPrices prices = pricesOf(standing);
    if (standing.going || !prices.canRepair) return false;
    if (!cheats && !tryDebit(*session.money, prices.repairCost)) return false;
    building.health.store(standing.maxHealth);
    return true;
}

bool upgradeBuilding(GameSession& session, BuildingInstance& building, bool cheats)
{
    const BuildingStanding standing = standingOf(building);
    const BuildingPrices prices = pricesOf(standing);
    if (standing.going || !prices.canUpgrade) return false;
    if (!cheats && !tryDebit(*session.money, prices.upgradeCost)) return false;
    building.upgrade();
    return true;
}

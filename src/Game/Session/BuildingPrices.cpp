#include "Game/Session/BuildingPrices.h"

#include "Game/Buildings/BuildingInstance.h"
#include "Game/Session/SessionRules.h"

#include <algorithm>

bool BuildingStanding::isCastle() const
{
    return typeIndex == BuildingTypeCastle;
}

BuildingStanding standingOf(const BuildingInstance& instance)
{
    const Building& kind = *instance.kind;
    BuildingStanding standing;
    standing.typeIndex = instance.typeIndex;
    standing.levelCount = kind.levelCount();
    // A level beyond the kind's (never made by the game) is read as its last.
    standing.level = std::min(instance.level.load(), standing.levelCount - 1);
    standing.health = instance.health.load();
    standing.maxHealth = kind.maxHealthAt(standing.level);
    standing.value = kind.totalCost(static_cast<i32>(standing.level));
    standing.nextLevelCost = standing.atLastLevel() ? 0 : kind.config.levels[standing.level + 1].cost;
    standing.going = instance.destroyPending.load() || instance.destroyed.load();
    return standing;
}

BuildingPrices pricesOf(const BuildingStanding& building)
{
    BuildingPrices prices;
    // The repair price holds for the castle too: it is worked out whether or not the
    // building can be sold.
    prices.repairCost = repairCost(building.value);
    prices.canRepair = building.damaged();
    prices.canSell = !building.isCastle();
    prices.salePrice = saleRefund(building.value, building.damaged());
    prices.canUpgrade = !building.atLastLevel();
    prices.upgradeCost = building.nextLevelCost;
    return prices;
}

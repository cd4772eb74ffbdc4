#include "Game/Tools/ToolPreview.h"

#include "Game/Buildings/BuildingInstance.h"
#include "Game/Session/Money.h"
#include "Game/Session/SessionRules.h"
#include "Game/Tools/ToolRules.h"

#include <string>

namespace {

ToolPreview preview(std::string message, const glm::vec4& colour)
{
    ToolPreview shown;
    shown.shown = true;
    shown.message = std::move(message);
    shown.colour = colour;
    return shown;
}

std::string priced(const char* prefix, i64 amount)
{
    return prefix + std::to_string(amount) + "$";
}

} // namespace

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

ToolPreview placementPreview(bool cellsFree, i64 cost, i64 money, bool cheats)
{
    if (!canAfford(cost, money, cheats)) return preview(ToolMessages::NotEnoughMoney, ToolColours::Refused);
    if (!cellsFree) return preview(ToolMessages::PlacementInvalid, ToolColours::Refused);
    return preview({}, ToolColours::Valid);
}

ToolPreview sellPreview(const BuildingStanding& building)
{
    if (building.isCastle() || building.going) return {};
    return preview(priced("Sell for ", saleRefund(building.value, building.damaged())), ToolColours::Refused);
}

ToolPreview repairPreview(const BuildingStanding& building, i64 money, bool cheats)
{
    if (building.going) return {};
    if (!building.damaged()) return preview(ToolMessages::FullyRepaired, ToolColours::Refused);
    const i64 cost = repairCost(building.value);
    if (!canAfford(cost, money, cheats)) return preview(ToolMessages::NotEnoughMoney, ToolColours::Refused);
    return preview(priced("Repair for ", cost), ToolColours::Valid);
}

ToolPreview upgradePreview(const BuildingStanding& building, i64 money, bool cheats)
{
    if (building.going) return {};
    if (building.atLastLevel()) return preview(ToolMessages::MaxLevel, ToolColours::Refused);
    if (!canAfford(building.nextLevelCost, money, cheats)) {
        return preview(ToolMessages::NotEnoughMoney, ToolColours::Refused);
    }
    // The next level counted from 1: a level-0 building upgrades to level 2.
    const std::string message = "Upgrade to level " + std::to_string(building.level + 2) + " (" +
                                std::to_string(building.nextLevelCost) + "$)";
    return preview(message, ToolColours::Valid);
}

DetailPrices detailPrices(const BuildingStanding& building)
{
    DetailPrices prices;
    // The repair price is the castle's too: it is worked out before the castle is left
    // out of the sale.
    prices.repairCost = repairCost(building.value);
    prices.canRepair = building.damaged();
    prices.canSell = !building.isCastle();
    prices.salePrice = saleRefund(building.value, building.damaged());
    prices.canUpgrade = !building.atLastLevel();
    prices.upgradeCost = building.nextLevelCost;
    return prices;
}

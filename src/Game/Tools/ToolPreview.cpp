#include "Game/Tools/ToolPreview.h"

#include "Game/Session/Money.h"
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

ToolPreview placementPreview(bool cellsFree, i64 cost, i64 money, bool cheats)
{
    if (!canAfford(cost, money, cheats)) return preview(ToolMessages::NotEnoughMoney, ToolColours::Refused);
    if (!cellsFree) return preview(ToolMessages::PlacementInvalid, ToolColours::Refused);
    return preview({}, ToolColours::Valid);
}

ToolPreview sellPreview(const BuildingStanding& building)
{
    if (building.isCastle() || building.going) return {};
    return preview(priced("Sell for ", pricesOf(building).salePrice), ToolColours::Refused);
}

ToolPreview repairPreview(const BuildingStanding& building, i64 money, bool cheats)
{
    if (building.going) return {};
    if (!building.damaged()) return preview(ToolMessages::FullyRepaired, ToolColours::Refused);
    const i64 cost = pricesOf(building).repairCost;
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

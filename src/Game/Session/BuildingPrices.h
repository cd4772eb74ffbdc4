#pragma once

#include "Engine/Types.h"

class BuildingInstance;

// A building's numbers as the economy prices it, each read once.
struct BuildingStanding {
    u32 typeIndex = 0;
    u32 level = 0;
    u32 levelCount = 1;
    i32 health = 0;
    i32 maxHealth = 0;     // of its level
    i64 value = 0;         // all the money put into it: the costs of levels 0 to level
    i64 nextLevelCost = 0; // the next level's cost, 0 at the last level
    bool going = false;    // sold or destroyed: no longer for sale, repair or upgrade

    bool damaged() const { return health < maxHealth; }
    bool atLastLevel() const { return level + 1 >= levelCount; }
    bool isCastle() const;
};

BuildingStanding standingOf(const BuildingInstance& instance);

// What the player may do with a building and at what price: the detail pop-up's
// buttons, the tools' previews and the economy actions all price by it.
struct BuildingPrices {
    bool canSell = false;   // every building but the castle
    i64 salePrice = 0;      // the value, less a fifth when damaged
    bool canRepair = false; // only a damaged building
    i64 repairCost = 0;     // a fifth of the value, the castle's too
    bool canUpgrade = false;
    i64 upgradeCost = 0;    // the next level's cost
};

BuildingPrices pricesOf(const BuildingStanding& building);

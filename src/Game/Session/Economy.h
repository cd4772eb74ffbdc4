#pragma once

#include "Engine/Types.h"

struct GameSession;
class BuildingInstance;

// The player's economy actions on one building (main thread): the detail pop-up's
// buttons and the sell, repair and upgrade tools. Prices are those of the previews;
// with cheats nothing is charged while sales still pay.

// Marks the building for the next logic tick to destroy and pays its refund, once: a
// second sale of the same building (another click, the other of tool and pop-up) before
// it is gone pays nothing. The castle is never sold. True when this call sold it.
bool sellBuilding(GameSession& session, BuildingInstance& building);

// Full health for a fifth of the value, taken in one checked debit; nothing for a
// building at full health, one that is going, or too little money.
bool repairBuilding(GameSession& session, BuildingInstance& building, bool cheats);

// The next level for its cost, taken in one checked debit; nothing at the last level,
// for a building that is going, or with too little money.
bool upgradeBuilding(GameSession& session, BuildingInstance& building, bool cheats);

#pragma once

#include "Engine/Types.h"

#include <atomic>

class BuildingInstance;
class BuildingManager;
struct CursorView;

// Selling, repairing and upgrading a building for money. The money changes only by
// atomic addition, and every price is compared with it in 64 bits. A building that is
// going (destroyed, or marked by a sale or by the damage that brought it to 0) is
// neither sold, repaired nor upgraded. With cheats nothing is charged; sales still pay.
namespace Economy {

// All the money put into `building`: the costs of its levels 0 to its level.
i64 value(const BuildingInstance& building);
// cost <= money, or cheats.
bool affordable(i64 cost, const std::atomic<i32>& money, bool cheats);

// Marks the building for destruction at the next logic tick and pays its value (less
// a fifth, truncated, when damaged), once: a second sale before that tick pays nothing.
// The castle is never sold. True when sold.
bool sell(BuildingInstance& building, std::atomic<i32>& money);
// Back to the level's full health for a fifth of the value (truncated). Nothing at
// full health or without the money. True when repaired.
bool repair(BuildingInstance& building, std::atomic<i32>& money, bool cheats);
// The next level at full health for that level's cost. Nothing at the last level or
// without the money. True when upgraded.
bool upgrade(BuildingInstance& building, std::atomic<i32>& money, bool cheats);

// The same on the building under the cursor of `view` (main thread), paid from the
// manager's session: only when the cursor lies inside the window and a building (not
// terrain in front of it) is hit, with the query world's mutex held across the pick
// and the change. True when the action took place.
bool sellAt(BuildingManager& manager, const CursorView& view);
bool repairAt(BuildingManager& manager, const CursorView& view, bool cheats);
bool upgradeAt(BuildingManager& manager, const CursorView& view, bool cheats);

} // namespace Economy

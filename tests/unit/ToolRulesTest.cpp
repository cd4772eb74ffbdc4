// The rules behind the player's tools and the detail pop-up: one checked debit, the
// prices, and the previews' messages and colours.

#include "Game/Buildings/Building.h"
#include "Game/Session/BuildingPrices.h"
#include "Game/Session/Money.h"
#include "Game/Tools/ToolPreview.h"
#include "Game/Tools/ToolRules.h"

#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <thread>
#include <vector>

namespace {

// A wall (levels 100, 150, 250) at `level` with `health` left.
BuildingStanding wallAt(u32 level, i32 health)
{
    const i32 maxHealth[] = {300, 600, 1200};
    const i64 value[] = {100, 250, 500};
    const i64 next[] = {150, 250, 0};
    BuildingStanding wall;
    wall.typeIndex = BuildingTypeWall;
    wall.level = level;
    wall.levelCount = 3;
    wall.health = health;
    wall.maxHealth = maxHealth[level];
    wall.value = value[level];
    wall.nextLevelCost = next[level];
    return wall;
}

} // namespace

TEST(Money, OneCheckedDebitTakesOnlyWhatTheMoneyHolds)
{
    std::atomic<i32> money{500};
    EXPECT_TRUE(tryDebit(money, 500));
    EXPECT_EQ(money.load(), 0);
    EXPECT_FALSE(tryDebit(money, 1)) << "the money may not go below 0";
    EXPECT_EQ(money.load(), 0);
    money = 100;
    EXPECT_FALSE(tryDebit(money, -50)) << "a negative price would pay the player";
    EXPECT_FALSE(tryDebit(money, i64{1} << 32)) << "a price beyond 32 bits must not wrap to a small one";
    EXPECT_FALSE(tryDebit(money, (i64{1} << 32) + 50));
    EXPECT_EQ(money.load(), 100);
    EXPECT_TRUE(tryDebit(money, 0));
    EXPECT_EQ(money.load(), 100);

    EXPECT_TRUE(canAfford(100, 100, false));
    EXPECT_FALSE(canAfford(101, 100, false));
    EXPECT_TRUE(canAfford(101, 100, true)) << "cheats afford everything";
    EXPECT_FALSE(canAfford(i64{std::numeric_limits<u32>::max()}, std::numeric_limits<i32>::max(), false));
}

TEST(MoneyThreaded, DebitsAndRewardsOnFourThreadsLeaveExactMoney)
{
    // Two threads buy for 7 while two pay rewards of 3: nothing is lost, and no debit
    // takes the money below 0.
    std::atomic<i32> money{1000};
    std::atomic<i32> bought{0};
    std::atomic<bool> below{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; t++) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; i++) {
                if (tryDebit(money, 7)) bought.fetch_add(1);
                if (money.load() < 0) below = true;
            }
        });
        threads.emplace_back([&] {
            for (int i = 0; i < 5000; i++) money.fetch_add(3);
        });
    }
    for (std::thread& thread : threads) thread.join();
    while (tryDebit(money, 7)) bought.fetch_add(1);
    EXPECT_FALSE(below.load());
    EXPECT_LT(money.load(), 7);
    EXPECT_EQ(money.load(), 1000 + 2 * 5000 * 3 - bought.load() * 7);
}

TEST(BuildingPrices, SaleRepairAndUpgradePrices)
{
    // A damaged wall worth 250 (levels 0 and 1) sells for 200 and repairs for 50.
    const BuildingPrices damaged = pricesOf(wallAt(1, 100));
    EXPECT_TRUE(damaged.canSell);
    EXPECT_EQ(damaged.salePrice, 200);
    EXPECT_TRUE(damaged.canRepair);
    EXPECT_EQ(damaged.repairCost, 50);
    EXPECT_TRUE(damaged.canUpgrade);
    EXPECT_EQ(damaged.upgradeCost, 250) << "the next level's cost, not a difference of values";

    const BuildingPrices whole = pricesOf(wallAt(2, 1200));
    EXPECT_EQ(whole.salePrice, 500) << "an undamaged building sells for its full value";
    EXPECT_FALSE(whole.canRepair);
    EXPECT_FALSE(whole.canUpgrade);

    // The castle: never for sale, but its repair has a price.
    BuildingStanding castle;
    castle.typeIndex = BuildingTypeCastle;
    castle.health = 1000;
    castle.maxHealth = 5000;
    castle.value = 2500;
    const BuildingPrices castlePrices = pricesOf(castle);
    EXPECT_FALSE(castlePrices.canSell);
    EXPECT_TRUE(castlePrices.canRepair);
    EXPECT_EQ(castlePrices.repairCost, 500);
}

TEST(ToolPreviews, MessagesAndColoursOfEveryTool)
{
    // Placement: green; a taken cell; too little money, which wins over a taken cell.
    const ToolPreview valid = placementPreview(true, 100, 5000, false);
    EXPECT_TRUE(valid.shown);
    EXPECT_EQ(valid.message, "");
    EXPECT_EQ(valid.colour, ToolColours::Valid);
    EXPECT_EQ(placementPreview(false, 100, 5000, false).message, "Placement is invalid!");
    EXPECT_EQ(placementPreview(false, 100, 5000, false).colour, ToolColours::Refused);
    EXPECT_EQ(placementPreview(true, 800, 799, false).message, "Not enough money!");
    EXPECT_EQ(placementPreview(false, 800, 799, false).message, "Not enough money!");
    EXPECT_EQ(placementPreview(true, 800, 0, true).colour, ToolColours::Valid) << "cheats place for free";

    // Sell: the refund, always red; the castle shows nothing.
    EXPECT_EQ(sellPreview(wallAt(0, 300)).message, "Sell for 100$");
    EXPECT_EQ(sellPreview(wallAt(1, 10)).message, "Sell for 200$");
    EXPECT_EQ(sellPreview(wallAt(1, 10)).colour, ToolColours::Refused);
    BuildingStanding castle = wallAt(0, 300);
    castle.typeIndex = BuildingTypeCastle;
    EXPECT_FALSE(sellPreview(castle).shown);

    // Repair: full health, the price, too little money.
    EXPECT_EQ(repairPreview(wallAt(0, 300), 5000, false).message, "Already fully repaired!");
    EXPECT_EQ(repairPreview(wallAt(0, 300), 5000, false).colour, ToolColours::Refused);
    EXPECT_EQ(repairPreview(wallAt(1, 10), 5000, false).message, "Repair for 50$");
    EXPECT_EQ(repairPreview(wallAt(1, 10), 5000, false).colour, ToolColours::Valid);
    EXPECT_EQ(repairPreview(wallAt(1, 10), 49, false).message, "Not enough money!");
    EXPECT_EQ(repairPreview(wallAt(1, 10), 49, true).message, "Repair for 50$");

    // Upgrade: a level-0 building names level 2; the last level; too little money.
    EXPECT_EQ(upgradePreview(wallAt(0, 300), 5000, false).message, "Upgrade to level 2 (150$)");
    EXPECT_EQ(upgradePreview(wallAt(1, 600), 5000, false).message, "Upgrade to level 3 (250$)");
    EXPECT_EQ(upgradePreview(wallAt(2, 1200), 5000, false).message, "Already max level");
    EXPECT_EQ(upgradePreview(wallAt(2, 1200), 5000, false).colour, ToolColours::Refused);
    EXPECT_EQ(upgradePreview(wallAt(0, 300), 149, false).message, "Not enough money!");

    // A building already sold shows no preview at all.
    BuildingStanding sold = wallAt(1, 10);
    sold.going = true;
    EXPECT_FALSE(sellPreview(sold).shown);
    EXPECT_FALSE(repairPreview(sold, 5000, false).shown);
    EXPECT_FALSE(upgradePreview(sold, 5000, false).shown);
}

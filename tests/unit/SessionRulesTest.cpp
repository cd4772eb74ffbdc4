#include "Game/Session/BoundedDraw.h"
#include "Game/Session/SessionRules.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

TEST(SessionRules, WaveTable)
{
    struct Row {
        i32 wave, normal, heavy;
    };
    // Including the truncations (22, 49, 73, ...) and the cap at 500.
    const Row table[] = {
        {1, 10, 0},    {2, 15, 0},    {3, 22, 0},    {4, 33, 1},    {5, 49, 2},    {6, 73, 4},
        {7, 109, 8},   {8, 163, 14},  {9, 244, 23},  {10, 366, 37}, {11, 500, 57}, {12, 500, 77},
        {13, 500, 97}, {14, 500, 117}, {15, 500, 137}, {16, 500, 157}, {17, 500, 177},
    };
    WaveCounts counts;
    EXPECT_EQ(SessionRules::StartMoney, 5000);
    for (const Row& row : table) {
        SCOPED_TRACE(row.wave);
        EXPECT_EQ(counts.wave, row.wave);
        EXPECT_EQ(counts.normalCount, row.normal);
        EXPECT_EQ(counts.heavyCount, row.heavy);
        const WaveCounts direct = waveCounts(row.wave);
        EXPECT_EQ(direct.normalCount, row.normal);
        EXPECT_EQ(direct.heavyCount, row.heavy);
        counts = nextWave(counts);
    }
    // 20 more heavy per wave from then on.
    EXPECT_EQ(waveCounts(30).heavyCount, 137 + 15 * 20);
    EXPECT_EQ(waveCounts(30).normalCount, 500);

    // Each wave releases its enemies over 600 steps; from wave 14 on more than one per step.
    EXPECT_FLOAT_EQ(spawnRate(10, 0), 10.0f / 600.0f);
    EXPECT_LT(spawnRate(500, 97), 1.0f);
    EXPECT_GT(spawnRate(500, 117), 1.0f);

    // Ending wave 15 (the counter reaches 16) wins.
    EXPECT_FALSE(isWinningWave(15));
    EXPECT_TRUE(isWinningWave(16));
    EXPECT_TRUE(isWinningWave(40));
}

TEST(SessionRules, PricesAndRewards)
{
    // A building worth 250: whole value undamaged; damaged 250 - trunc(50) = 200.
    EXPECT_EQ(saleRefund(250, false), 250);
    EXPECT_EQ(saleRefund(250, true), 200);
    EXPECT_EQ(repairCost(250), 50);
    // The share is truncated: 20% of 1249 is 249.8.
    EXPECT_EQ(saleRefund(1249, true), 1000);
    EXPECT_EQ(repairCost(1249), 249);
    EXPECT_EQ(repairCost(4), 0);
    // Values beyond 32 bits stay exact.
    EXPECT_EQ(repairCost(10000000000), 2000000000);
    EXPECT_EQ(saleRefund(10000000000, true), 8000000000);

    EXPECT_EQ(killReward(0), 200);
    EXPECT_EQ(killReward(1), 2500);
    EXPECT_EQ(killReward(2), 0);
}

TEST(SessionRules, BoundedDraw)
{
    // 2^32 mod k: the low halves below it are drawn again.
    EXPECT_EQ(boundedDrawThreshold(140), 116u);
    EXPECT_EQ(boundedDrawThreshold(120), 16u);
    EXPECT_EQ(boundedDrawThreshold(90), 76u);
    EXPECT_EQ(boundedDrawThreshold(4), 0u);
    EXPECT_EQ(boundedDrawThreshold(1), 0u);

    // A scripted source: r = 0 gives the product 0, whose low half is below 116, so it
    // is drawn again; r = 2^32 - 1 gives high half 139 and low half 2^32 - 140.
    std::vector<u32> script{0u, 0xFFFFFFFFu};
    size_t next = 0;
    auto scripted = [&] { return next < script.size() ? script[next++] : 0xFFFFFFFFu; };
    EXPECT_EQ(boundedDraw(scripted, 140), 139u);
    EXPECT_EQ(next, 2u);
    // r = 2^31 gives exactly 70 * 2^32 (low half 0, drawn again); r = 2^31 + 1 leaves
    // the low half 140, just above the threshold.
    script = {0x80000000u, 0x80000001u};
    next = 0;
    EXPECT_EQ(boundedDraw(scripted, 140), 70u);
    EXPECT_EQ(next, 2u);
    // Nothing to choose from: no draw, 0.
    next = 0;
    EXPECT_EQ(boundedDraw(scripted, 0), 0u);
    EXPECT_EQ(next, 0u);

    // With the game's generator every result lies in range and every value turns up.
    std::mt19937 engine(9);
    std::vector<int> seen(7, 0);
    for (int i = 0; i < 7000; i++) {
        const u32 value = boundedDraw(engine, 7);
        ASSERT_LT(value, 7u);
        seen[value]++;
    }
    for (int count : seen) EXPECT_GT(count, 850);
}

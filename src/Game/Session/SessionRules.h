#pragma once

#include "Engine/Types.h"

// The economy and the waves of a running game, as numbers and pure functions of them.
namespace SessionRules {

// A new game.
constexpr i32 StartMoney = 5000;
constexpr i32 FirstWave = 1;
constexpr i32 FirstNormalCount = 10;
constexpr i32 FirstHeavyCount = 0;

// Growth from one wave to the next (single precision, as the counts are kept).
constexpr f32 NormalGrowth = 1.5f;
constexpr f32 MaxNormalCount = 500.0f;
constexpr i32 NormalPerHeavy = 25;     // heavy enemies added: the new normal count / 25
// A wave releases its enemies over this many wave steps (10 s at game speed 1).
constexpr f32 SpawnSteps = 600.0f;
// Ending wave 15 wins: the wave counter then reaches 16.
constexpr i32 WinningWave = 16;

// Prices, as shares of a building's value (the sum of its level costs).
constexpr f64 DamagedSaleLoss = 0.2;   // a damaged building sells for its value less this share
constexpr f64 RepairShare = 0.2;       // repairing costs this share of the value

// Kill rewards.
constexpr i32 NormalKillReward = 200;
constexpr i32 HeavyKillReward = 2500;

} // namespace SessionRules

// The sizes of one wave: its number and how many normal and heavy enemies it sends.
struct WaveCounts {
    i32 wave = SessionRules::FirstWave;
    i32 normalCount = SessionRules::FirstNormalCount;
    i32 heavyCount = SessionRules::FirstHeavyCount;
};

// The wave after `current`: normal = trunc(min(normal * 1.5, 500)) in single precision,
// heavy += the new normal / 25.
WaveCounts nextWave(const WaveCounts& current);

// The counts of wave `wave` (1 is the first), grown from the first wave.
WaveCounts waveCounts(i32 wave);

// Enemies released per wave step: (normal + heavy) / 600.
f32 spawnRate(i32 normalCount, i32 heavyCount);

// True once the wave counter has passed the last wave to win.
constexpr bool isWinningWave(i32 wave)
{
    return wave >= SessionRules::WinningWave;
}

// The money a sale pays: the whole value, or the value less trunc(value * 0.2) when
// the building is damaged.
i64 saleRefund(i64 value, bool damaged);

// The price of a repair: trunc(value * 0.2).
i64 repairCost(i64 value);

// The money a kill pays, by enemy type index (0 normal, 1 heavy); 0 for any other.
i32 killReward(u32 enemyTypeIndex);

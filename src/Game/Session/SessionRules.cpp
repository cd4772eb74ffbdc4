#include "Game/Session/SessionRules.h"

#include <algorithm>

WaveCounts nextWave(const WaveCounts& current)
{
    WaveCounts next;
    next.wave = current.wave + 1;
    const f32 grown = std::min(static_cast<f32>(current.normalCount) * SessionRules::NormalGrowth,
                               SessionRules::MaxNormalCount);
    next.normalCount = static_cast<i32>(grown);
    next.heavyCount = current.heavyCount + next.normalCount / SessionRules::NormalPerHeavy;
    return next;
}

WaveCounts waveCounts(i32 wave)
{
    WaveCounts counts;
    while (counts.wave < wave) counts = nextWave(counts);
    return counts;
}

f32 spawnRate(i32 normalCount, i32 heavyCount)
{
    return static_cast<f32>(normalCount + heavyCount) / SessionRules::SpawnSteps;
}

i64 saleRefund(i64 value, bool damaged)
{
    if (!damaged) return value;
    return value - static_cast<i64>(static_cast<f64>(value) * SessionRules::DamagedSaleLoss);
}

i64 repairCost(i64 value)
{
    return static_cast<i64>(static_cast<f64>(value) * SessionRules::RepairShare);
}

i32 killReward(u32 enemyTypeIndex)
{
    switch (enemyTypeIndex) {
    case 0: return SessionRules::NormalKillReward;
    case 1: return SessionRules::HeavyKillReward;
    default: return 0;
    }
}

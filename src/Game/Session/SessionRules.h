#pragma once

#include "Engine/Types.h"

// The rules of a game in progress, grouped by what they govern.

// A new game's purse and its first wave.
namespace SessionStartRules {
constexpr i32 StartMoney = 5000;
constexpr i32 FirstWave = 1;
constexpr i32 FirstWaveNormal = 10;
constexpr i32 FirstWaveHeavy = 0;
} // namespace SessionStartRules

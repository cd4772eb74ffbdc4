#pragma once

#include "Engine/Types.h"

#include <atomic>

// The session's money: one i32 cell that every thread changes only atomically (kill
// rewards on the physics and logic threads, sales and purchases on the main thread).
// Prices and money are compared in 64 bits, so no price can wrap the comparison.

// Whether a price of `cost` can be paid from `money` (always with cheats).
bool canAfford(i64 cost, i64 money, bool cheats);

// One checked debit: takes `cost` from `money` only if the money holds it at the moment
// it is taken (a compare-and-swap, so a reward or another purchase in between is never
// lost and the money never goes below what the check saw). False, and nothing taken,
// when the money does not hold it or the cost is negative or beyond the cell's range.
bool tryDebit(std::atomic<i32>& money, i64 cost);

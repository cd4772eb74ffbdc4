#include "Game/Session/Money.h"

#include <limits>

bool canAfford(i64 cost, i64 money, bool cheats)
{
    return cheats || cost <= money;
}

bool tryDebit(std::atomic<i32>& money, i64 cost)
{
    if (cost < 0 || cost > std::numeric_limits<i32>::max()) return false;
    i32 current = money.load();
    for (;;) {
        if (static_cast<i64>(current) < cost) return false;
        if (money.compare_exchange_weak(current, static_cast<i32>(static_cast<i64>(current) - cost))) return true;
    }
}

#pragma once

#include "Engine/Types.h"

// An unbiased draw in [0, k) from 32-bit random values: the high 32 bits of r * k,
// drawing r again while the low 32 bits of the product are below 2^32 mod k (the
// products that would favour the low results).

// 2^32 mod k: the smallest low half a product may have to be accepted. 0 for k = 0.
constexpr u32 boundedDrawThreshold(u32 k)
{
    return k == 0 ? 0u : static_cast<u32>((u64{1} << 32) % k);
}

// `next` returns the generator's next 32-bit value (std::mt19937 does). k = 0 draws
// nothing and gives 0: callers with nothing to choose from must not use the result.
template <typename Generator>
u32 boundedDraw(Generator& next, u32 k)
{
    if (k == 0) return 0;
    const u32 threshold = boundedDrawThreshold(k);
    for (;;) {
        const u64 product = static_cast<u64>(static_cast<u32>(next())) * k;
        if (static_cast<u32>(product) >= threshold) return static_cast<u32>(product >> 32);
    }
}

#pragma once

#include "Engine/Types.h"

#include <random>

// The program's Mersenne-Twister source. Draws are made from the generator's raw
// 32-bit outputs, so one seed gives the same sequence with every standard library.
class Random {
public:
    std::mt19937 engine;

    // A negative seed takes the seed from the clock (seconds, truncated to 32 bits).
    explicit Random(i32 seed);

    // a + (b - a) * u, u in [0, 1) from two successive outputs w1, w2:
    // (w1 + w2 * 2^32) / 2^64, as std::generate_canonical<double, 64> computes it.
    static f64 uniform(f64 a, f64 b, std::mt19937& engine);
    f64 uniform(f64 a, f64 b) { return uniform(a, b, engine); }
    // u in [0, 1) from one output.
    f32 unitFloat();
};

// u * (hi - lo) + lo from the global random source, u in [0, 1).
f64 randomRange(f64 lo, f64 hi);

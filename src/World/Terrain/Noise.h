#pragma once

#include "Engine/Types.h"

#include <memory>

class Random;

// Seeded 3D simplex noise. The permutation table is 256 draws of the seeded generator
// (top 8 bits each), not a shuffle: values may repeat and others be missing.
class Noise {
public:
    static constexpr u32 PermutationSize = 512;
    static constexpr u32 GradientCount = 288; // the 12 edge directions, 24 times

    f32 G3 = 1.0f / 6.0f;        // unskew factor
    f32 G3Twice = 1.0f / 3.0f;   // 2 * G3
    f32 G3ThriceMinusOne = -0.5f; // 3 * G3 - 1
    f32 F3 = 1.0f / 3.0f;        // skew factor
    std::unique_ptr<Random> random;
    i32 permutation[PermutationSize]{};
    i32 gradients[GradientCount][3]{};

    explicit Noise(i32 seed);
    ~Noise();
    Noise(const Noise&) = delete;
    Noise& operator=(const Noise&) = delete;

    // One unscaled simplex sample.
    f32 simplex3(f32 x, f32 y, f32 z) const;
    // Octaves of simplex3 at doubling frequency, amplitude times `persistence` each,
    // scaled by 32 and divided by the sum of the amplitudes. octaves >= 1.
    f32 fbm(f32 x, f32 y, f32 z, i32 octaves, f32 persistence) const;
};

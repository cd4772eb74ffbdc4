#pragma once

#include "Engine/Types.h"

class Noise;

// Terrace-like layers built from the terrain's noise.
class NoiseLayers {
public:
    const Noise* noise = nullptr;

    explicit NoiseLayers(const Noise* noise) : noise(noise) {}

    // Sum of `octaves` saturating steps: octave i takes n = fbm(f*x, 10*i, f*z, 6,
    // persistence) + bias and adds (16^-|n*s| - 1) * sign(n) * a, with f doubling,
    // s halving from `scale` and a shrinking by `gain` from `gain`. 0 for octaves < 1.
    f32 shapedOctaves(f32 x, f32 z, f32 scale, i32 octaves, f32 gain, f32 persistence, f32 bias) const;
};

#include "World/Terrain/Noise.h"

#include "Engine/Camera/Random.h"

#include <cmath>

namespace {

constexpr i32 EdgeDirections[12][3] = {
    {1, 1, 0}, {-1, 1, 0}, {1, -1, 0}, {-1, -1, 0}, {1, 0, 1}, {-1, 0, 1},
    {1, 0, -1}, {-1, 0, -1}, {0, 1, 1}, {0, -1, 1}, {0, 1, -1}, {0, -1, -1},
};

// floor for values in the i32 range, exact also for negative integers.
inline i32 floorToInt(f32 v)
{
    i32 t = static_cast<i32>(v);
    return v < static_cast<f32>(t) ? t - 1 : t;
}

inline f32 corner(const i32* g, f32 x, f32 y, f32 z)
{
    f32 t = 0.5f - x * x - y * y - z * z;
    if (t < 0.0f) return 0.0f;
    t *= t;
    return t * t * (static_cast<f32>(g[0]) * x + static_cast<f32>(g[1]) * y + static_cast<f32>(g[2]) * z);
}

} // namespace

Noise::Noise(i32 seed) : random(std::make_unique<Random>(seed))
{
    for (u32 k = 0; k < GradientCount; k++) {
        for (u32 axis = 0; axis < 3; axis++) gradients[k][axis] = EdgeDirections[k % 12][axis];
    }
    i32 p[256];
    for (i32& value : p) value = static_cast<i32>(random->engine() >> 24);
    for (u32 k = 0; k < PermutationSize; k++) permutation[k] = p[k % 256];
}

Noise::~Noise() = default;

f32 Noise::simplex3(f32 x, f32 y, f32 z) const
{
    // Skew into the simplex lattice and find the cell's origin corner.
    f32 s = (x + y + z) * F3;
    i32 i = floorToInt(x + s);
    i32 j = floorToInt(y + s);
    i32 k = floorToInt(z + s);
    f32 t = static_cast<f32>(i + j + k) * G3;
    f32 x0 = x - static_cast<f32>(i) + t;
    f32 y0 = y - static_cast<f32>(j) + t;
    f32 z0 = z - static_cast<f32>(k) + t;

    // Which of the six tetrahedra of the cell holds the point.
    i32 i1, j1, k1, i2, j2, k2;
    if (x0 >= y0) {
        if (y0 >= z0) { i1 = 1; j1 = 0; k1 = 0; i2 = 1; j2 = 1; k2 = 0; }
        else if (x0 >= z0) { i1 = 1; j1 = 0; k1 = 0; i2 = 1; j2 = 0; k2 = 1; }
        else { i1 = 0; j1 = 0; k1 = 1; i2 = 1; j2 = 0; k2 = 1; }
    } else {
        if (z0 > y0) { i1 = 0; j1 = 0; k1 = 1; i2 = 0; j2 = 1; k2 = 1; }
        else if (z0 > x0) { i1 = 0; j1 = 1; k1 = 0; i2 = 0; j2 = 1; k2 = 1; }
        else { i1 = 0; j1 = 1; k1 = 0; i2 = 1; j2 = 1; k2 = 0; }
    }

    f32 x1 = x0 - static_cast<f32>(i1) + G3;
    f32 y1 = y0 - static_cast<f32>(j1) + G3;
    f32 z1 = z0 - static_cast<f32>(k1) + G3;
    f32 x2 = x0 - static_cast<f32>(i2) + G3Twice;
    f32 y2 = y0 - static_cast<f32>(j2) + G3Twice;
    f32 z2 = z0 - static_cast<f32>(k2) + G3Twice;
    f32 x3 = x0 + G3ThriceMinusOne;
    f32 y3 = y0 + G3ThriceMinusOne;
    f32 z3 = z0 + G3ThriceMinusOne;

    i32 ii = i & 255;
    i32 jj = j & 255;
    i32 kk = k & 255;
    const i32* perm = permutation;
    i32 h0 = perm[ii + perm[jj + perm[kk]]];
    i32 h1 = perm[ii + i1 + perm[jj + j1 + perm[kk + k1]]];
    i32 h2 = perm[ii + i2 + perm[jj + j2 + perm[kk + k2]]];
    i32 h3 = perm[ii + 1 + perm[jj + 1 + perm[kk + 1]]];

    f32 n0 = corner(gradients[h0], x0, y0, z0);
    f32 n1 = corner(gradients[h1], x1, y1, z1);
    f32 n2 = corner(gradients[h2], x2, y2, z2);
    f32 n3 = corner(gradients[h3], x3, y3, z3);
    return n0 + n1 + n2 + n3;
}

f32 Noise::fbm(f32 x, f32 y, f32 z, i32 octaves, f32 persistence) const
{
    f32 frequency = 1.0f;
    f32 amplitude = 1.0f;
    f32 sum = 0.0f;
    f32 norm = 0.0f;
    for (i32 octave = 0; octave < octaves; octave++) {
        sum += simplex3(frequency * x, frequency * y, frequency * z) * amplitude;
        norm += amplitude;
        amplitude *= persistence;
        frequency *= 2.0f;
    }
    return sum * 32.0f / norm;
}

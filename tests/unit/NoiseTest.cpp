#include "Engine/Camera/Random.h"
#include "World/Terrain/Noise.h"
#include "World/Terrain/NoiseLayers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

TEST(Noise, TablesComeFromTheSeededGenerator)
{
    Noise noise(1234);
    std::mt19937 reference(1234);
    i32 p[256];
    for (i32& value : p) value = static_cast<i32>(reference() >> 24);
    for (u32 k = 0; k < 512; k++) ASSERT_EQ(noise.permutation[k], p[k % 256]) << k;

    // Every hash 0..255 selects edge direction h mod 12, so the table repeats.
    const i32 first[3] = {1, 1, 0};
    const i32 twelfth[3] = {0, -1, -1};
    for (u32 h = 0; h < 288; h++) {
        for (u32 axis = 0; axis < 3; axis++) ASSERT_EQ(noise.gradients[h][axis], noise.gradients[h % 12][axis]);
    }
    for (u32 axis = 0; axis < 3; axis++) {
        EXPECT_EQ(noise.gradients[0][axis], first[axis]);
        EXPECT_EQ(noise.gradients[11][axis], twelfth[axis]);
    }
    EXPECT_FLOAT_EQ(noise.G3, 1.0f / 6.0f);
    EXPECT_FLOAT_EQ(noise.G3Twice, 1.0f / 3.0f);
    EXPECT_EQ(noise.G3ThriceMinusOne, -0.5f);
    EXPECT_FLOAT_EQ(noise.F3, 1.0f / 3.0f);

    // The table is made of raw draws, not a shuffle: with this many draws some value repeats.
    bool seen[256] = {};
    bool repeated = false;
    for (i32 value : p) {
        repeated = repeated || seen[value];
        seen[value] = true;
    }
    EXPECT_TRUE(repeated);
}

TEST(Noise, SimplexIsZeroOnLatticePointsAndBounded)
{
    Noise noise(7);
    EXPECT_EQ(noise.simplex3(0.0f, 0.0f, 0.0f), 0.0f);
    // Every lattice point is a simplex corner with all offsets zero.
    EXPECT_EQ(noise.simplex3(3.0f, -2.0f, 5.0f), 0.0f);

    f32 lowest = 0.0f, highest = 0.0f;
    Random positions(99);
    for (int i = 0; i < 20000; i++) {
        f32 x = static_cast<f32>(positions.uniform(-50.0, 50.0));
        f32 y = static_cast<f32>(positions.uniform(-50.0, 50.0));
        f32 z = static_cast<f32>(positions.uniform(-50.0, 50.0));
        f32 v = noise.simplex3(x, y, z);
        ASSERT_TRUE(std::isfinite(v));
        lowest = std::min(lowest, v);
        highest = std::max(highest, v);
    }
    // Unscaled simplex stays well inside +-1/32 * 1.1 and takes both signs.
    EXPECT_LT(highest, 0.035f);
    EXPECT_GT(lowest, -0.035f);
    EXPECT_GT(highest, 0.01f);
    EXPECT_LT(lowest, -0.01f);

    // Negative coordinates floor correctly: the noise is continuous across 0.
    f32 left = noise.simplex3(-1e-4f, 0.3f, 0.7f);
    f32 right = noise.simplex3(1e-4f, 0.3f, 0.7f);
    EXPECT_NEAR(left, right, 1e-4f);
}

TEST(Noise, FractalSumScalesAndNormalises)
{
    Noise noise(3);
    const f32 x = 0.37f, y = 12.0f, z = -4.25f;
    EXPECT_EQ(noise.fbm(x, y, z, 1, 0.5f), noise.simplex3(x, y, z) * 32.0f / 1.0f);

    // Two octaves: the second at twice the frequency in all three coordinates.
    f32 sum = noise.simplex3(x, y, z) * 1.0f;
    sum += noise.simplex3(2.0f * x, 2.0f * y, 2.0f * z) * 0.4f;
    EXPECT_EQ(noise.fbm(x, y, z, 2, 0.4f), sum * 32.0f / 1.4f);

    // Same seed, same values; another seed, other values.
    Noise again(3), other(4);
    EXPECT_EQ(again.fbm(x, y, z, 7, 0.4f), noise.fbm(x, y, z, 7, 0.4f));
    EXPECT_NE(other.fbm(x, y, z, 7, 0.4f), noise.fbm(x, y, z, 7, 0.4f));
}

TEST(Noise, ShapedOctavesAreSaturatingStepsAgainstTheNoiseSign)
{
    Noise noise(11);
    NoiseLayers layers(&noise);
    EXPECT_EQ(layers.shapedOctaves(0.3f, 0.6f, 3.0f, 0, 1.0f, 0.35f, 0.0f), 0.0f);
    EXPECT_EQ(layers.shapedOctaves(0.3f, 0.6f, 3.0f, -2, 1.0f, 0.35f, 0.0f), 0.0f);

    // One octave by hand: n = fbm(x, 0, z, 6, p) + bias.
    const f32 x = 0.3f, z = 0.6f;
    f32 n = noise.fbm(x, 0.0f, z, 6, 0.35f) + 0.03f;
    f32 sign = n > 0 ? 1.0f : -1.0f;
    f32 expected = (std::pow(16.0f, -std::fabs(n * 3.0f)) - 1.0f) * sign * 0.7f;
    EXPECT_EQ(layers.shapedOctaves(x, z, 3.0f, 1, 0.7f, 0.35f, 0.03f), expected);

    // Two octaves: the second at twice the frequency, slice 10, half the sharpness,
    // gain squared.
    f32 n2 = noise.fbm(2.0f * x, 10.0f, 2.0f * z, 6, 0.35f) + 0.03f;
    f32 sign2 = n2 > 0 ? 1.0f : (n2 < 0 ? -1.0f : 0.0f);
    f32 expected2 = expected + (std::pow(16.0f, -std::fabs(n2 * 1.5f)) - 1.0f) * sign2 * 0.49f;
    EXPECT_EQ(layers.shapedOctaves(x, z, 3.0f, 2, 0.7f, 0.35f, 0.03f), expected2);

    // Magnitude at most gain per octave, and exactly 0 where n is 0 (bias cancels a zero sample).
    for (int i = 0; i < 200; i++) {
        f32 v = layers.shapedOctaves(0.01f * i, 0.02f * i, 120.0f, 3, 0.4f, 0.42f, 0.0f);
        ASSERT_LE(std::fabs(v), 0.4f + 0.16f + 0.064f);
    }
    EXPECT_EQ(layers.shapedOctaves(0.0f, 0.0f, 3.0f, 1, 1.0f, 0.35f, 0.0f), 0.0f);
}

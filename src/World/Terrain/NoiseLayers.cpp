#include "World/Terrain/NoiseLayers.h"

#include "World/Terrain/Noise.h"

#include <cmath>

namespace {

constexpr i32 LayerOctaves = 6;
constexpr f32 SliceSpacing = 10.0f; // each octave reads its own slice of the noise

inline f32 sign(f32 v)
{
    return v > 0.0f ? 1.0f : (v < 0.0f ? -1.0f : 0.0f);
}

} // namespace

f32 NoiseLayers::shapedOctaves(f32 x, f32 z, f32 scale, i32 octaves, f32 gain, f32 persistence, f32 bias) const
{
    f32 frequency = 1.0f;
    f32 sharpness = scale;
    f32 amplitude = gain;
    f32 sum = 0.0f;
    for (i32 octave = 0; octave < octaves; octave++) {
        f32 n = noise->fbm(frequency * x, SliceSpacing * static_cast<f32>(octave), frequency * z, LayerOctaves,
                           persistence) + bias;
        sum += (std::pow(16.0f, -std::fabs(n * sharpness)) - 1.0f) * sign(n) * amplitude;
        sharpness *= 0.5f;
        frequency *= 2.0f;
        amplitude *= gain;
    }
    return sum;
}

#include "SkyTexture.h"

#include "Engine/Image/Dds.h"

#include <algorithm>
#include <cmath>
#include <numbers>

u64 skyHash(u64 value)
{
    value += 0x9E3779B97F4A7C15ull;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
    return value ^ (value >> 31);
}

f32 skyUnit(u64 value)
{
    return static_cast<f32>(skyHash(value) >> 40) / static_cast<f32>(1ull << 24);
}

glm::vec3 SkyRandom::direction()
{
    const f32 z = 2.0f * next() - 1.0f;
    const f32 angle = 2.0f * std::numbers::pi_v<f32> * next();
    const f32 r = std::sqrt(std::max(0.0f, 1.0f - z * z));
    return {r * std::cos(angle), r * std::sin(angle), z};
}

namespace {

f32 latticeValue(i32 x, i32 y, i32 z, u32 seed)
{
    u64 key = (static_cast<u64>(static_cast<u32>(x)) * 73856093ull) ^
              (static_cast<u64>(static_cast<u32>(y)) * 19349663ull << 20) ^
              (static_cast<u64>(static_cast<u32>(z)) * 83492791ull << 40) ^ (static_cast<u64>(seed) << 32);
    return skyUnit(key) * 2.0f - 1.0f;
}

f32 smooth(f32 t)
{
    return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f);
}

} // namespace

f32 valueNoise(glm::vec3 p, u32 seed)
{
    const glm::vec3 cell = glm::floor(p);
    const glm::vec3 f = p - cell;
    const i32 x = static_cast<i32>(cell.x), y = static_cast<i32>(cell.y), z = static_cast<i32>(cell.z);
    const f32 u = smooth(f.x), v = smooth(f.y), w = smooth(f.z);
    auto lerp = [](f32 a, f32 b, f32 t) { return a + (b - a) * t; };
    const f32 x00 = lerp(latticeValue(x, y, z, seed), latticeValue(x + 1, y, z, seed), u);
    const f32 x10 = lerp(latticeValue(x, y + 1, z, seed), latticeValue(x + 1, y + 1, z, seed), u);
    const f32 x01 = lerp(latticeValue(x, y, z + 1, seed), latticeValue(x + 1, y, z + 1, seed), u);
    const f32 x11 = lerp(latticeValue(x, y + 1, z + 1, seed), latticeValue(x + 1, y + 1, z + 1, seed), u);
    return lerp(lerp(x00, x10, v), lerp(x01, x11, v), w);
}

f32 fractalNoise(glm::vec3 p, u32 octaves, f32 gain, u32 seed)
{
    f32 sum = 0.0f, amplitude = 1.0f, total = 0.0f;
    for (u32 octave = 0; octave < octaves; octave++) {
        sum += amplitude * valueNoise(p, seed + octave * 101u);
        total += amplitude;
        amplitude *= gain;
        // Each octave is also turned a little, so the lattices do not line up.
        p = glm::vec3(p.x * 1.6f + p.z * 1.2f, p.y * 2.0f, p.z * 1.6f - p.x * 1.2f) + glm::vec3(17.3f, 5.1f, 9.7f);
    }
    return sum / total;
}

SkyImage halveImage(const SkyImage& image)
{
    SkyImage half(std::max(1u, image.width / 2), std::max(1u, image.height / 2));
    for (u32 y = 0; y < half.height; y++) {
        for (u32 x = 0; x < half.width; x++) {
            glm::vec3 sum(0.0f);
            u32 count = 0;
            for (u32 dy = 0; dy < 2; dy++) {
                for (u32 dx = 0; dx < 2; dx++) {
                    const u32 sx = 2 * x + dx, sy = 2 * y + dy;
                    if (sx < image.width && sy < image.height) {
                        sum += image.at(sx, sy);
                        count++;
                    }
                }
            }
            half.at(x, y) = sum / static_cast<f32>(count);
        }
    }
    return half;
}

std::vector<u8> imageToBgra(const SkyImage& image, SkyEncoding encoding)
{
    std::vector<u8> bytes(image.pixels.size() * 4);
    auto byte = [encoding](f32 v, u64 noiseKey) {
        v = std::clamp(v, 0.0f, 1.0f);
        if (encoding == SkyEncoding::SquareRoot) v = std::sqrt(v);
        const f32 dither = skyUnit(noiseKey) - 0.5f;
        return static_cast<u8>(std::clamp(std::floor(v * 255.0f + 0.5f + dither), 0.0f, 255.0f));
    };
    for (size_t i = 0; i < image.pixels.size(); i++) {
        const glm::vec3& p = image.pixels[i];
        bytes[4 * i + 0] = byte(p.b, 3 * i);
        bytes[4 * i + 1] = byte(p.g, 3 * i + 1);
        bytes[4 * i + 2] = byte(p.r, 3 * i + 2);
        bytes[4 * i + 3] = 255;
    }
    return bytes;
}

bool writeSkyDds(const std::string& path, const std::vector<SkyImage>& levels, SkyEncoding encoding,
                 std::string* error)
{
    DdsTexture texture;
    texture.format = DdsFormat::B8G8R8A8Unorm;
    texture.width = levels.front().width;
    texture.height = levels.front().height;
    for (const SkyImage& level : levels) {
        texture.levels.push_back({level.width, level.height, imageToBgra(level, encoding)});
    }
    return writeDds(path, texture, error);
}

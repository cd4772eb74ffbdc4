#include "SkyStone.h"

#include <algorithm>
#include <cmath>

namespace {

// The masonry, in texture units (the frame's front spans the whole texture).
namespace Masonry {
constexpr u32 Courses = 12;            // rows of blocks
constexpr f32 MinBlock = 0.11f;        // block lengths
constexpr f32 MaxBlock = 0.24f;
constexpr f32 Joint = 0.0055f;         // half width of a mortar joint
constexpr f32 Bevel = 0.012f;          // width of a block's worn, rounded edge
} // namespace Masonry

// Colours as sRGB bytes, stored linear.
glm::vec3 linearOf(int r, int g, int b)
{
    auto channel = [](int c) {
        const f32 v = static_cast<f32>(c) / 255.0f;
        return v <= 0.04045f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f);
    };
    return {channel(r), channel(g), channel(b)};
}

struct StonePalette {
    glm::vec3 stone = linearOf(110, 104, 120);   // violet-grey
    glm::vec3 coolStone = linearOf(96, 96, 110);
    glm::vec3 warmStone = linearOf(122, 108, 120);
    glm::vec3 joint = linearOf(44, 40, 48);
    glm::vec3 grime = linearOf(46, 42, 50);
    glm::vec3 lichen = linearOf(104, 112, 92);
};

// The block under a texture point: its id and the distances to its four sides.
struct BlockHit {
    u64 id = 0;
    f32 left = 0, right = 0, top = 0, bottom = 0;
};

BlockHit blockAt(f32 u, f32 v, u64 seed)
{
    using namespace Masonry;
    const f32 course = 1.0f / static_cast<f32>(Courses);
    const u32 row = std::min(static_cast<u32>(v / course), Courses - 1);
    BlockHit hit;
    hit.top = v - static_cast<f32>(row) * course;
    hit.bottom = static_cast<f32>(row + 1) * course - v;
    // Walk the row's blocks from a shifted start so that joints never line up.
    f32 start = -skyUnit(seed ^ (row * 7919ull)) * MaxBlock;
    u32 index = 0;
    while (true) {
        const f32 length = MinBlock + (MaxBlock - MinBlock) * skyUnit(seed + row * 1000ull + index * 17ull + 5ull);
        if (u < start + length || index > 64) {
            hit.left = u - start;
            hit.right = start + length - u;
            hit.id = skyHash(seed + row * 131ull + index);
            return hit;
        }
        start += length;
        index++;
    }
}

} // namespace

SkyImage renderFrameStone(u32 size, u64 seed)
{
    using namespace Masonry;
    const StonePalette palette;
    SkyImage image(size, size);
    const f32 texel = 1.0f / static_cast<f32>(size);
    for (u32 y = 0; y < size; y++) {
        for (u32 x = 0; x < size; x++) {
            const f32 u = (static_cast<f32>(x) + 0.5f) * texel;
            const f32 v = (static_cast<f32>(y) + 0.5f) * texel;
            const glm::vec3 p(u * 8.0f, v * 8.0f, 0.0f);

            // Joints wander a little, as hand-dressed stone does.
            const f32 wobble = 0.004f * fractalNoise(p * 4.0f, 3, 0.5f, 3u);
            const BlockHit block = blockAt(u + wobble, v + wobble * 0.5f, seed);
            const f32 edge = std::min(std::min(block.left, block.right), std::min(block.top, block.bottom));
            const f32 worn = edge + 0.006f * fractalNoise(p * 9.0f, 3, 0.5f, 7u);

            // Each block its own shade between cool and warm, a little lighter or darker.
            const f32 tone = skyUnit(block.id);
            const f32 shade = 0.82f + 0.3f * skyUnit(block.id >> 7);
            glm::vec3 color = tone < 0.5f ? glm::mix(palette.coolStone, palette.stone, tone * 2.0f)
                                          : glm::mix(palette.stone, palette.warmStone, tone * 2.0f - 1.0f);
            color *= shade;

            // The stone's own grain, pits and a few cracks.
            const f32 grain = fractalNoise(p * 6.0f + glm::vec3(0.0f, 0.0f, static_cast<f32>(block.id % 97)), 5, 0.55f, 13u);
            const f32 mottle = fractalNoise(p * 1.2f, 4, 0.5f, 43u);
            color *= (1.0f + 0.3f * grain) * (1.0f + 0.3f * mottle);
            // Weathered faces bleach in pale patches.
            const f32 bleach = std::clamp((fractalNoise(p * 2.5f, 4, 0.5f, 47u) - 0.2f) * 3.0f, 0.0f, 1.0f);
            color = glm::mix(color, color * 1.35f + glm::vec3(0.02f), bleach * 0.5f);
            const f32 pits = valueNoise(p * 60.0f, 17u);
            if (pits > 0.62f) color *= 0.72f;
            const f32 crack = std::abs(fractalNoise(p * 3.0f + glm::vec3(static_cast<f32>(block.id % 13)), 4, 0.5f, 19u));
            if (crack < 0.018f && skyUnit(block.id >> 13) < 0.35f) color *= 0.55f;

            // Rain has washed grime down the face in streaks; lichen in damp patches.
            const f32 streaks = 0.5f + 0.5f * fractalNoise(glm::vec3(u * 40.0f, v * 3.0f, 0.5f), 4, 0.5f, 29u);
            const f32 grime = std::clamp(streaks * 0.9f + 0.6f * v - 0.5f, 0.0f, 1.0f);
            color = glm::mix(color, palette.grime, grime * 0.65f);
            // Dirt gathers along the joints.
            color *= 0.7f + 0.3f * std::clamp(worn / (3.0f * Bevel), 0.0f, 1.0f);
            const f32 damp = fractalNoise(p * 1.5f, 4, 0.5f, 37u);
            const f32 lichen = std::clamp((damp - 0.25f) * 4.0f, 0.0f, 1.0f) * (0.5f + 0.5f * valueNoise(p * 30.0f, 41u));
            color = glm::mix(color, palette.lichen, lichen * 0.35f);

            // Worn edges catch the light on top and fall into shade below.
            if (worn < Bevel) {
                const f32 t = std::clamp(worn / Bevel, 0.0f, 1.0f);
                const f32 light = block.top < block.bottom && block.top <= edge + 1e-6f ? 1.12f : 0.8f;
                color *= glm::mix(light, 1.0f, t);
            }
            // The mortar joint, recessed and dark, softened over a texel.
            const f32 mortar = std::clamp((Joint - worn) / texel + 0.5f, 0.0f, 1.0f);
            const glm::vec3 joint = palette.joint * (0.85f + 0.3f * (0.5f + 0.5f * grain));
            color = glm::mix(color, joint, mortar);

            image.at(x, y) = glm::clamp(color, glm::vec3(0.0f), glm::vec3(1.0f));
        }
    }
    return image;
}

std::vector<SkyImage> mipChain(SkyImage level0)
{
    std::vector<SkyImage> levels;
    levels.push_back(std::move(level0));
    while (levels.back().width > 1 || levels.back().height > 1) levels.push_back(halveImage(levels.back()));
    return levels;
}

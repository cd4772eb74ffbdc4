#include "SkyStars.h"

#include <algorithm>
#include <cmath>

namespace {

// The star population.
namespace Stars {
constexpr u32 FieldCount = 7000;     // spread evenly over the sky
constexpr u32 BandCount = 9000;      // crowded towards the band of the galaxy
constexpr f32 FaintestPeak = 0.04f;  // peak texel value of the faintest star
constexpr f32 BrightestPeak = 1.6f;  // a few stars saturate and bloom
// Brightness follows a power law: many faint stars, few bright ones.
constexpr f32 BrightnessExponent = 1.7f;
constexpr f32 CoreWidth = 0.55f;     // Gaussian sigma in texels of a faint star
constexpr f32 HaloWidth = 2.6f;      // sigma in texels of a bright star's halo
constexpr f32 HaloShare = 0.06f;     // the halo's peak against the core's
} // namespace Stars

// The galaxy's band: a great circle tilted against the sun's path.
namespace Band {
const glm::vec3 Normal = glm::normalize(glm::vec3(0.35f, 0.55f, 0.76f));
constexpr f32 Width = 0.2f;          // sine of the band's half width
constexpr f32 Glow = 0.022f;         // brightest glow of the band
constexpr f32 LaneWidth = 0.045f;    // the dark dust lane along its middle
const glm::vec3 Color{0.92f, 0.9f, 1.0f};
// Faint coloured clouds over the rest of the sky.
constexpr f32 NebulaGlow = 0.006f;
} // namespace Band

// Star tints by how often they occur: blue-white, white, yellow-white, orange, red.
struct StarTint {
    f32 share;
    glm::vec3 color;
};
constexpr StarTint Tints[] = {
    {0.12f, {0.72f, 0.82f, 1.0f}}, {0.43f, {1.0f, 1.0f, 1.0f}}, {0.28f, {1.0f, 0.94f, 0.8f}},
    {0.12f, {1.0f, 0.78f, 0.56f}}, {0.05f, {1.0f, 0.62f, 0.48f}},
};

glm::vec3 tintOf(f32 u)
{
    for (const StarTint& tint : Tints) {
        if (u < tint.share) return tint.color;
        u -= tint.share;
    }
    return Tints[1].color;
}

struct Star {
    glm::vec3 direction;
    glm::vec3 color; // peak value per channel
    f32 sigma;       // radians
    f32 halo;        // peak of the halo against the core, 0 for none
};

// Adds a star's light to every texel near it on every face it reaches, by the true
// angle between the texel's direction and the star's, so a star on an edge or a
// corner lies on both sides of it alike.
void splatStar(std::array<SkyImage, CubeFaceCount>& faces, u32 size, const Star& star)
{
    const f32 texelAngle = 2.0f / static_cast<f32>(size);
    const f32 reach = star.sigma * (star.halo > 0.0f ? Stars::HaloWidth / Stars::CoreWidth * 3.0f : 3.5f);
    // Texels towards a face's corners cover down to a third of the angle of those at
    // its centre.
    const i32 radius = static_cast<i32>(std::ceil(3.0f * reach / texelAngle)) + 1;
    for (u32 face = 0; face < CubeFaceCount; face++) {
        // Where the star's ray crosses this face's plane, also beyond the face's square.
        glm::vec2 st;
        if (!projectOntoFace(face, star.direction, &st)) continue;
        const f32 px = st.x * static_cast<f32>(size);
        const f32 py = st.y * static_cast<f32>(size);
        // Far off this face (a star almost parallel to its plane projects very far).
        const f32 margin = static_cast<f32>(radius + 1);
        if (px < -margin || py < -margin || px > static_cast<f32>(size) + margin || py > static_cast<f32>(size) + margin) {
            continue;
        }
        const i32 cx = static_cast<i32>(std::floor(px)), cy = static_cast<i32>(std::floor(py));
        const i32 last = static_cast<i32>(size) - 1;
        for (i32 y = std::max(cy - radius, 0); y <= std::min(cy + radius, last); y++) {
            for (i32 x = std::max(cx - radius, 0); x <= std::min(cx + radius, last); x++) {
                const glm::vec3 d = cubeTexelDirection(face, static_cast<u32>(x), static_cast<u32>(y), size);
                const f32 angle = glm::length(d - star.direction); // the chord: the angle for small ones
                const f32 core = std::exp(-0.5f * angle * angle / (star.sigma * star.sigma));
                f32 light = core;
                if (star.halo > 0.0f) {
                    const f32 haloSigma = star.sigma * Stars::HaloWidth / Stars::CoreWidth;
                    light += star.halo * std::exp(-0.5f * angle * angle / (haloSigma * haloSigma));
                }
                if (light > 1e-4f) faces[face].at(static_cast<u32>(x), static_cast<u32>(y)) += star.color * light;
            }
        }
    }
}

Star makeStar(SkyRandom& random, glm::vec3 direction, u32 size)
{
    const f32 texelAngle = 2.0f / static_cast<f32>(size);
    // A power law: the number of stars brighter than b falls as b^-exponent.
    const f32 u = std::max(random.next(), 1e-6f);
    const f32 peak = std::min(Stars::FaintestPeak * std::pow(u, -1.0f / Stars::BrightnessExponent), Stars::BrightestPeak);
    const f32 bright = std::clamp((peak - 0.4f) / 1.2f, 0.0f, 1.0f);
    Star star;
    star.direction = direction;
    star.color = tintOf(random.next()) * peak;
    star.sigma = texelAngle * (Stars::CoreWidth + 0.45f * bright);
    star.halo = bright > 0.0f ? Stars::HaloShare * bright : 0.0f;
    return star;
}

// The galaxy's glow and the faint clouds at a direction.
glm::vec3 skyGlow(glm::vec3 d)
{
    const f32 offBand = glm::dot(d, Band::Normal);
    const f32 band = std::exp(-(offBand * offBand) / (Band::Width * Band::Width));
    glm::vec3 glow(0.0f);
    if (band > 1e-4f) {
        const f32 clouds = 0.5f + 0.5f * fractalNoise(d * 5.0f, 5, 0.55f, 11u);
        const f32 knots = std::pow(std::max(0.0f, fractalNoise(d * 11.0f, 4, 0.5f, 23u)), 2.0f);
        const f32 lane = std::exp(-(offBand - 0.02f) * (offBand - 0.02f) / (Band::LaneWidth * Band::LaneWidth));
        const f32 dust = 1.0f - 0.75f * lane * (0.6f + 0.4f * fractalNoise(d * 9.0f, 3, 0.5f, 31u));
        glow += Band::Color * Band::Glow * band * (0.35f + clouds + 1.5f * knots) * dust;
    }
    const f32 nebula = std::max(0.0f, fractalNoise(d * 2.5f, 4, 0.5f, 47u));
    const f32 hue = 0.5f + 0.5f * valueNoise(d * 1.7f, 53u);
    glow += glm::mix(glm::vec3(0.5f, 0.35f, 1.0f), glm::vec3(0.3f, 0.6f, 1.0f), hue) * Band::NebulaGlow * nebula * nebula;
    return glow;
}

} // namespace

glm::vec3 cubeTexelDirection(u32 face, u32 x, u32 y, u32 size)
{
    // s grows to the right of the face and t downwards, as a cube-map lookup has them.
    const f32 s = 2.0f * (static_cast<f32>(x) + 0.5f) / static_cast<f32>(size) - 1.0f;
    const f32 t = 2.0f * (static_cast<f32>(y) + 0.5f) / static_cast<f32>(size) - 1.0f;
    glm::vec3 d(0.0f);
    switch (face) {
    case 0: d = {1.0f, -t, -s}; break;  // +X
    case 1: d = {-1.0f, -t, s}; break;  // -X
    case 2: d = {s, 1.0f, t}; break;    // +Y
    case 3: d = {s, -1.0f, -t}; break;  // -Y
    case 4: d = {s, -t, 1.0f}; break;   // +Z
    default: d = {-s, -t, -1.0f}; break; // -Z
    }
    return glm::normalize(d);
}

bool projectOntoFace(u32 face, glm::vec3 d, glm::vec2* st)
{
    f32 major = 0, sc = 0, tc = 0;
    switch (face) {
    case 0: major = d.x; sc = -d.z; tc = -d.y; break;
    case 1: major = -d.x; sc = d.z; tc = -d.y; break;
    case 2: major = d.y; sc = d.x; tc = d.z; break;
    case 3: major = -d.y; sc = d.x; tc = -d.z; break;
    case 4: major = d.z; sc = d.x; tc = -d.y; break;
    default: major = -d.z; sc = -d.x; tc = -d.y; break;
    }
    if (major <= 0.0f) return false;
    *st = {0.5f * (sc / major + 1.0f), 0.5f * (tc / major + 1.0f)};
    return true;
}

u32 cubeFaceOf(glm::vec3 d, glm::vec2* st)
{
    const glm::vec3 a = glm::abs(d);
    u32 face = 0;
    if (a.x >= a.y && a.x >= a.z) {
        face = d.x > 0 ? 0 : 1;
    } else if (a.y >= a.z) {
        face = d.y > 0 ? 2 : 3;
    } else {
        face = d.z > 0 ? 4 : 5;
    }
    projectOntoFace(face, d, st);
    return face;
}

std::array<SkyImage, CubeFaceCount> renderStarField(u32 size, u64 seed)
{
    std::array<SkyImage, CubeFaceCount> faces;
    for (SkyImage& face : faces) face = SkyImage(size, size);

    for (u32 face = 0; face < CubeFaceCount; face++) {
        for (u32 y = 0; y < size; y++) {
            for (u32 x = 0; x < size; x++) faces[face].at(x, y) = skyGlow(cubeTexelDirection(face, x, y, size));
        }
    }

    SkyRandom random(seed);
    for (u32 i = 0; i < Stars::FieldCount; i++) {
        const glm::vec3 direction = random.direction();
        splatStar(faces, size, makeStar(random, direction, size));
    }
    for (u32 placed = 0; placed < Stars::BandCount;) {
        const glm::vec3 direction = random.direction();
        const f32 offBand = glm::dot(direction, Band::Normal);
        if (random.next() > std::exp(-(offBand * offBand) / (Band::Width * Band::Width * 0.8f))) continue;
        splatStar(faces, size, makeStar(random, direction, size));
        placed++;
    }
    return faces;
}

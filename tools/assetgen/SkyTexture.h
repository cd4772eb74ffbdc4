#pragma once

// Shared pieces of the generated sky and stone textures: a linear RGB float image,
// hashed random numbers, value noise, mip halving and the DDS writer.

#include "Engine/Types.h"

#include <glm/glm.hpp>

#include <string>
#include <vector>

// Linear RGB, rows from the top.
struct SkyImage {
    u32 width = 0;
    u32 height = 0;
    std::vector<glm::vec3> pixels;

    SkyImage() = default;
    SkyImage(u32 w, u32 h) : width(w), height(h), pixels(static_cast<size_t>(w) * h, glm::vec3(0.0f)) {}
    glm::vec3& at(u32 x, u32 y) { return pixels[static_cast<size_t>(y) * width + x]; }
    const glm::vec3& at(u32 x, u32 y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// A well-mixed 64-bit hash (splitmix64): the same numbers on every platform.
u64 skyHash(u64 value);
// A float in [0, 1) from a hash of `value`.
f32 skyUnit(u64 value);

// A small deterministic random source over skyHash.
struct SkyRandom {
    u64 state = 0;
    explicit SkyRandom(u64 seed) : state(seed) {}
    f32 next() { return skyUnit(state++); }
    // A uniformly distributed unit vector.
    glm::vec3 direction();
};

// Smooth value noise in about [-1, 1] over a 3D lattice, and its sum over octaves
// (each one twice the frequency and `gain` times the amplitude of the one before).
f32 valueNoise(glm::vec3 p, u32 seed);
f32 fractalNoise(glm::vec3 p, u32 octaves, f32 gain, u32 seed);

// The image at half the size (at least 1 x 1), each pixel the mean of up to four.
SkyImage halveImage(const SkyImage& image);
// How the bytes encode the linear values: as they are, or as their square roots (the
// reader squares them), which keeps the faint end of a dark image free of banding.
enum class SkyEncoding { Linear, SquareRoot };

// Straight B8G8R8A8 bytes (opaque), each channel clamped to [0, 1], encoded, and
// dithered by half a step so that slow gradients do not band.
std::vector<u8> imageToBgra(const SkyImage& image, SkyEncoding encoding);
// Writes the levels (level 0 first, each half the one before) as a B8G8R8A8_UNORM DDS
// file; false (and `error`) if not.
bool writeSkyDds(const std::string& path, const std::vector<SkyImage>& levels, SkyEncoding encoding,
                 std::string* error);

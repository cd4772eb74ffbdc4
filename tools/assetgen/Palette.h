#pragma once

#include <glm/glm.hpp>

#include <cmath>

// Model colours, written as sRGB bytes and stored linear, as the game's vertex
// colours are (the terrain converts its colours the same way). Light stone and
// saturated roofs and trims stand out against green and brown ground.
inline glm::vec4 srgb(int r, int g, int b)
{
    auto linear = [](int c) {
        float v = static_cast<float>(c) / 255.0f;
        return v <= 0.04045f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f);
    };
    return {linear(r), linear(g), linear(b), 1.0f};
}

namespace Palette {
inline const glm::vec4 stoneLight = srgb(200, 194, 182);
inline const glm::vec4 stoneMid = srgb(160, 154, 144);
inline const glm::vec4 stoneDark = srgb(104, 99, 94);
inline const glm::vec4 sandstone = srgb(206, 180, 128);
inline const glm::vec4 courtyard = srgb(176, 156, 112);
inline const glm::vec4 roofRed = srgb(182, 52, 38);
inline const glm::vec4 bannerBlue = srgb(38, 82, 178);
inline const glm::vec4 wood = srgb(98, 62, 32);
inline const glm::vec4 opening = srgb(36, 32, 30);
inline const glm::vec4 iron = srgb(62, 64, 72);
inline const glm::vec4 bore = srgb(14, 14, 16);
inline const glm::vec4 steelBlue = srgb(64, 98, 156);
inline const glm::vec4 brick = srgb(150, 64, 44);
inline const glm::vec4 bronze = srgb(168, 116, 52);
inline const glm::vec4 bronzeDark = srgb(110, 74, 34);
inline const glm::vec4 smoke = srgb(220, 220, 216);
inline const glm::vec4 portalEdge = srgb(70, 20, 140);
inline const glm::vec4 portalCore = srgb(196, 120, 255);
} // namespace Palette

#include "SpriteIcons.h"

#include <numbers>

namespace {

constexpr f32 Pi = std::numbers::pi_v<f32>;

namespace Colour {
constexpr SpriteColour Outline{0.08f, 0.07f, 0.06f, 0.95f};
constexpr SpriteColour Stone{0.80f, 0.77f, 0.70f};
constexpr SpriteColour StoneShade{0.60f, 0.57f, 0.52f};
constexpr SpriteColour Mortar{0.42f, 0.40f, 0.36f};
constexpr SpriteColour Opening{0.22f, 0.16f, 0.12f};
constexpr SpriteColour Iron{0.27f, 0.29f, 0.33f};
constexpr SpriteColour IronShine{0.56f, 0.60f, 0.66f};
constexpr SpriteColour Banner{0.85f, 0.18f, 0.15f};
constexpr SpriteColour Bone{0.94f, 0.91f, 0.83f};
constexpr SpriteColour Socket{0.15f, 0.10f, 0.10f};
constexpr SpriteColour Minion{0.62f, 0.42f, 0.88f};
constexpr SpriteColour Brute{0.80f, 0.30f, 0.20f};
constexpr SpriteColour Belt{0.42f, 0.24f, 0.12f};
constexpr SpriteColour Glow{1.00f, 0.85f, 0.25f};
constexpr SpriteColour Gold{0.98f, 0.79f, 0.22f};
constexpr SpriteColour GoldShade{0.78f, 0.55f, 0.10f};
constexpr SpriteColour GoldInk{0.50f, 0.31f, 0.04f};
constexpr SpriteColour Steel{0.74f, 0.77f, 0.82f};
constexpr SpriteColour Arrow{0.36f, 0.86f, 0.32f};
constexpr SpriteColour ToolHighlight{0.97f, 0.74f, 0.22f};
constexpr SpriteColour Glyph{0.88f, 0.88f, 0.88f};
constexpr SpriteColour GlyphActive{1.0f, 1.0f, 1.0f};
constexpr SpriteColour SpeedHighlight{0.28f, 0.68f, 0.30f};
} // namespace Colour

// Outline width in pixels by cell size: a little under 1.5 px on the large sheets.
f32 outlineOf(const SpriteCell& cell)
{
    return cell.size >= 48 ? 1.4f : (cell.size >= 32 ? 1.2f : 1.0f);
}

void outlined(SpriteCanvas& canvas, const SpriteCell& cell, const SpriteShape& shape, SpriteColour colour)
{
    fillOutlined(canvas, cell, shape, colour, Colour::Outline, outlineOf(cell));
}

// A row of merlons along the top edge y of a wall from x0 to x1.
SpriteShape merlons(f32 x0, f32 x1, f32 y, int count, f32 halfWidth, f32 halfHeight)
{
    SpriteShape shape = box(x0 + halfWidth, y, halfWidth, halfHeight);
    for (int i = 1; i < count; i++) {
        f32 x = x0 + halfWidth + (x1 - x0 - 2 * halfWidth) * static_cast<f32>(i) / static_cast<f32>(count - 1);
        shape = unite(shape, box(x, y, halfWidth, halfHeight));
    }
    return shape;
}

// Highlight behind an active tool or speed. It keeps the cell's outermost pixels
// clear, so that filtering never pulls in a neighbouring cell.
void highlight(SpriteCanvas& canvas, const SpriteCell& cell, SpriteColour colour)
{
    const f32 half = 0.5f - 1.5f / static_cast<f32>(cell.size);
    fill(canvas, cell, box(0.5f, 0.5f, half, half, 0.14f), colour);
    fill(canvas, cell, box(0.5f, 0.5f, half - 0.07f, half - 0.07f, 0.10f), SpriteColour{1.0f, 1.0f, 1.0f, 0.18f});
}

} // namespace

void paintBuildingsIcon(SpriteCanvas& canvas, const SpriteCell& cell)
{
    // A keep with a banner.
    fill(canvas, cell, segment(0.5f, 0.05f, 0.5f, 0.24f, 0.022f), Colour::Outline);
    outlined(canvas, cell, polygon({0.52f, 0.05f, 0.74f, 0.10f, 0.52f, 0.15f}), Colour::Banner);
    SpriteShape keep = unite(box(0.5f, 0.62f, 0.27f, 0.30f, 0.01f), merlons(0.23f, 0.77f, 0.28f, 3, 0.075f, 0.08f));
    outlined(canvas, cell, keep, Colour::Stone);
    fill(canvas, cell, box(0.5f, 0.64f, 0.27f, 0.02f), Colour::StoneShade);
    fill(canvas, cell, unite(box(0.5f, 0.83f, 0.095f, 0.09f), circle(0.5f, 0.74f, 0.095f)), Colour::Opening);
    fill(canvas, cell, unite(box(0.5f, 0.49f, 0.04f, 0.045f), circle(0.5f, 0.445f, 0.04f)), Colour::Opening);
}

void paintEnemiesIcon(SpriteCanvas& canvas, const SpriteCell& cell)
{
    // A skull.
    SpriteShape skull = unite(circle(0.5f, 0.42f, 0.31f), box(0.5f, 0.73f, 0.18f, 0.13f, 0.06f));
    outlined(canvas, cell, skull, Colour::Bone);
    fill(canvas, cell, circle(0.38f, 0.45f, 0.09f), Colour::Socket);
    fill(canvas, cell, circle(0.62f, 0.45f, 0.09f), Colour::Socket);
    fill(canvas, cell, polygon({0.5f, 0.55f, 0.45f, 0.65f, 0.55f, 0.65f}), Colour::Socket);
    for (f32 x : {0.42f, 0.5f, 0.58f}) {
        fill(canvas, cell, segment(x, 0.73f, x, 0.84f, 0.014f), Colour::Socket);
    }
}

void paintWallLogo(SpriteCanvas& canvas, const SpriteCell& cell)
{
    SpriteShape body = box(0.5f, 0.64f, 0.40f, 0.24f, 0.01f);
    outlined(canvas, cell, unite(body, merlons(0.10f, 0.90f, 0.34f, 4, 0.075f, 0.09f)), Colour::Stone);
    // Courses of bricks, each course's joints offset from the last.
    const f32 joint = 0.014f;
    SpriteShape lines = unite(segment(0.10f, 0.56f, 0.90f, 0.56f, joint), segment(0.10f, 0.72f, 0.90f, 0.72f, joint));
    for (f32 x : {0.30f, 0.50f, 0.70f}) {
        lines = unite(lines, segment(x, 0.40f, x, 0.56f, joint));
        lines = unite(lines, segment(x, 0.72f, x, 0.88f, joint));
    }
    for (f32 x : {0.20f, 0.40f, 0.60f, 0.80f}) {
        lines = unite(lines, segment(x, 0.56f, x, 0.72f, joint));
    }
    fill(canvas, cell, intersect(lines, body), Colour::Mortar);
}

void paintCannonLogo(SpriteCanvas& canvas, const SpriteCell& cell)
{
    // A tower with a long barrel reaching out over its wall.
    SpriteShape tower = unite(box(0.38f, 0.76f, 0.25f, 0.17f, 0.01f), merlons(0.13f, 0.63f, 0.57f, 3, 0.06f, 0.05f));
    outlined(canvas, cell, tower, Colour::Stone);
    fill(canvas, cell, box(0.38f, 0.79f, 0.25f, 0.018f), Colour::StoneShade);
    SpriteShape barrel = unite(segment(0.36f, 0.50f, 0.86f, 0.24f, 0.085f), circle(0.34f, 0.51f, 0.14f));
    outlined(canvas, cell, unite(barrel, circle(0.85f, 0.245f, 0.095f)), Colour::Iron);
    fill(canvas, cell, segment(0.42f, 0.43f, 0.80f, 0.23f, 0.022f), Colour::IronShine);
    fill(canvas, cell, circle(0.85f, 0.245f, 0.042f), Colour::Outline);
}

void paintMortarLogo(SpriteCanvas& canvas, const SpriteCell& cell)
{
    // A squat emplacement with a short, wide barrel pointing up, and its shell.
    outlined(canvas, cell, box(0.46f, 0.80f, 0.34f, 0.12f, 0.02f), Colour::Stone);
    fill(canvas, cell, box(0.46f, 0.82f, 0.34f, 0.018f), Colour::StoneShade);
    const f32 tilt = 0.42f;
    SpriteShape tube = unite(box(0.45f, 0.50f, 0.14f, 0.19f, 0.04f, tilt), box(0.53f, 0.33f, 0.175f, 0.05f, 0.02f, tilt));
    outlined(canvas, cell, unite(tube, circle(0.40f, 0.66f, 0.15f)), Colour::Iron);
    fill(canvas, cell, box(0.41f, 0.50f, 0.03f, 0.15f, 0.02f, tilt), Colour::IronShine);
    outlined(canvas, cell, circle(0.78f, 0.19f, 0.085f), Colour::Iron);
    fill(canvas, cell, segment(0.84f, 0.13f, 0.88f, 0.09f, 0.02f), Colour::Outline);
    fill(canvas, cell, circle(0.895f, 0.08f, 0.035f), Colour::Glow);
}

void paintEnemyLogo(SpriteCanvas& canvas, const SpriteCell& cell)
{
    // A slim walker.
    SpriteShape limbs = unite(segment(0.36f, 0.42f, 0.25f, 0.64f, 0.055f), segment(0.64f, 0.42f, 0.75f, 0.64f, 0.055f));
    limbs = unite(limbs, unite(segment(0.44f, 0.72f, 0.41f, 0.88f, 0.06f), segment(0.56f, 0.72f, 0.59f, 0.88f, 0.06f)));
    SpriteShape body = unite(box(0.5f, 0.55f, 0.14f, 0.21f, 0.07f), circle(0.5f, 0.23f, 0.13f));
    outlined(canvas, cell, unite(limbs, body), Colour::Minion);
    fill(canvas, cell, circle(0.45f, 0.22f, 0.028f), Colour::Glow);
    fill(canvas, cell, circle(0.55f, 0.22f, 0.028f), Colour::Glow);
}

void paintHeavyEnemyLogo(SpriteCanvas& canvas, const SpriteCell& cell)
{
    // A broad, horned brute.
    SpriteShape horns = unite(polygon({0.40f, 0.17f, 0.28f, 0.06f, 0.34f, 0.23f}),
                              polygon({0.60f, 0.17f, 0.72f, 0.06f, 0.66f, 0.23f}));
    outlined(canvas, cell, horns, Colour::Bone);
    SpriteShape arms = unite(segment(0.26f, 0.40f, 0.17f, 0.68f, 0.095f), segment(0.74f, 0.40f, 0.83f, 0.68f, 0.095f));
    SpriteShape legs = unite(box(0.37f, 0.83f, 0.09f, 0.09f, 0.03f), box(0.63f, 0.83f, 0.09f, 0.09f, 0.03f));
    SpriteShape body = unite(box(0.5f, 0.54f, 0.30f, 0.22f, 0.09f), circle(0.5f, 0.24f, 0.12f));
    outlined(canvas, cell, unite(unite(arms, legs), body), Colour::Brute);
    fill(canvas, cell, segment(0.43f, 0.23f, 0.47f, 0.25f, 0.02f), Colour::Glow);
    fill(canvas, cell, segment(0.57f, 0.23f, 0.53f, 0.25f, 0.02f), Colour::Glow);
    fill(canvas, cell, box(0.5f, 0.62f, 0.27f, 0.03f, 0.01f), Colour::Belt);
}

void paintSellIcon(SpriteCanvas& canvas, const SpriteCell& cell, bool active)
{
    if (active) highlight(canvas, cell, Colour::ToolHighlight);
    // A gold coin with a dollar sign.
    outlined(canvas, cell, circle(0.5f, 0.5f, 0.37f), Colour::Gold);
    fill(canvas, cell, arc(0.5f, 0.5f, 0.30f, 0.0f, 2.0f * Pi, 0.018f), Colour::GoldShade);
    const f32 stroke = 0.042f;
    SpriteShape dollar = unite(arc(0.5f, 0.415f, 0.085f, Pi * 0.5f, Pi * 1.85f, stroke),
                               arc(0.5f, 0.585f, 0.085f, -Pi * 0.5f, Pi * 0.85f, stroke));
    fill(canvas, cell, unite(dollar, segment(0.5f, 0.25f, 0.5f, 0.75f, 0.03f)), Colour::GoldInk);
}

void paintRepairIcon(SpriteCanvas& canvas, const SpriteCell& cell, bool active)
{
    if (active) highlight(canvas, cell, Colour::ToolHighlight);
    // An open-ended spanner, its jaw towards the upper right.
    const f32 hx = 0.64f, hy = 0.36f;
    const f32 along = -Pi * 0.25f; // the handle's direction, up and to the right
    SpriteShape head = circle(hx, hy, 0.18f);
    SpriteShape jaw = unite(box(hx + 0.13f * 0.7071f, hy - 0.13f * 0.7071f, 0.13f, 0.065f, 0.0f, along),
                            circle(hx, hy, 0.065f));
    SpriteShape spanner = unite(subtract(head, jaw), segment(0.22f, 0.78f, hx, hy, 0.075f));
    outlined(canvas, cell, spanner, Colour::Steel);
}

void paintUpgradeIcon(SpriteCanvas& canvas, const SpriteCell& cell, bool active)
{
    if (active) highlight(canvas, cell, Colour::ToolHighlight);
    SpriteShape arrow = polygon({0.5f, 0.10f, 0.86f, 0.48f, 0.63f, 0.48f, 0.63f, 0.88f, 0.37f, 0.88f, 0.37f, 0.48f,
                                 0.14f, 0.48f});
    outlined(canvas, cell, arrow, Colour::Arrow);
}

void paintPauseIcon(SpriteCanvas& canvas, const SpriteCell& cell, bool active)
{
    if (active) highlight(canvas, cell, Colour::SpeedHighlight);
    SpriteShape bars = unite(box(0.36f, 0.5f, 0.085f, 0.27f, 0.02f), box(0.64f, 0.5f, 0.085f, 0.27f, 0.02f));
    outlined(canvas, cell, bars, active ? Colour::GlyphActive : Colour::Glyph);
}

void paintSpeedIcon(SpriteCanvas& canvas, const SpriteCell& cell, int speed, bool active)
{
    if (active) highlight(canvas, cell, Colour::SpeedHighlight);
    const f32 w = 0.055f; // stroke half width
    SpriteShape glyphs = unite(segment(0.14f, 0.44f, 0.34f, 0.66f, w * 0.85f), segment(0.34f, 0.44f, 0.14f, 0.66f, w * 0.85f));
    SpriteShape digit;
    switch (speed) {
    case 1:
        digit = unite(segment(0.66f, 0.22f, 0.66f, 0.80f, w), segment(0.66f, 0.22f, 0.52f, 0.34f, w));
        break;
    case 2:
        digit = unite(arc(0.65f, 0.37f, 0.14f, Pi * 1.0f, Pi * 2.25f, w), segment(0.75f, 0.47f, 0.50f, 0.79f, w));
        digit = unite(digit, segment(0.50f, 0.79f, 0.82f, 0.79f, w));
        break;
    default: // 4
        digit = unite(segment(0.74f, 0.22f, 0.74f, 0.80f, w), segment(0.74f, 0.22f, 0.48f, 0.62f, w));
        digit = unite(digit, segment(0.48f, 0.62f, 0.86f, 0.62f, w));
        break;
    }
    outlined(canvas, cell, unite(glyphs, digit), active ? Colour::GlyphActive : Colour::Glyph);
}

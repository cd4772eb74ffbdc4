#include "SpriteCanvas.h"

#include "Engine/Image/Dds.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

SpriteCanvas makeCanvas(u32 width, u32 height)
{
    SpriteCanvas canvas;
    canvas.width = width;
    canvas.height = height;
    canvas.pixels.assign(static_cast<size_t>(width) * height * 4, 0.0f);
    return canvas;
}

SpriteCell cellAt(u32 column, u32 row, u32 size)
{
    return {column * size, row * size, size};
}

void fill(SpriteCanvas& canvas, const SpriteCell& cell, const SpriteShape& shape, SpriteColour colour)
{
    const f32 scale = static_cast<f32>(cell.size);
    for (u32 py = cell.y; py < cell.y + cell.size && py < canvas.height; py++) {
        for (u32 px = cell.x; px < cell.x + cell.size && px < canvas.width; px++) {
            f32 u = (static_cast<f32>(px - cell.x) + 0.5f) / scale;
            f32 v = (static_cast<f32>(py - cell.y) + 0.5f) / scale;
            f32 coverage = std::clamp(0.5f - shape(u, v) * scale, 0.0f, 1.0f);
            f32 alpha = coverage * colour.a;
            if (alpha <= 0.0f) {
                continue;
            }
            f32* p = &canvas.pixels[(static_cast<size_t>(py) * canvas.width + px) * 4];
            p[0] = colour.r * alpha + p[0] * (1.0f - alpha);
            p[1] = colour.g * alpha + p[1] * (1.0f - alpha);
            p[2] = colour.b * alpha + p[2] * (1.0f - alpha);
            p[3] = alpha + p[3] * (1.0f - alpha);
        }
    }
}

void fillOutlined(SpriteCanvas& canvas, const SpriteCell& cell, const SpriteShape& shape, SpriteColour inner,
                  SpriteColour outline, f32 width)
{
    fill(canvas, cell, grow(shape, width / static_cast<f32>(cell.size)), outline);
    fill(canvas, cell, shape, inner);
}

std::vector<u8> canvasToBgra(const SpriteCanvas& canvas)
{
    std::vector<u8> bytes(canvas.pixels.size());
    auto toByte = [](f32 value) { return static_cast<u8>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f)); };
    for (size_t i = 0; i < canvas.pixels.size(); i += 4) {
        f32 a = canvas.pixels[i + 3];
        f32 unpremultiply = a > 0.0f ? 1.0f / a : 0.0f;
        bytes[i + 0] = toByte(canvas.pixels[i + 2] * unpremultiply);
        bytes[i + 1] = toByte(canvas.pixels[i + 1] * unpremultiply);
        bytes[i + 2] = toByte(canvas.pixels[i + 0] * unpremultiply);
        bytes[i + 3] = toByte(a);
    }
    return bytes;
}

bool writeCanvasDds(const SpriteCanvas& canvas, const std::string& path, std::string* error)
{
    DdsTexture texture;
    texture.format = DdsFormat::B8G8R8A8Unorm;
    texture.width = canvas.width;
    texture.height = canvas.height;
    texture.levels.push_back({canvas.width, canvas.height, canvasToBgra(canvas)});
    return writeDds(path, texture, error);
}

// --- shapes ---

SpriteShape circle(f32 cx, f32 cy, f32 radius)
{
    return [=](f32 x, f32 y) { return std::hypot(x - cx, y - cy) - radius; };
}

SpriteShape box(f32 cx, f32 cy, f32 hx, f32 hy, f32 rounding, f32 angle)
{
    const f32 c = std::cos(angle);
    const f32 s = std::sin(angle);
    return [=](f32 x, f32 y) {
        // Into the box's own frame.
        f32 dx = x - cx;
        f32 dy = y - cy;
        f32 lx = std::abs(dx * c + dy * s);
        f32 ly = std::abs(-dx * s + dy * c);
        f32 qx = lx - (hx - rounding);
        f32 qy = ly - (hy - rounding);
        f32 outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
        f32 inside = std::min(std::max(qx, qy), 0.0f);
        return outside + inside - rounding;
    };
}

namespace {

f32 distanceToSegment(f32 x, f32 y, f32 ax, f32 ay, f32 bx, f32 by)
{
    f32 ex = bx - ax;
    f32 ey = by - ay;
    f32 lengthSquared = ex * ex + ey * ey;
    f32 t = lengthSquared > 0.0f ? std::clamp(((x - ax) * ex + (y - ay) * ey) / lengthSquared, 0.0f, 1.0f) : 0.0f;
    return std::hypot(x - (ax + ex * t), y - (ay + ey * t));
}

} // namespace

SpriteShape segment(f32 ax, f32 ay, f32 bx, f32 by, f32 halfWidth)
{
    return [=](f32 x, f32 y) { return distanceToSegment(x, y, ax, ay, bx, by) - halfWidth; };
}

SpriteShape arc(f32 cx, f32 cy, f32 radius, f32 from, f32 to, f32 halfWidth)
{
    constexpr f32 Turn = 2.0f * std::numbers::pi_v<f32>;
    const f32 sx = cx + radius * std::cos(from);
    const f32 sy = cy + radius * std::sin(from);
    const f32 ex = cx + radius * std::cos(to);
    const f32 ey = cy + radius * std::sin(to);
    return [=](f32 x, f32 y) {
        f32 angle = std::atan2(y - cy, x - cx);
        // The point's angle brought into [from, from + one turn).
        while (angle < from) angle += Turn;
        while (angle >= from + Turn) angle -= Turn;
        if (angle <= to) {
            return std::abs(std::hypot(x - cx, y - cy) - radius) - halfWidth;
        }
        f32 toStart = std::hypot(x - sx, y - sy);
        f32 toEnd = std::hypot(x - ex, y - ey);
        return std::min(toStart, toEnd) - halfWidth;
    };
}

SpriteShape polygon(std::vector<f32> points)
{
    return [points = std::move(points)](f32 x, f32 y) {
        size_t n = points.size() / 2;
        f32 distance = 1e9f;
        bool inside = false;
        for (size_t i = 0, j = n - 1; i < n; j = i++) {
            f32 xi = points[2 * i], yi = points[2 * i + 1];
            f32 xj = points[2 * j], yj = points[2 * j + 1];
            distance = std::min(distance, distanceToSegment(x, y, xi, yi, xj, yj));
            if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) {
                inside = !inside;
            }
        }
        return inside ? -distance : distance;
    };
}

SpriteShape unite(SpriteShape a, SpriteShape b)
{
    return [a = std::move(a), b = std::move(b)](f32 x, f32 y) { return std::min(a(x, y), b(x, y)); };
}

SpriteShape subtract(SpriteShape a, SpriteShape b)
{
    return [a = std::move(a), b = std::move(b)](f32 x, f32 y) { return std::max(a(x, y), -b(x, y)); };
}

SpriteShape intersect(SpriteShape a, SpriteShape b)
{
    return [a = std::move(a), b = std::move(b)](f32 x, f32 y) { return std::max(a(x, y), b(x, y)); };
}

SpriteShape grow(SpriteShape shape, f32 amount)
{
    return [shape = std::move(shape), amount](f32 x, f32 y) { return shape(x, y) - amount; };
}

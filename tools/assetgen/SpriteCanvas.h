#pragma once

// A small antialiased painter for the interface sprite sheets: shapes are signed
// distance functions in a cell's unit square (x right, y down, 0..1; negative inside),
// and each pixel is covered by the share of it that lies inside the shape.

#include "Engine/Types.h"

#include <functional>
#include <string>
#include <vector>

struct SpriteColour {
    f32 r = 0, g = 0, b = 0, a = 1;
};

// Premultiplied RGBA, four floats a pixel, rows from the top.
struct SpriteCanvas {
    u32 width = 0;
    u32 height = 0;
    std::vector<f32> pixels;
};

// Where an icon is painted: the cell's top-left pixel and its side in pixels.
struct SpriteCell {
    u32 x = 0;
    u32 y = 0;
    u32 size = 0;
};

// Signed distance (in cell units) from a point of the unit square to a shape's edge.
using SpriteShape = std::function<f32(f32 x, f32 y)>;

SpriteCanvas makeCanvas(u32 width, u32 height);
SpriteCell cellAt(u32 column, u32 row, u32 size);

// Paints `shape` over the cell in `colour`; edges are antialiased over one pixel.
void fill(SpriteCanvas& canvas, const SpriteCell& cell, const SpriteShape& shape, SpriteColour colour);
// Paints the shape grown by `width` pixels in `colour` and then the shape itself in
// `inner`: the icons' dark outline that keeps them legible on any background.
void fillOutlined(SpriteCanvas& canvas, const SpriteCell& cell, const SpriteShape& shape, SpriteColour inner,
                  SpriteColour outline, f32 width);

// Straight-alpha B8G8R8A8 bytes of the canvas, as the DDS file stores them.
std::vector<u8> canvasToBgra(const SpriteCanvas& canvas);
// Writes the canvas as an uncompressed B8G8R8A8 DDS file; false (and `error`) if not.
bool writeCanvasDds(const SpriteCanvas& canvas, const std::string& path, std::string* error);

// --- shapes ---
SpriteShape circle(f32 cx, f32 cy, f32 radius);
// A box of half extents (hx, hy) with corners rounded by `rounding`, turned by
// `angle` radians (clockwise on screen) about its centre.
SpriteShape box(f32 cx, f32 cy, f32 hx, f32 hy, f32 rounding = 0, f32 angle = 0);
// A stroke from a to b, `halfWidth` on each side, with round ends.
SpriteShape segment(f32 ax, f32 ay, f32 bx, f32 by, f32 halfWidth);
// A circular stroke from angle `from` to `to` (radians, clockwise on screen from the
// +x axis, to > from), with round ends.
SpriteShape arc(f32 cx, f32 cy, f32 radius, f32 from, f32 to, f32 halfWidth);
// A closed polygon (even-odd inside), points as x, y pairs.
SpriteShape polygon(std::vector<f32> points);

SpriteShape unite(SpriteShape a, SpriteShape b);
SpriteShape subtract(SpriteShape a, SpriteShape b);
SpriteShape intersect(SpriteShape a, SpriteShape b);
// The shape grown (positive) or shrunk (negative) by `amount` cell units.
SpriteShape grow(SpriteShape shape, f32 amount);

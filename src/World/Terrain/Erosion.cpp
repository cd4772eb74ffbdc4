#include "World/Terrain/Erosion.h"

#include "Engine/Camera/Random.h"
#include "World/Terrain/TerrainRules.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

using namespace ErosionRules;

Erosion::Erosion(f32* heights, u32 size, u32 seed)
    : random(std::make_unique<Random>(static_cast<i32>(seed))), heights(heights), size(size)
{
    f32 sum = 0.0f;
    for (i32 dy = -BrushRadius; dy <= BrushRadius; dy++) {
        for (i32 dx = -BrushRadius; dx <= BrushRadius; dx++) {
            i32 d2 = dx * dx + dy * dy;
            f32 weight = d2 < BrushRadius * BrushRadius
                             ? 1.0f - std::sqrt(static_cast<f32>(d2)) / static_cast<f32>(BrushRadius)
                             : 0.0f;
            brush[(dy + BrushRadius) * BrushSide + (dx + BrushRadius)] = weight;
            sum += weight;
        }
    }
    for (f32& weight : brush) weight /= sum;

    for (i32 dy = -BrushRadius; dy <= BrushRadius; dy++) {
        for (i32 dx = -BrushRadius; dx <= BrushRadius; dx++) {
            f32 weight = brush[(dy + BrushRadius) * BrushSide + (dx + BrushRadius)];
            if (weight <= 0.0f) continue;
            if (brushRowCount == 0 || brushDy[brushCount - 1] != dy) {
                brushRows[brushRowCount++] = {dy * static_cast<i32>(size) + dx, brushCount, 0};
            }
            brushRows[brushRowCount - 1].width++;
            brushDx[brushCount] = dx;
            brushDy[brushCount] = dy;
            brushWeights[brushCount] = weight;
            brushCount++;
        }
    }
    // A row whose weights are not side by side would be written over its gaps.
    for (u32 r = 0; r < brushRowCount; r++) {
        const BrushRow& row = brushRows[r];
        const u32 last = row.first + row.width - 1;
        if (brushDx[last] - brushDx[row.first] != static_cast<i32>(row.width) - 1) {
            throw std::logic_error("erosion: a brush row has a gap");
        }
    }
}

Erosion::~Erosion() = default;

HeightAndGradient Erosion::sampleHeightGradient(f32 x, f32 y) const
{
    if (size < 2) return {size == 1 ? heights[0] : 0.0f, 0.0f, 0.0f};
    f32 last = static_cast<f32>(size - 1);
    if (x >= 0.0f && y >= 0.0f && x < last && y < last) return sampleInside(x, y);
    // Outside (or NaN): clamp onto the map, which keeps every read inside it.
    f32 cx = std::isnan(x) ? 0.0f : std::clamp(x, 0.0f, std::nextafter(last, 0.0f));
    f32 cy = std::isnan(y) ? 0.0f : std::clamp(y, 0.0f, std::nextafter(last, 0.0f));
    return sampleInside(cx, cy);
}

void Erosion::applyBrush(f32 x, f32 y, f32 amount)
{
    if (!(std::fabs(x) < 1e9f && std::fabs(y) < 1e9f)) return;
    i64 cx = static_cast<i64>(x);
    i64 cy = static_cast<i64>(y);
    for (u32 k = 0; k < brushCount; k++) {
        i64 px = cx + brushDx[k];
        i64 py = cy + brushDy[k];
        if (px < 0 || py < 0 || px >= size || py >= size) continue;
        heights[py * size + px] += brushWeights[k] * amount;
    }
}

f32 Erosion::simulateDroplet(f32 x, f32 y)
{
    Droplet droplet;
    if (!startDroplet(droplet, x, y)) return droplet.sediment;
    while (stepDroplet(droplet)) {
    }
    return droplet.sediment;
}

#include "World/Terrain/Erosion.h"

#include "Engine/Camera/Random.h"
#include "World/Terrain/TerrainRules.h"

#include <algorithm>
#include <cmath>

using namespace ErosionRules;

namespace {

struct Cell {
    i32 index;
    f32 u;
    f32 v;
};

// Bilinear height and gradient of a point whose cell (ix, iy) and its +1
// neighbours are inside the map.
inline HeightAndGradient sampleInside(const f32* map, u32 size, f32 x, f32 y)
{
    i32 ix = static_cast<i32>(x);
    i32 iy = static_cast<i32>(y);
    f32 u = x - static_cast<f32>(ix);
    f32 v = y - static_cast<f32>(iy);
    const f32* p = map + (static_cast<i64>(size) * iy + ix);
    f32 h00 = p[0];
    f32 h10 = p[1];
    f32 h01 = p[size];
    f32 h11 = p[size + 1];
    HeightAndGradient result;
    result.height = h00 * (1 - u) * (1 - v) + h10 * u * (1 - v) + h01 * (1 - u) * v + h11 * u * v;
    result.gradientX = (h10 - h00) * (1 - v) + (h11 - h01) * v;
    result.gradientY = (h01 - h00) * (1 - u) + (h11 - h10) * u;
    return result;
}

} // namespace

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
            brushOffsets[brushCount] = dy * static_cast<i32>(size) + dx;
            brushDx[brushCount] = dx;
            brushDy[brushCount] = dy;
            brushWeights[brushCount] = weight;
            brushCount++;
        }
    }
}

Erosion::~Erosion() = default;

bool Erosion::insideDropletBand(f32 x, f32 y) const
{
    // Written so that NaN is outside.
    f32 far = static_cast<f32>(size) - (Border + 1.0f);
    return x > Border && x < far && y > Border && y < far;
}

HeightAndGradient Erosion::sampleHeightGradient(f32 x, f32 y) const
{
    if (size < 2) return {size == 1 ? heights[0] : 0.0f, 0.0f, 0.0f};
    f32 last = static_cast<f32>(size - 1);
    if (x >= 0.0f && y >= 0.0f && x < last && y < last) return sampleInside(heights, size, x, y);
    // Outside (or NaN): clamp onto the map, which keeps every read inside it.
    f32 cx = std::isnan(x) ? 0.0f : std::clamp(x, 0.0f, std::nextafter(last, 0.0f));
    f32 cy = std::isnan(y) ? 0.0f : std::clamp(y, 0.0f, std::nextafter(last, 0.0f));
    return sampleInside(heights, size, cx, cy);
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

f32 Erosion::simulateDroplet(f32 px, f32 py)
{
    f32 dirX = 0.0f;
    f32 dirY = 0.0f;
    f32 speed = 1.0f;
    f32 water = 1.0f;
    f32 sediment = 0.0f;
    if (!insideDropletBand(px, py)) return sediment;

    f32* map = heights;
    for (u32 step = 0; step < MaxSteps; step++) {
        // The cell the droplet leaves: deposits go here.
        i32 ix = static_cast<i32>(px);
        i32 iy = static_cast<i32>(py);
        i32 cell = static_cast<i32>(size) * iy + ix;
        f32 u = px - static_cast<f32>(ix);
        f32 v = py - static_cast<f32>(iy);
        HeightAndGradient here = sampleInside(map, size, px, py);

        dirX = dirX * Inertia - here.gradientX * GradientWeight;
        dirY = dirY * Inertia - here.gradientY * GradientWeight;
        f32 length = std::sqrt(dirX * dirX + dirY * dirY);
        // Flat ground with no momentum: the droplet stays where it is.
        if (length == 0.0f) break;
        dirX /= length;
        dirY /= length;
        px += dirX;
        py += dirY;
        if (!insideDropletBand(px, py)) break;

        f32 dh = sampleInside(map, size, px, py).height - here.height;
        f32 capacity = std::max(CapacityFactor * -dh * speed * water, MinCapacity);

        bool depositing = true;
        f32 deposit = 0.0f;
        if (dh > 0.0f) {
            deposit = std::min(dh, sediment);
        } else if (sediment > capacity) {
            deposit = DepositRate * (sediment - capacity);
        } else {
            depositing = false;
            f32 erode = std::min(ErodeRate * (capacity - sediment), -dh);
            // The brush around the cell the droplet entered.
            f32 amount = -erode;
            f32* centre = map + (static_cast<i64>(size) * static_cast<i32>(py) + static_cast<i32>(px));
            for (u32 k = 0; k < brushCount; k++) centre[brushOffsets[k]] += brushWeights[k] * amount;
            sediment += erode;
        }
        if (depositing) {
            // Spread over the four points of the cell the droplet left.
            sediment -= deposit;
            map[cell] += deposit * (1 - u) * (1 - v);
            map[cell + 1] += deposit * u * (1 - v);
            map[cell + size] += deposit * (1 - u) * v;
            map[cell + size + 1] += deposit * u * v;
        }

        speed = std::max(speed * SpeedKept - SlopeAcceleration * dh, 0.0f);
        water *= WaterKept;
    }
    return sediment;
}

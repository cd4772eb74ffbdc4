#pragma once

#include "Engine/Types.h"
#include "World/Terrain/TerrainRules.h"

#include <algorithm>
#include <cmath>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

class Random;

struct HeightAndGradient {
    f32 height = 0.0f;
    f32 gradientX = 0.0f;
    f32 gradientY = 0.0f;
};

// A droplet on its way: where it is, where it heads, and what it carries.
struct Droplet {
    f32 x = 0.0f;
    f32 y = 0.0f;
    f32 dirX = 0.0f;
    f32 dirY = 0.0f;
    f32 speed = 1.0f;
    f32 water = 1.0f;
    f32 sediment = 0.0f;
    u32 steps = 0;
};

// Hydraulic erosion by rain droplets over a square float height map (row-major,
// point (x, y) at y*size + x). A droplet runs downhill for at most 48 cells, takes
// sediment where it speeds down and drops it where it slows or climbs.
class Erosion {
public:
    std::unique_ptr<Random> random; // serves the droplet start positions only
    f32* heights = nullptr;         // not owned
    u32 size = 0;
    f32 brush[49]{};                // 7 x 7 weights, entry (dy + 3)*7 + (dx + 3)

    Erosion(f32* heights, u32 size, u32 seed);
    ~Erosion();
    Erosion(const Erosion&) = delete;
    Erosion& operator=(const Erosion&) = delete;

    // Runs one droplet from (x, y) and changes the map in place. A start outside the
    // band the droplet may move in (4 cells from each edge) does nothing. Returns the
    // sediment still carried when the droplet stopped; it is dropped nowhere.
    f32 simulateDroplet(f32 x, f32 y);

    // The same droplet a step at a time, so that one thread can run droplets whose
    // areas are apart side by side, each step's work filling the other's waits.
    // startDroplet puts a droplet at (x, y) and tells whether it moves at all;
    // stepDroplet moves it one cell and tells whether it goes on.
    bool startDroplet(Droplet& droplet, f32 x, f32 y) const;
    bool stepDroplet(Droplet& droplet);

    // Bilinear height and gradient at a fractional position; positions outside the
    // map read the nearest border cell.
    HeightAndGradient sampleHeightGradient(f32 x, f32 y) const;

    // Adds amount*weight to the points of the brush around ((i32)x, (i32)y); points
    // outside the map are skipped.
    void applyBrush(f32 x, f32 y, f32 amount);

    // Whether a droplet at (x, y) is inside the band it may move in. Written so that
    // NaN is outside.
    bool insideDropletBand(f32 x, f32 y) const
    {
        f32 far = static_cast<f32>(size) - (ErosionRules::Border + 1.0f);
        return x > ErosionRules::Border && x < far && y > ErosionRules::Border && y < far;
    }

private:
    // The brush without its zero weights: offsets from the centre and weights.
    i32 brushDx[49]{};
    i32 brushDy[49]{};
    f32 brushWeights[49]{};
    u32 brushCount = 0;
    // The same weights row by row: each row's non-zero weights lie side by side (they
    // fall off with the distance from the centre), so a row is one run of neighbouring
    // points. Points of zero weight are left alone.
    struct BrushRow {
        i32 offset = 0; // flat index of the row's first point, from the centre
        u32 first = 0;  // its first weight in brushWeights
        u32 width = 0;
    };
    BrushRow brushRows[7]{};
    u32 brushRowCount = 0;

    // Bilinear height and gradient at a position whose cell and its +1 neighbours lie
    // inside the map.
    HeightAndGradient sampleInside(f32 x, f32 y) const;
    // Adds amount*weight to the brush's points around the point `centre`, which lies
    // at least the brush radius inside the map.
    void applyBrushInside(f32* centre, f32 amount) const;
};

inline HeightAndGradient Erosion::sampleInside(f32 x, f32 y) const
{
    i32 ix = static_cast<i32>(x);
    i32 iy = static_cast<i32>(y);
    f32 u = x - static_cast<f32>(ix);
    f32 v = y - static_cast<f32>(iy);
    const f32* p = heights + (static_cast<i64>(size) * iy + ix);
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

inline void Erosion::applyBrushInside(f32* centre, f32 amount) const
{
    // Each point gets weight*amount added, the product rounded first, as the loop over
    // single points does: four points at a time give the same bits.
#if defined(__SSE2__)
    const __m128 amounts = _mm_set1_ps(amount);
#endif
    for (u32 r = 0; r < brushRowCount; r++) {
        f32* point = centre + brushRows[r].offset;
        const f32* weight = brushWeights + brushRows[r].first;
        u32 k = 0;
#if defined(__SSE2__)
        for (; k + 4 <= brushRows[r].width; k += 4) {
            __m128 added = _mm_mul_ps(_mm_loadu_ps(weight + k), amounts);
            _mm_storeu_ps(point + k, _mm_add_ps(_mm_loadu_ps(point + k), added));
        }
#endif
        for (; k < brushRows[r].width; k++) point[k] += weight[k] * amount;
    }
}

inline bool Erosion::startDroplet(Droplet& droplet, f32 x, f32 y) const
{
    droplet = Droplet{};
    droplet.x = x;
    droplet.y = y;
    return insideDropletBand(x, y);
}

inline bool Erosion::stepDroplet(Droplet& droplet)
{
    using namespace ErosionRules;
    Droplet& d = droplet;
    // The cell the droplet leaves: deposits go here.
    i32 ix = static_cast<i32>(d.x);
    i32 iy = static_cast<i32>(d.y);
    i32 cell = static_cast<i32>(size) * iy + ix;
    f32 u = d.x - static_cast<f32>(ix);
    f32 v = d.y - static_cast<f32>(iy);
    HeightAndGradient here = sampleInside(d.x, d.y);

    d.dirX = d.dirX * Inertia - here.gradientX * GradientWeight;
    d.dirY = d.dirY * Inertia - here.gradientY * GradientWeight;
    f32 length = std::sqrt(d.dirX * d.dirX + d.dirY * d.dirY);
    // Flat ground with no momentum: the droplet stays where it is.
    if (length == 0.0f) return false;
    d.dirX /= length;
    d.dirY /= length;
    d.x += d.dirX;
    d.y += d.dirY;
    if (!insideDropletBand(d.x, d.y)) return false;

    f32* map = heights;
    f32 dh = sampleInside(d.x, d.y).height - here.height;
    f32 capacity = std::max(CapacityFactor * -dh * d.speed * d.water, MinCapacity);

    bool depositing = true;
    f32 deposit = 0.0f;
    if (dh > 0.0f) {
        deposit = std::min(dh, d.sediment);
    } else if (d.sediment > capacity) {
        deposit = DepositRate * (d.sediment - capacity);
    } else {
        depositing = false;
        f32 erode = std::min(ErodeRate * (capacity - d.sediment), -dh);
        // The brush around the cell the droplet entered.
        applyBrushInside(map + (static_cast<i64>(size) * static_cast<i32>(d.y) + static_cast<i32>(d.x)), -erode);
        d.sediment += erode;
    }
    if (depositing) {
        // Spread over the four points of the cell the droplet left.
        d.sediment -= deposit;
        map[cell] += deposit * (1 - u) * (1 - v);
        map[cell + 1] += deposit * u * (1 - v);
        map[cell + size] += deposit * (1 - u) * v;
        map[cell + size + 1] += deposit * u * v;
    }

    d.speed = std::max(d.speed * SpeedKept - SlopeAcceleration * dh, 0.0f);
    d.water *= WaterKept;
    return ++d.steps < MaxSteps;
}

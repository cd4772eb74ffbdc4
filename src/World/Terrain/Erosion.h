#pragma once

#include "Engine/Types.h"

#include <memory>

class Random;

struct HeightAndGradient {
    f32 height = 0.0f;
    f32 gradientX = 0.0f;
    f32 gradientY = 0.0f;
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

    // Bilinear height and gradient at a fractional position; positions outside the
    // map read the nearest border cell.
    HeightAndGradient sampleHeightGradient(f32 x, f32 y) const;

    // Adds amount*weight to the points of the brush around ((i32)x, (i32)y); points
    // outside the map are skipped.
    void applyBrush(f32 x, f32 y, f32 amount);

    // Whether a droplet at (x, y) is inside the band it may move in.
    bool insideDropletBand(f32 x, f32 y) const;

private:
    // The brush without its zero weights: flat index offsets and weights.
    i32 brushOffsets[49]{};
    i32 brushDx[49]{};
    i32 brushDy[49]{};
    f32 brushWeights[49]{};
    u32 brushCount = 0;
};

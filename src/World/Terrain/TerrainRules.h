#pragma once

#include "Engine/Types.h"

// The numbers that shape every landscape, grouped by what they govern.

// Grid: 16 x 16 chunks of 64 x 64 quads, one unit apart.
namespace TerrainGridRules {
constexpr u32 ChunkSize = 64;
constexpr u32 ChunksPerSide = 16;
constexpr u32 GridSize = ChunksPerSide * ChunkSize + 1;
constexpr f32 StepHeight = 0.4f;    // world units per step
constexpr f32 StepsPerUnit = 2.5f;  // 1 / StepHeight
} // namespace TerrainGridRules

// Height map: noise frequency per grid unit and the radial island mask.
namespace HeightMapRules {
constexpr f64 NoiseScale = 0.0028;      // noise units per grid unit
constexpr f64 IslandRadius = 0.325;     // times the grid size
constexpr f32 CoastNoiseScale = 0.008f; // noise units per grid unit of both masks
constexpr f32 CoastNoiseSlice = 32.0f;
constexpr i32 CoastOctaves = 5;
constexpr f32 CoastPersistence = 0.5f;
constexpr f32 SeaFloorPersistence = 0.45f;
constexpr f64 SeaFloorDepth = 40.0;
} // namespace HeightMapRules

// Droplet erosion.
namespace ErosionRules {
constexpr u32 DropletCount = 400000;
constexpr f32 StartMargin = 10.0f; // droplets start within gridSize/2 - 10 of the centre
constexpr f32 Inertia = 0.2f;
constexpr f32 GradientWeight = 0.8f;
constexpr f32 Border = 4.0f; // cells a droplet never enters at each edge
constexpr u32 MaxSteps = 48;
constexpr f32 CapacityFactor = 2.0f;
constexpr f32 MinCapacity = 0.05f;
constexpr f32 DepositRate = 0.3f;
constexpr f32 ErodeRate = 0.3f;
constexpr f32 SpeedKept = 0.95f;
constexpr f32 SlopeAcceleration = 0.1f;
constexpr f32 WaterKept = 0.985f;
constexpr i32 BrushRadius = 3;
constexpr i32 BrushSide = 2 * BrushRadius + 1;
} // namespace ErosionRules

// Chunk meshes: the three altitude windows and what is never meshed.
namespace ChunkRules {
constexpr f32 MainLow = -0.5f;
constexpr f32 MainHigh = 999999.0f;
constexpr f32 PrepassLow = -999999.0f;
constexpr f32 PrepassHigh = 6.5f;
constexpr f32 ShadowLow = -999999.0f;
constexpr f32 ShadowHigh = 999999.0f;
constexpr f32 DeepSeaFloor = -39.5f;        // quads with every corner below are dropped
constexpr f32 DefaultPlanetRadius = 12742.0f; // the sea sphere's radius
constexpr u32 VerticesPerQuad = 6;
constexpr f32 EmptyBoxMin = 1e8f;
constexpr f32 EmptyBoxMax = -1e8f;
} // namespace ChunkRules

// Triangle colours: 8-bit sRGB, chosen by slope and height.
namespace ColorRules {
constexpr f32 FlatSlope = 0.78f;  // normal y above this is sand or dirt
constexpr f32 GrassSlope = 0.9f;  // normal y above this is grass
constexpr f32 SandHeight = 2.0f;  // below this, flat ground is sand
constexpr u32 Sand[3] = {229, 198, 105};
constexpr u32 Grass[3] = {123, 180, 75};
constexpr u32 Dirt[3] = {198, 126, 72};
constexpr u32 Rock[3] = {160, 160, 160};
constexpr f64 Jitter = 0.1; // brightness varies by up to +-5 %
} // namespace ColorRules

// Build-site search: rings of equal area from the centre outwards.
namespace BuildSiteRules {
constexpr f64 BandWidth = 0.02;
constexpr u32 BandCount = 50;
constexpr u32 TriesPerBand = 500;
} // namespace BuildSiteRules

// Footprint step ranges start from these bounds.
namespace FootprintRules {
constexpr i32 NoMin = 99999;
constexpr i32 NoMax = -99999;
} // namespace FootprintRules

#pragma once

#include "Engine/Types.h"
#include "World/Terrain/ChunkSetQueue.h"
#include "World/Terrain/DropletRun.h"
#include "World/Terrain/TerrainRules.h"

#include <glm/glm.hpp>

#include <functional>
#include <future>
#include <memory>
#include <vector>

class Random;
class Noise;
class NoiseLayers;
struct GenerationProgress;

// The landscape as numbers: float heights (an intermediate) and the stepped grid that
// placement, navigation, the chunk meshes and the collision body read. Both grids are
// gridSize x gridSize points one unit apart, indexed z*gridSize + x; a step is 0.4
// units, so a point's surface lies at origin.y + step*0.4.
class TerrainGrid {
public:
    u32 chunkSize = TerrainGridRules::ChunkSize;
    u32 chunksPerSide = TerrainGridRules::ChunksPerSide;
    u32 gridSize = TerrainGridRules::GridSize;
    glm::vec3 origin{0.0f}; // world position of grid point (0, 0): the grid is centred on 0
    std::unique_ptr<Random> random; // seeded with the generation seed; colours the chunks
    std::unique_ptr<Noise> noise;
    std::unique_ptr<NoiseLayers> noiseLayers;
    std::vector<f32> heights;
    std::vector<i32> steps;

    // The droplets' order, worked out while the height map is made (it depends on the
    // grid size only), and the three chunk sets, built ahead once the steps exist.
    // Both finish before the grids go.
    std::future<DropletPlan> dropletPlan;
    ChunkSetQueue chunkSets;

    // Workers of the parallel stages (0: one per hardware thread). The result is the
    // same for any number.
    u32 threadCount = 0;
    // Receives the stage texts and progress; may be null.
    GenerationProgress* progress = nullptr;

    TerrainGrid(u32 chunkSize, u32 chunksPerSide);
    virtual ~TerrainGrid();
    TerrainGrid(const TerrainGrid&) = delete;
    TerrainGrid& operator=(const TerrainGrid&) = delete;

    // The unmasked height of the landscape at (x, y) in noise units. Needs the noise
    // of generateHeightMap.
    f64 sampleHeight(f64 x, f64 y) const;

    // The generation stages, in the order they run; each announces itself to
    // `progress`. A negative seed seeds every generator from the clock.
    void generateHeightMap(i32 seed);
    void erode(u32 droplets = ErosionRules::DropletCount);
    void createSteps();
    // The three stages above.
    void generateGrid(i32 seed);

    // A height map made before the grid that is to take it exists (the world makes it
    // while it sets up its GPU objects): a grid of that size with the generators of
    // `seed` and their heights, the droplets' order under way. No progress is told.
    static std::unique_ptr<TerrainGrid> makeHeightMap(i32 seed, u32 chunkSize, u32 chunksPerSide, u32 threads);
    // Takes over such a grid's generators, heights and droplet order, as if this grid
    // had made its own height map.
    void takeHeightMap(TerrainGrid& made);

    // Starts building the main, water-prepass and shadow chunk sets, in that order, on
    // a thread of their own; they only read the steps. The shadow set is built with
    // indexed positions only.
    void prepareChunkSets(f32 planetRadius);
    // One chunk set: the prepared one when it is next in order (same window and
    // form), else built now. The terrain's generator advances by one draw per emitted
    // triangle either way.
    ChunkSetData takeChunkSet(glm::vec2 window, f32 planetRadius, ChunkForm form);

    // Min and max step over the (w+1) x (d+1) points of a w x d cell footprint whose
    // corner is (x, z); false when the footprint leaves the grid.
    bool footprintStepRange(glm::ivec2 corner, glm::ivec2 size, glm::ivec2& range) const;

    // A random site near `centre` whose footprint (size.x by size.z cells) varies by at
    // most `tolerance` steps: {corner x, max step, corner z}. Draws from the global
    // random source; falls back to the centred corner when no site is found.
    glm::ivec3 findBuildSite(glm::ivec2 centre, glm::ivec3 size, f32 maxRadius, i32 tolerance) const;
    glm::ivec3 findBuildSite(glm::ivec2 centre, glm::ivec3 size, f32 maxRadius, i32 tolerance, Random& source) const;
    // The same, skipping flat sites that `accept` refuses (taken by other buildings);
    // the fallback corner is returned unchecked.
    glm::ivec3 findBuildSite(glm::ivec2 centre, glm::ivec3 size, f32 maxRadius, i32 tolerance, Random& source,
                             const std::function<bool(const glm::ivec3&)>& accept) const;

    // A triangle's colour: its base colour by slope and height, times one brightness
    // draw from `random`.
    static glm::vec4 vertexColor(Random* random, const glm::vec3& normal, f32 height);

    // The step of grid point (x, z).
    i32 stepAt(u32 x, u32 z) const { return steps[static_cast<size_t>(z) * gridSize + x]; }
    // The surface height of grid point (x, z) above the origin.
    f32 stepHeightAt(u32 x, u32 z) const
    {
        return static_cast<f32>(stepAt(x, z)) * TerrainGridRules::StepHeight;
    }

private:
    f32 maskedHeight(u32 x, u32 y) const;
};

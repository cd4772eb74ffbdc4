#include "Engine/Camera/CameraMath.h"
#include "Engine/Camera/Frustum.h"
#include "World/Culling/BoundingAABB.h"
#include "World/Terrain/ChunkMeshBuilder.h"
#include "World/Terrain/TerrainCells.h"
#include "unit/ViewFrustums.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <stdexcept>
#include <vector>

namespace {

struct Quad {
    u32 a, b;
    f32 height;
};

// A chunk mesh as the builder lays it out: six chunk-local vertices per quad (a along
// x, b along z), planar streams of positions, normals and colours.
ChunkMeshData meshOf(const std::vector<Quad>& quads)
{
    ChunkMeshData mesh;
    mesh.vertexCount = static_cast<u32>(quads.size() * 6);
    mesh.streams.assign(static_cast<size_t>(mesh.vertexCount) * 40, 0);
    u32 v = 0;
    for (const Quad& q : quads) {
        const f32 x = static_cast<f32>(q.a);
        const f32 z = static_cast<f32>(q.b);
        const glm::vec3 corners[6] = {{x, q.height, z},           {x, q.height, z + 1},
                                      {x + 1, q.height + 1, z},   {x + 1, q.height, z + 1},
                                      {x + 1, q.height + 1, z},   {x, q.height, z + 1}};
        for (const glm::vec3& p : corners) std::memcpy(mesh.streams.data() + 12 * (v++), &p, sizeof(p));
    }
    return mesh;
}

// Every quad of a chunk of `size` quads, in the builder's order, with some left out.
std::vector<Quad> columnOrderQuads(u32 size, std::mt19937& rng, f32 keepShare)
{
    std::uniform_real_distribution<f32> unit(0.0f, 1.0f);
    std::vector<Quad> quads;
    for (u32 a = 0; a < size; a++) {
        for (u32 b = 0; b < size; b++) {
            if (unit(rng) < keepShare) quads.push_back({a, b, static_cast<f32>(a % 5)});
        }
    }
    return quads;
}

} // namespace

TEST(TerrainCells, RunsDrawExactlyTheQuadsOfTheChosenCellsInStreamOrder)
{
    std::mt19937 rng(11);
    for (u32 size : {8u, 16u, 24u, 64u, 80u}) {
        for (f32 keep : {1.0f, 0.7f, 0.1f}) {
            const std::vector<Quad> quads = columnOrderQuads(size, rng, keep);
            const ChunkCells cells = chunkCellsOf(meshOf(quads), size, glm::vec3(0.0f));
            const u32 perSide = (size + 15) / 16;
            ASSERT_EQ(cells.cellsPerSide, perSide);
            ASSERT_EQ(cells.stretchStart.size(), size * perSide + 1);
            const u32 cellCount = perSide * perSide;
            for (int trial = 0; trial < 40; trial++) {
                const u32 mask = trial == 0 ? (1u << cellCount) - 1u : static_cast<u32>(rng()) & ((1u << cellCount) - 1u);
                std::vector<VertexRun> runs;
                visibleRuns(cells, mask, runs);
                // What a brute-force walk over the quads draws.
                std::vector<u32> expected;
                for (u32 q = 0; q < quads.size(); q++) {
                    const u32 cell = (quads[q].a / 16) * perSide + quads[q].b / 16;
                    if (mask >> cell & 1u) {
                        for (u32 v = 0; v < 6; v++) expected.push_back(q * 6 + v);
                    }
                }
                std::vector<u32> drawn;
                for (size_t r = 0; r < runs.size(); r++) {
                    EXPECT_GT(runs[r].count, 0u);
                    // Runs are separated by at least one vertex that is not drawn.
                    if (r > 0) {
                        EXPECT_GT(runs[r].first, runs[r - 1].first + runs[r - 1].count);
                    }
                    for (u32 v = runs[r].first; v < runs[r].first + runs[r].count; v++) drawn.push_back(v);
                }
                ASSERT_EQ(drawn, expected) << "size " << size << " keep " << keep << " mask " << mask;
            }
        }
    }
}

TEST(TerrainCells, AFullChunkInOneRunAndAColumnOfCellsInOneRun)
{
    std::mt19937 rng(3);
    const std::vector<Quad> quads = columnOrderQuads(64, rng, 1.0f);
    const ChunkCells cells = chunkCellsOf(meshOf(quads), 64, glm::vec3(0.0f));
    EXPECT_EQ(occupiedCells(cells), 0xFFFFu);
    std::vector<VertexRun> runs;
    visibleRuns(cells, 0xFFFFu, runs);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].first, 0u);
    EXPECT_EQ(runs[0].count, 64u * 64u * 6u);
    // Cells 4..7 are quad columns 16..31 over every row: one stretch of the stream.
    runs.clear();
    visibleRuns(cells, 0xF0u, runs);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].first, 16u * 64u * 6u);
    EXPECT_EQ(runs[0].count, 16u * 64u * 6u);
    // One cell is one stretch per quad column.
    runs.clear();
    visibleRuns(cells, 1u, runs);
    EXPECT_EQ(runs.size(), 16u);
    runs.clear();
    visibleRuns(cells, 0u, runs);
    EXPECT_TRUE(runs.empty());
}

TEST(TerrainCells, BoxesHoldTheirCellsQuadsInWorldSpaceAndEmptyCellsAreMarked)
{
    // Quads only in cell (1, 0): columns 16..31, rows 0..15 of a 32-quad chunk.
    std::vector<Quad> quads;
    for (u32 a = 16; a < 32; a++) {
        for (u32 b = 0; b < 16; b++) quads.push_back({a, b, 2.0f});
    }
    const glm::vec3 origin(-512.0f, 0.0f, 64.0f);
    const ChunkCells cells = chunkCellsOf(meshOf(quads), 32, origin);
    ASSERT_EQ(cells.boxes.size(), 4u);
    EXPECT_TRUE(cells.boxes[0].empty);
    EXPECT_TRUE(cells.boxes[1].empty);
    EXPECT_FALSE(cells.boxes[2].empty); // index i * 2 + j with i = 1, j = 0
    EXPECT_TRUE(cells.boxes[3].empty);
    EXPECT_EQ(occupiedCells(cells), 4u);
    EXPECT_EQ(cells.boxes[2].min, origin + glm::vec3(16.0f, 2.0f, 0.0f));
    EXPECT_EQ(cells.boxes[2].max, origin + glm::vec3(32.0f, 3.0f, 16.0f));
}

TEST(TerrainCells, MeshesOutOfColumnOrderAreRefusedAndLargeChunksHaveNoCells)
{
    EXPECT_EQ(chunkCellsOf(meshOf({{0, 0, 0.0f}}), 96, glm::vec3(0.0f)).cellsPerSide, 0u);
    EXPECT_EQ(chunkCellsOf(meshOf({{0, 0, 0.0f}}), 0, glm::vec3(0.0f)).cellsPerSide, 0u);
    EXPECT_THROW(chunkCellsOf(meshOf({{5, 0, 0.0f}, {4, 0, 0.0f}}), 64, glm::vec3(0.0f)), std::invalid_argument);
    ChunkMeshData ragged = meshOf({{0, 0, 0.0f}});
    ragged.vertexCount = 5;
    EXPECT_THROW(chunkCellsOf(ragged, 64, glm::vec3(0.0f)), std::invalid_argument);
}

TEST(TerrainCells, TheStrictTestDropsOnlyBoxesWhollyBeyondAPlane)
{
    const Frustum frustum = forwardFrustum();
    // Ahead, behind, crossing the near plane, beyond the far plane.
    EXPECT_FALSE(boxOutsideFrustum({-1, -1, 50}, {1, 1, 60}, frustum));
    EXPECT_TRUE(boxOutsideFrustum({-1, -1, -60}, {1, 1, -50}, frustum));
    EXPECT_FALSE(boxOutsideFrustum({-1, -1, -5}, {1, 1, 5}, frustum));
    EXPECT_TRUE(boxOutsideFrustum({-1, -1, 510}, {1, 1, 520}, frustum));
    // Beside the view at distance 100 (the side plane is at x = 100 tan 30 = 57.7):
    // touching it from outside by less than the margin is kept, a little more is not.
    const f32 side = 100.0f * std::tan(glm::radians(30.0f));
    EXPECT_FALSE(boxOutsideFrustum({side + 0.001f, -1, 99}, {side + 10, 1, 100}, frustum));
    EXPECT_TRUE(boxOutsideFrustum({side + 1.0f, -1, 99}, {side + 10, 1, 100}, frustum));

    // The chunks' generous test keeps a box half its size beyond a plane; the cells'
    // strict test drops it.
    BoundingAABB generous;
    generous.expand({-1, -1, -8}, {1, 1, -2});
    generous.active = 1;
    generous.testFrustum(frustum);
    EXPECT_EQ(generous.visible, 1);
    EXPECT_TRUE(boxOutsideFrustum({-1, -1, -8}, {1, 1, -2}, frustum));
}

TEST(TerrainCells, VisibleCellsAreThoseInViewThatHoldQuads)
{
    // A 32-quad chunk from z = 10 on, x from -16: cells (0, j) lie at x -16..0, (1, j) at
    // 0..16; rows j = 0 at z 10..26, j = 1 at z 26..42. Only cell (1, 1) is left empty.
    std::vector<Quad> quads;
    for (u32 a = 0; a < 32; a++) {
        for (u32 b = 0; b < 32; b++) {
            if (a >= 16 && b >= 16) continue;
            quads.push_back({a, b, 0.0f});
        }
    }
    const ChunkCells cells = chunkCellsOf(meshOf(quads), 32, glm::vec3(-16.0f, 0.0f, 10.0f));
    EXPECT_EQ(visibleCells(cells, forwardFrustum()), 0b0111u);
    // Looking back along -z, nothing of the chunk is in view.
    Frustum back;
    back.fromMatrix(perspectiveProjection(60.0f, 1.0f, 1.0f, 500.0f) *
                    viewAlong(glm::vec3(0.0f), glm::vec3(0.0f, 0.0f, -1.0f)));
    EXPECT_EQ(visibleCells(cells, back), 0u);
}

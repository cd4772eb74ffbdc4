#include "HandGrid.h"

#include "Engine/Camera/Random.h"
#include "World/Terrain/ChunkMeshBuilder.h"
#include "World/Terrain/CollisionMesh.h"
#include "World/Terrain/GenerationProgress.h"
#include "World/Terrain/QuadSplit.h"
#include "World/Terrain/TerrainGrid.h"

#include <BulletCollision/CollisionShapes/btBvhTriangleMeshShape.h>
#include <BulletCollision/CollisionShapes/btTriangleMesh.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

TEST(Terrain, StepsRoundHalfAwayFromZero)
{
    TerrainGrid grid(2, 2);
    const f32 heights[] = {0.2f, -0.2f, 0.19f, -0.21f, 0.0f, 10.0f, -40.0f, 0.6f, -0.6f};
    for (size_t i = 0; i < std::size(heights); i++) grid.heights[i] = heights[i];
    grid.createSteps();
    const i32 expected[] = {1, -1, 0, -1, 0, 25, -100, 2, -2};
    for (size_t i = 0; i < std::size(expected); i++) EXPECT_EQ(grid.steps[i], expected[i]) << heights[i];
}

TEST(Terrain, GridGeometryAndOrigin)
{
    TerrainGrid grid(64, 16);
    EXPECT_EQ(grid.gridSize, 1025u);
    EXPECT_EQ(grid.origin, glm::vec3(-512.0f, 0.0f, -512.0f));
    EXPECT_EQ(grid.steps.size(), 1025u * 1025u);
    EXPECT_EQ(grid.heights.size(), 1025u * 1025u);
}

TEST(Terrain, HeightMapSinksToTheSeaFloorAtTheCorners)
{
    TerrainGrid grid(8, 8); // 65 points
    grid.threadCount = 1;
    grid.generateHeightMap(42);
    const u32 n = grid.gridSize;
    // Near the corners the sea-floor mask is 1 whatever the noise: exactly -40 there.
    for (u32 corner : {0u, n - 1}) {
        EXPECT_FLOAT_EQ(grid.heights[corner], -40.0f);
        EXPECT_FLOAT_EQ(grid.heights[static_cast<size_t>(n - 1) * n + corner], -40.0f);
    }
    // The centre keeps half the sampled height.
    f64 s = grid.sampleHeight(0.0028 * (n / 2), 0.0028 * (n / 2));
    EXPECT_NEAR(grid.heights[static_cast<size_t>(n / 2) * n + n / 2], 0.5 * s, 1e-3 * (1.0 + std::fabs(s)));
}

TEST(Terrain, ProgressAnnouncesEachStageWithItsText)
{
    TerrainGrid grid(4, 4);
    GenerationProgress progress;
    std::vector<std::string> texts;
    progress.beginStage = [&](const char* text) { texts.emplace_back(text); };
    grid.progress = &progress;
    grid.threadCount = 2;
    grid.generateHeightMap(1);
    EXPECT_FLOAT_EQ(progress.fraction.load(), 1.0f);
    grid.erode(100);
    grid.createSteps();
    EXPECT_EQ(texts, (std::vector<std::string>{"Generating heighmap", "Eroding terrain", "Creating terrain steps"}));
}

TEST(Terrain, FootprintStepRangeAtTheEdges)
{
    HandGrid grid(4, 2, 3); // 9 x 9 points
    grid.set(0, 0, -2);
    grid.set(8, 8, 7);
    glm::ivec2 range(0);
    EXPECT_TRUE(grid.footprintStepRange({0, 0}, {2, 3}, range));
    EXPECT_EQ(range, glm::ivec2(-2, 3));
    // x + w = gridSize - 1 is the last valid corner.
    EXPECT_TRUE(grid.footprintStepRange({6, 6}, {2, 2}, range));
    EXPECT_EQ(range, glm::ivec2(3, 7));
    glm::ivec2 untouched(123, 456);
    range = untouched;
    EXPECT_FALSE(grid.footprintStepRange({7, 6}, {2, 2}, range));
    EXPECT_FALSE(grid.footprintStepRange({6, 7}, {2, 2}, range));
    EXPECT_FALSE(grid.footprintStepRange({-1, 0}, {1, 1}, range));
    EXPECT_FALSE(grid.footprintStepRange({0, -1}, {1, 1}, range));
    EXPECT_FALSE(grid.footprintStepRange({2147483000, 0}, {2000, 1}, range)); // no overflow
    EXPECT_EQ(range, untouched);
    // A single point, and a negative size (nothing scanned).
    EXPECT_TRUE(grid.footprintStepRange({8, 8}, {0, 0}, range));
    EXPECT_EQ(range, glm::ivec2(7, 7));
    EXPECT_TRUE(grid.footprintStepRange({3, 3}, {-1, 2}, range));
    EXPECT_EQ(range, glm::ivec2(99999, -99999));
}

TEST(Terrain, FindBuildSiteOnFlatGroundTakesTheFirstTry)
{
    HandGrid grid(16, 4, 5); // 65 x 65
    Random source(17);
    Random replay(17);
    glm::ivec3 site = grid.findBuildSite({32, 32}, {4, 3, 6}, 20.0f, 0, source);
    // The first band: r = sqrt(0.02*U2)*20 < 2.9.
    f64 angle = 2.0 * 3.14159265358979323846 * (replay.engine() / 4294967296.0);
    f64 u = replay.engine() / 4294967296.0;
    f64 r = std::sqrt(0.0 + u * 0.02) * 20.0;
    EXPECT_EQ(site.x, static_cast<i32>(std::cos(angle) * r) - 2 + 32);
    EXPECT_EQ(site.z, 32 + static_cast<i32>(std::sin(angle) * r) - 3);
    EXPECT_EQ(site.y, 5);
    EXPECT_EQ(source.engine, replay.engine); // exactly two draws
}

TEST(Terrain, FindBuildSiteFallsBackInsideTheGridAfterAllTries)
{
    // A checkerboard of steps 0 and 10: no footprint is within tolerance anywhere.
    HandGrid grid(8, 2, 0); // 17 x 17
    for (u32 z = 0; z < grid.gridSize; z++)
        for (u32 x = 0; x < grid.gridSize; x++) grid.set(x, z, ((x + z) % 2) * 10);
    Random source(3);
    glm::ivec3 site = grid.findBuildSite({8, 8}, {4, 1, 4}, 6.0f, 2, source);
    EXPECT_EQ(site, glm::ivec3(6, 10, 6));
    Random replay(3);
    replay.engine.discard(2 * 25000); // 50 bands of 500 tries, two draws each
    EXPECT_EQ(source.engine, replay.engine);

    // A centre at the very edge: the fallback corner is pulled inside, with its real range.
    Random again(3);
    glm::ivec3 edge = grid.findBuildSite({16, 0}, {4, 1, 4}, 6.0f, 2, again);
    EXPECT_EQ(edge.x, 12);
    EXPECT_EQ(edge.z, 0);
    EXPECT_EQ(edge.y, 10);
    // A footprint larger than the grid: corner 0 and that point's step, never an unset range.
    Random big(3);
    glm::ivec3 huge = grid.findBuildSite({8, 8}, {40, 1, 40}, 6.0f, 2, big);
    EXPECT_EQ(huge, glm::ivec3(0, 0, 0));
    // A radius that is not a number finds nothing and falls back.
    Random nanRadius(3);
    EXPECT_EQ(grid.findBuildSite({8, 8}, {4, 1, 4}, std::nanf(""), 2, nanRadius), glm::ivec3(6, 10, 6));
}

TEST(Terrain, QuadsSplitAlongTheLongerDiagonal)
{
    EXPECT_FALSE(splitsAlongP00P11(1.2f, 1.2f, 1.2f, 1.2f)); // flat: along P10-P01
    EXPECT_TRUE(splitsAlongP00P11(0.0f, 0.4f, 0.4f, 1.2f));
    EXPECT_FALSE(splitsAlongP00P11(0.4f, 0.0f, 1.2f, 0.4f));
    EXPECT_FALSE(splitsAlongP00P11(0.0f, 0.0f, 0.8f, 0.8f)); // equal rises: tie
}

TEST(TerrainChunks, ColoursBySlopeAndHeight)
{
    glm::vec4 sand = srgbToLinear(229, 198, 105), grass = srgbToLinear(123, 180, 75);
    glm::vec4 dirt = srgbToLinear(198, 126, 72), rock = srgbToLinear(160, 160, 160);
    EXPECT_EQ(baseColor({0, 1, 0}, 1.9f), sand);
    EXPECT_EQ(baseColor({0, 1, 0}, 2.0f), grass);
    EXPECT_EQ(baseColor({0.5f, 0.85f, 0}, 5.0f), dirt);
    EXPECT_EQ(baseColor({0.5f, 0.85f, 0}, -5.0f), sand);
    EXPECT_EQ(baseColor({0.6f, 0.78f, 0}, 5.0f), rock); // exactly 0.78 is not flat
    EXPECT_EQ(baseColor({0.6f, 0.78f, 0}, 0.0f), rock);
    EXPECT_EQ(baseColor({0.4f, 0.9f, 0}, 5.0f), dirt); // exactly 0.9 is not grass

    EXPECT_FLOAT_EQ(srgbToLinear(0, 0, 0).r, 0.0f);
    EXPECT_FLOAT_EQ(srgbToLinear(255, 255, 255).g, 1.0f);
    EXPECT_FLOAT_EQ(srgbToLinear(10, 0, 0).r, 10.0f / 255.0f / 12.92f); // linear segment
    EXPECT_NEAR(srgbToLinear(0, 128, 0).g, 0.2158605f, 1e-6f);
    EXPECT_EQ(srgbToLinear(1, 2, 3).a, 1.0f);

    // One uniform draw per colour, alpha scaled too.
    Random a(9), b(9);
    glm::vec4 c = TerrainGrid::vertexColor(&a, {0, 1, 0}, 10.0f);
    f64 u = b.uniform(0.0, 1.0);
    f32 k = static_cast<f32>(1.0 + (u - 0.5) * 0.1);
    EXPECT_EQ(c, grass * k);
    EXPECT_EQ(a.engine, b.engine);
    EXPECT_GE(k, 0.95f);
    EXPECT_LE(k, 1.05f);
}

TEST(TerrainChunks, FlatChunksHaveSixVerticesPerQuadWithUnitUpNormals)
{
    HandGrid grid(4, 2, 5); // steps 5: height 2.0 everywhere
    ChunkSetData set = buildChunkSet(grid, {-999999.0f, 999999.0f}, 12742.0f, *grid.random, 1);
    ASSERT_EQ(set.chunks.size(), 4u);
    for (u32 chunk = 0; chunk < 4; chunk++) {
        const ChunkMeshData& mesh = set.chunks[chunk];
        EXPECT_EQ(mesh.vertexCount, 96u); // 16 quads
        EXPECT_EQ(mesh.streams.size(), 96u * 40u);
        EXPECT_TRUE(set.boxes[chunk].active);
        for (u32 v = 0; v < mesh.vertexCount; v++) EXPECT_EQ(mesh.normal(v), glm::vec3(0, 1, 0));
    }
    // The first quad of chunk 0, split along P01-P10.
    const ChunkMeshData& first = set.chunks[0];
    EXPECT_EQ(first.position(0), glm::vec3(0, 2, 0));
    EXPECT_EQ(first.position(1), glm::vec3(0, 2, 1));
    EXPECT_EQ(first.position(2), glm::vec3(1, 2, 0));
    EXPECT_EQ(first.position(3), glm::vec3(1, 2, 1));
    EXPECT_EQ(first.position(4), glm::vec3(1, 2, 0));
    EXPECT_EQ(first.position(5), glm::vec3(0, 2, 1));
    // Chunk (cx 1, cz 0) has index 1 and covers the far edge in x: world x -4..0 + origin.
    const BoundingAABB& box = set.boxes[1];
    EXPECT_EQ(box.minX, grid.origin.x + 4.0f);
    EXPECT_EQ(box.maxX, grid.origin.x + 8.0f);
    EXPECT_EQ(box.minZ, grid.origin.z);
    EXPECT_EQ(box.maxZ, grid.origin.z + 4.0f);
    EXPECT_EQ(box.minY, 2.0f);
    EXPECT_EQ(box.maxY, 2.0f);
    // Two draws per quad.
    Random replay(1);
    replay.engine.discard(2 * 2 * 64);
    EXPECT_EQ(grid.random->engine, replay.engine);
}

TEST(TerrainChunks, SlopedQuadsUseTheLongerDiagonalAndPointUp)
{
    HandGrid grid(2, 1, 0); // one chunk of 2 x 2 quads
    grid.set(1, 1, 10);     // a peak in the middle: every quad is sloped
    ChunkSetData set = buildChunkSet(grid, {-999999.0f, 999999.0f}, 12742.0f, *grid.random, 1);
    const ChunkMeshData& mesh = set.chunks[0];
    ASSERT_EQ(mesh.vertexCount, 24u);
    // Quad (0, 0): h11 = 4 is the high corner, so P00-P11 is the longer diagonal.
    EXPECT_EQ(mesh.position(0), glm::vec3(0, 0, 0));
    EXPECT_EQ(mesh.position(1), glm::vec3(1, 4, 1));
    EXPECT_EQ(mesh.position(2), glm::vec3(1, 0, 0));
    EXPECT_EQ(mesh.position(3), glm::vec3(1, 4, 1));
    EXPECT_EQ(mesh.position(4), glm::vec3(0, 0, 0));
    EXPECT_EQ(mesh.position(5), glm::vec3(0, 0, 1));
    for (u32 t = 0; t < 8; t++) {
        glm::vec3 a = mesh.position(3 * t), b = mesh.position(3 * t + 1), c = mesh.position(3 * t + 2);
        glm::vec3 raw = glm::cross(b - a, c - a);
        EXPECT_EQ(raw.y, 1.0f); // before normalising
        EXPECT_EQ(mesh.normal(3 * t), glm::normalize(raw));
        EXPECT_NEAR(glm::length(mesh.normal(3 * t)), 1.0f, 1e-6f);
        EXPECT_EQ(mesh.normal(3 * t + 2), mesh.normal(3 * t));
        EXPECT_EQ(mesh.color(3 * t + 1), mesh.color(3 * t));
        EXPECT_GT(mesh.normal(3 * t).y, 0.0f);
    }
    // Steep triangles are rock (slope 4 per unit), coloured from the first corner's height.
    glm::vec4 rock = srgbToLinear(160, 160, 160);
    EXPECT_NEAR(mesh.color(0).r / rock.r, mesh.color(0).a, 1e-6f);
}

TEST(TerrainChunks, AltitudeWindowsAndTheDeepSeaFloor)
{
    HandGrid grid(2, 2, 0); // 5 x 5 points, 2 x 2 chunks of 2 x 2 quads
    // Chunk (0, 0) is deep sea floor, chunk (1, 0) low shore, the rest high ground.
    for (u32 z = 0; z < 5; z++) {
        for (u32 x = 0; x < 5; x++) {
            i32 step = 50; // 20 units
            if (x <= 2 && z <= 2) step = -100; // -40
            if (x >= 3 && z <= 2) step = 5;    // 2 units
            grid.set(x, z, step);
        }
    }
    const f32 flat = 1e5f; // a sphere so large that altitude is height here
    ChunkSetData main = buildChunkSet(grid, {-0.5f, 999999.0f}, flat, *grid.random, 2);
    ChunkSetData prepass = buildChunkSet(grid, {-999999.0f, 6.5f}, flat, *grid.random, 2);
    ChunkSetData shadow = buildChunkSet(grid, {-999999.0f, 999999.0f}, flat, *grid.random, 2);
    // Deep sea floor: in no set, inactive box.
    for (const ChunkSetData* set : {&main, &prepass, &shadow}) {
        EXPECT_EQ(set->chunks[0].vertexCount, 0u);
        EXPECT_FALSE(set->boxes[0].active);
        EXPECT_EQ(set->boxes[0].minX, 1e8f);
        EXPECT_EQ(set->boxes[0].maxY, -1e8f);
    }
    EXPECT_EQ(main.chunks[1].vertexCount, 24u);
    EXPECT_EQ(prepass.chunks[1].vertexCount, 24u);
    // Chunk 3 (cx 1, cz 1): its quads touching z = 2 have a corner at 2 units.
    EXPECT_EQ(prepass.chunks[3].vertexCount, 12u);
    EXPECT_EQ(main.chunks[3].vertexCount, 24u);
    EXPECT_EQ(shadow.chunks[3].vertexCount, 24u);

    // On the real sphere the sea level falls towards the rim: far from the centre a
    // point at height 0 has a positive altitude.
    HandGrid wide(64, 16, 0);
    ChunkSetData low = buildChunkSet(wide, {-999999.0f, 6.5f}, 12742.0f, *wide.random, 0);
    EXPECT_EQ(low.chunks[0].vertexCount, 0u);              // the corner chunk: altitude above 6.5
    EXPECT_EQ(low.chunks[8 * 16 + 8].vertexCount, 64u * 64u * 6u); // the centre chunk
}

TEST(TerrainChunks, CollisionMeshMatchesTheChunkSplit)
{
    HandGrid grid(2, 1, 0);
    grid.set(1, 1, 10);
    grid.set(2, 2, 3);
    btTriangleMesh mesh(true, true);
    fillCollisionMesh(grid, mesh);
    EXPECT_EQ(mesh.getNumTriangles(), 8);
    const unsigned char* vertexBase = nullptr;
    const unsigned char* indexBase = nullptr;
    int numVerts, numFaces, vertexStride, indexStride;
    PHY_ScalarType vertexType, indexType;
    mesh.getLockedReadOnlyVertexIndexBase(&vertexBase, numVerts, vertexType, vertexStride, &indexBase, indexStride,
                                          numFaces, indexType);
    EXPECT_EQ(numVerts, 24); // no merging of shared vertices
    auto vertex = [&](int triangle, int corner) {
        const u32* index = reinterpret_cast<const u32*>(indexBase + triangle * indexStride);
        const f32* v = reinterpret_cast<const f32*>(vertexBase + index[corner] * vertexStride);
        return glm::vec3(v[0], v[1], v[2]);
    };
    // Quad (0, 0) is split along p00-p11: (p11, p00, p10), (p00, p11, p01), in world space.
    glm::vec3 o = grid.origin;
    EXPECT_EQ(vertex(0, 0), o + glm::vec3(1, 4, 1));
    EXPECT_EQ(vertex(0, 1), o + glm::vec3(0, 0, 0));
    EXPECT_EQ(vertex(0, 2), o + glm::vec3(1, 0, 0));
    EXPECT_EQ(vertex(1, 2), o + glm::vec3(0, 0, 1));
    // Quad (x 0, y 1) (second in the inner loop) has p10 = (1, 4, 1) high: split along p10-p01.
    EXPECT_EQ(vertex(2, 0), o + glm::vec3(0, 0, 2));
    EXPECT_EQ(vertex(2, 1), o + glm::vec3(0, 0, 1));
    EXPECT_EQ(vertex(2, 2), o + glm::vec3(1, 4, 1));
    EXPECT_EQ(vertex(3, 0), o + glm::vec3(1, 4, 1));
    EXPECT_EQ(vertex(3, 1), o + glm::vec3(1, 0, 2));
    EXPECT_EQ(vertex(3, 2), o + glm::vec3(0, 0, 2));
    mesh.unLockReadOnlyVertexBase(0);
}

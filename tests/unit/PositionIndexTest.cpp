#include "HandGrid.h"

#include "Engine/Camera/Random.h"
#include "World/Terrain/ChunkMeshBuilder.h"
#include "World/Terrain/PositionIndex.h"
#include "World/Terrain/TerrainGrid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <random>
#include <vector>

namespace {

using Bits = std::array<u32, 3>;

Bits bitsOf(const glm::vec3& p)
{
    Bits bits;
    std::memcpy(bits.data(), &p, sizeof(p));
    return bits;
}

glm::vec3 fromBits(u32 x, u32 y, u32 z)
{
    const u32 words[3] = {x, y, z};
    glm::vec3 p;
    std::memcpy(&p, words, sizeof(p));
    return p;
}

// Everything the indexed form promises, against the original vertices: index k gives
// vertex k's bits, each bit pattern is kept exactly once, in the order first met.
void expectFaithful(const std::vector<glm::vec3>& original, const IndexedPositions& indexed)
{
    ASSERT_EQ(indexed.indices.size(), original.size());
    std::map<Bits, u32> firstSeen;
    u32 nextNew = 0;
    for (size_t k = 0; k < original.size(); k++) {
        const u32 index = indexed.indices[k];
        ASSERT_LT(index, indexed.positions.size()) << "vertex " << k;
        EXPECT_EQ(bitsOf(indexed.positions[index]), bitsOf(original[k])) << "vertex " << k;
        auto [place, added] = firstSeen.try_emplace(bitsOf(original[k]), index);
        if (added) {
            EXPECT_EQ(index, nextNew++) << "vertex " << k << " brings a new position";
        } else {
            EXPECT_EQ(index, place->second) << "vertex " << k << " repeats a position";
        }
    }
    EXPECT_EQ(indexed.positions.size(), firstSeen.size());
}

// Vertices drawn from a small pool of positions, so that many repeat.
std::vector<glm::vec3> pooledVertices(std::mt19937& rng, u32 poolSize, u32 count)
{
    std::uniform_real_distribution<f32> coordinate(-100.0f, 100.0f);
    std::vector<glm::vec3> pool(poolSize);
    for (glm::vec3& p : pool) p = {coordinate(rng), coordinate(rng), coordinate(rng)};
    std::uniform_int_distribution<u32> pick(0, poolSize - 1);
    std::vector<glm::vec3> vertices(count);
    for (glm::vec3& v : vertices) v = pool[pick(rng)];
    return vertices;
}

} // namespace

TEST(PositionIndex, EveryIndexGivesBackItsVertexAndRepeatsAreKeptOnce)
{
    std::mt19937 rng(3);
    for (u32 pool : {1u, 7u, 500u, 30000u}) {
        for (u32 count : {1u, 6u, 999u, 24576u}) {
            SCOPED_TRACE(testing::Message() << pool << " positions, " << count << " vertices");
            const std::vector<glm::vec3> vertices = pooledVertices(rng, pool, count);
            expectFaithful(vertices, indexPositions(vertices));
        }
    }
    // No vertex at all.
    const IndexedPositions none = indexPositions({});
    EXPECT_TRUE(none.positions.empty());
    EXPECT_TRUE(none.indices.empty());
}

TEST(PositionIndex, OnlyIdenticalBitsAreShared)
{
    const f32 nan = std::numeric_limits<f32>::quiet_NaN();
    const glm::vec3 nanPoint = fromBits(0x7FC00000u, 0, 0);
    const glm::vec3 otherNan = fromBits(0x7FC00001u, 0, 0);
    const std::vector<glm::vec3> vertices = {
        {0.0f, 0.0f, 0.0f},
        {-0.0f, 0.0f, 0.0f}, // equal as numbers, other bits
        {0.0f, -0.0f, 0.0f},
        {0.0f, 0.0f, -0.0f},
        {0.0f, 0.0f, 0.0f},
        {1.0f, 2.0f, 3.0f},
        {std::nextafter(1.0f, 2.0f), 2.0f, 3.0f}, // one unit in the last place apart
        {1.0f, std::nextafter(2.0f, 0.0f), 3.0f},
        {3.0f, 2.0f, 1.0f}, // the same words in another order
        nanPoint,
        nanPoint, // never equal as numbers, the same bits
        otherNan,
        {nan, nan, nan},
        {1.0f, 2.0f, 3.0f},
        {-0.0f, 0.0f, 0.0f},
    };
    const IndexedPositions indexed = indexPositions(vertices);
    expectFaithful(vertices, indexed);
    EXPECT_EQ(indexed.positions.size(), 11u);
    EXPECT_EQ(indexed.indices, (std::vector<u32>{0, 1, 2, 3, 0, 4, 5, 6, 7, 8, 8, 9, 10, 4, 1}));
}

TEST(PositionIndex, NearlyEqualPositionsThatCollideStayApart)
{
    // Many positions one bit apart in each word, all distinct, then all of them again:
    // the table fills with neighbours whose slots run into each other.
    std::vector<glm::vec3> vertices;
    for (u32 i = 0; i < 4096; i++) vertices.push_back(fromBits(0x3F800000u + (i & 15), 0x40000000u + (i >> 4 & 15),
                                                                 0x40400000u + (i >> 8)));
    const std::vector<glm::vec3> once = vertices;
    vertices.insert(vertices.end(), once.rbegin(), once.rend());
    const IndexedPositions indexed = indexPositions(vertices);
    expectFaithful(vertices, indexed);
    EXPECT_EQ(indexed.positions.size(), 4096u);
}

TEST(PositionIndex, OneIndexerServesManyMeshesInTurn)
{
    // The builder keeps one indexer a thread for every chunk it builds: nothing of one
    // mesh may show in the next.
    std::mt19937 rng(9);
    PositionIndexer indexer;
    std::vector<glm::vec3> previous;
    for (u32 count : {3000u, 12u, 500u, 0u, 7u, 4000u, 4000u}) {
        std::vector<glm::vec3> vertices = pooledVertices(rng, std::max(1u, count / 5), count);
        if (count == previous.size()) {
            // The last mesh's positions again, first met in the opposite order.
            vertices.assign(previous.rbegin(), previous.rend());
        }
        previous = vertices;
        std::vector<glm::vec3> distinct(count);
        std::vector<u32> indices(count);
        const u32 kept = indexer.index(reinterpret_cast<const u8*>(vertices.data()), count,
                                       reinterpret_cast<u8*>(distinct.data()), indices.data());
        distinct.resize(kept);
        expectFaithful(vertices, {distinct, indices});
    }
}

TEST(PositionIndex, AnIndexedChunkSetHasTheShadedSetsVerticesInOrder)
{
    // Two chunks of 4 x 4 quads with a terrace and a peak, so that quads split both
    // ways and positions repeat across them.
    HandGrid grid(4, 2, 5);
    grid.set(2, 2, 9);
    for (u32 z = 0; z < grid.gridSize; z++) grid.set(6, z, -3);
    HandGrid same(4, 2, 5);
    same.steps = grid.steps;
    const ChunkSetData shaded = buildChunkSet(grid, {-999999.0f, 999999.0f}, 12742.0f, *grid.random, 2);
    const ChunkSetData indexed = buildChunkSet(same, {-999999.0f, 999999.0f}, 12742.0f, *same.random, 3,
                                               ChunkForm::PositionsIndexed);
    EXPECT_EQ(shaded.form, ChunkForm::Shaded);
    EXPECT_EQ(indexed.form, ChunkForm::PositionsIndexed);
    // The generator moved on as far as the colours would have taken it.
    EXPECT_EQ(grid.random->engine, same.random->engine);
    ASSERT_EQ(indexed.chunks.size(), 4u);
    for (u32 chunk = 0; chunk < 4; chunk++) {
        SCOPED_TRACE(chunk);
        const ChunkMeshData& a = shaded.chunks[chunk];
        const ChunkMeshData& b = indexed.chunks[chunk];
        EXPECT_FALSE(a.indexed());
        ASSERT_TRUE(b.indexed());
        ASSERT_EQ(b.vertexCount, a.vertexCount);
        EXPECT_EQ(b.indices.size(), a.vertexCount);
        // 5 x 5 corners of 16 quads, no normals or colours.
        EXPECT_EQ(b.positionCount(), 25u);
        EXPECT_EQ(b.streams.size(), 25u * 12u);
        std::vector<glm::vec3> original;
        for (u32 v = 0; v < a.vertexCount; v++) original.push_back(a.position(v));
        std::vector<glm::vec3> distinct(b.positionCount());
        std::memcpy(distinct.data(), b.streams.data(), b.streams.size());
        expectFaithful(original, {distinct, b.indices});
        for (u32 v = 0; v < a.vertexCount; v++) EXPECT_EQ(bitsOf(b.position(v)), bitsOf(a.position(v)));
        const BoundingAABB& boxA = shaded.boxes[chunk];
        const BoundingAABB& boxB = indexed.boxes[chunk];
        EXPECT_EQ(boxB.active, boxA.active);
        EXPECT_EQ(glm::vec3(boxB.minX, boxB.minY, boxB.minZ), glm::vec3(boxA.minX, boxA.minY, boxA.minZ));
        EXPECT_EQ(glm::vec3(boxB.maxX, boxB.maxY, boxB.maxZ), glm::vec3(boxA.maxX, boxA.maxY, boxA.maxZ));
    }
}

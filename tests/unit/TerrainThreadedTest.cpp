#include "Engine/Camera/Random.h"
#include "World/Terrain/ChunkMeshBuilder.h"
#include "World/Terrain/CollisionMesh.h"
#include "World/Terrain/QuadSplit.h"
#include "World/Terrain/TerrainGrid.h"

#include <BulletCollision/CollisionShapes/btBvhTriangleMeshShape.h>
#include <BulletCollision/CollisionShapes/btTriangleMesh.h>
#include <BulletCollision/NarrowPhaseCollision/btRaycastCallback.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <future>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

// The bits of the small landscape of SmallLandscapeKeepsItsBits.
constexpr i64 SmallLandscapeStepSum = -1838387;
constexpr u64 SmallLandscapeStepHash = 7446324276492412686ull;
constexpr u64 SmallLandscapeHeightHash = 4751786076416255902ull;

u64 hashBytes(const void* data, size_t size, u64 hash = 1469598103934665603ull)
{
    const u8* bytes = static_cast<const u8*>(data);
    for (size_t i = 0; i < size; i++) hash = (hash ^ bytes[i]) * 1099511628211ull;
    return hash;
}

template <typename T>
u64 hashVector(const std::vector<T>& values, u64 hash = 1469598103934665603ull)
{
    return hashBytes(values.data(), values.size() * sizeof(T), hash);
}

struct Hashes {
    u64 heights = 0, steps = 0, colors = 0, meshes = 0;
    bool operator==(const Hashes&) const = default;
};

// A smaller landscape than the game's (129 x 129 points, fewer droplets) through
// every stage the game runs, with the chunk sets taken as the game takes them.
Hashes generate(i32 seed, u32 threads, bool prepareAhead, bool heightMapAhead = false)
{
    TerrainGrid grid(16, 8);
    grid.threadCount = threads;
    if (heightMapAhead) {
        // As the world does it: the height map made on a thread of its own first.
        auto made = std::async(std::launch::async, [=] { return TerrainGrid::makeHeightMap(seed, 16, 8, threads); });
        grid.takeHeightMap(*made.get());
    } else {
        grid.generateHeightMap(seed);
    }
    grid.erode(20000);
    grid.createSteps();
    if (prepareAhead) {
        // As the game does it: the collision shape is built while the sets are.
        grid.prepareChunkSets(12742.0f);
        btTriangleMesh mesh(true, true);
        fillCollisionMesh(grid, mesh);
        std::unique_ptr<btBvhTriangleMeshShape> shape(buildCollisionShape(&mesh, threads));
    }
    Hashes h;
    h.heights = hashVector(grid.heights);
    h.steps = hashVector(grid.steps);
    h.colors = 1469598103934665603ull;
    h.meshes = 1469598103934665603ull;
    using namespace ChunkRules;
    // The sets as the game takes them: the shadow set with indexed positions only.
    for (ChunkSetRequest request : {ChunkSetRequest{{MainLow, MainHigh}, ChunkForm::Shaded},
                                    ChunkSetRequest{{PrepassLow, PrepassHigh}, ChunkForm::Shaded},
                                    ChunkSetRequest{{ShadowLow, ShadowHigh}, ChunkForm::PositionsIndexed}}) {
        ChunkSetData set = grid.takeChunkSet(request.window, 12742.0f, request.form);
        EXPECT_EQ(set.form, request.form);
        for (const ChunkMeshData& chunk : set.chunks) {
            // Positions and normals first, colours last in each shaded block.
            size_t colorStart = chunk.indexed() ? chunk.streams.size() : chunk.vertexCount * 24u;
            h.meshes = hashBytes(chunk.streams.data(), colorStart, h.meshes);
            h.colors = hashBytes(chunk.streams.data() + colorStart, chunk.streams.size() - colorStart, h.colors);
            h.meshes = hashBytes(&chunk.vertexCount, sizeof(chunk.vertexCount), h.meshes);
            h.meshes = hashVector(chunk.indices, h.meshes);
        }
    }
    h.colors = hashBytes(&grid.random->engine, sizeof(grid.random->engine), h.colors);
    return h;
}

// A chunk set as flat streams in build order (cx outer, cz inner).
struct FlatSet {
    std::vector<glm::vec3> positions, normals;
    std::vector<glm::vec4> colors;
    std::vector<u32> vertexCount;
};

// A set's vertices in build order, read vertex by vertex: the positions in either
// form, and with `shading` the normals and colours of the shaded form.
FlatSet flatten(const ChunkSetData& set, bool shading = true)
{
    FlatSet flat;
    flat.vertexCount.assign(set.chunks.size(), 0);
    for (u32 cx = 0; cx < set.chunksPerSide; cx++) {
        for (u32 cz = 0; cz < set.chunksPerSide; cz++) {
            const ChunkMeshData& chunk = set.chunks[cz * set.chunksPerSide + cx];
            flat.vertexCount[cz * set.chunksPerSide + cx] = chunk.vertexCount;
            if (chunk.indexed()) {
                EXPECT_EQ(chunk.indices.size(), chunk.vertexCount);
                EXPECT_LT(*std::max_element(chunk.indices.begin(), chunk.indices.end()), chunk.positionCount());
            }
            for (u32 v = 0; v < chunk.vertexCount; v++) {
                flat.positions.push_back(chunk.position(v));
                if (!shading) continue;
                flat.normals.push_back(chunk.normal(v));
                flat.colors.push_back(chunk.color(v));
            }
        }
    }
    return flat;
}

// The chunk set straight from the rules, one quad after another.
FlatSet referenceSet(const TerrainGrid& grid, glm::vec2 window, f32 radius, Random& random)
{
    const u32 cps = grid.chunksPerSide, cs = grid.chunkSize, n = grid.gridSize;
    FlatSet set;
    set.vertexCount.assign(cps * cps, 0);
    for (u32 cx = 0; cx < cps; cx++) {
        for (u32 cz = 0; cz < cps; cz++) {
            glm::vec3 chunkOrigin = grid.origin + glm::vec3(static_cast<f32>(cx * cs), 0, static_cast<f32>(cz * cs));
            for (u32 a = 0; a < cs; a++) {
                for (u32 b = 0; b < cs; b++) {
                    u32 x = cx * cs + a, z = cz * cs + b;
                    f32 h00 = grid.steps[z * n + x] * 0.4f, h10 = grid.steps[z * n + x + 1] * 0.4f;
                    f32 h01 = grid.steps[(z + 1) * n + x] * 0.4f, h11 = grid.steps[(z + 1) * n + x + 1] * 0.4f;
                    glm::vec3 p00(a, h00, b), p10(a + 1, h10, b), p01(a, h01, b + 1), p11(a + 1, h11, b + 1);
                    f32 alt[4];
                    const glm::vec3* corners[4] = {&p00, &p10, &p01, &p11};
                    for (int i = 0; i < 4; i++) {
                        glm::vec3 q = chunkOrigin + *corners[i] - glm::vec3(0, -radius, 0);
                        alt[i] = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z) - radius;
                    }
                    bool below = alt[0] < window.x && alt[1] < window.x && alt[2] < window.x && alt[3] < window.x;
                    bool above = alt[0] > window.y && alt[1] > window.y && alt[2] > window.y && alt[3] > window.y;
                    bool deep = h00 < -39.5f && h10 < -39.5f && h01 < -39.5f && h11 < -39.5f;
                    if (below || above || deep) continue;
                    glm::vec3 t[6];
                    if (splitsAlongP00P11(h00, h10, h01, h11)) {
                        glm::vec3 s[6] = {p00, p11, p10, p11, p00, p01};
                        std::copy(s, s + 6, t);
                    } else {
                        glm::vec3 s[6] = {p00, p01, p10, p11, p10, p01};
                        std::copy(s, s + 6, t);
                    }
                    glm::vec3 n1 = glm::normalize(glm::cross(t[1] - t[0], t[2] - t[0]));
                    glm::vec3 n2 = glm::normalize(glm::cross(t[4] - t[3], t[5] - t[3]));
                    glm::vec4 c1 = TerrainGrid::vertexColor(&random, n1, h00);
                    glm::vec4 c2 = TerrainGrid::vertexColor(&random, n2, h00);
                    for (int i = 0; i < 6; i++) {
                        set.positions.push_back(t[i]);
                        set.normals.push_back(i < 3 ? n1 : n2);
                        set.colors.push_back(i < 3 ? c1 : c2);
                    }
                    set.vertexCount[cz * cps + cx] += 6;
                }
            }
        }
    }
    return set;
}

} // namespace

TEST(TerrainThreaded, OneSeedGivesTheSameBitsWithAnyNumberOfThreads)
{
    Hashes single = generate(7, 1, false);
    EXPECT_EQ(generate(7, 1, false), single);
    EXPECT_EQ(generate(7, 4, true), single);
    EXPECT_EQ(generate(7, 8, true), single);
    EXPECT_EQ(generate(7, 3, false), single);
    EXPECT_EQ(generate(7, 4, true, true), single);
    EXPECT_EQ(generate(7, 1, false, true), single);

    // A height map made for another size does not fit.
    TerrainGrid grid(16, 8);
    std::unique_ptr<TerrainGrid> other = TerrainGrid::makeHeightMap(7, 16, 4, 2);
    EXPECT_THROW(grid.takeHeightMap(*other), std::logic_error);

    Hashes otherSeed = generate(8, 4, true);
    EXPECT_NE(otherSeed.heights, single.heights);
    EXPECT_NE(otherSeed.steps, single.steps);
    EXPECT_NE(otherSeed.colors, single.colors);
}

TEST(TerrainThreaded, ChunkSetsMatchTheQuadByQuadRules)
{
    TerrainGrid grid(16, 8);
    grid.threadCount = 4;
    grid.generateHeightMap(21);
    grid.erode(20000);
    grid.createSteps();
    Random fast(5), slow(5), positionsOnly(5);
    using namespace ChunkRules;
    for (glm::vec2 window : {glm::vec2(MainLow, MainHigh), glm::vec2(PrepassLow, PrepassHigh),
                             glm::vec2(ShadowLow, ShadowHigh)}) {
        FlatSet built = flatten(buildChunkSet(grid, window, 1000.0f, fast, 6));
        FlatSet reference = referenceSet(grid, window, 1000.0f, slow);
        // The positions-only form: index by index the same vertices, the generator
        // moved on as far.
        const ChunkSetData indexedSet = buildChunkSet(grid, window, 1000.0f, positionsOnly, 5,
                                                      ChunkForm::PositionsIndexed);
        const FlatSet indexed = flatten(indexedSet, false);
        EXPECT_EQ(hashVector(indexed.positions), hashVector(reference.positions));
        EXPECT_EQ(indexed.vertexCount, reference.vertexCount);
        EXPECT_EQ(positionsOnly.engine, slow.engine);
        u32 stored = 0;
        for (const ChunkMeshData& chunk : indexedSet.chunks) stored += chunk.positionCount();
        // A position is kept once however many quads share it (up to six vertices of
        // four quads inside a chunk): far fewer than the four a lone quad would keep.
        const u32 vertices = static_cast<u32>(reference.positions.size());
        EXPECT_LT(stored * 3, vertices * 2);
        if (window == glm::vec2(ShadowLow, ShadowHigh)) {
            EXPECT_LT(stored * 4, vertices);
        }
        ASSERT_EQ(built.positions.size(), reference.positions.size());
        ASSERT_GT(built.positions.size(), 0u);
        // The built streams are in build order (cx outer), as is the reference.
        EXPECT_EQ(hashVector(built.positions), hashVector(reference.positions));
        EXPECT_EQ(hashVector(built.normals), hashVector(reference.normals));
        EXPECT_EQ(hashVector(built.colors), hashVector(reference.colors));
        EXPECT_EQ(built.vertexCount, reference.vertexCount);
        EXPECT_EQ(fast.engine, slow.engine);
    }
}

TEST(TerrainThreaded, PreparedSetsTakenOutOfOrderAreBuiltAfresh)
{
    TerrainGrid ahead(8, 8), direct(8, 8);
    for (TerrainGrid* grid : {&ahead, &direct}) {
        grid->threadCount = 3;
        grid->generateHeightMap(4);
        grid->erode(2000);
        grid->createSteps();
    }
    ahead.prepareChunkSets(12742.0f);
    // The prepass first: not what was prepared, so it is built with the live generator.
    glm::vec2 prepass(ChunkRules::PrepassLow, ChunkRules::PrepassHigh);
    glm::vec2 shadow(ChunkRules::ShadowLow, ChunkRules::ShadowHigh);
    ChunkSetData a1 = ahead.takeChunkSet(prepass, 12742.0f, ChunkForm::Shaded);
    ChunkSetData d1 = direct.takeChunkSet(prepass, 12742.0f, ChunkForm::Shaded);
    ChunkSetData a2 = ahead.takeChunkSet(shadow, 12742.0f, ChunkForm::Shaded);
    ChunkSetData d2 = direct.takeChunkSet(shadow, 12742.0f, ChunkForm::Shaded);
    EXPECT_EQ(hashVector(flatten(a1).colors), hashVector(flatten(d1).colors));
    EXPECT_EQ(hashVector(flatten(a2).colors), hashVector(flatten(d2).colors));
    EXPECT_EQ(ahead.random->engine, direct.random->engine);

    // The right window in another form than the one prepared is built afresh too.
    TerrainGrid prepared(8, 8);
    prepared.threadCount = 3;
    prepared.generateHeightMap(4);
    prepared.erode(2000);
    prepared.createSteps();
    prepared.prepareChunkSets(12742.0f);
    ChunkSetData main = prepared.takeChunkSet({ChunkRules::MainLow, ChunkRules::MainHigh}, 12742.0f,
                                              ChunkForm::PositionsIndexed);
    EXPECT_EQ(main.form, ChunkForm::PositionsIndexed);
    bool someIndexed = false;
    for (const ChunkMeshData& chunk : main.chunks) someIndexed = someIndexed || chunk.indexed();
    EXPECT_TRUE(someIndexed);
}

TEST(TerrainThreaded, SmallLandscapeKeepsItsBits)
{
    // Pins the bits of one small landscape, so a change of compiler flags or of the
    // code that alters a single bit of heights or steps shows up here.
    TerrainGrid grid(8, 4); // 33 x 33
    grid.threadCount = 2;
    grid.generateHeightMap(1);
    grid.erode(500);
    grid.createSteps();
    i64 stepSum = 0;
    for (i32 s : grid.steps) stepSum += s;
    f64 heightSum = 0.0;
    for (f32 h : grid.heights) heightSum += h;
    EXPECT_EQ(stepSum, SmallLandscapeStepSum);
    EXPECT_EQ(hashVector(grid.steps), SmallLandscapeStepHash);
    EXPECT_EQ(hashVector(grid.heights), SmallLandscapeHeightHash);
}

namespace {

// Reports the nearest hit fraction of a ray against a triangle-mesh shape.
struct NearestHit : btTriangleRaycastCallback {
    f32 nearest = 2.0f;
    NearestHit(const btVector3& from, const btVector3& to) : btTriangleRaycastCallback(from, to) {}
    btScalar reportHit(const btVector3&, btScalar fraction, int, int) override
    {
        nearest = std::min(nearest, static_cast<f32>(fraction));
        return fraction;
    }
};

} // namespace

TEST(TerrainThreaded, CollisionShapeIsTheLibraryBuildByteForByte)
{
    TerrainGrid grid(16, 8);
    grid.threadCount = 4;
    grid.generateHeightMap(3);
    grid.erode(20000);
    grid.createSteps();

    btTriangleMesh referenceMesh(true, true);
    fillCollisionMesh(grid, referenceMesh);
    btBvhTriangleMeshShape reference(&referenceMesh, true, true);
    btQuantizedBvh& expected = *reference.getOptimizedBvh();
    EXPECT_EQ(referenceMesh.getNumTriangles(), 2 * 128 * 128);

    for (u32 threads : {1u, 2u, 3u, 8u}) {
        btTriangleMesh mesh(true, true);
        fillCollisionMesh(grid, mesh);
        std::unique_ptr<btBvhTriangleMeshShape> shape(buildCollisionShape(&mesh, threads));
        for (int axis = 0; axis < 3; axis++) {
            EXPECT_EQ(shape->getLocalAabbMin()[axis], reference.getLocalAabbMin()[axis]);
            EXPECT_EQ(shape->getLocalAabbMax()[axis], reference.getLocalAabbMax()[axis]);
        }
        btQuantizedBvh& built = *shape->getOptimizedBvh();
        ASSERT_EQ(built.getQuantizedNodeArray().size(), expected.getQuantizedNodeArray().size());
        ASSERT_EQ(built.getSubtreeInfoArray().size(), expected.getSubtreeInfoArray().size());
        EXPECT_EQ(0, std::memcmp(&built.getQuantizedNodeArray()[0], &expected.getQuantizedNodeArray()[0],
                                 sizeof(btQuantizedBvhNode) * built.getQuantizedNodeArray().size()))
            << threads << " threads";
        EXPECT_EQ(0, std::memcmp(&built.getSubtreeInfoArray()[0], &expected.getSubtreeInfoArray()[0],
                                 sizeof(btBvhSubtreeInfo) * built.getSubtreeInfoArray().size()))
            << threads << " threads";
    }

    // Steep rays meet the surface between the lowest and highest corner of the quad
    // they hit, at the same place through the library's shape. (Exactly vertical rays
    // can slip through the library's ray-box test where a coordinate equals a bound.)
    btTriangleMesh mesh(true, true);
    fillCollisionMesh(grid, mesh);
    std::unique_ptr<btBvhTriangleMeshShape> shape(buildCollisionShape(&mesh, 4));
    // (Erosion on so small a map digs deep pits: the rays span the whole height range.)
    const f32 top = *std::max_element(grid.steps.begin(), grid.steps.end()) * 0.4f + 10.0f;
    const f32 bottom = *std::min_element(grid.steps.begin(), grid.steps.end()) * 0.4f - 10.0f;
    Random points(2);
    for (int i = 0; i < 300; i++) {
        f32 fx = static_cast<f32>(points.uniform(1.0, 126.0));
        f32 fz = static_cast<f32>(points.uniform(1.0, 126.0));
        btVector3 from(grid.origin.x + fx, top, grid.origin.z + fz);
        btVector3 to(grid.origin.x + fx + 0.37f, bottom, grid.origin.z + fz - 0.21f);
        NearestHit hit(from, to), expectedHit(from, to);
        shape->performRaycast(&hit, from, to);
        reference.performRaycast(&expectedHit, from, to);
        ASSERT_LT(hit.nearest, 1.0f);
        EXPECT_EQ(hit.nearest, expectedHit.nearest);
        btVector3 point = from.lerp(to, hit.nearest);
        u32 x = static_cast<u32>(point.x() - grid.origin.x), z = static_cast<u32>(point.z() - grid.origin.z);
        f32 corners[4] = {grid.stepHeightAt(x, z), grid.stepHeightAt(x + 1, z), grid.stepHeightAt(x, z + 1),
                          grid.stepHeightAt(x + 1, z + 1)};
        EXPECT_GE(point.y(), *std::min_element(corners, corners + 4) - 1e-2f);
        EXPECT_LE(point.y(), *std::max_element(corners, corners + 4) + 1e-2f);
    }
}

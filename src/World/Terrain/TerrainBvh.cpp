#include "World/Terrain/TerrainBvh.h"

#include "World/Terrain/ParallelFor.h"

#include <BulletCollision/CollisionShapes/btTriangleIndexVertexArray.h>

#include <algorithm>
#include <cmath>
#include <thread>

namespace {

// Below this many leaves a subtree is built on the thread that reached it.
constexpr int MinParallelLeaves = 4096;

// Smallest box extent per axis, as the library widens flat triangle boxes.
constexpr btScalar MinBoxExtent = btScalar(0.002);
constexpr btScalar MinBoxHalfExtent = btScalar(0.001);

// Levels whose halves are built at the same time: as many subtrees at the bottom
// of them as there are workers, at most.
u32 levelsFor(u32 threads)
{
    u32 levels = 0;
    while ((2u << levels) <= threads && levels < 8) levels++;
    return levels;
}

btTriangleIndexVertexArray* withExactBounds(btTriangleIndexVertexArray* mesh, u32 threads)
{
    // The exact extent of the vertices: what the shape would find with one support
    // query per axis and direction over every triangle (its margin is 0), found here
    // with a parallel min/max over the vertex array.
    const unsigned char* vertexBase = nullptr;
    const unsigned char* indexBase = nullptr;
    int numVerts = 0, vertexStride = 0, indexStride = 0, numFaces = 0;
    PHY_ScalarType vertexType, indexType;
    btVector3 low(BT_LARGE_FLOAT, BT_LARGE_FLOAT, BT_LARGE_FLOAT);
    btVector3 high(-BT_LARGE_FLOAT, -BT_LARGE_FLOAT, -BT_LARGE_FLOAT);
    const btVector3 scaling = mesh->getScaling();
    for (int part = 0; part < mesh->getNumSubParts(); part++) {
        mesh->getLockedReadOnlyVertexIndexBase(&vertexBase, numVerts, vertexType, vertexStride, &indexBase,
                                               indexStride, numFaces, indexType, part);
        const u32 grain = 1u << 16;
        std::vector<btVector3> lows((static_cast<u32>(numVerts) + grain - 1) / grain, low);
        std::vector<btVector3> highs(lows.size(), high);
        parallelFor(static_cast<u32>(numVerts), grain, threads, [&](u32 begin, u32 end) {
            btVector3& blockLow = lows[begin / grain];
            btVector3& blockHigh = highs[begin / grain];
            for (u32 v = begin; v < end; v++) {
                const float* p = reinterpret_cast<const float*>(vertexBase + v * vertexStride);
                btVector3 point(p[0] * scaling.getX(), p[1] * scaling.getY(), p[2] * scaling.getZ());
                blockLow.setMin(point);
                blockHigh.setMax(point);
            }
        });
        for (size_t block = 0; block < lows.size(); block++) {
            low.setMin(lows[block]);
            high.setMax(highs[block]);
        }
        mesh->unLockReadOnlyVertexBase(part);
    }
    mesh->setPremadeAabb(low, high);
    return mesh;
}

} // namespace

void ParallelBvh::makeLeafNodes(btStridingMeshInterface* mesh, u32 threads)
{
    const btVector3 scaling = mesh->getScaling();
    for (int part = 0; part < mesh->getNumSubParts(); part++) {
        const unsigned char* vertexBase = nullptr;
        const unsigned char* indexBase = nullptr;
        int numVerts = 0, vertexStride = 0, indexStride = 0, numFaces = 0;
        PHY_ScalarType vertexType, indexType;
        mesh->getLockedReadOnlyVertexIndexBase(&vertexBase, numVerts, vertexType, vertexStride, &indexBase,
                                               indexStride, numFaces, indexType, part);
        btAssert(vertexType == PHY_FLOAT && indexType == PHY_INTEGER);
        int first = m_quantizedLeafNodes.size();
        m_quantizedLeafNodes.resize(first + numFaces);
        btQuantizedBvhNode* leaves = &m_quantizedLeafNodes[first];
        parallelFor(static_cast<u32>(numFaces), 1u << 14, threads, [&](u32 begin, u32 end) {
            for (u32 face = begin; face < end; face++) {
                const unsigned int* index = reinterpret_cast<const unsigned int*>(indexBase + face * indexStride);
                btVector3 aabbMin(BT_LARGE_FLOAT, BT_LARGE_FLOAT, BT_LARGE_FLOAT);
                btVector3 aabbMax(-BT_LARGE_FLOAT, -BT_LARGE_FLOAT, -BT_LARGE_FLOAT);
                for (int corner = 0; corner < 3; corner++) {
                    const float* v = reinterpret_cast<const float*>(vertexBase + index[corner] * vertexStride);
                    btVector3 point(v[0] * scaling.getX(), v[1] * scaling.getY(), v[2] * scaling.getZ());
                    aabbMin.setMin(point);
                    aabbMax.setMax(point);
                }
                for (int axis = 0; axis < 3; axis++) {
                    if (aabbMax[axis] - aabbMin[axis] < MinBoxExtent) {
                        aabbMax[axis] = aabbMax[axis] + MinBoxHalfExtent;
                        aabbMin[axis] = aabbMin[axis] - MinBoxHalfExtent;
                    }
                }
                btQuantizedBvhNode& node = leaves[face];
                quantize(&node.m_quantizedAabbMin[0], aabbMin, 0);
                quantize(&node.m_quantizedAabbMax[0], aabbMax, 1);
                node.m_escapeIndexOrTriangleIndex = (part << (31 - MAX_NUM_PARTS_IN_BITS)) | static_cast<int>(face);
            }
        });
        mesh->unLockReadOnlyVertexBase(part);
    }
}

void ParallelBvh::mergeLeavesInParallel(int node, int start, int end, u32 threads)
{
    // Quantised bounds merge by plain min and max, so the blocks may be merged in any
    // order with the same result.
    struct Bounds {
        unsigned short low[3] = {0xFFFF, 0xFFFF, 0xFFFF};
        unsigned short high[3] = {0, 0, 0};
    };
    const u32 count = static_cast<u32>(end - start);
    const u32 grain = std::max(1u, count / (4 * threads));
    std::vector<Bounds> blocks((count + grain - 1) / grain);
    parallelFor(count, grain, threads, [&](u32 begin, u32 finish) {
        Bounds& bounds = blocks[begin / grain];
        for (u32 k = begin; k < finish; k++) {
            unsigned short low[3], high[3];
            quantize(low, getAabbMin(start + static_cast<int>(k)), 0);
            quantize(high, getAabbMax(start + static_cast<int>(k)), 1);
            for (int axis = 0; axis < 3; axis++) {
                bounds.low[axis] = std::min(bounds.low[axis], low[axis]);
                bounds.high[axis] = std::max(bounds.high[axis], high[axis]);
            }
        }
    });
    btQuantizedBvhNode& target = m_quantizedContiguousNodes[node];
    for (const Bounds& bounds : blocks) {
        for (int axis = 0; axis < 3; axis++) {
            target.m_quantizedAabbMin[axis] = std::min(target.m_quantizedAabbMin[axis], bounds.low[axis]);
            target.m_quantizedAabbMax[axis] = std::max(target.m_quantizedAabbMax[axis], bounds.high[axis]);
        }
    }
}

void ParallelBvh::buildSubtree(int start, int end, int node, u32 parallelLevels, std::vector<HeaderUpdate>& updates)
{
    const int count = end - start;
    if (count == 1) {
        assignInternalNodeFromLeafNode(node, start);
        return;
    }
    int axis = calcSplittingAxis(start, end);
    int split = sortAndCalcSplittingIndex(start, end, axis);

    setInternalNodeAabbMin(node, m_bvhAabbMax);
    setInternalNodeAabbMax(node, m_bvhAabbMin);
    if (parallelLevels > 0 && count >= MinParallelLeaves) {
        mergeLeavesInParallel(node, start, end, 1u << parallelLevels);
    } else {
        for (int i = start; i < end; i++) mergeInternalNodeAabb(node, getAabbMin(i), getAabbMax(i));
    }

    // A subtree of n leaves takes 2n - 1 nodes in depth-first order, so the right
    // child's place is known before the left child is built.
    const int left = node + 1;
    const int right = left + 2 * (split - start) - 1;
    if (parallelLevels > 0 && count >= MinParallelLeaves) {
        std::vector<HeaderUpdate> rightUpdates;
        std::thread other([&]() { buildSubtree(split, end, right, parallelLevels - 1, rightUpdates); });
        buildSubtree(start, split, left, parallelLevels - 1, updates);
        other.join();
        updates.insert(updates.end(), rightUpdates.begin(), rightUpdates.end());
    } else {
        buildSubtree(start, split, left, 0, updates);
        buildSubtree(split, end, right, 0, updates);
    }

    const int escape = 2 * count - 1;
    if (escape * static_cast<int>(sizeof(btQuantizedBvhNode)) > MAX_SUBTREE_SIZE_IN_BYTES) {
        updates.emplace_back(left, right);
    }
    setInternalNodeEscapeIndex(node, escape);
}

void ParallelBvh::buildQuantized(btStridingMeshInterface* mesh, const btVector3& aabbMin, const btVector3& aabbMax,
                                 u32 threads)
{
    threads = workerCount(threads);
    m_useQuantization = true;
    setQuantizationValues(aabbMin, aabbMax);
    m_quantizedLeafNodes.clear();
    makeLeafNodes(mesh, threads);

    const int leaves = m_quantizedLeafNodes.size();
    m_quantizedContiguousNodes.resize(2 * leaves);
    m_SubtreeHeaders.clear();
    if (leaves > 0) {
        // Subtree headers are added after the whole tree stands, in the order the
        // one-thread build adds them (after both children of a node).
        std::vector<HeaderUpdate> updates;
        buildSubtree(0, leaves, 0, levelsFor(threads), updates);
        for (const HeaderUpdate& update : updates) updateSubtreeHeaders(update.first, update.second);
        m_curNodeIndex = 2 * leaves - 1;
    } else {
        m_curNodeIndex = 0;
    }

    // A tree smaller than one subtree still gets a header.
    if (!m_SubtreeHeaders.size() && leaves > 0) {
        btBvhSubtreeInfo& subtree = m_SubtreeHeaders.expand();
        subtree.setAabbFromQuantizeNode(m_quantizedContiguousNodes[0]);
        subtree.m_rootNodeIndex = 0;
        subtree.m_subtreeSize =
            m_quantizedContiguousNodes[0].isLeafNode() ? 1 : m_quantizedContiguousNodes[0].getEscapeIndex();
    }
    m_subtreeHeaderCount = m_SubtreeHeaders.size();
    m_quantizedLeafNodes.clear();
    m_leafNodes.clear();
}

TerrainCollisionShape::TerrainCollisionShape(btTriangleIndexVertexArray* mesh, u32 threads)
    : btBvhTriangleMeshShape(withExactBounds(mesh, threads), true, false)
{
    bvh = new ParallelBvh();
    bvh->buildQuantized(mesh, getLocalAabbMin(), getLocalAabbMax(), threads);
    setOptimizedBvh(bvh);
}

TerrainCollisionShape::~TerrainCollisionShape()
{
    delete bvh;
}

void TerrainCollisionShape::useGrid(u32 side, const btVector3& origin)
{
    const unsigned char* vertexBase = nullptr;
    const unsigned char* indexBase = nullptr;
    int numVerts = 0, vertexStride = 0, indexStride = 0, numFaces = 0;
    PHY_ScalarType vertexType, indexType;
    m_meshInterface->getLockedReadOnlyVertexIndexBase(&vertexBase, numVerts, vertexType, vertexStride, &indexBase,
                                                      indexStride, numFaces, indexType, 0);
    m_meshInterface->unLockReadOnlyVertexBase(0);
    // Only the layout fillCollisionMesh writes: anything else keeps the tree.
    const i64 quads = side >= 2 ? i64{side - 1} * (side - 1) : 0;
    const bool layout = m_meshInterface->getNumSubParts() == 1 && vertexType == PHY_FLOAT &&
                        vertexStride == 4 * static_cast<int>(sizeof(float)) && numFaces == 2 * quads &&
                        numVerts == 3 * numFaces && m_meshInterface->getScaling() == btVector3(1, 1, 1);
    if (!layout) return;
    gridSide = side;
    gridOrigin = origin;
    vertices = reinterpret_cast<const float*>(vertexBase);
    triangleCount = numFaces;
}

void TerrainCollisionShape::processAllTriangles(btTriangleCallback* callback, const btVector3& aabbMin,
                                                const btVector3& aabbMax) const
{
    if (vertices == nullptr) {
        btBvhTriangleMeshShape::processAllTriangles(callback, aabbMin, aabbMax);
        return;
    }
    // The quads whose square meets the box's x and z range (each of a quad's two
    // triangles spans the whole square), then each triangle's heights against the box.
    const i64 cells = gridSide - 1;
    const btVector3 low = aabbMin - gridOrigin, high = aabbMax - gridOrigin;
    if (!(high.x() >= 0 && high.z() >= 0 && low.x() <= cells && low.z() <= cells)) return;
    const i64 x0 = std::max<i64>(static_cast<i64>(std::floor(low.x())) - 1, 0);
    const i64 z0 = std::max<i64>(static_cast<i64>(std::floor(low.z())) - 1, 0);
    const i64 x1 = std::min<i64>(static_cast<i64>(std::floor(high.x())), cells - 1);
    const i64 z1 = std::min<i64>(static_cast<i64>(std::floor(high.z())), cells - 1);
    btVector3 corners[3];
    for (i64 x = x0; x <= x1; x++) {
        if (static_cast<btScalar>(x + 1) < low.x() || static_cast<btScalar>(x) > high.x()) continue;
        for (i64 z = z0; z <= z1; z++) {
            if (static_cast<btScalar>(z + 1) < low.z() || static_cast<btScalar>(z) > high.z()) continue;
            for (i64 half = 0; half < 2; half++) {
                const i64 triangle = 2 * (x * cells + z) + half;
                const float* v = vertices + 12 * triangle;
                btScalar bottom = v[1], top = v[1];
                for (int corner = 0; corner < 3; corner++) {
                    corners[corner].setValue(v[4 * corner], v[4 * corner + 1], v[4 * corner + 2]);
                    bottom = std::min(bottom, v[4 * corner + 1]);
                    top = std::max(top, v[4 * corner + 1]);
                }
                // Flat triangles count with the tree's smallest box height.
                if (top - bottom < MinBoxExtent) {
                    bottom -= MinBoxHalfExtent;
                    top += MinBoxHalfExtent;
                }
                if (top < aabbMin.y() || bottom > aabbMax.y()) continue;
                callback->processTriangle(corners, 0, static_cast<int>(triangle));
            }
        }
    }
}

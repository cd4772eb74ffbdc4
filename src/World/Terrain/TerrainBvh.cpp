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

void ParallelBvh::makeLeafKeys(u32 threads)
{
    const int count = m_quantizedLeafNodes.size();
    keys.resize(static_cast<size_t>(count));
    parallelFor(static_cast<u32>(count), 1u << 14, threads, [&](u32 begin, u32 end) {
        for (u32 leaf = begin; leaf < end; leaf++) {
            const int i = static_cast<int>(leaf);
            // The library's centre of a leaf and its box as a node merges it.
            const btVector3 center = btScalar(0.5) * (getAabbMax(i) + getAabbMin(i));
            LeafKey& key = keys[leaf];
            key.center[0] = center.getX();
            key.center[1] = center.getY();
            key.center[2] = center.getZ();
            quantize(key.low, getAabbMin(i), 0);
            quantize(key.high, getAabbMax(i), 1);
        }
    });
}

int ParallelBvh::splittingAxis(int start, int end, float means[3]) const
{
    // The axis along which the centres vary most: their mean, then their variance,
    // each summed in leaf order and scaled as the library does it.
    float sum[3] = {0.0f, 0.0f, 0.0f};
    for (int i = start; i < end; i++) {
        const LeafKey& key = keys[static_cast<size_t>(i)];
        for (int axis = 0; axis < 3; axis++) sum[axis] += key.center[axis];
    }
    const float count = static_cast<float>(end - start);
    const float inverse = 1.0f / count;
    for (int axis = 0; axis < 3; axis++) means[axis] = sum[axis] * inverse;

    float variance[3] = {0.0f, 0.0f, 0.0f};
    for (int i = start; i < end; i++) {
        const LeafKey& key = keys[static_cast<size_t>(i)];
        for (int axis = 0; axis < 3; axis++) {
            const float difference = key.center[axis] - means[axis];
            variance[axis] += difference * difference;
        }
    }
    const float inverseLessOne = 1.0f / (count - 1.0f);
    for (int axis = 0; axis < 3; axis++) variance[axis] *= inverseLessOne;
    if (variance[0] < variance[1]) return variance[1] < variance[2] ? 2 : 1;
    return variance[0] < variance[2] ? 2 : 0;
}

int ParallelBvh::partition(int start, int end, int axis, float splitValue)
{
    // Leaves whose centre lies beyond the mean come first, swapped forward one by one
    // in the library's order; a split too near either end falls back to the middle.
    int split = start;
    for (int i = start; i < end; i++) {
        if (keys[static_cast<size_t>(i)].center[axis] > splitValue) {
            std::swap(m_quantizedLeafNodes[i], m_quantizedLeafNodes[split]);
            std::swap(keys[static_cast<size_t>(i)], keys[static_cast<size_t>(split)]);
            split++;
        }
    }
    const int count = end - start;
    const int balanced = count / 3;
    if (split <= start + balanced || split >= end - 1 - balanced) split = start + (count >> 1);
    return split;
}

void ParallelBvh::buildSubtree(int start, int end, int node, u32 parallelLevels, std::vector<HeaderUpdate>& updates)
{
    const int count = end - start;
    if (count == 1) {
        assignInternalNodeFromLeafNode(node, start);
        return;
    }
    // The split value is the mean along the axis; the library sums the centres once
    // more for it, in the same order, to the same bits.
    float means[3];
    const int axis = splittingAxis(start, end, means);
    const int split = partition(start, end, axis, means[axis]);

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

    // The library starts the box from the far corners (which every leaf box lies
    // within) and merges every leaf's box into it; min and max over the leaves are
    // those over the two halves, where a half that is one leaf counts with that leaf's
    // merged box rather than the node copied from it.
    btQuantizedBvhNode& target = m_quantizedContiguousNodes[node];
    auto half = [&](int child, int first, int size, unsigned short low[3], unsigned short high[3]) {
        const unsigned short* childLow = m_quantizedContiguousNodes[child].m_quantizedAabbMin;
        const unsigned short* childHigh = m_quantizedContiguousNodes[child].m_quantizedAabbMax;
        if (size == 1) {
            childLow = keys[static_cast<size_t>(first)].low;
            childHigh = keys[static_cast<size_t>(first)].high;
        }
        for (int k = 0; k < 3; k++) {
            low[k] = childLow[k];
            high[k] = childHigh[k];
        }
    };
    unsigned short leftLow[3], leftHigh[3], rightLow[3], rightHigh[3];
    half(left, start, split - start, leftLow, leftHigh);
    half(right, split, end - split, rightLow, rightHigh);
    for (int k = 0; k < 3; k++) {
        target.m_quantizedAabbMin[k] = std::min(leftLow[k], rightLow[k]);
        target.m_quantizedAabbMax[k] = std::max(leftHigh[k], rightHigh[k]);
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
    makeLeafKeys(threads);

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
    keys = std::vector<LeafKey>();
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

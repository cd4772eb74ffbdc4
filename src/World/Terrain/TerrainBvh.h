#pragma once

#include "Engine/Types.h"

#include <BulletCollision/CollisionShapes/btBvhTriangleMeshShape.h>
#include <BulletCollision/CollisionShapes/btOptimizedBvh.h>

#include <utility>
#include <vector>

class btStridingMeshInterface;
class btTriangleIndexVertexArray;

// The library's quantised BVH, built over several threads. The leaf boxes are made
// as the library makes them, and the tree is split with the library's own axis and
// split choices; the two halves of a node are built at the same time down to a few
// levels, each into the node range it would occupy in a one-thread build. The nodes
// and subtree headers come out byte for byte as the library's own build makes them.
//
// The library finds a leaf's centre and its box in node units anew at every level;
// they never change, so they are worked out once per leaf (in parallel) with the
// library's own arithmetic and travel with the leaf. The sums over a range stay in
// the library's order, so the split choices keep their bits.
class ParallelBvh : public btOptimizedBvh {
public:
    // The library's build(mesh, true, aabbMin, aabbMax) on `threads` threads (0: all).
    void buildQuantized(btStridingMeshInterface* mesh, const btVector3& aabbMin, const btVector3& aabbMax,
                        u32 threads);

private:
    using HeaderUpdate = std::pair<int, int>; // children of a node whose subtree headers are due

    // What the build reads of a leaf: its centre and its box as merged into a node.
    struct LeafKey {
        float center[3];
        unsigned short low[3];
        unsigned short high[3];
    };
    std::vector<LeafKey> keys; // in step with m_quantizedLeafNodes

    void makeLeafNodes(btStridingMeshInterface* mesh, u32 threads);
    void makeLeafKeys(u32 threads);
    int splittingAxis(int start, int end, float means[3]) const;
    int partition(int start, int end, int axis, float splitValue);
    void buildSubtree(int start, int end, int node, u32 parallelLevels, std::vector<HeaderUpdate>& updates);
};

// The terrain's collision shape: a BVH triangle-mesh shape whose bounds and BVH are
// found over several threads; the BVH is owned (and deleted) by the shape. Sets the
// mesh's premade bounds.
//
// A shape over a grid's mesh (two triangles per quad, quads x-major, each triangle with
// three vertices of its own, as fillCollisionMesh makes it) can be told so with
// useGrid: it then finds the triangles in a box from the quads under the box instead of
// walking the tree, which is what every capsule on the ground asks every step. The
// triangles reported are the same, with their own indices; only their order differs.
class TerrainCollisionShape : public btBvhTriangleMeshShape {
public:
    TerrainCollisionShape(btTriangleIndexVertexArray* mesh, u32 threads);
    ~TerrainCollisionShape() override;

    // The mesh is a grid of side x side points one unit apart from `origin`.
    void useGrid(u32 side, const btVector3& origin);
    void processAllTriangles(btTriangleCallback* callback, const btVector3& aabbMin,
                             const btVector3& aabbMax) const override;

private:
    ParallelBvh* bvh = nullptr;
    u32 gridSide = 0;
    btVector3 gridOrigin{0, 0, 0};
    const float* vertices = nullptr; // four floats per vertex, three vertices per triangle
    i32 triangleCount = 0;
};

#pragma once

#include <BulletCollision/CollisionDispatch/btActivatingCollisionAlgorithm.h>
#include <BulletCollision/CollisionDispatch/btCollisionCreateFunc.h>
#include <LinearMath/btVector3.h>

class btCollisionDispatcher;
class btPersistentManifold;

// Capsules (the enemies) against triangles (the terrain mesh). The library runs its
// general convex test (GJK, EPA when the cores overlap) for every triangle under every
// capsule, each through an algorithm object made and freed per triangle; that
// dominates a physics step full of enemies. Here a capsule is its core segment and a
// radius, and its contact with a triangle comes from the exact closest points of the
// segment and the triangle. What is reported is what the library's test reports: one
// point per triangle on the triangle's surface, the normal from the triangle towards
// the capsule, the distance between the surfaces (negative while they overlap), kept
// only within the manifold's contact-breaking threshold (as the library's own
// sphere-triangle test keeps its points).

// The closest points of a segment [p, q] and a triangle (a, b, c); `crosses` when the
// segment passes through the triangle (distance 0).
struct SegmentTriangleClosest {
    btVector3 onSegment{0, 0, 0};
    btVector3 onTriangle{0, 0, 0};
    btScalar distance = 0;
    bool crosses = false;
};
SegmentTriangleClosest closestSegmentTriangle(const btVector3& p, const btVector3& q, const btVector3& a,
                                              const btVector3& b, const btVector3& c);

// A contact of a capsule with a triangle: the normal from the triangle towards the
// capsule, the point on the triangle's surface, the signed distance of the surfaces.
struct CapsuleContact {
    btVector3 normal{0, 1, 0};
    btVector3 onTriangle{0, 0, 0};
    btScalar distance = 0;
};

// The contact of the capsule with core [top, bottom] and `radius` with triangle
// (a, b, c) of margin `triangleMargin`, all in one space; false when the surfaces lie
// farther apart than `threshold` (or the triangle has no area).
bool capsuleTriangleContact(const btVector3& top, const btVector3& bottom, btScalar radius, const btVector3& a,
                            const btVector3& b, const btVector3& c, btScalar triangleMargin, btScalar threshold,
                            CapsuleContact& contact);

// A capsule against one triangle shape (as the library's convex-concave test hands
// them out, one per triangle).
class CapsuleTriangleCollision : public btActivatingCollisionAlgorithm {
public:
    CapsuleTriangleCollision(btPersistentManifold* manifold, const btCollisionAlgorithmConstructionInfo& info,
                             const btCollisionObjectWrapper* body0, const btCollisionObjectWrapper* body1, bool swapped);
    ~CapsuleTriangleCollision() override;

    void processCollision(const btCollisionObjectWrapper* body0, const btCollisionObjectWrapper* body1,
                          const btDispatcherInfo& dispatchInfo, btManifoldResult* resultOut) override;
    btScalar calculateTimeOfImpact(btCollisionObject* body0, btCollisionObject* body1,
                                   const btDispatcherInfo& dispatchInfo, btManifoldResult* resultOut) override;
    void getAllContactManifolds(btManifoldArray& manifolds) override;

    struct CreateFunc : public btCollisionAlgorithmCreateFunc {
        btCollisionAlgorithm* CreateCollisionAlgorithm(btCollisionAlgorithmConstructionInfo& info,
                                                       const btCollisionObjectWrapper* body0,
                                                       const btCollisionObjectWrapper* body1) override;
    };

private:
    btPersistentManifold* manifold = nullptr;
    bool ownManifold = false;
    bool swapped = false; // body0 is the triangle
};

// A capsule against a whole triangle mesh (the terrain's shape): the triangles under
// the capsule's bounding box, each tested as above, into one manifold of the pair,
// without an algorithm object per triangle.
class CapsuleMeshCollision : public btActivatingCollisionAlgorithm {
public:
    CapsuleMeshCollision(const btCollisionAlgorithmConstructionInfo& info, const btCollisionObjectWrapper* body0,
                         const btCollisionObjectWrapper* body1, bool swapped);
    ~CapsuleMeshCollision() override;

    void processCollision(const btCollisionObjectWrapper* body0, const btCollisionObjectWrapper* body1,
                          const btDispatcherInfo& dispatchInfo, btManifoldResult* resultOut) override;
    btScalar calculateTimeOfImpact(btCollisionObject* body0, btCollisionObject* body1,
                                   const btDispatcherInfo& dispatchInfo, btManifoldResult* resultOut) override;
    void getAllContactManifolds(btManifoldArray& manifolds) override;

    struct CreateFunc : public btCollisionAlgorithmCreateFunc {
        btCollisionAlgorithm* CreateCollisionAlgorithm(btCollisionAlgorithmConstructionInfo& info,
                                                       const btCollisionObjectWrapper* body0,
                                                       const btCollisionObjectWrapper* body1) override;
    };

private:
    btPersistentManifold* manifold = nullptr;
    bool swapped = false; // body0 is the mesh
};

// Makes `dispatcher` use them for every capsule-triangle and capsule-mesh pair (either
// order). The create functions live as long as the process.
void registerCapsuleTriangleCollision(btCollisionDispatcher* dispatcher);

#include "Engine/Physics/CapsuleTriangleCollision.h"

#include <BulletCollision/CollisionDispatch/btCollisionDispatcher.h>
#include <BulletCollision/CollisionDispatch/btCollisionObjectWrapper.h>
#include <BulletCollision/CollisionDispatch/btManifoldResult.h>
#include <BulletCollision/CollisionShapes/btCapsuleShape.h>
#include <BulletCollision/CollisionShapes/btConcaveShape.h>
#include <BulletCollision/CollisionShapes/btTriangleCallback.h>
#include <BulletCollision/CollisionShapes/btTriangleShape.h>
#include <BulletCollision/NarrowPhaseCollision/btPersistentManifold.h>

#include <algorithm>
#include <cmath>

namespace {

// Below this the closest points are taken as touching: the normal comes from the
// triangle's plane instead of their difference.
constexpr btScalar TouchDistance = btScalar(1e-6);
// Triangles with a smaller doubled area have no plane and are skipped.
constexpr btScalar DegenerateArea = btScalar(1e-12);

btScalar clamp01(btScalar v)
{
    return std::min(std::max(v, btScalar(0)), btScalar(1));
}

// The point of triangle (a, b, c) closest to p (by its Voronoi regions).
btVector3 closestOnTriangle(const btVector3& p, const btVector3& a, const btVector3& b, const btVector3& c)
{
    const btVector3 ab = b - a, ac = c - a, ap = p - a;
    const btScalar d1 = ab.dot(ap), d2 = ac.dot(ap);
    if (d1 <= 0 && d2 <= 0) return a;
    const btVector3 bp = p - b;
    const btScalar d3 = ab.dot(bp), d4 = ac.dot(bp);
    if (d3 >= 0 && d4 <= d3) return b;
    const btScalar vc = d1 * d4 - d3 * d2;
    if (vc <= 0 && d1 >= 0 && d3 <= 0) return a + ab * (d1 / (d1 - d3));
    const btVector3 cp = p - c;
    const btScalar d5 = ab.dot(cp), d6 = ac.dot(cp);
    if (d6 >= 0 && d5 <= d6) return c;
    const btScalar vb = d5 * d2 - d1 * d6;
    if (vb <= 0 && d2 >= 0 && d6 <= 0) return a + ac * (d2 / (d2 - d6));
    const btScalar va = d3 * d6 - d5 * d4;
    if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0) return b + (c - b) * ((d4 - d3) / ((d4 - d3) + (d5 - d6)));
    const btScalar denominator = btScalar(1) / (va + vb + vc);
    return a + ab * (vb * denominator) + ac * (vc * denominator);
}

// The closest points of segments [p1, q1] and [p2, q2].
void closestOnSegments(const btVector3& p1, const btVector3& q1, const btVector3& p2, const btVector3& q2,
                       btVector3& c1, btVector3& c2)
{
    const btVector3 d1 = q1 - p1, d2 = q2 - p2, r = p1 - p2;
    const btScalar a = d1.dot(d1), e = d2.dot(d2), f = d2.dot(r);
    btScalar s = 0, t = 0;
    if (a <= SIMD_EPSILON && e <= SIMD_EPSILON) {
        c1 = p1;
        c2 = p2;
        return;
    }
    if (a <= SIMD_EPSILON) {
        t = clamp01(f / e);
    } else {
        const btScalar c = d1.dot(r);
        if (e <= SIMD_EPSILON) {
            s = clamp01(-c / a);
        } else {
            const btScalar b = d1.dot(d2);
            const btScalar denominator = a * e - b * b;
            s = denominator != 0 ? clamp01((b * f - c * e) / denominator) : 0;
            t = (b * s + f) / e;
            if (t < 0) {
                t = 0;
                s = clamp01(-c / a);
            } else if (t > 1) {
                t = 1;
                s = clamp01((b - c) / a);
            }
        }
    }
    c1 = p1 + d1 * s;
    c2 = p2 + d2 * t;
}

void keepCloser(SegmentTriangleClosest& best, const btVector3& onSegment, const btVector3& onTriangle)
{
    const btScalar distance = onSegment.distance(onTriangle);
    if (distance < best.distance) {
        best.onSegment = onSegment;
        best.onTriangle = onTriangle;
        best.distance = distance;
    }
}

} // namespace

SegmentTriangleClosest closestSegmentTriangle(const btVector3& p, const btVector3& q, const btVector3& a,
                                              const btVector3& b, const btVector3& c)
{
    SegmentTriangleClosest best;
    // Through the triangle's inside: the point where the segment meets its plane.
    const btVector3 normal = (b - a).cross(c - a);
    const btScalar dp = normal.dot(p - a), dq = normal.dot(q - a);
    if (((dp <= 0 && dq >= 0) || (dp >= 0 && dq <= 0)) && dp != dq) {
        const btVector3 x = p + (q - p) * (dp / (dp - dq));
        const bool inside = (b - a).cross(x - a).dot(normal) >= 0 && (c - b).cross(x - b).dot(normal) >= 0 &&
                            (a - c).cross(x - c).dot(normal) >= 0;
        if (inside) {
            best.onSegment = best.onTriangle = x;
            best.distance = 0;
            best.crosses = true;
            return best;
        }
    }
    // Not crossing the plane, the segment comes nearest to it at one end; when that end
    // lies over the triangle, the triangle is nearest there too.
    const btScalar area2 = normal.length2();
    if (area2 > 0 && dp * dq >= 0) {
        const bool pNearer = std::abs(dp) <= std::abs(dq);
        const btVector3& end = pNearer ? p : q;
        const btVector3 x = end - normal * ((pNearer ? dp : dq) / area2);
        const bool inside = (b - a).cross(x - a).dot(normal) >= 0 && (c - b).cross(x - b).dot(normal) >= 0 &&
                            (a - c).cross(x - c).dot(normal) >= 0;
        if (inside) {
            best.onSegment = end;
            best.onTriangle = x;
            best.distance = end.distance(x);
            return best;
        }
    }
    // Otherwise one end against the triangle, or the segment against an edge.
    best.distance = BT_LARGE_FLOAT;
    keepCloser(best, p, closestOnTriangle(p, a, b, c));
    keepCloser(best, q, closestOnTriangle(q, a, b, c));
    const btVector3* corners[3] = {&a, &b, &c};
    for (int edge = 0; edge < 3; edge++) {
        btVector3 onSegment, onEdge;
        closestOnSegments(p, q, *corners[edge], *corners[(edge + 1) % 3], onSegment, onEdge);
        keepCloser(best, onSegment, onEdge);
    }
    return best;
}

bool capsuleTriangleContact(const btVector3& top, const btVector3& bottom, btScalar radius, const btVector3& a,
                            const btVector3& b, const btVector3& c, btScalar triangleMargin, btScalar threshold,
                            CapsuleContact& contact)
{
    btVector3 normal = (b - a).cross(c - a);
    const btScalar area = normal.length();
    if (area < DegenerateArea) return false;
    normal /= area;
    const btScalar margins = radius + triangleMargin;
    const btScalar reach = margins + threshold;
    // Both ends on the same side of the plane and out of reach: the triangle is too.
    const btScalar dTop = normal.dot(top - a), dBottom = normal.dot(bottom - a);
    if ((dTop > reach && dBottom > reach) || (dTop < -reach && dBottom < -reach)) return false;

    const SegmentTriangleClosest closest = closestSegmentTriangle(top, bottom, a, b, c);
    btVector3 onTriangle = closest.onTriangle;
    if (closest.crosses) {
        // The core passes through: out along the plane's normal to the side that needs
        // the shorter way, that is away from the end that lies less deep behind it.
        const btScalar lowest = std::min(dTop, dBottom), highest = std::max(dTop, dBottom);
        const bool up = -lowest <= highest; // lowest <= 0 <= highest
        contact.normal = up ? normal : -normal;
        const btScalar behind = up ? lowest : -highest; // <= 0
        const btVector3& deeper = up ? (dTop <= dBottom ? top : bottom) : (dTop >= dBottom ? top : bottom);
        onTriangle = deeper - contact.normal * behind;
        contact.distance = behind - margins;
    } else {
        contact.distance = closest.distance - margins;
        if (contact.distance > threshold) return false;
        if (closest.distance > TouchDistance) {
            contact.normal = (closest.onSegment - closest.onTriangle) / closest.distance;
        } else {
            contact.normal = dTop + dBottom >= 0 ? normal : -normal;
        }
    }
    contact.onTriangle = onTriangle + contact.normal * triangleMargin;
    return true;
}

namespace {

// The capsule's core segment in the space of `at`.
void coreSegment(const btCapsuleShape& capsule, const btTransform& at, btVector3& top, btVector3& bottom)
{
    btVector3 halfAxis(0, 0, 0);
    halfAxis[capsule.getUpAxis()] = capsule.getHalfHeight();
    top = at(halfAxis);
    bottom = at(-halfAxis);
}

// Into the result: the normal on the manifold's body B and the point on it (the
// triangle's surface, or the capsule's when the capsule is B). The result files the
// point by the manifold's order of the bodies, not by the pair's.
void report(btManifoldResult* resultOut, const CapsuleContact& contact, bool capsuleIsB)
{
    if (capsuleIsB) {
        resultOut->addContactPoint(-contact.normal, contact.onTriangle + contact.normal * contact.distance,
                                   contact.distance);
    } else {
        resultOut->addContactPoint(contact.normal, contact.onTriangle, contact.distance);
    }
}

} // namespace

CapsuleTriangleCollision::CapsuleTriangleCollision(btPersistentManifold* manifold_,
                                                   const btCollisionAlgorithmConstructionInfo& info,
                                                   const btCollisionObjectWrapper* body0,
                                                   const btCollisionObjectWrapper* body1, bool swapped_)
    : btActivatingCollisionAlgorithm(info, body0, body1), manifold(manifold_), swapped(swapped_)
{
    if (manifold == nullptr) {
        manifold = m_dispatcher->getNewManifold(body0->getCollisionObject(), body1->getCollisionObject());
        ownManifold = true;
    }
}

CapsuleTriangleCollision::~CapsuleTriangleCollision()
{
    if (ownManifold && manifold != nullptr) m_dispatcher->releaseManifold(manifold);
}

void CapsuleTriangleCollision::processCollision(const btCollisionObjectWrapper* body0,
                                                const btCollisionObjectWrapper* body1, const btDispatcherInfo&,
                                                btManifoldResult* resultOut)
{
    if (manifold == nullptr) return;
    const btCollisionObjectWrapper* capsuleWrap = swapped ? body1 : body0;
    const btCollisionObjectWrapper* triangleWrap = swapped ? body0 : body1;
    const auto* capsule = static_cast<const btCapsuleShape*>(capsuleWrap->getCollisionShape());
    const auto* triangle = static_cast<const btTriangleShape*>(triangleWrap->getCollisionShape());
    resultOut->setPersistentManifold(manifold);

    btVector3 top, bottom;
    coreSegment(*capsule, capsuleWrap->getWorldTransform(), top, bottom);
    const btTransform& triangleAt = triangleWrap->getWorldTransform();
    const btScalar threshold = manifold->getContactBreakingThreshold() + resultOut->m_closestPointDistanceThreshold;
    CapsuleContact contact;
    if (capsuleTriangleContact(top, bottom, capsule->getRadius(), triangleAt(triangle->m_vertices1[0]),
                               triangleAt(triangle->m_vertices1[1]), triangleAt(triangle->m_vertices1[2]),
                               triangle->getMargin(), threshold, contact)) {
        report(resultOut, contact, swapped);
    }
    if (ownManifold) resultOut->refreshContactPoints();
}

btScalar CapsuleTriangleCollision::calculateTimeOfImpact(btCollisionObject*, btCollisionObject*,
                                                         const btDispatcherInfo&, btManifoldResult*)
{
    return btScalar(1);
}

void CapsuleTriangleCollision::getAllContactManifolds(btManifoldArray& manifolds)
{
    if (manifold != nullptr && ownManifold) manifolds.push_back(manifold);
}

btCollisionAlgorithm* CapsuleTriangleCollision::CreateFunc::CreateCollisionAlgorithm(
    btCollisionAlgorithmConstructionInfo& info, const btCollisionObjectWrapper* body0,
    const btCollisionObjectWrapper* body1)
{
    void* memory = info.m_dispatcher1->allocateCollisionAlgorithm(sizeof(CapsuleTriangleCollision));
    return new (memory) CapsuleTriangleCollision(info.m_manifold, info, body0, body1, m_swapped);
}

namespace {

// Every triangle the mesh reports under the capsule's box, tested in the mesh's space
// and reported in world space.
class CapsuleTriangles : public btTriangleCallback {
public:
    btManifoldResult* resultOut = nullptr;
    const btTransform* meshAt = nullptr;
    btVector3 top, bottom;
    btScalar radius = 0;
    btScalar margin = 0;
    btScalar threshold = 0;
    bool meshIsBody0 = false; // of the pair, for the triangle's identifiers

    void processTriangle(btVector3* triangle, int partId, int triangleIndex) override
    {
        CapsuleContact contact;
        if (!capsuleTriangleContact(top, bottom, radius, triangle[0], triangle[1], triangle[2], margin, threshold,
                                    contact)) {
            return;
        }
        contact.normal = meshAt->getBasis() * contact.normal;
        contact.onTriangle = (*meshAt)(contact.onTriangle);
        if (meshIsBody0) {
            resultOut->setShapeIdentifiersA(partId, triangleIndex);
        } else {
            resultOut->setShapeIdentifiersB(partId, triangleIndex);
        }
        // The manifold's body B is the mesh, whichever order the pair has.
        report(resultOut, contact, false);
    }
};

} // namespace

CapsuleMeshCollision::CapsuleMeshCollision(const btCollisionAlgorithmConstructionInfo& info,
                                           const btCollisionObjectWrapper* body0,
                                           const btCollisionObjectWrapper* body1, bool swapped_)
    : btActivatingCollisionAlgorithm(info, body0, body1), swapped(swapped_)
{
    // The manifold's first body is the capsule, as the library's convex-concave test
    // makes it.
    const btCollisionObjectWrapper* capsuleWrap = swapped ? body1 : body0;
    const btCollisionObjectWrapper* meshWrap = swapped ? body0 : body1;
    manifold = m_dispatcher->getNewManifold(capsuleWrap->getCollisionObject(), meshWrap->getCollisionObject());
}

CapsuleMeshCollision::~CapsuleMeshCollision()
{
    if (manifold != nullptr) m_dispatcher->releaseManifold(manifold);
}

void CapsuleMeshCollision::processCollision(const btCollisionObjectWrapper* body0,
                                            const btCollisionObjectWrapper* body1, const btDispatcherInfo&,
                                            btManifoldResult* resultOut)
{
    const btCollisionObjectWrapper* capsuleWrap = swapped ? body1 : body0;
    const btCollisionObjectWrapper* meshWrap = swapped ? body0 : body1;
    const auto* capsule = static_cast<const btCapsuleShape*>(capsuleWrap->getCollisionShape());
    const auto* mesh = static_cast<const btConcaveShape*>(meshWrap->getCollisionShape());
    resultOut->setPersistentManifold(manifold);

    // The capsule in the mesh's space, and its box grown as the library grows it.
    const btTransform& meshAt = meshWrap->getWorldTransform();
    const btTransform capsuleInMesh = meshAt.inverse() * capsuleWrap->getWorldTransform();
    btVector3 low, high;
    capsule->getAabb(capsuleInMesh, low, high);
    const btScalar margin = mesh->getMargin();
    const btScalar extra = margin + resultOut->m_closestPointDistanceThreshold;
    low -= btVector3(extra, extra, extra);
    high += btVector3(extra, extra, extra);

    CapsuleTriangles triangles;
    triangles.resultOut = resultOut;
    triangles.meshAt = &meshAt;
    coreSegment(*capsule, capsuleInMesh, triangles.top, triangles.bottom);
    triangles.radius = capsule->getRadius();
    triangles.margin = margin;
    triangles.threshold = manifold->getContactBreakingThreshold() + resultOut->m_closestPointDistanceThreshold;
    triangles.meshIsBody0 = swapped;
    mesh->processAllTriangles(&triangles, low, high);
    resultOut->refreshContactPoints();
}

btScalar CapsuleMeshCollision::calculateTimeOfImpact(btCollisionObject*, btCollisionObject*, const btDispatcherInfo&,
                                                     btManifoldResult*)
{
    return btScalar(1);
}

void CapsuleMeshCollision::getAllContactManifolds(btManifoldArray& manifolds)
{
    if (manifold != nullptr) manifolds.push_back(manifold);
}

btCollisionAlgorithm* CapsuleMeshCollision::CreateFunc::CreateCollisionAlgorithm(
    btCollisionAlgorithmConstructionInfo& info, const btCollisionObjectWrapper* body0,
    const btCollisionObjectWrapper* body1)
{
    void* memory = info.m_dispatcher1->allocateCollisionAlgorithm(sizeof(CapsuleMeshCollision));
    return new (memory) CapsuleMeshCollision(info, body0, body1, m_swapped);
}

void registerCapsuleTriangleCollision(btCollisionDispatcher* dispatcher)
{
    static CapsuleTriangleCollision::CreateFunc capsuleTriangle;
    static CapsuleTriangleCollision::CreateFunc triangleCapsule;
    static CapsuleMeshCollision::CreateFunc capsuleMesh;
    static CapsuleMeshCollision::CreateFunc meshCapsule;
    triangleCapsule.m_swapped = true;
    meshCapsule.m_swapped = true;
    dispatcher->registerCollisionCreateFunc(CAPSULE_SHAPE_PROXYTYPE, TRIANGLE_SHAPE_PROXYTYPE, &capsuleTriangle);
    dispatcher->registerCollisionCreateFunc(TRIANGLE_SHAPE_PROXYTYPE, CAPSULE_SHAPE_PROXYTYPE, &triangleCapsule);
    dispatcher->registerCollisionCreateFunc(CAPSULE_SHAPE_PROXYTYPE, TRIANGLE_MESH_SHAPE_PROXYTYPE, &capsuleMesh);
    dispatcher->registerCollisionCreateFunc(TRIANGLE_MESH_SHAPE_PROXYTYPE, CAPSULE_SHAPE_PROXYTYPE, &meshCapsule);
}

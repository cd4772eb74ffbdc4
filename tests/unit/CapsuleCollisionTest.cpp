#include "Engine/Physics/CapsuleTriangleCollision.h"
#include "Engine/Physics/PhysicsWorld.h"
#include "Engine/Types.h"
#include "World/Terrain/CollisionMesh.h"
#include "World/Terrain/TerrainGrid.h"

#include <btBulletDynamicsCommon.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <set>
#include <vector>

namespace {

btVector3 randomPoint(std::mt19937& random, btScalar spread)
{
    std::uniform_real_distribution<btScalar> u(-spread, spread);
    return {u(random), u(random), u(random)};
}

// The smallest distance of the segment and the triangle by dense sampling of both.
btScalar sampledDistance(const btVector3& p, const btVector3& q, const btVector3& a, const btVector3& b,
                         const btVector3& c)
{
    constexpr int Steps = 60;
    btScalar best = BT_LARGE_FLOAT;
    for (int i = 0; i <= Steps; i++) {
        const btVector3 s = p + (q - p) * (btScalar(i) / Steps);
        for (int u = 0; u <= Steps; u++) {
            for (int v = 0; u + v <= Steps; v++) {
                const btVector3 t = a + (b - a) * (btScalar(u) / Steps) + (c - a) * (btScalar(v) / Steps);
                best = std::min(best, s.distance(t));
            }
        }
    }
    return best;
}

// A world with its own dispatcher: the library's algorithms alone, or with the capsule
// ones registered as every game world has them.
struct ContactWorld {
    btDefaultCollisionConfiguration configuration;
    btCollisionDispatcher dispatcher{&configuration};
    btDbvtBroadphase broadphase;
    btCollisionWorld world{&dispatcher, &broadphase, &configuration};

    explicit ContactWorld(bool capsules)
    {
        if (capsules) registerCapsuleTriangleCollision(&dispatcher);
    }
    // The deepest contact point of the first manifold with points, as (distance, normal
    // on the mesh pointing at the capsule); distance 1e9 without one.
    std::pair<btScalar, btVector3> deepest()
    {
        world.performDiscreteCollisionDetection();
        std::pair<btScalar, btVector3> result{btScalar(1e9), btVector3(0, 0, 0)};
        for (int i = 0; i < dispatcher.getNumManifolds(); i++) {
            btPersistentManifold* manifold = dispatcher.getManifoldByIndexInternal(i);
            const bool capsuleFirst = manifold->getBody0()->getCollisionShape()->getShapeType() == CAPSULE_SHAPE_PROXYTYPE;
            for (int p = 0; p < manifold->getNumContacts(); p++) {
                const btManifoldPoint& point = manifold->getContactPoint(p);
                if (point.getDistance() < result.first) {
                    result = {point.getDistance(), capsuleFirst ? point.m_normalWorldOnB : -point.m_normalWorldOnB};
                }
            }
        }
        return result;
    }
};

// 65 x 65 points of terraces 0.4 units high, rising and falling in waves.
struct Terraces {
    TerrainGrid grid{8, 8};
    btTriangleMesh mesh{true, true};
    std::unique_ptr<btBvhTriangleMeshShape> shape;

    Terraces()
    {
        for (u32 z = 0; z < grid.gridSize; z++) {
            for (u32 x = 0; x < grid.gridSize; x++) {
                grid.steps[z * grid.gridSize + x] =
                    static_cast<i32>(std::floor(6.0 + 5.0 * std::sin(x * 0.17) * std::cos(z * 0.13)));
            }
        }
        fillCollisionMesh(grid, mesh);
        shape.reset(buildCollisionShape(&mesh, 2, &grid));
    }
};

struct SmallIsland {
    TerrainGrid grid{8, 4}; // 33 x 33 points
    btTriangleMesh mesh{true, true};
    std::unique_ptr<btBvhTriangleMeshShape> gridShape;
    std::unique_ptr<btBvhTriangleMeshShape> treeShape;

    SmallIsland()
    {
        grid.threadCount = 2;
        grid.generateHeightMap(3);
        grid.erode(300);
        grid.createSteps();
        fillCollisionMesh(grid, mesh);
        gridShape.reset(buildCollisionShape(&mesh, 2, &grid));
        treeShape.reset(buildCollisionShape(&mesh, 2));
    }
};

// The triangles a shape reports in a box, by index, with their corners.
struct Collected : btTriangleCallback {
    std::set<int> indices;
    std::vector<std::array<btVector3, 3>> corners;
    void processTriangle(btVector3* triangle, int, int index) override
    {
        indices.insert(index);
        corners.push_back({triangle[0], triangle[1], triangle[2]});
    }
};

} // namespace

TEST(CapsuleCollision, ClosestPointsOfASegmentAndATriangle)
{
    std::mt19937 random(5);
    for (int trial = 0; trial < 300; trial++) {
        SCOPED_TRACE(trial);
        const btVector3 a = randomPoint(random, 2), b = randomPoint(random, 2), c = randomPoint(random, 2);
        const btVector3 p = randomPoint(random, 3), q = trial % 7 == 0 ? p : randomPoint(random, 3);
        const SegmentTriangleClosest closest = closestSegmentTriangle(p, q, a, b, c);
        // The points lie on the segment and the triangle, as far apart as reported.
        EXPECT_NEAR(closest.onSegment.distance(closest.onTriangle), closest.distance, 1e-4f);
        EXPECT_NEAR((closest.onSegment - p).cross(q - p).length(), 0.0f, 1e-3f);
        // No sampled pair of points is closer; the sampling gets within its spacing.
        const btScalar sampled = sampledDistance(p, q, a, b, c);
        EXPECT_LE(closest.distance, sampled + 1e-4f);
        EXPECT_GE(closest.distance, sampled - 0.25f);
    }
    // A segment through the triangle: distance 0, crossing at the plane.
    const SegmentTriangleClosest through =
        closestSegmentTriangle({0.2f, 1, 0.2f}, {0.2f, -1, 0.2f}, {0, 0, 0}, {1, 0, 0}, {0, 0, 1});
    EXPECT_TRUE(through.crosses);
    EXPECT_EQ(through.distance, 0.0f);
    EXPECT_NEAR(through.onTriangle.y(), 0.0f, 1e-6f);
}

// The highest ground under a capsule of `radius` at (x, z): the steps of every grid
// point within its reach.
btScalar groundUnder(const TerrainGrid& grid, btScalar x, btScalar z, btScalar radius)
{
    btScalar highest = -BT_LARGE_FLOAT;
    const btScalar rx = x - grid.origin.x, rz = z - grid.origin.z;
    for (i32 gz = static_cast<i32>(std::floor(rz - radius)); gz <= static_cast<i32>(std::ceil(rz + radius)); gz++) {
        for (i32 gx = static_cast<i32>(std::floor(rx - radius)); gx <= static_cast<i32>(std::ceil(rx + radius)); gx++) {
            highest = std::max(highest, grid.stepHeightAt(static_cast<u32>(gx), static_cast<u32>(gz)));
        }
    }
    return highest + grid.origin.y;
}

// The height of the mesh's surface at (x, z): the highest of its triangles there.
btScalar surfaceAt(const btBvhTriangleMeshShape& shape, btScalar x, btScalar z)
{
    struct Heights : btTriangleCallback {
        btScalar x = 0, z = 0, highest = -BT_LARGE_FLOAT;
        void processTriangle(btVector3* t, int, int) override
        {
            // Barycentric coordinates of (x, z) in the triangle's x-z projection.
            const btScalar d = (t[1].z() - t[2].z()) * (t[0].x() - t[2].x()) + (t[2].x() - t[1].x()) * (t[0].z() - t[2].z());
            if (std::abs(d) < 1e-9f) return;
            const btScalar a = ((t[1].z() - t[2].z()) * (x - t[2].x()) + (t[2].x() - t[1].x()) * (z - t[2].z())) / d;
            const btScalar b = ((t[2].z() - t[0].z()) * (x - t[2].x()) + (t[0].x() - t[2].x()) * (z - t[2].z())) / d;
            const btScalar c = 1 - a - b;
            if (a < -1e-5f || b < -1e-5f || c < -1e-5f) return;
            highest = std::max(highest, a * t[0].y() + b * t[1].y() + c * t[2].y());
        }
    } heights;
    heights.x = x;
    heights.z = z;
    shape.processAllTriangles(&heights, btVector3(x - 0.01f, -1e4f, z - 0.01f), btVector3(x + 0.01f, 1e4f, z + 0.01f));
    return heights.highest;
}

TEST(CapsuleCollision, ContactsAgreeWithTheLibrarysGeneralTest)
{
    // Capsules of both enemy sizes, upright and a little tilted, standing on the ground
    // of a small island (touching, pressed in a little, just above it): the same deepest
    // distance and normal as the library's own test. (Deep inside the ground the
    // library's penetration search may pick another way out; enemies never stand so.)
    SmallIsland island;
    btCapsuleShape normal(0.4f, 1.2f), heavy(1.0f, 1.0f);
    std::mt19937 random(9);
    std::uniform_real_distribution<btScalar> u(0.0f, 1.0f);
    int compared = 0;
    for (int trial = 0; trial < 600; trial++) {
        btCapsuleShape* shape = trial % 3 == 0 ? &heavy : &normal;
        const btScalar x = island.grid.origin.x + 5.0f + u(random) * 22.0f;
        const btScalar z = island.grid.origin.z + 5.0f + u(random) * 22.0f;
        // The ground right under the capsule's centre.
        const btScalar surface = surfaceAt(*island.treeShape, x, z);
        btTransform at;
        at.setIdentity();
        const btScalar lift = shape->getHalfHeight() + shape->getRadius() - 0.05f + u(random) * 0.07f;
        at.setOrigin(btVector3(x, surface + lift, z));
        if (trial % 4 == 1) at.setRotation(btQuaternion(btVector3(1, 0, 0.3f).normalized(), 0.3f * u(random)));

        std::pair<btScalar, btVector3> results[2];
        for (int capsules = 0; capsules < 2; capsules++) {
            ContactWorld contacts(capsules == 1);
            btCollisionObject terrain, capsule;
            terrain.setCollisionShape(island.treeShape.get());
            capsule.setCollisionShape(shape);
            capsule.setWorldTransform(at);
            contacts.world.addCollisionObject(&terrain);
            contacts.world.addCollisionObject(&capsule);
            results[capsules] = contacts.deepest();
            contacts.world.removeCollisionObject(&capsule);
            contacts.world.removeCollisionObject(&terrain);
        }
        if (results[0].first < -0.1f) continue; // deep in a terrace wall
        SCOPED_TRACE(trial);
        const bool libraryTouches = results[0].first < 1e8f, oursTouches = results[1].first < 1e8f;
        if (libraryTouches && oursTouches) {
            compared++;
            EXPECT_NEAR(results[1].first, results[0].first, 0.005f);
            EXPECT_GT(results[1].second.dot(results[0].second), 0.99f);
        } else {
            // Only contacts at the threshold may be seen by one test alone.
            EXPECT_GT(std::min(results[0].first, results[1].first), -0.005f);
        }
    }
    EXPECT_GT(compared, 100);
}

TEST(CapsuleCollision, CapsulesWalkTerracesAsWithTheLibrarysTest)
{
    // Capsules far apart, dropped on terraced ground and pushed across it for three
    // seconds, in a world with the library's test and in one with the capsules' own.
    // Climbing a terrace edge or stopping at it is chaotic (a millimetre at the start
    // changes single paths by units with the library alone), so the walks are compared
    // as a crowd: as far on average, on the ground all the way.
    Terraces ground;
    btCapsuleShape normal(0.4f, 1.2f);
    std::vector<btVector3> starts, ends[2];
    btScalar deepest[2] = {0, 0};
    for (int capsules = 0; capsules < 2; capsules++) {
        PhysicsWorld physics;
        physics.init(EngineWorldGravity);
        if (capsules == 0) {
            // The library's own algorithms back in place for this world.
            btCollisionDispatcher& dispatcher = *physics.dispatcher;
            btCollisionConfiguration& configuration = *physics.collisionConfiguration;
            for (int a : {CAPSULE_SHAPE_PROXYTYPE, TRIANGLE_SHAPE_PROXYTYPE, TRIANGLE_MESH_SHAPE_PROXYTYPE}) {
                for (int b : {CAPSULE_SHAPE_PROXYTYPE, TRIANGLE_SHAPE_PROXYTYPE, TRIANGLE_MESH_SHAPE_PROXYTYPE}) {
                    dispatcher.registerCollisionCreateFunc(a, b, configuration.getCollisionAlgorithmCreateFunc(a, b));
                }
            }
        }
        btRigidBody terrain(0.0f, nullptr, ground.shape.get());
        physics.world->addRigidBody(&terrain);
        std::vector<std::unique_ptr<btDefaultMotionState>> states;
        std::vector<std::unique_ptr<btRigidBody>> bodies;
        for (int i = 0; i < 36; i++) {
            const btScalar x = ground.grid.origin.x + 8.0f + static_cast<btScalar>(i % 6) * 6.0f;
            const btScalar z = ground.grid.origin.z + 8.0f + static_cast<btScalar>(i / 6) * 6.0f;
            btTransform start;
            start.setIdentity();
            start.setOrigin(btVector3(x, groundUnder(ground.grid, x, z, 0.4f) + 1.5f, z));
            if (capsules == 0) starts.push_back(start.getOrigin());
            states.push_back(std::make_unique<btDefaultMotionState>(start));
            btVector3 inertia;
            normal.calculateLocalInertia(1.0f, inertia);
            bodies.push_back(std::make_unique<btRigidBody>(1.0f, states.back().get(), &normal, inertia));
            bodies.back()->setAngularFactor(btVector3(0, 1, 0));
            bodies.back()->setFriction(0.0f);
            bodies.back()->setActivationState(DISABLE_DEACTIVATION);
            physics.world->addRigidBody(bodies.back().get());
        }
        for (int step = 0; step < 180; step++) {
            for (auto& body : bodies) body->applyCentralForce(btVector3(3.0f, 0.0f, 2.0f));
            physics.world->stepSimulation(1.0f / 60.0f, 0, 1.0f / 60.0f);
            // How deep a capsule's bottom goes below the lowest grid point under it while
            // it is over the grid (past its edge it falls, in either world).
            for (auto& body : bodies) {
                const btVector3 p = body->getWorldTransform().getOrigin();
                const btScalar rx = p.x() - ground.grid.origin.x, rz = p.z() - ground.grid.origin.z;
                if (!(rx > 1.0f && rz > 1.0f && rx < 62.0f && rz < 62.0f)) continue;
                const u32 gx = static_cast<u32>(rx), gz = static_cast<u32>(rz);
                btScalar floor = BT_LARGE_FLOAT;
                for (u32 dz = 0; dz < 2; dz++) {
                    for (u32 dx = 0; dx < 2; dx++) floor = std::min(floor, ground.grid.stepHeightAt(gx + dx, gz + dz));
                }
                deepest[capsules] = std::max(deepest[capsules], floor - (p.y() - 1.0f));
            }
        }
        for (auto& body : bodies) {
            ends[capsules].push_back(body->getWorldTransform().getOrigin());
            physics.world->removeRigidBody(body.get());
        }
        physics.world->removeRigidBody(&terrain);
    }
    btVector3 travel[2] = {btVector3(0, 0, 0), btVector3(0, 0, 0)};
    for (int world = 0; world < 2; world++) {
        for (size_t i = 0; i < starts.size(); i++) travel[world] += (ends[world][i] - starts[i]) / btScalar(starts.size());
    }
    EXPECT_LT(deepest[1], deepest[0] + 0.02f) << "no deeper into the ground than with the library";
    EXPECT_LT(deepest[1], 0.15f);
    EXPECT_GT(travel[0].length(), 5.0f) << "the crowd walks";
    EXPECT_LT(travel[1].distance(travel[0]), 0.1f * travel[0].length());
}

TEST(CapsuleCollision, TheGridFindsTheTrianglesTheTreeFinds)
{
    SmallIsland island;
    std::mt19937 random(2);
    std::uniform_real_distribution<btScalar> u(0.0f, 1.0f);
    const btVector3 origin(island.grid.origin.x, island.grid.origin.y, island.grid.origin.z);
    for (int trial = 0; trial < 300; trial++) {
        SCOPED_TRACE(trial);
        // Boxes inside, across the edges and outside the grid, thin and wide.
        const btVector3 low = origin + btVector3(u(random) * 40 - 4, u(random) * 12 - 6, u(random) * 40 - 4);
        const btVector3 high = low + btVector3(u(random) * 4, u(random) * 4, u(random) * (trial % 5 == 0 ? 0 : 4));
        Collected fromGrid, fromTree;
        island.gridShape->processAllTriangles(&fromGrid, low, high);
        island.treeShape->processAllTriangles(&fromTree, low, high);
        // Everything the grid reports, the tree reports too, with the same corners; what
        // only the tree reports lies outside the box (the tree's boxes are rounded out).
        for (int index : fromGrid.indices) EXPECT_EQ(fromTree.indices.count(index), 1u) << index;
        for (size_t t = 0; t < fromTree.corners.size(); t++) {
            const auto& corners = fromTree.corners[t];
            btVector3 lo = corners[0], hi = corners[0];
            for (const btVector3& corner : corners) {
                lo.setMin(corner);
                hi.setMax(corner);
            }
            const bool overlaps = lo.x() <= high.x() && hi.x() >= low.x() && lo.y() - 0.001f <= high.y() &&
                                  hi.y() + 0.001f >= low.y() && lo.z() <= high.z() && hi.z() >= low.z();
            if (overlaps) {
                // A triangle truly in the box: the grid found it.
                bool found = false;
                for (const auto& mine : fromGrid.corners) found |= mine[0] == corners[0] && mine[1] == corners[1];
                EXPECT_TRUE(found);
            }
        }
    }
}

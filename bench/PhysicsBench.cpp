#include "Engine/Physics/Pacing.h"
#include "Engine/Physics/PhysicsObject.h"
#include "Engine/Physics/PhysicsReference.h"
#include "Engine/Physics/PhysicsWorld.h"
#include "Engine/Physics/RayHit.h"
#include "Engine/Physics/Simulation.h"

#include <benchmark/benchmark.h>
#include <btBulletDynamicsCommon.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr int GroundCells = 64;     // quads per side
constexpr f32 GroundCellSize = 2.0f;
constexpr int CapsuleColumns = 32;
constexpr int CapsuleRows = 20;     // 640 capsules
constexpr f32 CapsuleSpacing = 3.0f;
constexpr f32 SteeringForce = 30.0f;

f32 groundHeight(f32 x, f32 z)
{
    return 1.5f * std::sin(x * 0.07f) * std::cos(z * 0.05f);
}

// The engine world as a wave fills it: a triangle-mesh ground and 640 enemy-like
// capsules that steer towards the centre every step, bumping into each other.
struct CapsuleScene {
    PhysicsWorld world;
    btTriangleMesh mesh;
    std::unique_ptr<btBvhTriangleMeshShape> groundShape;
    std::unique_ptr<PhysicsObject> ground;
    btCapsuleShape capsule{0.4f, 1.2f};
    std::vector<std::unique_ptr<PhysicsObject>> capsules;

    CapsuleScene()
    {
        world.init(EngineWorldGravity);
        const f32 half = GroundCells * GroundCellSize * 0.5f;
        for (int z = 0; z < GroundCells; z++) {
            for (int x = 0; x < GroundCells; x++) {
                const f32 x0 = x * GroundCellSize - half, z0 = z * GroundCellSize - half;
                const f32 x1 = x0 + GroundCellSize, z1 = z0 + GroundCellSize;
                const btVector3 a(x0, groundHeight(x0, z0), z0), b(x1, groundHeight(x1, z0), z0);
                const btVector3 c(x0, groundHeight(x0, z1), z1), d(x1, groundHeight(x1, z1), z1);
                mesh.addTriangle(a, c, b);
                mesh.addTriangle(b, c, d);
            }
        }
        groundShape = std::make_unique<btBvhTriangleMeshShape>(&mesh, true);
        btTransform identity;
        identity.setIdentity();
        PhysicsObjectDesc groundDesc;
        groundDesc.useGroupMask = 1;
        groundDesc.group = CollisionTerrain;
        groundDesc.mask = -1;
        ground = std::make_unique<PhysicsObject>(groundShape.get(), identity, groundDesc);
        world.world->addRigidBody(ground->body, groundDesc.group, groundDesc.mask);

        PhysicsObjectDesc desc;
        desc.mass = 1;
        desc.rollingFriction = 0.01f;
        desc.spinningFriction = 0.01f;
        desc.setAngularFactor = 1;
        desc.angularFactor = {0, 1, 0};
        desc.setAngularDamping = 1;
        desc.angularDamping = 0.95f;
        desc.useGroupMask = 1;
        desc.group = CollisionEnemy;
        desc.mask = -1;
        desc.noSleeping = 1;
        for (int r = 0; r < CapsuleRows; r++) {
            for (int c = 0; c < CapsuleColumns; c++) {
                const f32 x = (c - CapsuleColumns / 2) * CapsuleSpacing, z = (r - CapsuleRows / 2) * CapsuleSpacing;
                btTransform start;
                start.setIdentity();
                start.setOrigin(btVector3(x, groundHeight(x, z) + 1.2f, z));
                auto object = std::make_unique<PhysicsObject>(&capsule, start, desc);
                object->setReference(new PhysicsReference(CollisionEnemy, object.get(), nullptr, CollisionBuilding,
                                                          [](PhysicsReference*) {}, 1.0f));
                world.world->addRigidBody(object->body, desc.group, desc.mask);
                capsules.push_back(std::move(object));
            }
        }
    }

    ~CapsuleScene()
    {
        for (auto& object : capsules) world.world->removeRigidBody(object->body);
        world.world->removeRigidBody(ground->body);
    }

    // One simulation tick as the worker runs it: hooks, step, contact dispatch.
    void step()
    {
        for (auto& object : capsules) {
            const btVector3 toCentre = -object->body->getWorldTransform().getOrigin() * btVector3(1, 0, 1);
            const btScalar length = toCentre.length();
            if (length > 1e-3f) object->body->applyCentralForce(toCentre / length * SteeringForce);
        }
        world.world->stepSimulation(TickSeconds, 0, TickSeconds);
        Simulation::dispatchContacts(world.world->getDispatcher());
    }
};

void BM_StepCapsulesOnTriangleMesh(benchmark::State& state)
{
    CapsuleScene scene;
    for (int i = 0; i < 60; i++) scene.step(); // let them land before timing
    for (auto _ : state) {
        scene.step();
    }
    state.counters["bodies"] = static_cast<double>(scene.capsules.size());
    state.counters["manifolds"] = scene.world.dispatcher->getNumManifolds();
}
BENCHMARK(BM_StepCapsulesOnTriangleMesh)->Unit(benchmark::kMillisecond);

// Closest-hit picking rays straight down onto the ground among the capsules.
void BM_RayCastClosest(benchmark::State& state)
{
    CapsuleScene scene;
    int i = 0;
    for (auto _ : state) {
        const f32 x = static_cast<f32>((i * 37) % 120 - 60), z = static_cast<f32>((i * 53) % 120 - 60);
        benchmark::DoNotOptimize(Physics::rayCastClosest({x, 100, z}, {x, -100, z}, scene.world.world,
                                                         CollisionTerrain | CollisionEnemy));
        i++;
    }
}
BENCHMARK(BM_RayCastClosest)->Unit(benchmark::kMicrosecond);

} // namespace

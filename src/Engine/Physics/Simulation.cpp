#include "Engine/Physics/Simulation.h"

#include "Engine/Physics/PhysicsObject.h"
#include "Engine/Physics/PhysicsReference.h"
#include "Engine/Physics/PhysicsWorld.h"
#include "Engine/Physics/Registry.h"

#include <btBulletDynamicsCommon.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

// The worker's own copies of the pending lists, taken in one piece under registryMutex.
struct WorkLists {
    std::vector<PhysicsObject*> adds;
    std::vector<PhysicsObject*> removes;
    std::vector<btCollisionShape*> shapes;
    std::vector<btTriangleMesh*> meshes;

    void clear()
    {
        adds.clear();
        removes.clear();
        shapes.clear();
        meshes.clear();
    }
};

template <typename T> void moveAppend(std::vector<T>& from, std::vector<T>& to)
{
    to.insert(to.end(), from.begin(), from.end());
    from.clear();
}

void takePendingLists(WorkLists& work)
{
    std::lock_guard lock(registryMutex);
    moveAppend(Registry::pendingAdd, work.adds);
    moveAppend(Registry::pendingRemove, work.removes);
    moveAppend(Registry::pendingShapeDelete, work.shapes);
    moveAppend(Registry::pendingMeshDelete, work.meshes);
}

void addToWorld(btDiscreteDynamicsWorld* world, PhysicsObject* object)
{
    if (object->useGroupMask) {
        world->addRigidBody(object->body, object->group, object->mask);
    } else {
        world->addRigidBody(object->body);
    }
    object->activeIndex = static_cast<u32>(Registry::active.size());
    Registry::active.push_back(object);
    object->inWorld = 1;
}

// Swap-remove from the active list, then out of the world.
void takeOutOfWorld(btDiscreteDynamicsWorld* world, PhysicsObject* object)
{
    PhysicsObject* last = Registry::active.back();
    Registry::active.pop_back();
    if (object->activeIndex < Registry::active.size()) {
        Registry::active[object->activeIndex] = last;
        last->activeIndex = object->activeIndex;
    }
    world->removeRigidBody(object->body);
    object->inWorld = 0;
    object->activeIndex = NotActive;
}

// Adds, removes and deletions of one pass, in list order. An object whose removal was
// requested before it was added never enters the world.
void applyWorkLists(btDiscreteDynamicsWorld* world, WorkLists& work)
{
    for (PhysicsObject* object : work.adds) {
        if (object->removeRequested == 0) {
            addToWorld(world, object);
        }
    }
    for (PhysicsObject* object : work.removes) {
        if (object->inWorld) {
            takeOutOfWorld(world, object);
        }
        delete object;
    }
    // Shapes after the bodies that use them, meshes after their shapes.
    for (btCollisionShape* shape : work.shapes) delete shape;
    for (btTriangleMesh* mesh : work.meshes) delete mesh;
    work.clear();
}

void runSteps(SimulationState& s, btDiscreteDynamicsWorld* world, f32 fixedTimeStep)
{
    for (u32 n = 0; n < stepsForBatch(s.dueTicks, s.gameSpeed); n++) {
        // Indexed: a hook may not change the list, but it may ask for removals, which
        // only take effect at the next pass.
        for (size_t i = 0; i < Registry::active.size(); i++) {
            PhysicsObject* object = Registry::active[i];
            if (object->preStep && object->removeRequested == 0) {
                object->preStep();
            }
        }
        world->stepSimulation(fixedTimeStep, 0, fixedTimeStep);
        Simulation::dispatchContacts(world->getDispatcher());
        s.stepsRun.fetch_add(1, std::memory_order_relaxed);
    }
}

// Waits for the main thread's wake unless the worker lags; the flag is consumed here,
// so a wake that came during the batch is not lost.
void waitForWake(SimulationState& s)
{
    std::unique_lock lock(s.wakeMutex);
    if (!s.skipWait) {
        s.simulationWakeCondition.wait(lock, [&] { return s.wakeRequested != 0 || s.stopRequested != 0; });
    }
    s.wakeRequested = 0;
}

// Until the main thread has taken over the published state; false on a stop request.
bool waitForTakeOver(SimulationState& s)
{
    while (s.acknowledgedIndex != s.stateIndex) {
        if (s.stopRequested) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

// Writes the slot that renderers no longer read, then flips the state index.
void publish(SimulationState& s)
{
    const u32 oldIndex = s.stateIndex;
    const u32 newIndex = (oldIndex - 1) & 1;
    for (PhysicsObject* object : Registry::active) {
        object->previous[newIndex] = object->current[oldIndex];
        object->current[newIndex] = object->body->getWorldTransform();
    }
    s.stateIndex = newIndex;
    s.skipWait = 0;
}

} // namespace

namespace Simulation {

SimulationState state;

void runPass(SimulationState& s, PhysicsWorld& physics, f32 fixedTimeStep)
{
    btDiscreteDynamicsWorld* world = physics.world;
    WorkLists work;
    takePendingLists(work);
    // The whole pass under stepMutex: the debug drawer walks the same world.
    std::lock_guard lock(s.stepMutex);
    applyWorkLists(world, work);
    const auto start = std::chrono::steady_clock::now();
    runSteps(s, world, fixedTimeStep);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    s.stepTimeMs = static_cast<f32>(std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count()) / 1e6f;
    s.batchCount++;
}

void runWorker(SimulationState& s, PhysicsWorld& physics, f32 fixedTimeStep)
{
    for (;;) {
        runPass(s, physics, fixedTimeStep);
        waitForWake(s);
        if (!waitForTakeOver(s) || s.stopRequested) {
            break;
        }
        publish(s);
    }
    // Acknowledges the stop; the worker touches nothing shared after this.
    s.stopRequested = 0;
}

void requestWake(SimulationState& s)
{
    {
        std::lock_guard lock(s.wakeMutex);
        s.wakeRequested = 1;
    }
    s.simulationWakeCondition.notify_one();
}

void frameTick(SimulationState& s, f32 frameMs)
{
    PacingClock clock{s.accumulator, s.interpolationTime, s.dueTicks, s.smoothedStepTimeMs};
    const u32 published = s.stateIndex;
    const bool workerPublished = s.acknowledgedIndex != published;
    const PacingAction action = advancePacing(clock, frameMs, workerPublished, s.stepTimeMs);

    s.accumulator = clock.accumulator;
    s.smoothedStepTimeMs = clock.smoothedStepTimeMs;
    s.interpolationTime = clock.interpolationTime;
    switch (action) {
    case PacingAction::Idle:
        return;
    case PacingAction::Lagging:
        s.skipWait = 1;
        requestWake(s);
        return;
    case PacingAction::HandOver:
        // The batch size first: the worker publishes only after the take-over.
        s.dueTicks = clock.dueTicks;
        s.acknowledgedIndex = published;
        requestWake(s);
        return;
    }
}

void frameTick(f32 frameMs)
{
    frameTick(state, frameMs);
}

void stopWorker(SimulationState& s, std::thread& worker)
{
    constexpr auto resignalInterval = std::chrono::milliseconds(16);
    constexpr auto pollInterval = std::chrono::milliseconds(1);
    if (!worker.joinable()) {
        return; // never started: nobody would acknowledge the stop
    }
    s.stopRequested = 1;
    requestWake(s);
    auto lastSignal = std::chrono::steady_clock::now();
    while (s.stopRequested) {
        std::this_thread::sleep_for(pollInterval);
        if (std::chrono::steady_clock::now() - lastSignal >= resignalInterval) {
            requestWake(s);
            lastSignal = std::chrono::steady_clock::now();
        }
    }
    worker.join();
}

void dispatchContacts(btDispatcher* dispatcher)
{
    const int count = dispatcher->getNumManifolds();
    for (int i = 0; i < count; i++) {
        btPersistentManifold* manifold = dispatcher->getManifoldByIndexInternal(i);
        f32 distance = 1e8f;
        for (int p = 0; p < manifold->getNumContacts(); p++) {
            distance = std::min(distance, static_cast<f32>(manifold->getContactPoint(p).getDistance()));
        }
        const btCollisionObject* bodyA = manifold->getBody0();
        const btCollisionObject* bodyB = manifold->getBody1();
        auto* refA = static_cast<PhysicsReference*>(bodyA->getUserPointer());
        auto* refB = static_cast<PhysicsReference*>(bodyB->getUserPointer());
        if (!refA || !refB) {
            continue;
        }
        if ((refB->type & refA->mask) != 0 && refA->contactThreshold >= distance) {
            refA->onCollision(refB);
            // A's callback may have released a reference (a projectile drops its own
            // after the first hit); B must not be handed a freed one.
            if (bodyA->getUserPointer() != refA || bodyB->getUserPointer() != refB) {
                continue;
            }
        }
        if ((refA->type & refB->mask) != 0 && refB->contactThreshold >= distance) {
            refB->onCollision(refA);
        }
    }
}

void releaseRemaining(PhysicsWorld& physics)
{
    WorkLists work;
    takePendingLists(work);
    std::vector<PhysicsObject*> objects = Registry::active;
    for (PhysicsObject* object : Registry::active) {
        physics.world->removeRigidBody(object->body);
        object->inWorld = 0;
    }
    Registry::active.clear();
    objects.insert(objects.end(), work.adds.begin(), work.adds.end());
    objects.insert(objects.end(), work.removes.begin(), work.removes.end());
    // An object may stand in several lists; each is deleted once.
    std::sort(objects.begin(), objects.end());
    objects.erase(std::unique(objects.begin(), objects.end()), objects.end());
    for (PhysicsObject* object : objects) delete object;
    for (btCollisionShape* shape : work.shapes) delete shape;
    for (btTriangleMesh* mesh : work.meshes) delete mesh;
}

RenderState renderState(const SimulationState& s)
{
    return {s.acknowledgedIndex, interpolationAlpha(s.interpolationTime)};
}

} // namespace Simulation

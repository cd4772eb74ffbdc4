#include "PhysicsTestSupport.h"

#include "Engine/Physics/PhysicsObject.h"
#include "Engine/Physics/PhysicsReference.h"
#include "Engine/Physics/Simulation.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

using namespace physics_test;

namespace {

constexpr f32 OneTickMs = 17.0f;
constexpr f32 FiveTicksMs = 100.0f;

// A real worker on its own Bullet world and simulation state; the test is its main
// thread and paces it with frameTick.
class SimulationThreaded : public ::testing::Test {
protected:
    void SetUp() override { world.init(EngineWorldGravity); }
    void TearDown() override
    {
        Simulation::stopWorker(state, worker);
        Simulation::releaseRemaining(world);
    }

    void start()
    {
        worker = std::thread([this] { Simulation::runWorker(state, world, TickSeconds); });
        ASSERT_TRUE(waitFor([this] { return state.batchCount >= 1; })) << "the first batch runs at once";
    }
    // One frame of `frameMs`, then waits until the worker has run the next pass.
    void pass(f32 frameMs = OneTickMs)
    {
        const u64 before = state.batchCount;
        Simulation::frameTick(state, frameMs);
        ASSERT_TRUE(waitFor([&] { return state.batchCount > before; })) << "no pass after the hand-over";
    }
    int bodiesInWorld()
    {
        std::lock_guard lock(state.stepMutex);
        return world.world->getNumCollisionObjects();
    }
    PhysicsObjectDesc dynamic()
    {
        PhysicsObjectDesc desc;
        desc.mass = 1;
        desc.noSleeping = 1;
        return desc;
    }

    PhysicsWorld world;
    SimulationState state;
    std::thread worker;
    EventLog log;
    btSphereShape sphere{0.5f};
    btBoxShape ground{btVector3(50, 0.5f, 50)};
};

} // namespace

TEST_F(SimulationThreaded, StepsPerBatchAreDueTicksTimesGameSpeed)
{
    std::atomic<int> hooks{0};
    TrackedObject* object = makeTracked(log, "object", &sphere, at(0, 10, 0), dynamic());
    object->setPreStepCallback([&] { hooks++; });
    Registry::addPhysicsObject(object);
    state.gameSpeed = 4;
    start();
    EXPECT_EQ(hooks, 4) << "the first batch: one tick at speed 4";

    pass(FiveTicksMs);
    EXPECT_EQ(hooks, 4 + 20) << "5 due ticks at speed 4";

    // Paused: no step, but the lists are still applied and the state republished.
    state.gameSpeed = 0;
    Registry::addPhysicsObject(makeTracked(log, "late", &sphere, at(5, 10, 0), dynamic()));
    const u32 published = state.stateIndex;
    pass(FiveTicksMs);
    EXPECT_EQ(hooks, 24);
    EXPECT_EQ(bodiesInWorld(), 2);
    EXPECT_NE(state.stateIndex, published);
}

TEST_F(SimulationThreaded, AddedAndRemovedBeforeAPassIsDeletedOnceAndNeverAdded)
{
    start();
    TrackedObject* object = makeTracked(log, "object", &sphere, at(0, 0, 0));
    Registry::addPhysicsObject(object);
    Registry::removePhysicsObject(object);
    Registry::removePhysicsObject(object);
    pass();
    EXPECT_EQ(log.count("object"), 1u);
    EXPECT_EQ(bodiesInWorld(), 0);
    pass();
    EXPECT_EQ(log.count("object"), 1u);
}

TEST_F(SimulationThreaded, RemovalsSwapTheLastActiveObjectIntoPlaceAndShapesGoAfterBodies)
{
    start();
    TrackedObject* objects[3];
    for (int i = 0; i < 3; i++) {
        objects[i] = makeTracked(log, "object" + std::to_string(i), &sphere, at(static_cast<f32>(i) * 3, 0, 0));
        Registry::addPhysicsObject(objects[i]);
    }
    pass();
    EXPECT_EQ(bodiesInWorld(), 3);

    Registry::removePhysicsObject(objects[0]);
    Registry::deleteShapeLater(new TrackedShape(&log, "shape"));
    Registry::deleteMeshLater(new TrackedMesh(&log, "mesh"));
    pass();
    EXPECT_EQ(bodiesInWorld(), 2);
    EXPECT_EQ(log.snapshot(), (std::vector<std::string>{"object0", "shape", "mesh"}));
    {
        std::lock_guard lock(state.stepMutex); // the worker's list, read between passes
        ASSERT_EQ(Registry::active.size(), 2u);
        EXPECT_EQ(Registry::active[0], objects[2]);
        EXPECT_EQ(Registry::active[1], objects[1]);
        for (u32 i = 0; i < 2; i++) EXPECT_EQ(Registry::active[i]->activeIndex, i);
    }
}

TEST_F(SimulationThreaded, PublishedTransformsFollowTheBodyFromSlotToSlot)
{
    // Renderers read the acknowledged slot: the state the worker published before the
    // latest take-over, whose previous transform is the one acknowledged before it.
    TrackedObject* object = makeTracked(log, "falling", &sphere, at(0, 100, 0), dynamic());
    Registry::addPhysicsObject(object);
    start();
    pass();
    Simulation::RenderState view = Simulation::renderState(state);
    EXPECT_EQ(object->current[view.stateIndex].getOrigin().y(), 100.0f) << "nothing published yet: the start";
    f32 lastHeight = 100;
    for (int i = 0; i < 5; i++) {
        pass();
        const u32 lastIndex = view.stateIndex;
        view = Simulation::renderState(state);
        EXPECT_NE(view.stateIndex, lastIndex) << "the slots alternate";
        const f32 height = object->current[view.stateIndex].getOrigin().y();
        EXPECT_LT(height, lastHeight) << "hand-over " << i;
        EXPECT_EQ(object->previous[view.stateIndex].getOrigin().y(), lastHeight) << "hand-over " << i;
        lastHeight = height;
    }
}

TEST_F(SimulationThreaded, AWakeDuringTheBatchIsNotLost)
{
    // The hook holds the first batch until the hand-over has been signalled; the
    // worker must then publish without another frame.
    std::atomic<bool> inHook{false}, release{false};
    TrackedObject* object = makeTracked(log, "object", &sphere, at(0, 0, 0));
    object->setPreStepCallback([&] {
        inHook = true;
        while (!release) std::this_thread::yield();
    });
    Registry::addPhysicsObject(object);
    worker = std::thread([this] { Simulation::runWorker(state, world, TickSeconds); });
    ASSERT_TRUE(waitFor([&] { return inHook.load(); }));

    Simulation::frameTick(state, OneTickMs); // hand-over and wake while the batch runs
    release = true;
    EXPECT_TRUE(waitFor([&] { return state.stateIndex == 0; })) << "the wake was lost";
}

TEST_F(SimulationThreaded, TheWholePassRunsUnderStepMutex)
{
    start();
    {
        std::unique_lock lock(state.stepMutex); // as the debug drawer holds it
        Registry::addPhysicsObject(makeTracked(log, "object", &sphere, at(0, 0, 0)));
        Simulation::frameTick(state, OneTickMs);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(world.world->getNumCollisionObjects(), 0) << "the add must wait for the lock";
    }
    EXPECT_TRUE(waitFor([&] { return bodiesInWorld() == 1; }));
}

TEST_F(SimulationThreaded, StopHandShakeEndsAWaitingWorkerPromptly)
{
    start();
    const auto begin = std::chrono::steady_clock::now();
    Simulation::stopWorker(state, worker);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(100));
    EXPECT_FALSE(worker.joinable());
    EXPECT_EQ(state.stopRequested, 0) << "the worker acknowledges the stop";
}

TEST_F(SimulationThreaded, StopHandShakeEndsAWorkerWaitingForATakeOver)
{
    start();
    Simulation::requestWake(state); // woken without a take-over: it waits for one
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto begin = std::chrono::steady_clock::now();
    Simulation::stopWorker(state, worker);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(100));
    EXPECT_EQ(state.stateIndex, 1u) << "a stopping worker publishes nothing";
}

TEST_F(SimulationThreaded, ACallbackThatRemovesItsOwnObjectDoesNotDeadlock)
{
    // A ball falls onto the ground; on contact it asks for its own removal, on every
    // step of the contact. It must be deleted once, by the next pass.
    PhysicsObject* floor = new PhysicsObject(&ground, at(0, -0.5f, 0), {});
    floor->setReference(new PhysicsReference(CollisionTerrain, floor, nullptr, 0, nullptr));
    Registry::addPhysicsObject(floor);

    std::atomic<int> contacts{0};
    TrackedObject* ball = makeTracked(log, "ball", &sphere, at(0, 1.5f, 0), dynamic());
    ball->setReference(new PhysicsReference(CollisionProjectile, ball, nullptr, CollisionTerrain,
                                            [&, ball](PhysicsReference*) {
                                                contacts++;
                                                Registry::removePhysicsObject(ball);
                                            },
                                            0.2f));
    Registry::addPhysicsObject(ball);
    start();
    for (int i = 0; i < 40 && log.count("ball") == 0; i++) pass(FiveTicksMs);
    EXPECT_EQ(log.count("ball"), 1u);
    EXPECT_GE(contacts, 1);
    EXPECT_EQ(bodiesInWorld(), 1);
}

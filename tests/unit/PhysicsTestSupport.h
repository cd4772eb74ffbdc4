#pragma once

// Helpers shared by the physics and simulation tests: owners, shapes and meshes that
// record their destruction, so tests can tell what was deleted, how often and in
// which order.

#include "Engine/Physics/PhysicsObjectShared.h"
#include "Engine/Physics/PhysicsWorld.h"
#include "Engine/Physics/Registry.h"

#include <btBulletDynamicsCommon.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace physics_test {

// Destruction events in the order they happened (any thread).
struct EventLog {
    std::mutex mutex;
    std::vector<std::string> events;

    void add(std::string event)
    {
        std::lock_guard lock(mutex);
        events.push_back(std::move(event));
    }
    std::vector<std::string> snapshot()
    {
        std::lock_guard lock(mutex);
        return events;
    }
    size_t count(const std::string& event)
    {
        std::lock_guard lock(mutex);
        size_t n = 0;
        for (const auto& e : events) n += e == event;
        return n;
    }
};

// A game instance stand-in.
struct Tracker {
    EventLog* log;
    std::string name;
    Tracker(EventLog* l, std::string n) : log(l), name(std::move(n)) {}
    Tracker(const Tracker&) = delete;
    Tracker& operator=(const Tracker&) = delete;
    ~Tracker() { log->add(name); }
};

struct TrackedShape : btSphereShape {
    EventLog* log;
    std::string name;
    TrackedShape(EventLog* l, std::string n) : btSphereShape(1), log(l), name(std::move(n)) {}
    ~TrackedShape() override { log->add(name); }
};

struct TrackedMesh : btTriangleMesh {
    EventLog* log;
    std::string name;
    TrackedMesh(EventLog* l, std::string n) : log(l), name(std::move(n)) {}
    ~TrackedMesh() override { log->add(name); }
};

using TrackedObject = PhysicsObjectShared<Tracker>;

inline btTransform at(f32 x, f32 y, f32 z)
{
    btTransform t;
    t.setIdentity();
    t.setOrigin(btVector3(x, y, z));
    return t;
}

// A physics object whose owner logs `name` when the object lets it go.
inline TrackedObject* makeTracked(EventLog& log, const std::string& name, btCollisionShape* shape,
                                  const btTransform& start, const PhysicsObjectDesc& desc = {})
{
    auto* object = new TrackedObject(shape, start, desc);
    object->owner = std::make_shared<Tracker>(&log, name);
    return object;
}

// Polls `condition` until it holds or `timeout` passes.
inline bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace physics_test

#pragma once

#include "Engine/Types.h"

#include <glm/vec3.hpp>

#include <atomic>

// Three floats that one thread writes while others read them, each component atomic on
// its own: a reader may see the components of two successive writes, never a torn
// float. `add` and `take` never lose an amount: what is added between two takes is in
// the second take.
class AtomicVec3 {
public:
    AtomicVec3() = default;
    explicit AtomicVec3(const glm::vec3& v) { store(v); }
    AtomicVec3(const AtomicVec3&) = delete;
    AtomicVec3& operator=(const AtomicVec3&) = delete;

    glm::vec3 load() const
    {
        return {x.load(std::memory_order_relaxed), y.load(std::memory_order_relaxed), z.load(std::memory_order_relaxed)};
    }
    void store(const glm::vec3& v)
    {
        x.store(v.x, std::memory_order_relaxed);
        y.store(v.y, std::memory_order_relaxed);
        z.store(v.z, std::memory_order_relaxed);
    }
    void add(const glm::vec3& v)
    {
        x.fetch_add(v.x, std::memory_order_relaxed);
        y.fetch_add(v.y, std::memory_order_relaxed);
        z.fetch_add(v.z, std::memory_order_relaxed);
    }
    // The sum so far, leaving zero.
    glm::vec3 take()
    {
        return {x.exchange(0.0f, std::memory_order_relaxed), y.exchange(0.0f, std::memory_order_relaxed),
                z.exchange(0.0f, std::memory_order_relaxed)};
    }

private:
    std::atomic<f32> x{0.0f}, y{0.0f}, z{0.0f};
};

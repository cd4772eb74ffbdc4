#pragma once

#include "Engine/Types.h"
#include "Game/Session/SnapshotBlend.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

class BoundingAABB;
class CommandBuffer;
class CullingGrid;
class Mesh;
class Particle;
class ParticleRenderer;

// Particles made and not yet deleted.
extern std::atomic<i32> liveParticleCount;

// A live particle: no physics body, moved by the game-logic thread tick by tick; it
// keeps three snapshots from which the main thread draws. Held only by its kind's list.
//
// Threads: made, ticked, snapshotted and removed on the game-logic thread (or emptied
// by the world's teardown once that thread has stopped); the main thread reads only
// the snapshot slots the logic thread is not writing, under the kind's mutex.
class ParticleInstance {
public:
    u32 typeIndex = 0;
    i32 listIndex = 0;
    bool removed = false;
    BoundingAABB* cullingCell = nullptr; // main thread: the cell of the last updateBounds
    Particle* kind = nullptr;

    explicit ParticleInstance(Particle* kind);
    virtual ~ParticleInstance();
    ParticleInstance(const ParticleInstance&) = delete;
    ParticleInstance& operator=(const ParticleInstance&) = delete;

    // Game-logic thread, once per game-speed step.
    virtual void tick() = 0;
    // Out of the kind's list (once); the list's reference was the last.
    virtual void remove();
    // Game-logic thread, after each batch: the current state into slot 0..2.
    virtual void storeSnapshot(u32 slot) = 0;
    // Main thread: grows the culling cell of where snapshot `frame` puts it.
    virtual void updateBounds(CullingGrid& grid, u32 frame) = 0;
};

// A particle kind: its instance list under its mutex and the mesh its draws use.
// Made once at start-up and kept for the life of the process; its list is empty
// between games.
class Particle {
public:
    u32 typeIndex = 0;
    std::vector<std::shared_ptr<ParticleInstance>> instances;
    std::mutex mutex;
    Mesh* mesh = nullptr;

    explicit Particle(u32 typeIndex);
    virtual ~Particle();
    Particle(const Particle&) = delete;
    Particle& operator=(const Particle&) = delete;

    // Main thread, inside the main pass with the renderer's pipeline and scene set
    // bound: every drawable instance in one instanced draw.
    virtual void drawAll(CommandBuffer& cmd, const SnapshotBlend& blend, ParticleRenderer& renderer) = 0;
    // Main thread, every frame after the culling grid is reset.
    void updateAllBounds(CullingGrid& grid, u32 frame);

    // Game-logic thread: every instance's tick, last to first (a tick may remove its
    // own instance).
    void tickAll();
    // Game-logic thread: every instance's snapshot into `slot`, last to first.
    void storeSnapshots(u32 slot);
    // The teardown: every instance leaves the list (a new game starts without them).
    void clear();
    // Appends `instance` under the mutex, setting its listIndex.
    void add(const std::shared_ptr<ParticleInstance>& instance);
    size_t count();
};

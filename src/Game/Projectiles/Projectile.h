#pragma once

#include "Engine/Physics/PhysicsReference.h"
#include "Engine/Physics/Simulation.h"
#include "Engine/Types.h"

#include <glm/glm.hpp>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class BoundingAABB;
class CommandBuffer;
class CullingGrid;
class Mesh;
class PhysicsObject;
class Projectile;
class ProjectileRenderer;
class btSphereShape;

// Projectiles made and not yet deleted; the world's teardown waits for 0.
extern std::atomic<i32> liveProjectileCount;

// A live cannonball or bomb: a sphere body in the engine physics world that the
// simulation thread moves; its lifetime and effects run on the game-logic thread.
// Held by its kind's list and by its physics object.
//
// Threads: made, ticked and removed on the game-logic thread (or removed by the
// world's teardown once that thread has stopped). The contact callbacks run on the
// simulation thread and only record (see the kinds). The main thread reads the
// physics transforms of listed instances under the kind's mutex.
class ProjectileInstance : public std::enable_shared_from_this<ProjectileInstance> {
public:
    u32 typeIndex = 0;
    i32 listIndex = 0;
    // Written once before the object is registered; never touched again by this
    // side after the removal request (the simulation thread deletes it).
    PhysicsObject* physicsObject = nullptr;
    std::atomic<bool> removed{false};
    BoundingAABB* cullingCell = nullptr; // main thread
    Projectile* kind = nullptr;

    explicit ProjectileInstance(Projectile* kind);
    virtual ~ProjectileInstance();
    ProjectileInstance(const ProjectileInstance&) = delete;
    ProjectileInstance& operator=(const ProjectileInstance&) = delete;

    // Game-logic thread, once per game-speed step.
    virtual void tick() = 0;
    // Once: out of the kind's list, then the body to the simulation thread, which
    // deletes it (in that order, so that no draw reads a deleted body).
    void remove();
    // Main thread: grows the culling cell at the interpolated physics position.
    void updateBounds(CullingGrid& grid, const Simulation::RenderState& render);

protected:
    // The body at `position` with `velocity`, its reference reporting `contactMask`
    // to `onContact`, with `beforeStep` (if any) as its pre-step hook; then into the
    // kind's list and to the simulation thread.
    void launch(const glm::vec3& position, const glm::vec3& velocity, u32 contactMask,
                PhysicsReference::Callback onContact, std::function<void()> beforeStep = {});
};

// A projectile kind: the sphere (shape and mesh) of its radius and its instance list
// under its mutex. Made once at start-up, kept for the life of the process.
class Projectile {
public:
    u32 typeIndex = 0;
    f32 radius = 0.0f;
    const char* name = ""; // "cannonball", "bomb": what lines call the kind
    std::vector<std::shared_ptr<ProjectileInstance>> instances;
    std::mutex mutex;
    btSphereShape* shape = nullptr;
    Mesh* mesh = nullptr;

    Projectile(u32 typeIndex, f32 radius, const char* name);
    virtual ~Projectile();
    Projectile(const Projectile&) = delete;
    Projectile& operator=(const Projectile&) = delete;

    // The sphere mesh in the global mesh storage (start-up); when it does not fit, the
    // start-up ends naming it ("the cannonball's sphere", see gameStorageSphere).
    void createMesh();
    // Main thread, with the renderer's pipeline (main pass) or shadow pipeline (a
    // cascade) and set 0 bound: every instance in a visible cell in one instanced draw.
    void drawAll(CommandBuffer& cmd, u32 frame, ProjectileRenderer& renderer);
    // Main thread, every frame after the culling grid is reset.
    void updateAllBounds(CullingGrid& grid);
    // Under the mutex: the interpolated matrices of the instances in visible cells, in
    // list order, at most `capacity`, into `out`; their count.
    u32 writeMatrices(const Simulation::RenderState& render, u8* out, u32 capacity);

    // Game-logic thread: every instance's tick, last to first.
    void tickAll();
    // The teardown: every instance removed.
    void removeAll();
    size_t count();
};

class PtCannonBall : public Projectile {
public:
    PtCannonBall();
};

class PtBomb : public Projectile {
public:
    PtBomb();
};

// By index: 0 cannonball, 1 bomb; made at start-up.
extern Projectile* projectileTypes[2];

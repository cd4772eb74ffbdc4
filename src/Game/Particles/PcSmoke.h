#pragma once

#include "Game/Particles/Particle.h"

#include <LinearMath/btTransform.h>
#include <glm/glm.hpp>

// One stored state of a puff: where it stands and how it is turned, its size and its
// opacity per unit of size.
struct SmokeSnapshot {
    btTransform transform;
    f32 size = 0.0f;
    f32 opacityOverSize = 0.0f;
};

// What a puff is drawn with: 80 bytes of the particle renderer's storage.
struct SmokeRecord {
    glm::mat4 model{1.0f}; // rotation and translation; the shader scales by size
    f32 opacityOverSize = 0.0f;
    f32 size = 0.0f;
    f32 unused[2] = {0.0f, 0.0f};
};
static_assert(sizeof(SmokeRecord) == 80);

// How a puff starts and how it changes per tick: velocity is per tick, `drag`
// multiplies it every tick, `growth` adds to the size, `fade` takes opacity away in
// proportion to (5 opacity + 1) / 5, `spin` turns it about `axis` (any length) and
// `spinDamping` multiplies the spin.
struct SmokePuff {
    glm::vec3 position{0.0f};
    glm::vec3 velocity{0.0f};
    f32 spin = 0.0f;
    f32 size = 0.0f;
    f32 opacity = 0.0f;
    f32 drag = 1.0f;
    f32 growth = 0.0f;
    f32 fade = 0.0f;
    f32 spinDamping = 1.0f;
    glm::vec3 axis{0.0f, 1.0f, 0.0f};
};

class PcSmoke;

// A smoke puff: drifts, slows, grows and fades until its opacity reaches 0, then
// leaves its list. Drawn only once the logic thread has stored a snapshot after its
// creation (warmUp 0).
class PcSmokeInstance : public ParticleInstance {
public:
    SmokeSnapshot snapshots[3];
    f32 drag = 1.0f;
    f32 growth = 0.0f;
    f32 fade = 0.0f;
    f32 spinDamping = 1.0f;
    glm::vec3 axis{0.0f, 1.0f, 0.0f};
    glm::vec3 position{0.0f};
    glm::vec3 velocity{0.0f};
    f32 angle = 0.0f;
    f32 spin = 0.0f;
    f32 opacity = 0.0f;
    f32 size = 0.0f;
    std::atomic<i32> warmUp; // read by the main thread's draw
    PcSmoke* smokeKind = nullptr;

    // The three snapshots hold the start; the puff is in no list yet.
    PcSmokeInstance(PcSmoke* kind, const SmokePuff& puff);
    // Game-logic thread: a new puff in `kind`'s list (the global smoke kind by default).
    static std::shared_ptr<PcSmokeInstance> create(const SmokePuff& puff, PcSmoke* kind = nullptr);

    void tick() override;
    void storeSnapshot(u32 slot) override;
    void updateBounds(CullingGrid& grid, u32 frame) override;

    bool drawable() const { return warmUp.load(std::memory_order_acquire) == 0; }
    // The record drawn for `blend`: transform, opacity / size and size blended from the
    // older slot to the newer one.
    SmokeRecord record(const SnapshotBlend& blend) const;
};

// The smoke kind: the puff model, drawn by the particle renderer.
class PcSmoke : public Particle {
public:
    static constexpr const char* ModelPath = "assets/Particles/smoke.glb";

    PcSmoke();
    // The first mesh of the smoke model (start-up; a broken file ends it).
    void loadModel();
    void drawAll(CommandBuffer& cmd, const SnapshotBlend& blend, ParticleRenderer& renderer) override;
    // Under the mutex: the records of the drawable puffs in visible cells, in list
    // order, at most `capacity` of them, into `out`; their count.
    u32 writeRecords(const SnapshotBlend& blend, u8* out, u32 capacity);
};

// The smoke kind, made at start-up.
extern PcSmoke* smokeType;

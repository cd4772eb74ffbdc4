#pragma once

#include "Game/Buildings/BuildingInstance.h"

#include <LinearMath/btTransform.h>
#include <glm/glm.hpp>

class ReachGrid;
class TowerKind;
class TurretAim;
struct StorageSlot;

// One stored pose of a tower's moving parts.
struct TowerSnapshot {
    btTransform turret; // R_y(-yaw) at the pivot
    btTransform barrel; // R_y(-yaw) R_z(pitch) at the pivot
};

// A drawn part of a tower: where its matrix is in instanceStorage (NoOffset until the
// main thread first writes it) and the slot through which draws bind it.
struct TowerPart {
    u32 offset;
    StorageSlot* instanceSlot = nullptr;
};

// What cannon and mortar towers share: a fixed base, a turret turning in yaw and a
// barrel turning in yaw and pitch, drawn from three snapshot slots of the turret and
// barrel; a reach map and a turret aim; firing at the level's interval. The two kinds
// differ only in what they fire.
//
// Threads: spawn, update, destroy and storeSnapshot run on the game-logic thread;
// interpolateSnapshot, getRenderObjects and the draws on the main thread, which alone
// writes the parts' matrices and their instanceStorage slots; upgrade on the main
// thread writes only level, health and the aim's shot interval, each atomic.
class TowerInstance : public BuildingInstance {
public:
    ReachGrid* reach = nullptr; // owned
    TurretAim* aim = nullptr;   // owned
    TowerKind* towerKind = nullptr;
    TowerSnapshot snapshots[3];
    glm::mat4 baseMatrix{1.0f};
    glm::mat4 turretMatrix{1.0f};
    glm::mat4 barrelMatrix{1.0f};
    TowerPart base;
    TowerPart turret;
    TowerPart barrel;

    TowerInstance(TowerKind* kind, const glm::ivec3& gridPos);
    ~TowerInstance() override;

    // Static bodies in both physics worlds (a box standing on the footprint's ground
    // centre), the reach map and the aim, the start pose in all three snapshot slots,
    // the kind's list, and the footprint as a goal of the enemies' navigation.
    void spawn() override;
    // A tower marked for destruction goes; otherwise the reach map is built (the first
    // time), the turret aims, and a due shot is fired from the pivot.
    void update() override;
    // Lets go of its target, then leaves the game as every building does.
    void destroy() override;
    // The next level at full health (unless at the last), and that level's interval
    // either way.
    void upgrade() override;
    // Base, turret and barrel with their current matrices.
    std::vector<RenderObject> getRenderObjects() override;
    void storeSnapshot(u32 slot) override;
    // The turret and barrel blended from slot (slot + 2) mod 3 towards `slot`, written
    // with the base (once) into instanceStorage.
    void interpolateSnapshot(u32 slot) override;
    void recordShadowDraw(CommandBuffer& cmd, u32 firstSet, u32 frame) override;
    void recordDraw(CommandBuffer& cmd, u32 firstSet, u32 frame) override;

    // The pivot: 1 above the footprint's ground centre; turret, barrel and muzzle.
    glm::vec3 pivot() const;
    // The tower level's damage of one projectile and its interval between shots.
    i32 damageAt(u32 level) const;
    i32 intervalAt(u32 level) const;

protected:
    // Game-logic thread: a projectile from `muzzle` at `velocity` (units/s).
    virtual void fire(const glm::vec3& muzzle, const glm::vec3& velocity, i32 damage) = 0;
    void releaseMatrixSlots() override;

private:
    // Both passes: base, turret and barrel, each bound through the building manager's
    // instance set from `firstSet`, while the culling cell is visible.
    void recordDrawImpl(CommandBuffer& cmd, u32 firstSet);
};

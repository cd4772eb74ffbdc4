#pragma once

#include "Engine/Types.h"
#include "Game/Buildings/BuildingConfig.h"
#include "Game/Towers/EnemyBucketView.h"

#include <glm/glm.hpp>

#include <atomic>
#include <memory>
#include <vector>

class EnemyInstance;
class ReachGrid;
class Random;

// A tower's aim: which enemy it holds, where its turret (yaw) and barrel (pitch)
// point, turning towards the ballistic solution by at most aimSpeed per tick, sweeping
// idly while it holds none, and when a shot is due.
//
// Angles are radians; yaw is atan2(z, x) in the x-z plane, pitch the elevation: the aim
// direction of (yaw, pitch) is (cos p cos y, sin p, sin y cos p).
//
// Threads: everything runs on the game-logic thread in the tower's update, except
// `shotInterval`, which an upgrade on the main thread may set.
class TurretAim {
public:
    f32 yaw = 0.0f;
    f32 pitch = 0.0f;
    AimSettings settings;
    std::atomic<i32> shotInterval{0}; // ticks between shots: the tower level's interval
    std::vector<u32> enemyBuckets;    // the buckets the reach rectangle touches
    ReachGrid* reach = nullptr;
    i32 sinceShot = 0;
    f32 desiredYaw = 0.0f;
    f32 desiredPitch = 0.0f;
    std::shared_ptr<EnemyInstance> target;
    i32 idlePause = 0;
    i32 idleTurnLeft = 0;
    i32 idleTurnDir = 1;
    EnemyBucketView enemies;
    Random* random = nullptr; // the idle sweep's draws

    // Fills enemyBuckets from the reach grid's rectangle; flat arc, no target, resting.
    TurretAim(ReachGrid& reach, EnemyBucketView enemies, Random* random);
    ~TurretAim();
    TurretAim(const TurretAim&) = delete;
    TurretAim& operator=(const TurretAim&) = delete;

    // One tick with the muzzle at `muzzle` (world space): the shot clock, dropping a
    // target that died or left the reachable cells, finding one, aiming, idling.
    void update(const glm::vec3& muzzle);
    // The nearest enemy in the buckets whose predicted meeting point is reachable and
    // within the barrel's pitch limits becomes the target.
    void acquireTarget(const glm::vec3& muzzle);
    // Turns towards the ballistic solution for the target; drops a target with no
    // solution or one whose pitch the barrel cannot reach.
    void aim(const glm::vec3& muzzle);
    // True when a shot is due: the interval has passed, a target is held and the
    // barrel points within the fire cone of the solution. Then `direction` is the
    // solution's unit direction and the shot clock restarts.
    bool readyToFire(glm::vec3& direction);
    // Lets go of the target (a tower that goes must not keep an enemy alive).
    void releaseTarget();

    i32 arcSign() const;
};

// Radians: `angle` brought into [-pi, pi) by whole turns, adding before subtracting
// (a difference of angles already within a few turns).
f32 normalizedAngle(f32 angle);
// `current` turned towards `desired` by at most `maxStep`, the short way round.
f32 turnTowards(f32 current, f32 desired, f32 maxStep);
// The unit aim direction of (yaw, pitch).
glm::vec3 aimDirection(f32 yaw, f32 pitch);

#include "Game/Session/GameTeardown.h"

#include "Engine/Physics/Simulation.h"
#include "Game/Buildings/BuildingInstance.h"
#include "Game/Enemies/EnemyInstance.h"
#include "Game/Enemies/EnemyManager.h"
#include "Game/Particles/PcSmoke.h"
#include "Game/Projectiles/Projectile.h"
#include "Game/Session/BuildingManager.h"
#include "Game/Session/GameLogic.h"
#include "Game/Session/GameSpeed.h"

#include <chrono>
#include <mutex>
#include <thread>

namespace {

// How often the teardown paces the physics thread while it waits.
constexpr auto PacingInterval = std::chrono::milliseconds(16);

} // namespace

bool gameInstancesLive()
{
    return liveBuildingCount.load() > 0 || aliveEnemyCount.load() > 0 || liveProjectileCount.load() > 0;
}

void endGame(const GameParts& parts, const std::function<void()>& pace)
{
    // 1: nothing changes the lists any more.
    if (parts.logic != nullptr) parts.logic->stopThread();

    // 2: no step, so no steering and no contact, from the end of the pass under way.
    if (parts.simulation != nullptr) {
        parts.simulation->gameSpeed.store(GameSpeedPaused);
        std::lock_guard passOver(parts.simulation->stepMutex);
    }

    // 3: everything out of the game: buildings (a tower lets go of its target, which
    // would keep its enemy alive), enemies, projectiles; and the smoke puffs, which the
    // next game would otherwise draw. The tools' selection lets go of its building here
    // as well once it exists.
    if (parts.buildings != nullptr) parts.buildings->destroyAll();
    if (parts.enemies != nullptr) parts.enemies->destroyAll();
    for (Projectile* kind : projectileTypes) {
        if (kind != nullptr) kind->removeAll();
    }
    if (smokeType != nullptr) smokeType->clear();

    // 4: the physics thread removes the bodies and with them the last owners.
    while (gameInstancesLive()) {
        if (pace) pace();
        std::this_thread::sleep_for(PacingInterval);
    }
    if (parts.simulation != nullptr) parts.simulation->gameSpeed.store(GameSpeedNormal);
}

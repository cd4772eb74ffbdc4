#include "Game/Session/GameLogic.h"

#include "Game/Buildings/BuildingInstance.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "Game/Particles/PcSmoke.h"
#include "Game/Projectiles/Projectile.h"
#include "Game/Enemies/EnemyInstance.h"
#include "Game/Enemies/EnemyManager.h"
#include "Game/Enemies/EnemySpawner.h"
#include "Game/Session/BuildingManager.h"
#include "Game/Session/GameSession.h"
#include "Game/Session/Waves.h"
#include "World/WorldRules.h"
#include "Engine/Helper/FatalHandoff.h"

#include <chrono>

GameLogic::GameLogic(BuildingManager* buildings_, const std::atomic<u32>& speed_)
    : buildings(buildings_), speed(speed_)
{
}

GameLogic::~GameLogic()
{
    stopThread();
}

void GameLogic::start()
{
    thread = std::thread([this] { fatalHandoff.runGuarded([this] { threadMain(); }); });
}

void GameLogic::feed(f32 frameMs)
{
    clock.produced = producedSnapshot.load(std::memory_order_acquire);
    clock.lastBatchMs = lastBatchMs.load();
    const u32 consumedBefore = clock.consumed;
    const bool tickDue = feedLogicTicks(clock, frameMs);
    interpolation = clock.remainder;
    averageTickMs = clock.averageBatchMs;
    if (!tickDue || clock.consumed == consumedBefore) {
        return; // nothing due, or the thread is still at its batch
    }
    {
        std::lock_guard lock(wakeMutex);
        ticksDue += clock.ticksDue;
        ticksGranted += clock.ticksDue;
        consumedSnapshot.store(clock.consumed, std::memory_order_release);
    }
    wake.notify_one();
}

void GameLogic::stopThread()
{
    if (!thread.joinable()) return;
    {
        std::lock_guard lock(wakeMutex);
        stop = true;
    }
    wake.notify_one();
    thread.join();
    stop = false;
}

f32 GameLogic::interpolationAlpha() const
{
    return interpolation / LogicTickRules::Tick;
}

void GameLogic::runTick()
{
    const u32 steps = speed.load();
    // 1: the wave step, steps times.
    runWaveSteps(steps);
    // 2: the buildings (which repeat their own work steps times).
    if (buildings != nullptr) buildings->update(steps);
    // 3 and 4: smoke puffs, then cannonballs and bombs, steps times each (the puffs of a
    // burst tick from the next step on).
    for (u32 step = 0; step < steps; step++) {
        if (smokeType != nullptr) smokeType->tickAll();
    }
    for (u32 step = 0; step < steps; step++) {
        for (Projectile* kind : projectileTypes) {
            if (kind != nullptr) kind->tickAll();
        }
    }
    if (enemies != nullptr) {
        // 5: the enemies queued by the wave step (or the cheat tool) get their bodies,
        // paused or not.
        enemies->spawnPending();
        // 6: every enemy, steps times.
        for (u32 step = 0; step < steps; step++) {
            enemies->update();
        }
    }
    ticksRun++;
}

void GameLogic::runWaveSteps(u32 steps)
{
    if (session == nullptr || enemies == nullptr || steps == 0) return;
    WaveState& wave = *session->waveState;
    if (!wave.active.load(std::memory_order_acquire)) return;
    EnemySpawner spawner{enemies, buildingTypes[BuildingTypePortal]};
    const std::vector<PortalSite> portals = spawner.portalSites();
    const Waves::SpawnOne spawnOne = [&](WaveState& running) {
        return spawner.spawnAtRandomPortal(running, portals);
    };
    for (u32 step = 0; step < steps; step++) {
        Waves::step(wave, session->state, aliveEnemyCount, spawnOne);
    }
}

void GameLogic::storeSnapshots(u32 slot)
{
    // This thread alone changes the lists: it walks them without their mutexes.
    for (Building* kind : buildingTypes) {
        for (size_t i = kind->instances.size(); i-- > 0;) {
            kind->instances[i]->storeSnapshot(slot);
        }
    }
    // The smoke puffs. Projectiles and enemies draw from their bodies' transforms and
    // keep no snapshots.
    if (smokeType != nullptr) smokeType->storeSnapshots(slot);
}

void GameLogic::threadMain()
{
    for (;;) {
        const auto start = std::chrono::steady_clock::now();
        // A stop asked for during a batch ends it after the tick that runs.
        for (u32 ticks = ticksDue.exchange(0); ticks > 0 && !stop.load(); ticks--) {
            runTick();
        }
        const auto elapsed = std::chrono::steady_clock::now() - start;
        lastBatchMs = static_cast<f32>(std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count()) / 1e6f;

        std::unique_lock lock(wakeMutex);
        // The main thread has taken the last snapshot: the next slot is free.
        wake.wait(lock, [&] { return stop || consumedSnapshot.load() == producedSnapshot.load(); });
        if (stop) break;
        lock.unlock();
        const u32 slot = (producedSnapshot.load() + 1) % 3;
        storeSnapshots(slot);
        producedSnapshot.store(slot, std::memory_order_release);

        lock.lock();
        wake.wait(lock, [&] { return stop || ticksDue.load() > 0; });
        if (stop) break;
    }
}

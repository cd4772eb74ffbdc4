#include "Game/Session/GameLogic.h"

#include "Game/Buildings/BuildingInstance.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "Game/Session/BuildingManager.h"
#include "World/WorldRules.h"

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
    thread = std::thread(&GameLogic::threadMain, this);
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
        ticksDue = clock.ticksDue;
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
    // The wave step (steps times) comes first here once waves exist.
    buildings->update(steps);
    // Then, steps times each: smoke puffs, projectiles; the queued enemies once; the
    // enemies, steps times.
    ticksRun++;
}

void GameLogic::storeSnapshots(u32 slot)
{
    // This thread alone changes the lists: it walks them without their mutexes.
    for (Building* kind : buildingTypes) {
        for (size_t i = kind->instances.size(); i-- > 0;) {
            kind->instances[i]->storeSnapshot(slot);
        }
    }
    // The smoke puffs, the projectiles and the enemies follow here.
}

void GameLogic::threadMain()
{
    for (;;) {
        const auto start = std::chrono::steady_clock::now();
        for (u32 ticks = ticksDue.exchange(0); ticks > 0; ticks--) {
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

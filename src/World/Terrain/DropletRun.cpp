#include "World/Terrain/DropletRun.h"

#include "Engine/Camera/Random.h"
#include "World/Terrain/Erosion.h"
#include "World/Terrain/GenerationProgress.h"
#include "World/Terrain/ParallelFor.h"
#include "World/Terrain/TerrainRules.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <numbers>
#include <thread>

namespace {

constexpr u32 None = 0xFFFFFFFFu;
constexpr i32 TileSize = 32;
constexpr u32 ProgressEvery = 1024;

// Whether a droplet starting at `start` moves at all (it stops at once outside the
// band it may move in, and then touches nothing).
bool moves(const glm::vec2& start, u32 size)
{
    using ErosionRules::Border;
    f32 far = static_cast<f32>(size) - (Border + 1.0f);
    return start.x > Border && start.x < far && start.y > Border && start.y < far;
}

// Ready droplets that a worker does not run itself, for the workers that have none.
class ReadyQueue {
public:
    explicit ReadyQueue(u32 count) : total(count) {}

    void put(u32 droplet)
    {
        {
            std::lock_guard lock(mutex);
            droplets.push_back(droplet);
        }
        wake.notify_one();
    }

    // A ready droplet, waiting for one while droplets are unfinished; None once all
    // droplets have finished.
    u32 take()
    {
        std::unique_lock lock(mutex);
        wake.wait(lock, [&] { return !droplets.empty() || finished.load(std::memory_order_acquire) == total; });
        if (droplets.empty()) return None;
        u32 droplet = droplets.back();
        droplets.pop_back();
        return droplet;
    }

    void finish()
    {
        if (finished.fetch_add(1, std::memory_order_acq_rel) + 1 == total) {
            // Under the lock, so no waiter misses the last wake-up.
            std::lock_guard lock(mutex);
            wake.notify_all();
        }
    }
    u32 finishedCount() const { return finished.load(std::memory_order_relaxed); }

private:
    std::mutex mutex;
    std::condition_variable wake;
    std::vector<u32> droplets;
    std::atomic<u32> finished{0};
    const u32 total;
};

} // namespace

std::vector<glm::vec2> dropletStarts(u32 mapSize, u32 count)
{
    Random random(static_cast<i32>(mapSize));
    const f32 centre = static_cast<f32>(static_cast<i32>(mapSize / 2));
    const f32 radius = static_cast<f32>(static_cast<i32>(mapSize / 2) - static_cast<i32>(ErosionRules::StartMargin));
    const f64 toUnit = 1.0 / 4294967296.0;
    std::vector<glm::vec2> starts(count);
    for (glm::vec2& start : starts) {
        f64 angle = 2.0 * std::numbers::pi * (static_cast<f64>(random.engine()) * toUnit);
        f32 reach = std::sqrt(random.unitFloat()) * radius;
        start.x = centre + static_cast<f32>(std::cos(angle)) * reach;
        start.y = centre + static_cast<f32>(std::sin(angle)) * reach;
    }
    return starts;
}

DropletPlan planDroplets(std::vector<glm::vec2> starts, u32 mapSize)
{
    DropletPlan plan;
    const u32 count = static_cast<u32>(starts.size());
    plan.starts = std::move(starts);
    plan.dependencyCount.assign(count, 0);

    const i32 tilesPerSide = (static_cast<i32>(mapSize) + TileSize - 1) / TileSize;
    std::vector<u32> lastInTile(static_cast<size_t>(tilesPerSide) * tilesPerSide, None);
    std::vector<u32> predecessors;
    predecessors.reserve(static_cast<size_t>(count) * 6);
    std::vector<u32> successorCount(count, 0);
    std::vector<u32> seenBy(count, None); // seenBy[p] == d: p is already a predecessor of d

    for (u32 d = 0; d < count; d++) {
        const glm::vec2& start = plan.starts[d];
        if (!moves(start, mapSize)) continue;
        i32 cx = static_cast<i32>(start.x);
        i32 cy = static_cast<i32>(start.y);
        i32 tx0 = std::max(0, (cx - DropletReach) / TileSize);
        i32 ty0 = std::max(0, (cy - DropletReach) / TileSize);
        i32 tx1 = std::min(tilesPerSide - 1, (cx + DropletReach) / TileSize);
        i32 ty1 = std::min(tilesPerSide - 1, (cy + DropletReach) / TileSize);
        u32 found = 0;
        for (i32 ty = ty0; ty <= ty1; ty++) {
            u32* row = lastInTile.data() + static_cast<size_t>(ty) * tilesPerSide;
            for (i32 tx = tx0; tx <= tx1; tx++) {
                u32 last = row[tx];
                if (last != None && seenBy[last] != d) {
                    seenBy[last] = d;
                    predecessors.push_back(last);
                    successorCount[last]++;
                    found++;
                }
                row[tx] = d;
            }
        }
        plan.dependencyCount[d] = found;
    }

    plan.successorStart.assign(count + 1, 0);
    for (u32 d = 0; d < count; d++) plan.successorStart[d + 1] = plan.successorStart[d] + successorCount[d];
    plan.successors.resize(predecessors.size());
    std::vector<u32> fill(plan.successorStart.begin(), plan.successorStart.end() - 1);
    size_t next = 0;
    for (u32 d = 0; d < count; d++) {
        for (u32 k = 0; k < plan.dependencyCount[d]; k++) plan.successors[fill[predecessors[next++]]++] = d;
    }
    return plan;
}

void runDroplets(Erosion& erosion, const DropletPlan& plan, u32 threads, GenerationProgress* progress)
{
    const u32 count = static_cast<u32>(plan.starts.size());
    const u32 workers = std::min(workerCount(threads), std::max(count, 1u));
    if (workers <= 1) {
        for (u32 d = 0; d < count; d++) {
            if (progress && d % ProgressEvery == 0) progress->set(static_cast<f32>(d) / static_cast<f32>(count));
            erosion.simulateDroplet(plan.starts[d].x, plan.starts[d].y);
        }
        return;
    }

    // Each droplet's counter holds its unfinished predecessors plus one for being
    // handed out. Droplets are handed out in order; whoever brings a counter to 0
    // (the worker that handed it out, or the one that finished its last predecessor)
    // makes it ready. The decrements form one release sequence per counter, so the
    // droplet's runner sees every write of every predecessor. A worker keeps one
    // ready droplet for itself and shares the others.
    std::unique_ptr<std::atomic<u32>[]> pending(new std::atomic<u32>[count]);
    for (u32 d = 0; d < count; d++) pending[d].store(plan.dependencyCount[d] + 1, std::memory_order_relaxed);
    std::atomic<u32> nextDroplet{0};
    ReadyQueue shared(count);

    auto work = [&]() {
        u32 own = None;
        u32 done = 0;
        for (;;) {
            if (own == None) {
                u32 claimed = nextDroplet.fetch_add(1, std::memory_order_relaxed);
                if (claimed < count) {
                    if (pending[claimed].fetch_sub(1, std::memory_order_acq_rel) == 1) own = claimed;
                    continue;
                }
                own = shared.take();
                if (own == None) break; // every droplet has run
            }
            u32 droplet = own;
            own = None;
            erosion.simulateDroplet(plan.starts[droplet].x, plan.starts[droplet].y);
            for (u32 k = plan.successorStart[droplet]; k < plan.successorStart[droplet + 1]; k++) {
                u32 successor = plan.successors[k];
                if (pending[successor].fetch_sub(1, std::memory_order_acq_rel) != 1) continue;
                if (own == None) {
                    own = successor;
                } else {
                    shared.put(successor);
                }
            }
            shared.finish();
            if (progress && ++done % ProgressEvery == 0) {
                progress->set(static_cast<f32>(shared.finishedCount()) / static_cast<f32>(count));
            }
        }
    };

    std::vector<std::thread> helpers;
    helpers.reserve(workers - 1);
    for (u32 t = 1; t < workers; t++) helpers.emplace_back(work);
    work();
    for (std::thread& helper : helpers) helper.join();
}

void runDroplets(Erosion& erosion, const std::vector<glm::vec2>& starts, u32 threads, GenerationProgress* progress)
{
    if (workerCount(threads) <= 1) {
        DropletPlan inOrder;
        inOrder.starts = starts;
        runDroplets(erosion, inOrder, 1, progress);
        return;
    }
    runDroplets(erosion, planDroplets(starts, erosion.size), threads, progress);
}

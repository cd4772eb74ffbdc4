#include "World/Terrain/DropletRun.h"

#include "Engine/Camera/Random.h"
#include "World/Terrain/Erosion.h"
#include "World/Terrain/GenerationProgress.h"
#include "World/Terrain/ParallelFor.h"
#include "World/Terrain/TerrainRules.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <numbers>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace {

constexpr u32 None = 0xFFFFFFFFu;
constexpr i32 TileSize = 16;
constexpr u32 ProgressEvery = 1024;

// Whether a droplet starting at `start` moves at all (it stops at once outside the
// band it may move in, and then touches nothing).
bool moves(const glm::vec2& start, u32 size)
{
    using ErosionRules::Border;
    f32 far = static_cast<f32>(size) - (Border + 1.0f);
    return start.x > Border && start.x < far && start.y > Border && start.y < far;
}

// Ready droplets that no worker keeps for itself, lowest first. A worker with nothing
// to run sleeps here; it never spins, so on a busy machine the CPU goes to the workers
// that have droplets. A sleeper is woken only when the pool holds more droplets than
// the workers already woken can take plus a spare (a worker that shares droplets has
// one of its own to run and takes from the pool after it), so a short lull does not
// set off a wake-up per droplet. Once every worker sleeps and the pool is empty, no
// droplet can become ready any more: the run is over.
class ReadyPool {
public:
    explicit ReadyPool(u32 workerCount) : workers(workerCount) {}

    void put(const u32* droplets, u32 count)
    {
        if (count == 0) return;
        u32 wakeUps = 0;
        {
            std::lock_guard lock(mutex);
            for (u32 k = 0; k < count; k++) {
                heap.push_back(droplets[k]);
                std::push_heap(heap.begin(), heap.end(), std::greater<u32>());
            }
            while (sleepers > woken && heap.size() >= WakeSurplus + woken) {
                woken++;
                wakeUps++;
            }
        }
        for (u32 k = 0; k < wakeUps; k++) wake.notify_one();
    }

    // More workers take part from now on.
    void join(u32 more)
    {
        std::lock_guard lock(mutex);
        workers += more;
    }

    // A worker leaves the run for good, holding no droplet. If the others all sleep, one
    // of them takes over what is left, or the run is over when nothing is.
    void retire()
    {
        std::lock_guard lock(mutex);
        workers--;
        if (over || sleepers < workers) return;
        if (heap.empty()) {
            over = true;
            wake.notify_all();
        } else if (woken == 0) {
            woken++;
            wake.notify_one();
        }
    }

    // The lowest ready droplet if there is one, else None at once.
    u32 tryTake()
    {
        std::lock_guard lock(mutex);
        return popLowest();
    }

    // The lowest ready droplet, sleeping until there is one; None once the run is over.
    u32 take()
    {
        std::unique_lock lock(mutex);
        if (heap.empty() && !over) {
            sleepers++;
            if (sleepers == workers) {
                over = true;
                wake.notify_all();
            }
            while (!over) {
                wake.wait(lock);
                if (woken == 0) continue; // not called
                woken--;
                if (!heap.empty()) break;
            }
            sleepers--;
        }
        return popLowest();
    }

private:
    u32 popLowest()
    {
        if (heap.empty()) return None;
        std::pop_heap(heap.begin(), heap.end(), std::greater<u32>());
        u32 droplet = heap.back();
        heap.pop_back();
        return droplet;
    }

    // Droplets in the pool, beyond one per woken worker, that wake a sleeper.
    static constexpr u32 WakeSurplus = 2;

    std::mutex mutex;
    std::condition_variable wake;
    std::vector<u32> heap;
    u32 sleepers = 0; // workers waiting in take
    u32 woken = 0;    // wake-ups sent and not yet taken up
    bool over = false;
    u32 workers; // taking part in the run
};

using Clock = std::chrono::steady_clock;

// Whether a plan's lists fit its droplets: a counter and a successor range for each,
// every successor a later droplet (so no droplet can wait on itself). Counters that
// do not match the successor lists are found by the run itself.
bool wellFormed(const DropletPlan& plan)
{
    const size_t count = plan.starts.size();
    if (plan.dependencyCount.size() != count || plan.successorStart.size() != count + 1) return false;
    if (plan.successorStart[0] != 0 || plan.successorStart[count] != plan.successors.size()) return false;
    for (size_t d = 0; d < count; d++) {
        if (plan.successorStart[d + 1] < plan.successorStart[d]) return false;
        for (u32 k = plan.successorStart[d]; k < plan.successorStart[d + 1]; k++) {
            if (plan.successors[k] <= d || plan.successors[k] >= count) return false;
        }
    }
    return true;
}

// Droplets a worker runs between adding them to the shared count.
constexpr u32 RateReportEvery = 32;

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
    predecessors.reserve(static_cast<size_t>(count) * 8);
    std::vector<u32> predecessorStart(count, 0); // droplet d's predecessors start here in `predecessors`
    std::vector<u32> successorCount(count, 0);
    std::vector<u32> seenBy(count, None);   // seenBy[p] == d: p is already a predecessor of d
    std::vector<u32> impliedFor(count, None); // impliedFor[p] == d: d comes after p through another one

    const f64 reach2 = DropletReach * DropletReach;
    const f64 tileSpan = TileSize - 1; // a tile's points run from its first to first + TileSize - 1
    for (u32 d = 0; d < count; d++) {
        const glm::vec2& start = plan.starts[d];
        predecessorStart[d] = static_cast<u32>(predecessors.size());
        if (!moves(start, mapSize)) continue;
        const f64 sx = start.x, sy = start.y;
        // Every tile holding a grid point within the droplet's reach: row by row, the
        // tiles that the disc's span at the row's nearest point meets.
        i32 ty0 = std::max(0, static_cast<i32>(std::floor((sy - DropletReach) / TileSize)));
        i32 ty1 = std::min(tilesPerSide - 1, static_cast<i32>(std::floor((sy + DropletReach) / TileSize)));
        for (i32 ty = ty0; ty <= ty1; ty++) {
            f64 rowLow = static_cast<f64>(ty) * TileSize;
            f64 dy = std::max({0.0, rowLow - sy, sy - (rowLow + tileSpan)});
            if (dy * dy > reach2) continue;
            f64 halfWidth = std::sqrt(reach2 - dy * dy);
            i32 tx0 = std::max(0, static_cast<i32>(std::ceil((sx - halfWidth - tileSpan) / TileSize)));
            i32 tx1 = std::min(tilesPerSide - 1, static_cast<i32>(std::floor((sx + halfWidth) / TileSize)));
            u32* row = lastInTile.data() + static_cast<size_t>(ty) * tilesPerSide;
            for (i32 tx = tx0; tx <= tx1; tx++) {
                u32 last = row[tx];
                if (last != None && seenBy[last] != d) {
                    seenBy[last] = d;
                    predecessors.push_back(last);
                }
                row[tx] = d;
            }
        }
        // A predecessor that another predecessor already waits for adds nothing: d
        // comes after it through that one. Dropping it spares a counter update.
        const size_t first = predecessorStart[d];
        for (size_t k = first; k < predecessors.size(); k++) {
            const u32 other = predecessors[k];
            const u32* before = predecessors.data() + predecessorStart[other];
            for (u32 j = 0; j < plan.dependencyCount[other]; j++) {
                if (seenBy[before[j]] == d) impliedFor[before[j]] = d;
            }
        }
        size_t kept = first;
        for (size_t k = first; k < predecessors.size(); k++) {
            const u32 predecessor = predecessors[k];
            if (impliedFor[predecessor] == d) continue;
            predecessors[kept++] = predecessor;
            successorCount[predecessor]++;
        }
        predecessors.resize(kept);
        plan.dependencyCount[d] = static_cast<u32>(kept - first);
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

namespace {

// One parallel run of a plan's droplets: the calling thread and the helpers it starts.
class ParallelDroplets {
public:
    ParallelDroplets(Erosion& erosion, const DropletPlan& plan, u32 maxWorkers, GenerationProgress* progress,
                     const DropletPace& pace)
        : erosion(erosion), plan(plan), count(static_cast<u32>(plan.starts.size())), maxWorkers(maxWorkers),
          lanes(std::clamp(pace.lanes, 1u, MaxLanes)), progress(progress), pace(pace),
          pending(new std::atomic<u32>[plan.starts.size()])
    {
        // A droplet's counter holds its unfinished predecessors; whoever finishes the
        // last of them makes it ready. The decrements form one release sequence per
        // counter, so the droplet's runner sees every write of every predecessor.
        std::vector<u32> initial;
        for (u32 d = 0; d < count; d++) {
            pending[d].store(plan.dependencyCount[d], std::memory_order_relaxed);
            if (plan.dependencyCount[d] == 0) initial.push_back(d);
        }
        pool.put(initial.data(), static_cast<u32>(initial.size()));
    }

    void run()
    {
        // Helpers join while they pay and step aside while they do not.
        addHelpers(pace.firstHelpers);
        work(None);
        {
            std::lock_guard lock(parkMutex);
            runOver = true;
        }
        parked.notify_all();
        for (std::thread& helper : helpers) helper.join();
        // Every droplet runs once its counter reaches 0; one left over means a plan
        // whose counts do not match its successor lists.
        if (finished.load(std::memory_order_relaxed) != count) throw std::logic_error("erosion: droplets left unrun");
    }

private:
    static constexpr u32 MaxLanes = 2;
    // Up to this many threads each run two droplets side by side; more threads would
    // hold more droplets at once than the order lets be ready together.
    static constexpr u32 MostThreadsWithLanes = 4;
    static constexpr u32 PaceEveryRounds = 8;
    // Windows a thread count that fell short waits before it is tried again, the
    // first time and at most (the wait doubles with each try that falls short).
    static constexpr u32 FirstRetryWindows = 4;
    static constexpr u32 LastRetryWindows = 32;

    Erosion& erosion;
    const DropletPlan& plan;
    const u32 count;
    const u32 maxWorkers;
    const u32 lanes;
    GenerationProgress* progress;
    const DropletPace pace;
    std::unique_ptr<std::atomic<u32>[]> pending;
    ReadyPool pool{1};
    std::vector<std::thread> helpers; // helper k is number k; it may sit parked
    std::atomic<u32> finished{0};
    std::atomic<u64> ranDroplets{0};    // droplets run by all threads, told in batches
    std::atomic<u32> helpersKept{0};    // helpers with a lower number take part, the others park
    std::mutex parkMutex;
    std::condition_variable parked;
    bool runOver = false; // under parkMutex
    // The calling thread's view of the windows: the threads of each earlier count and
    // the droplets per nanosecond they got through, and the same for the threads now.
    struct Level {
        u32 threads;
        f64 rate;
    };
    std::vector<Level> levels;
    Clock::time_point windowStart = Clock::now();
    u64 ranAtWindowStart = 0;
    u32 keptHelpers = 0;
    f64 averageRate = 0.0;
    u32 windowsAtLevel = 0;
    bool warmedUp = false;
    u32 holdWindows = 0;                  // windows to wait before more threads are tried
    f64 shortRate = 0.0;                  // the rate of the threads that fell short last
    u32 retryWindows = FirstRetryWindows; // the wait after the next try that falls short

    // More helpers take part: parked ones go on, missing ones are started.
    void addHelpers(u32 wanted)
    {
        const u32 target = std::min(keptHelpers + wanted, maxWorkers - 1);
        if (target <= keptHelpers) return;
        keptHelpers = target;
        {
            std::lock_guard lock(parkMutex);
            helpersKept.store(target, std::memory_order_relaxed);
        }
        parked.notify_all();
        while (helpers.size() < target) {
            const u32 number = static_cast<u32>(helpers.size());
            try {
                helpers.emplace_back([this, number] { helperMain(number); });
            } catch (const std::system_error&) {
                // No thread to be had: the run goes on with those there are.
                keptHelpers = number;
                helpersKept.store(number, std::memory_order_relaxed);
                return;
            }
        }
    }

    // Helpers from `kept` on step aside once their droplets are done.
    void keepHelpers(u32 kept)
    {
        keptHelpers = kept;
        helpersKept.store(kept, std::memory_order_relaxed);
    }

    // The calling thread, between droplets: at the end of each window, the droplets the
    // run got through in it decide whether helpers join or step aside.
    void keepPace()
    {
        Clock::time_point now = Clock::now();
        if (now - windowStart < pace.window) return;
        const u64 ran = ranDroplets.load(std::memory_order_relaxed);
        const f64 rate = static_cast<f64>(ran - ranAtWindowStart) /
                         static_cast<f64>(std::max<i64>(
                             1, std::chrono::duration_cast<std::chrono::nanoseconds>(now - windowStart).count()));
        windowStart = now;
        ranAtWindowStart = ran;
        // The first window starts the threads and fills the caches: it says little.
        if (!warmedUp) {
            warmedUp = true;
            return;
        }
        const u32 workers = keptHelpers + 1;
        // The rate with these threads, averaged over their windows (newer ones weighing
        // more): one window can be a lull in the ready droplets or a moment of cores.
        averageRate = windowsAtLevel++ == 0 ? rate : 0.5 * (averageRate + rate);
        const bool pays = levels.empty() || averageRate >= pace.keepGain * levels.back().rate;
        // Threads that fell short in their first window get a second one.
        if (!pays && windowsAtLevel < 2) return;
        if (!pays) {
            // The threads that joined last do not pay: they step aside, and the threads
            // before them go on, judged against the level before theirs by the rate
            // they had then. More threads are tried again after a while, since the
            // machine's other work comes and goes. (An infinite gain, which tests ask
            // for, never pays, not even when both rates are 0: 0 times infinity is NaN.)
            keepHelpers(levels.back().threads - 1);
            shortRate = averageRate;
            averageRate = levels.back().rate;
            windowsAtLevel = 1;
            levels.pop_back();
            holdWindows = retryWindows;
            retryWindows = std::min(2 * retryWindows, LastRetryWindows);
            return;
        }
        // The wait ends early when the fewer threads do worse than the ones that fell
        // short did: those were judged against a rate of the past.
        if (holdWindows > 0 && !(windowsAtLevel >= 2 && averageRate < shortRate)) {
            holdWindows--;
            return;
        }
        holdWindows = 0;
        if (workers < maxWorkers) {
            levels.push_back({workers, averageRate});
            addHelpers(workers);
            averageRate = 0.0;
            windowsAtLevel = 0;
        } else {
            retryWindows = FirstRetryWindows;
        }
    }

    // A helper runs while its number is below the kept count and waits parked
    // otherwise, until the run is over.
    void helperMain(u32 number)
    {
        for (;;) {
            {
                std::unique_lock lock(parkMutex);
                parked.wait(lock, [&] { return runOver || number < helpersKept.load(std::memory_order_relaxed); });
                if (runOver) return;
            }
            pool.join(1);
            if (!work(number)) return;
        }
    }

    struct Lane {
        u32 droplet = None;
        Droplet state;
    };

    // Runs droplets until the run is over (false) or, for a helper whose number is no
    // longer kept, until it has stepped aside holding nothing (true). The calling
    // thread is number None; helpers count from 0. While few threads run, each runs
    // two droplets side by side, a step of each in turn (both ready at once, so their
    // areas are apart): each one's step fills the other's waits. With many threads
    // the ready droplets are better spread over the threads than held two by one.
    bool work(u32 number)
    {
        const bool helper = number != None;
        Lane lane[MaxLanes];
        u32 own[MaxLanes]; // droplets this thread made ready and runs next, lowest first
        u32 ownCount = 0;
        u32 running = 0;
        std::vector<u32> shared;
        u32 done = 0;
        u32 unreported = 0;
        bool leaving = false;
        bool over = false;
        u32 rounds = 0;
        for (;;) {
            if (!helper) {
                // The clock is read every few droplets.
                if (++rounds % PaceEveryRounds == 0) keepPace();
            } else if (!leaving && number >= helpersKept.load(std::memory_order_relaxed)) {
                leaving = true;
            }
            // Fill the free lanes: with droplets of its own first (they lie where the
            // ones just run did), then from the pool; a thread with nothing running
            // sleeps there until a droplet is ready or the run is over.
            const u32 open = helpersKept.load(std::memory_order_relaxed) < MostThreadsWithLanes ? lanes : 1;
            for (u32 l = 0; l < open && !leaving && !over; l++) {
                while (lane[l].droplet == None) {
                    u32 next = None;
                    if (ownCount > 0) {
                        next = own[0];
                        std::copy(own + 1, own + ownCount, own);
                        ownCount--;
                    } else if (running > 0) {
                        next = pool.tryTake();
                        if (next == None) break;
                    } else {
                        next = pool.take();
                        if (next == None) {
                            over = true;
                            break;
                        }
                    }
                    const glm::vec2& start = plan.starts[next];
                    if (erosion.startDroplet(lane[l].state, start.x, start.y)) {
                        lane[l].droplet = next;
                        running++;
                    } else {
                        // It stops where it starts and touches nothing.
                        release(next, leaving, open, own, ownCount, shared, done);
                    }
                }
                if (lane[l].droplet == None) break;
            }
            if (running == 0) {
                if (!shared.empty()) {
                    pool.put(shared.data(), static_cast<u32>(shared.size()));
                    shared.clear();
                    continue;
                }
                if (ownCount > 0 && !leaving) continue;
                break;
            }
            // Run until a droplet stops, on copies the compiler keeps in registers.
            if (running == MaxLanes) {
                Droplet a = lane[0].state;
                Droplet b = lane[1].state;
                bool aGoes = true;
                bool bGoes = true;
                while (aGoes && bGoes) {
                    aGoes = erosion.stepDroplet(a);
                    bGoes = erosion.stepDroplet(b);
                }
                lane[0].state = a;
                lane[1].state = b;
                if (!aGoes) stop(lane[0], running, leaving, open, own, ownCount, shared, done, unreported);
                if (!bGoes) stop(lane[1], running, leaving, open, own, ownCount, shared, done, unreported);
            } else {
                Lane& only = lane[0].droplet != None ? lane[0] : lane[1];
                Droplet droplet = only.state;
                while (erosion.stepDroplet(droplet)) {
                }
                only.state = droplet;
                stop(only, running, leaving, open, own, ownCount, shared, done, unreported);
            }
            if (!shared.empty()) {
                pool.put(shared.data(), static_cast<u32>(shared.size()));
                shared.clear();
            }
        }
        ranDroplets.fetch_add(unreported, std::memory_order_relaxed);
        finished.fetch_add(done % ProgressEvery, std::memory_order_relaxed);
        if (!leaving) return false;
        // Stepping aside: what it made ready goes back to the pool for the others.
        pool.put(own, ownCount);
        pool.retire();
        return true;
    }

    void stop(Lane& lane, u32& running, bool leaving, u32 ownLimit, u32* own, u32& ownCount,
              std::vector<u32>& shared, u32& done, u32& unreported)
    {
        release(lane.droplet, leaving, ownLimit, own, ownCount, shared, done);
        lane.droplet = None;
        running--;
        if (++unreported == RateReportEvery) {
            ranDroplets.fetch_add(unreported, std::memory_order_relaxed);
            unreported = 0;
        }
    }

    // A droplet is done: the successors it was the last predecessor of are ready. The
    // thread keeps the lowest few for itself and shares the others.
    void release(u32 droplet, bool leaving, u32 ownLimit, u32* own, u32& ownCount, std::vector<u32>& shared,
                 u32& done)
    {
        for (u32 k = plan.successorStart[droplet]; k < plan.successorStart[droplet + 1]; k++) {
            const u32 successor = plan.successors[k];
            if (pending[successor].fetch_sub(1, std::memory_order_acq_rel) != 1) continue;
            if (leaving || ownCount >= ownLimit) {
                shared.push_back(successor);
                continue;
            }
            // Kept in order: successors come in order, but those of different droplets
            // interleave.
            u32 at = ownCount++;
            while (at > 0 && own[at - 1] > successor) {
                own[at] = own[at - 1];
                at--;
            }
            own[at] = successor;
        }
        if (++done % ProgressEvery == 0) {
            u32 all = finished.fetch_add(ProgressEvery, std::memory_order_relaxed) + ProgressEvery;
            if (progress) progress->set(static_cast<f32>(all) / static_cast<f32>(count));
        }
    }
};

} // namespace

void runDroplets(Erosion& erosion, const DropletPlan& plan, u32 threads, GenerationProgress* progress,
                 const DropletPace& pace)
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
    if (!wellFormed(plan)) throw std::logic_error("erosion: droplet plan does not fit its droplets");
    ParallelDroplets(erosion, plan, workers, progress, pace).run();
}

void runDroplets(Erosion& erosion, const std::vector<glm::vec2>& starts, u32 threads, GenerationProgress* progress,
                 const DropletPace& pace)
{
    if (workerCount(threads) <= 1) {
        DropletPlan inOrder;
        inOrder.starts = starts;
        runDroplets(erosion, inOrder, 1, progress);
        return;
    }
    runDroplets(erosion, planDroplets(starts, erosion.size), threads, progress, pace);
}

#include "Game/Navigation/PathField.h"

#include "Engine/Helper/Fatal.h"
#include "Engine/Helper/FatalHandoff.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <limits>
#include <string>

namespace {

using namespace PathDistanceRules;

u64 packDirection(f32 x, f32 z)
{
    return static_cast<u64>(std::bit_cast<u32>(x)) | (static_cast<u64>(std::bit_cast<u32>(z)) << 32);
}

glm::vec2 unpackDirection(u64 packed)
{
    return {std::bit_cast<f32>(static_cast<u32>(packed)), std::bit_cast<f32>(static_cast<u32>(packed >> 32))};
}

// A fixed cost the field accepts: a finite positive cost, or the slope cost back.
bool acceptedFixedCost(f32 cost)
{
    return cost == PathCostRules::RestoreSlope || (cost > 0.0f && std::isfinite(cost));
}

// The vertices x0..x1 by z0..z1 (inclusive) of a rectangle clipped to an n x n grid.
struct VertexRect {
    u32 x0 = 0, x1 = 0, z0 = 0, z1 = 0;
    bool empty = true;
};

VertexRect clipRect(const glm::ivec3& pos, const glm::ivec3& size, u32 n)
{
    VertexRect rect;
    if (n == 0 || size.x < 0 || size.z < 0) return rect;
    const i64 last = static_cast<i64>(n) - 1;
    const i64 x0 = std::max<i64>(pos.x, 0);
    const i64 z0 = std::max<i64>(pos.z, 0);
    const i64 x1 = std::min<i64>(static_cast<i64>(pos.x) + size.x, last);
    const i64 z1 = std::min<i64>(static_cast<i64>(pos.z) + size.z, last);
    if (x0 > x1 || z0 > z1) return rect;
    rect = {static_cast<u32>(x0), static_cast<u32>(x1), static_cast<u32>(z0), static_cast<u32>(z1), false};
    return rect;
}

} // namespace

glm::vec2 wayFromDistances(const f32 corners[4], f32 fx, f32 fz, glm::vec2 fallback)
{
    for (int k = 0; k < 4; k++) {
        if (!(corners[k] >= Goal && corners[k] < SolvedLimit)) return fallback;
    }
    const f32 d00 = corners[0], d10 = corners[1], d01 = corners[2], d11 = corners[3];
    const f32 gx = (1.0f - fz) * (d10 - d00) + fz * (d11 - d01);
    const f32 gz = (1.0f - fx) * (d01 - d00) + fx * (d11 - d10);
    const f32 len = std::sqrt(gx * gx + gz * gz);
    if (!(len > PathReadRules::FlatGradient)) return fallback;
    return {-gx / len, -gz / len};
}

glm::vec2 wayFromDistanceBlock(const f32 block[16], f32 fx, f32 fz, glm::vec2 fallback)
{
    for (int k = 0; k < 16; k++) {
        if (!(block[k] >= Goal && block[k] < SolvedLimit)) {
            const f32 inner[4] = {block[5], block[6], block[9], block[10]};
            return wayFromDistances(inner, fx, fz, fallback);
        }
    }
    auto at = [&](int bx, int bz) { return block[bz * 4 + bx]; };
    auto gradient = [&](int bx, int bz) {
        return glm::vec2(at(bx + 1, bz) - at(bx - 1, bz), at(bx, bz + 1) - at(bx, bz - 1)) * 0.5f;
    };
    const glm::vec2 g = (1.0f - fz) * ((1.0f - fx) * gradient(1, 1) + fx * gradient(2, 1)) +
                        fz * ((1.0f - fx) * gradient(1, 2) + fx * gradient(2, 2));
    const f32 len = glm::length(g);
    if (!(len > PathReadRules::FlatGradient)) return fallback;
    return -g / len;
}

PathField::PathField(const std::vector<f32>& heights, u32 n, bool startThread) : gridSize(n)
{
    const size_t count = static_cast<size_t>(n) * n;
    if (heights.size() != count) {
        fatalError("navigation field: " + std::to_string(heights.size()) + " heights for a grid of " +
                       std::to_string(n) + " x " + std::to_string(n),
                   "PathField", __LINE__);
    }
    directions = std::make_unique<std::atomic<u64>[]>(count);
    distances.assign(count, Unreached);
    sharedDistances = std::make_unique<std::atomic<f32>[]>(count);
    for (size_t i = 0; i < count; i++) sharedDistances[i].store(Unreached, std::memory_order_relaxed);
    queued.assign(count, 0);
    smoothedHeights.resize(count);
    edgeCosts.assign(count, PathEdgeCosts{});

    // Interior vertices average their 3 x 3 neighbourhood; the border keeps its height.
    for (u32 z = 0; z < n; z++) {
        for (u32 x = 0; x < n; x++) {
            const size_t i = index(x, z);
            if (!interior(x, z)) {
                smoothedHeights[i] = heights[i];
                continue;
            }
            f32 sum = 0.0f;
            for (u32 dz = z - 1; dz <= z + 1; dz++) {
                for (u32 dx = x - 1; dx <= x + 1; dx++) sum += heights[index(dx, dz)];
            }
            smoothedHeights[i] = sum / 9.0f;
        }
    }
    for (u32 z = 0; z < n; z++) {
        for (u32 x = 0; x < n; x++) {
            PathFixedCost slope;
            slope.x = x;
            slope.z = z;
            computeEdgeCosts(slope);
        }
    }

    solvedAt.assign(count, 0u);
    storedAt.assign(count, 0u);
    solvable.resize(count);
    for (u32 z = 0; z < n; z++) {
        for (u32 x = 0; x < n; x++) {
            const size_t i = index(x, z);
            solvable[i] = interior(x, z) && !(smoothedHeights[i] < PathCostRules::DeepWater);
        }
    }

    const u32 bucketCount = static_cast<u32>(CandidateLimit / PathSolverRules::BucketWidth) + 2;
    buckets.resize(bucketCount);
    if (startThread) start();
}

PathField::~PathField()
{
    stopThread();
}

void PathField::start()
{
    if (thread.joinable()) return;
    stopRequested.store(false);
    thread = std::thread([this] { fatalHandoff.runGuarded([this] { threadMain(); }); });
}

void PathField::stopThread()
{
    // The thread looks at the flag after every step and every idle sleep, so the join
    // waits for one step at most: the thread never outlives the field.
    stopRequested.store(true);
    if (thread.joinable()) thread.join();
}

void PathField::threadMain()
{
    while (!stopRequested.load()) {
        if (!step() && !stopRequested.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(PathSolverRules::IdleSleepMs));
        }
    }
}

void PathField::queueCellValues(const glm::ivec3& gridPos, const glm::ivec3& size, f32 value)
{
    const VertexRect rect = clipRect(gridPos, size, gridSize);
    if (rect.empty) return;
    std::lock_guard lock(inputMutex);
    for (u32 x = rect.x0; x <= rect.x1; x++) {
        for (u32 z = rect.z0; z <= rect.z1; z++) {
            queuedCells.push_back({x, z});
            queuedValues.push_back(value);
        }
    }
}

void PathField::queueFixedCosts(const glm::ivec3& gridPos, const glm::ivec3& size, f32 cost)
{
    if (!acceptedFixedCost(cost)) return;
    const VertexRect rect = clipRect(gridPos, size, gridSize);
    if (rect.empty) return;
    std::lock_guard lock(inputMutex);
    for (u32 x = rect.x0; x <= rect.x1; x++) {
        for (u32 z = rect.z0; z <= rect.z1; z++) queuedFixedCosts.push_back({{cost, cost, cost, cost}, x, z});
    }
}

bool PathField::applyQueuedInputs()
{
    bool changed = false;
    std::lock_guard lock(inputMutex);
    // In queue order, so of two values for one vertex the later wins.
    for (size_t k = 0; k < queuedCells.size(); k++) {
        const size_t i = index(queuedCells[k].x, queuedCells[k].z);
        const f32 previous = distances[i];
        if (queuedValues[k] == Goal) {
            setDistance(i, Goal);
            storedAt[i] = tick();
            storeDirection(i, 0.0f, 0.0f);
            enqueue(i, previous);
        } else {
            // No longer a goal. Only "unreached" is stored: a stray value (negative,
            // NaN) on a border vertex would otherwise feed every solve beside it.
            setDistance(i, Unreached);
            changed = true;
        }
    }
    queuedCells.clear();
    queuedValues.clear();
    for (const PathFixedCost& record : queuedFixedCosts) {
        computeEdgeCosts(record);
        changed = true;
    }
    queuedFixedCosts.clear();
    return changed;
}

void PathField::resetToGoals()
{
    restartClock();
    for (std::vector<u32>& bucket : buckets) bucket.clear();
    bucketEntries = 0;
    currentBucket = 0;
    const u32 n = gridSize;
    for (u32 z = 0; z < n; z++) {
        for (u32 x = 0; x < n; x++) {
            const size_t i = index(x, z);
            queued[i] = 0;
            if (distances[i] != Goal && interior(x, z)) setDistance(i, Unreached);
        }
    }
    for (u32 z = 0; z < n; z++) {
        for (u32 x = 0; x < n; x++) {
            const size_t i = index(x, z);
            if (distances[i] == Goal) enqueue(i, Unreached);
        }
    }
}

u32 PathField::tick()
{
    // Before the clock wraps, every vertex forgets when it was solved: nothing is
    // skipped until it has been solved again.
    if (clock == std::numeric_limits<u32>::max()) restartClock();
    return ++clock;
}

void PathField::restartClock()
{
    std::fill(solvedAt.begin(), solvedAt.end(), 0u);
    std::fill(storedAt.begin(), storedAt.end(), 0u);
    clock = 0;
}

u32 PathField::bucketOf(f32 distance) const
{
    const f32 scaled = std::max(distance, 0.0f) * (1.0f / PathSolverRules::BucketWidth);
    const u32 last = static_cast<u32>(buckets.size()) - 1;
    return scaled < static_cast<f32>(last) ? static_cast<u32>(scaled) : last;
}

void PathField::enqueue(size_t i, f32 previous)
{
    const u32 bucket = bucketOf(distances[i]);
    // A vertex already waiting in the same bucket is visited with its new distance.
    if (queued[i] && bucketOf(previous) == bucket) return;
    queued[i] = 1;
    buckets[bucket].push_back(static_cast<u32>(i));
    bucketEntries++;
    currentBucket = std::min(currentBucket, bucket);
}

bool PathField::step()
{
    std::lock_guard solver(solverMutex);
    if (applyQueuedInputs()) {
        resetToGoals();
        resets.fetch_add(1, std::memory_order_relaxed);
    }

    const u32 n = gridSize;
    u32 visits = 0;
    while (visits < PathSolverRules::VisitsPerStep && bucketEntries > 0) {
        while (buckets[currentBucket].empty()) currentBucket++;
        std::vector<u32>& bucket = buckets[currentBucket];
        const u32 i = bucket.back();
        bucket.pop_back();
        bucketEntries--;
        if (!queued[i] || bucketOf(distances[i]) != currentBucket) continue; // superseded
        queued[i] = 0;
        visits++;
        if (smoothedHeights[i] < PathCostRules::DeepWater) continue;
        expandFromSource(i % n, i / n);
    }
    return visits > 0;
}

u32 PathField::solveUntilIdle()
{
    u32 steps = 0;
    while (step()) steps++;
    return steps;
}

void PathField::expandFromSource(u32 x, u32 z)
{
    const size_t i = index(x, z);
    const size_t n = gridSize;
    const f32 own = distances[i];
    // Around an interior vertex every neighbour lies in the grid; a goal on the border
    // has neighbours outside (x - 1 at 0 wraps far outside).
    const bool inner = interior(x, z);
    const u32 nx[4] = {x + 1, x - 1, x, x};
    const u32 nz[4] = {z, z, z + 1, z - 1};
    const size_t neighbour[4] = {i + 1, i - 1, i + n, i - n};
    for (int k = 0; k < 4; k++) {
        if (!inner && !interior(nx[k], nz[k])) continue;
        const size_t j = neighbour[k];
        if (!solvable[j]) continue;
        const f32 next = distances[j];
        if (next == Goal) continue;
        // This vertex changes the neighbour's solve only when it is upwind of it, that
        // is nearer than the neighbour's best offer, which exceeds the neighbour's
        // distance by at most the blend's share of its dearest step.
        if (!(own < next)) {
            const PathEdgeCosts& c = edgeCosts[j];
            const f32 dearest = std::max(std::max(c[0], c[1]), std::max(c[2], c[3]));
            if (!(own < next + PathSolveRules::BlendShare * dearest)) continue;
        }
        // A neighbour solved since this vertex last changed has seen its distance.
        if (solvedAt[j] > storedAt[i]) continue;
        const PathCell solved = solveAt(j);
        solvedAt[j] = tick();
        if (!(solved.distance < StoreLimit && solved.distance > 0.0f && solved.distance < next)) continue;
        storeCell(j, solved);
        storedAt[j] = tick();
        enqueue(j, next);
        // Its visit will read the rows beside it: start loading them now.
        __builtin_prefetch(&edgeCosts[j + n]);
        __builtin_prefetch(&edgeCosts[j - n]);
        __builtin_prefetch(&solvable[j + n]);
        __builtin_prefetch(&solvable[j - n]);
    }
}

void PathField::storeCell(size_t i, const PathCell& solved)
{
    setDistance(i, solved.distance);
    storeDirection(i, solved.dirX, solved.dirZ);
}

void PathField::setDistance(size_t i, f32 distance)
{
    distances[i] = distance;
    sharedDistances[i].store(distance, std::memory_order_relaxed);
}

void PathField::storeDirection(size_t i, f32 x, f32 z)
{
    directions[i].store(packDirection(x, z), std::memory_order_relaxed);
}

PathCell PathField::solveCell(u32 x, u32 z) const
{
    return solveAt(index(x, z));
}

PathCell PathField::solveAt(size_t i) const
{
    const size_t n = gridSize;
    const PathEdgeCosts& c = edgeCosts[i];
    const f32 d0 = distances[i + 1];
    const f32 d1 = distances[i - 1];
    const f32 d2 = distances[i + n];
    const f32 d3 = distances[i - n];
    const f32 best = std::min(std::min(std::min(d0 + c[0], d1 + c[1]), std::min(d2 + c[2], d3 + c[3])), CandidateCap);
    PathCell result;
    if (!(best < CandidateLimit)) return result;

    // Neighbours nearer than the best offer are upwind, with weight (best - d) / c;
    // the others weigh 0. The weights give the direction, and their blend shortens
    // diagonal walks to about their true length.
    const f32 w0 = std::max(best - d0, 0.0f) / c[0];
    const f32 w1 = std::max(best - d1, 0.0f) / c[1];
    const f32 w2 = std::max(best - d2, 0.0f) / c[2];
    const f32 w3 = std::max(best - d3, 0.0f) / c[3];
    const f32 weightSum = w0 + w1 + w2 + w3;
    const f32 gx = w0 - w1;
    const f32 gz = w2 - w3;
    const f32 len = std::sqrt(gx * gx + gz * gz);
    const f32 f = 1.0f / (std::max(len, 1.0f) + PathSolveRules::BlendEpsilon);
    f32 distance = best;
    distance -= (c[0] - f * c[0]) * (w0 / weightSum);
    distance -= (c[1] - f * c[1]) * (w1 / weightSum);
    distance -= (c[2] - f * c[2]) * (w2 / weightSum);
    distance -= (c[3] - f * c[3]) * (w3 / weightSum);
    result.distance = distance;
    // Weights that cancel (a vertex midway between two goals) give no direction.
    if (len > 0.0f) {
        result.dirX = gx / len;
        result.dirZ = gz / len;
    }
    return result;
}

f32 PathField::slopeCost(size_t from, size_t to) const
{
    const f32 rise = std::max(smoothedHeights[to] - smoothedHeights[from], 0.0f);
    const f32 cost = 1.0f + PathCostRules::SlopeFactor * rise * rise;
    // A broken height (NaN, infinite) makes the step impassable instead of poisoning
    // every distance behind it.
    return std::isfinite(cost) ? cost : CandidateCap;
}

void PathField::computeEdgeCosts(const PathFixedCost& record)
{
    const u32 n = gridSize;
    const u32 x = record.x;
    const u32 z = record.z;
    if (x >= n || z >= n) return;
    const size_t i = index(x, z);
    const bool exists[4] = {x + 1 < n, x > 0, z + 1 < n, z > 0};
    const size_t neighbour[4] = {i + 1, i - 1, i + n, i - n};
    PathEdgeCosts costs{};
    for (int k = 0; k < 4; k++) {
        if (!exists[k]) continue;
        const f32 fixed = record.cost[k];
        costs[k] = (fixed > 0.0f && std::isfinite(fixed)) ? fixed : slopeCost(i, neighbour[k]);
    }
    edgeCosts[i] = costs;
}

glm::vec2 PathField::direction(i64 xi, i64 zi) const
{
    if (xi < 0 || zi < 0 || xi >= static_cast<i64>(gridSize) || zi >= static_cast<i64>(gridSize)) return {0.0f, 0.0f};
    const size_t i = index(static_cast<u32>(xi), static_cast<u32>(zi));
    return unpackDirection(directions[i].load(std::memory_order_relaxed));
}

glm::vec2 PathField::directionAt(f32 x, f32 z) const
{
    const f32 xi = std::trunc(x + 0.5f);
    const f32 zi = std::trunc(z + 0.5f);
    const f32 n = static_cast<f32>(gridSize);
    // Written so that NaN fails: it is outside every range.
    if (!(xi >= 0.0f && xi < n && zi >= 0.0f && zi < n)) return {0.0f, 0.0f};
    return direction(static_cast<i64>(xi), static_cast<i64>(zi));
}

glm::vec2 PathField::wayAt(f32 x, f32 z) const
{
    const f32 n = static_cast<f32>(gridSize);
    // Written so that NaN fails: it is outside every range.
    if (!(x >= 1.0f && z >= 1.0f && x < n - 2.0f && z < n - 2.0f)) return directionAt(x, z);
    const u32 x0 = static_cast<u32>(x);
    const u32 z0 = static_cast<u32>(z);
    f32 block[16];
    for (u32 bz = 0; bz < 4; bz++) {
        for (u32 bx = 0; bx < 4; bx++) {
            block[bz * 4 + bx] = sharedDistances[index(x0 + bx - 1, z0 + bz - 1)].load(std::memory_order_relaxed);
        }
    }
    return wayFromDistanceBlock(block, x - static_cast<f32>(x0), z - static_cast<f32>(z0), directionAt(x, z));
}

f32 PathField::sharedDistance(i64 xi, i64 zi) const
{
    if (xi < 0 || zi < 0 || xi >= static_cast<i64>(gridSize) || zi >= static_cast<i64>(gridSize)) return Unreached;
    return sharedDistances[index(static_cast<u32>(xi), static_cast<u32>(zi))].load(std::memory_order_relaxed);
}

PathCell PathField::cell(u32 x, u32 z) const
{
    const size_t i = index(x, z);
    const glm::vec2 dir = unpackDirection(directions[i].load(std::memory_order_relaxed));
    return {dir.x, dir.y, distances[i], queued[i]};
}

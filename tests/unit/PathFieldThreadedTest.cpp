#include "Game/Navigation/PathField.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <random>
#include <thread>
#include <vector>

namespace {

using namespace PathDistanceRules;
using Clock = std::chrono::steady_clock;

// Rolling hills with a sea in one corner.
std::vector<f32> hills(u32 n)
{
    std::vector<f32> heights(static_cast<size_t>(n) * n);
    for (u32 z = 0; z < n; z++) {
        for (u32 x = 0; x < n; x++) {
            const f32 fx = static_cast<f32>(x);
            const f32 fz = static_cast<f32>(z);
            f32 h = 2.0f * std::sin(fx * 0.11f) * std::cos(fz * 0.07f) + 0.5f * std::sin(fx * 0.5f + fz * 0.3f);
            if (x + z < n / 4) h -= 12.0f;
            heights[static_cast<size_t>(z) * n + x] = h;
        }
    }
    return heights;
}

// A direction as the steering may see it: zero, or of unit length, never NaN.
bool wellFormed(glm::vec2 dir)
{
    if (!std::isfinite(dir.x) || !std::isfinite(dir.y)) return false;
    const f32 len = glm::length(dir);
    return len == 0.0f || std::fabs(len - 1.0f) < 1e-3f;
}

// What a building may queue, as any of three game threads would: towers placed and
// destroyed, walls placed and sold, and requests the field refuses or clips.
void queueBuildings(PathField& field, u32 seed, int count)
{
    std::mt19937 random(seed);
    const i32 n = static_cast<i32>(field.gridSize);
    std::uniform_int_distribution<i32> coordinate(-4, n + 2);
    std::uniform_int_distribution<int> action(0, 5);
    for (int k = 0; k < count; k++) {
        const glm::ivec3 at{coordinate(random), 0, coordinate(random)};
        switch (action(random)) {
        case 0: field.queueCellValues(at, {2, 0, 2}, Goal); break;
        case 1: field.queueCellValues(at, {2, 0, 2}, Unreached); break;
        case 2: field.queueFixedCosts(at, {2, 0, 1}, PathCostRules::WallCost); break;
        case 3: field.queueFixedCosts(at, {2, 0, 1}, PathCostRules::RestoreSlope); break;
        case 4: field.queueFixedCosts(at, {1, 0, 1}, 0.0f); break;
        default: field.queueCellValues(at, {-1, 0, 3}, Goal); break;
        }
        if (k % 8 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

TEST(PathFieldThreaded, SolvesWhileThreeThreadsQueueAndOneReadsDirections)
{
    const u32 n = 129;
    PathField field(hills(n), n, true);
    field.queueCellValues({60, 0, 60}, {8, 0, 8}, Goal);
    std::atomic<bool> writing{true};
    std::atomic<u32> malformed{0}, rounds{0};
    std::thread reader([&] {
        while (writing.load() || rounds.load() < 2) {
            for (u32 i = 0; i < n * n; i++) malformed += !wellFormed(field.direction(i % n, i / n));
            malformed += !wellFormed(field.directionAt(static_cast<f32>(rounds % n) - 0.3f, std::nanf("")));
            // The way between vertices and the distances it is blended from, as the
            // steering reads them.
            for (u32 i = 0; i < n * n; i += 7) {
                const f32 x = static_cast<f32>(i % n) + 0.37f, z = static_cast<f32>(i / n) - 0.61f;
                malformed += !wellFormed(field.wayAt(x, z));
                const f32 d = field.sharedDistance(i % n, i / n);
                malformed += !(d >= 0.0f && d <= Unreached);
            }
            malformed += field.resets.load() > 1'000'000u;
            rounds++;
        }
    });
    std::vector<std::thread> writers;
    for (u32 t = 0; t < 3; t++) writers.emplace_back([&field, t] { queueBuildings(field, 1000 + t, 300); });
    for (std::thread& writer : writers) writer.join();
    field.queueCellValues({60, 0, 60}, {8, 0, 8}, Goal); // the castle stands, whatever the towers did
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    writing = false;
    reader.join();
    EXPECT_EQ(malformed.load(), 0u);

    // Stopped, the field finishes on this thread and is converged by the rules.
    field.stopThread();
    field.solveUntilIdle();
    EXPECT_EQ(field.cell(64, 64).distance, Goal);
    EXPECT_LT(field.cell(70, 90).distance, SolvedLimit);
    u32 unsettled = 0; // goals with a direction, vertices a solve would still shorten
    for (u32 z = 1; z + 1 < n; z++) {
        for (u32 x = 1; x + 1 < n; x++) {
            const PathCell c = field.cell(x, z);
            unsettled += c.distance == Goal ? c.dirX != 0.0f || c.dirZ != 0.0f
                                             : c.distance < SolvedLimit && field.solveCell(x, z).distance < c.distance;
        }
    }
    EXPECT_EQ(unsettled, 0u);
}

TEST(PathFieldThreaded, StoppingOrDestroyingMidBatchEndsTheThread)
{
    const u32 n = 257;
    const std::vector<f32> heights = hills(n);
    // Destroyed while the solver is busy with resets that another thread queued, or
    // before its thread has run a single step: the destructor waits for one step only.
    for (int round = 0; round < 3; round++) {
        auto busy = std::make_unique<PathField>(heights, n, true);
        busy->queueCellValues({120, 0, 120}, {8, 0, 8}, Goal);
        std::thread([&busy, round] { queueBuildings(*busy, 7 + round, 60); }).join();
        busy.reset();
        PathField idle(heights, n, true);
    }
    // Stopped mid-solve, the field keeps its work and finishes it on this thread;
    // started again, it takes up new work.
    PathField field(heights, n, true);
    field.queueFixedCosts({30, 0, 30}, {2, 0, 1}, PathCostRules::WallCost);
    field.queueCellValues({120, 0, 120}, {8, 0, 8}, Goal);
    const Clock::time_point limit = Clock::now() + std::chrono::seconds(20);
    while (field.direction(130, 124) == glm::vec2(0.0f) && Clock::now() < limit) std::this_thread::yield();
    field.stopThread();
    field.solveUntilIdle();
    EXPECT_LT(field.cell(200, 200).distance, SolvedLimit);
    field.start();
    field.queueCellValues({200, 0, 40}, {2, 0, 2}, Goal);
    while (field.direction(205, 40) == glm::vec2(0.0f) && Clock::now() < limit) std::this_thread::yield();
    EXPECT_NE(field.direction(205, 40), glm::vec2(0.0f));
}

} // namespace

#include "Engine/Camera/Random.h"
#include "World/Terrain/DropletRun.h"
#include "World/Terrain/Erosion.h"

#include <glm/glm.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <vector>

namespace {

f64 total(const std::vector<f32>& map)
{
    return std::accumulate(map.begin(), map.end(), 0.0);
}

// A bowl with ripples: droplets speed down, slow down and climb on it.
std::vector<f32> rippledBowl(u32 size)
{
    std::vector<f32> map(static_cast<size_t>(size) * size);
    f32 c = static_cast<f32>(size) * 0.5f;
    for (u32 y = 0; y < size; y++) {
        for (u32 x = 0; x < size; x++) {
            f32 dx = static_cast<f32>(x) - c, dy = static_cast<f32>(y) - c;
            map[y * size + x] = 0.02f * (dx * dx + dy * dy) + 3.0f * std::sin(0.4f * static_cast<f32>(x)) *
                                                                   std::cos(0.3f * static_cast<f32>(y));
        }
    }
    return map;
}

bool sameBits(const std::vector<f32>& a, const std::vector<f32>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(f32)) == 0;
}

} // namespace

TEST(Erosion, BrushWeightsSumToOneAndVanishFromDistanceThree)
{
    std::vector<f32> map(64 * 64, 0.0f);
    Erosion erosion(map.data(), 64, 64);
    f64 sum = 0.0;
    for (f32 w : erosion.brush) sum += w;
    EXPECT_NEAR(sum, 1.0, 1e-6);

    auto weight = [&](int dx, int dy) { return erosion.brush[(dy + 3) * 7 + (dx + 3)]; };
    EXPECT_EQ(weight(3, 0), 0.0f);
    EXPECT_EQ(weight(0, -3), 0.0f);
    EXPECT_EQ(weight(3, 1), 0.0f);
    EXPECT_EQ(weight(-3, -3), 0.0f);
    EXPECT_GT(weight(2, 2), 0.0f);
    // Before normalising: centre 1, (2, 2) 1 - sqrt(8)/3.
    EXPECT_NEAR(weight(2, 2) / weight(0, 0), 1.0f - std::sqrt(8.0f) / 3.0f, 1e-6f);
    EXPECT_NEAR(weight(1, 0) / weight(0, 0), 2.0f / 3.0f, 1e-6f);
    EXPECT_EQ(weight(1, -2), weight(-2, 1));
}

TEST(Erosion, SamplesHeightAndGradientBilinearly)
{
    // A plane h = 2x + 3y + 1 is reproduced exactly inside cells.
    const u32 size = 16;
    std::vector<f32> map(size * size);
    for (u32 y = 0; y < size; y++)
        for (u32 x = 0; x < size; x++) map[y * size + x] = 2.0f * x + 3.0f * y + 1.0f;
    Erosion erosion(map.data(), size, size);
    HeightAndGradient s = erosion.sampleHeightGradient(5.25f, 7.5f);
    EXPECT_FLOAT_EQ(s.height, 2.0f * 5.25f + 3.0f * 7.5f + 1.0f);
    EXPECT_FLOAT_EQ(s.gradientX, 2.0f);
    EXPECT_FLOAT_EQ(s.gradientY, 3.0f);

    // Outside the map and NaN read the border instead of memory beyond it.
    HeightAndGradient far = erosion.sampleHeightGradient(1e6f, -50.0f);
    EXPECT_TRUE(std::isfinite(far.height));
    HeightAndGradient nan = erosion.sampleHeightGradient(std::nanf(""), 3.0f);
    EXPECT_TRUE(std::isfinite(nan.height));
}

TEST(Erosion, ApplyBrushAddsAmountTimesWeightAndStaysInsideTheMap)
{
    const u32 size = 12;
    std::vector<f32> map(size * size, 0.0f);
    Erosion erosion(map.data(), size, size);
    erosion.applyBrush(5.7f, 6.2f, 2.0f); // centre cell (5, 6)
    EXPECT_FLOAT_EQ(map[6 * size + 5], 2.0f * erosion.brush[3 * 7 + 3]);
    EXPECT_FLOAT_EQ(map[8 * size + 7], 2.0f * erosion.brush[5 * 7 + 5]);
    EXPECT_EQ(map[6 * size + 8], 0.0f); // distance 3
    EXPECT_NEAR(total(map), 2.0, 1e-5);

    // At a corner the points outside are skipped; nothing else is written.
    std::vector<f32> guarded(size * size + 64, 0.0f);
    Erosion corner(guarded.data() + 32, size, size);
    corner.applyBrush(0.0f, 0.0f, 1.0f);
    corner.applyBrush(static_cast<f32>(size) - 0.5f, static_cast<f32>(size) - 0.5f, 1.0f);
    corner.applyBrush(std::nanf(""), 1.0f, 1.0f);
    for (u32 i = 0; i < 32; i++) {
        EXPECT_EQ(guarded[i], 0.0f);
        EXPECT_EQ(guarded[32 + size * size + i], 0.0f);
    }
}

TEST(Erosion, DropletOnFlatGroundChangesNothing)
{
    const u32 size = 32;
    std::vector<f32> map(size * size, 5.0f);
    std::vector<f32> before = map;
    Erosion erosion(map.data(), size, size);
    // Zero gradient, zero momentum: it stops in its first step without a NaN move.
    EXPECT_EQ(erosion.simulateDroplet(16.5f, 16.5f), 0.0f);
    EXPECT_TRUE(sameBits(map, before));
}

TEST(Erosion, StartsOutsideTheBandDoNothing)
{
    const u32 size = 32;
    std::vector<f32> map = rippledBowl(size);
    std::vector<f32> before = map;
    Erosion erosion(map.data(), size, size);
    for (f32 x : {-100.0f, 0.0f, 4.0f, 27.0f, 31.9f, 1e9f, std::nanf(""), INFINITY}) {
        erosion.simulateDroplet(x, 16.0f);
        erosion.simulateDroplet(16.0f, x);
    }
    EXPECT_TRUE(sameBits(map, before));
}

TEST(Erosion, ConservesMassUpToTheSedimentCarriedAway)
{
    const u32 size = 96;
    std::vector<f32> map = rippledBowl(size);
    Erosion erosion(map.data(), size, size);
    f64 before = total(map);
    f64 carried = 0.0;
    Random starts(5);
    for (int i = 0; i < 300; i++) {
        f32 x = static_cast<f32>(starts.uniform(5.0, size - 6.0));
        f32 y = static_cast<f32>(starts.uniform(5.0, size - 6.0));
        f32 left = erosion.simulateDroplet(x, y);
        EXPECT_GE(left, 0.0f);
        carried += left;
    }
    f64 after = total(map);
    EXPECT_GT(before - after, 0.0); // droplets take sediment away with them
    EXPECT_NEAR(after + carried, before, 1e-3 * (1.0 + carried));
    // The four outer rows and columns are never touched.
    std::vector<f32> original = rippledBowl(size);
    for (u32 i = 0; i < size; i++) {
        for (u32 edge : {0u, 1u, size - 2, size - 1}) {
            EXPECT_EQ(map[edge * size + i], original[edge * size + i]);
            EXPECT_EQ(map[i * size + edge], original[i * size + edge]);
        }
    }
}

namespace {

// The droplet written out from the rules, one point at a time, without the erosion's
// shortcuts (brush rows, a step at a time).
f32 referenceDroplet(std::vector<f32>& map, u32 size, const f32 (&brush)[49], f32 px, f32 py)
{
    auto sample = [&](f32 x, f32 y) {
        i32 ix = static_cast<i32>(x), iy = static_cast<i32>(y);
        f32 u = x - static_cast<f32>(ix), v = y - static_cast<f32>(iy);
        size_t i = static_cast<size_t>(size) * iy + ix;
        f32 h00 = map[i], h10 = map[i + 1], h01 = map[i + size], h11 = map[i + size + 1];
        HeightAndGradient r;
        r.height = h00 * (1 - u) * (1 - v) + h10 * u * (1 - v) + h01 * (1 - u) * v + h11 * u * v;
        r.gradientX = (h10 - h00) * (1 - v) + (h11 - h01) * v;
        r.gradientY = (h01 - h00) * (1 - u) + (h11 - h10) * u;
        return r;
    };
    const f32 far = static_cast<f32>(size) - 5.0f;
    auto inside = [&](f32 x, f32 y) { return x > 4.0f && x < far && y > 4.0f && y < far; };
    if (!inside(px, py)) return 0.0f;
    f32 dx = 0, dy = 0, speed = 1, water = 1, sediment = 0;
    for (int step = 0; step < 48; step++) {
        i32 ix = static_cast<i32>(px), iy = static_cast<i32>(py);
        size_t i = static_cast<size_t>(size) * iy + ix;
        f32 u = px - static_cast<f32>(ix), v = py - static_cast<f32>(iy);
        HeightAndGradient here = sample(px, py);
        dx = dx * 0.2f - here.gradientX * 0.8f;
        dy = dy * 0.2f - here.gradientY * 0.8f;
        f32 len = std::sqrt(dx * dx + dy * dy);
        if (len == 0.0f) break;
        dx /= len;
        dy /= len;
        px += dx;
        py += dy;
        if (!inside(px, py)) break;
        f32 dh = sample(px, py).height - here.height;
        f32 capacity = std::max(2.0f * -dh * speed * water, 0.05f);
        if (dh > 0.0f || sediment > capacity) {
            f32 amount = dh > 0.0f ? std::min(dh, sediment) : 0.3f * (sediment - capacity);
            sediment -= amount;
            map[i] += amount * (1 - u) * (1 - v);
            map[i + 1] += amount * u * (1 - v);
            map[i + size] += amount * (1 - u) * v;
            map[i + size + 1] += amount * u * v;
        } else {
            f32 erode = std::min(0.3f * (capacity - sediment), -dh);
            i32 cx = static_cast<i32>(px), cy = static_cast<i32>(py);
            for (i32 by = -3; by <= 3; by++) {
                for (i32 bx = -3; bx <= 3; bx++) {
                    f32 weight = brush[(by + 3) * 7 + bx + 3];
                    if (weight > 0.0f) map[static_cast<size_t>(cy + by) * size + cx + bx] += weight * -erode;
                }
            }
            sediment += erode;
        }
        speed = std::max(speed * 0.95f - 0.1f * dh, 0.0f);
        water *= 0.985f;
    }
    return sediment;
}

} // namespace

TEST(Erosion, DropletsHaveTheBitsOfThePlainRules)
{
    // Droplets over the rippled bowl (deposits, climbs and stalls, erosion), one after
    // another on the same map; a map holding negative zeros shows whether points of
    // zero weight are left alone.
    const u32 size = 96;
    std::vector<f32> map = rippledBowl(size);
    for (u32 i = 0; i < size * size; i += 7) map[i] = -0.0f;
    std::vector<f32> reference = map;
    Erosion erosion(map.data(), size, size);
    Random starts(9);
    for (int i = 0; i < 400; i++) {
        f32 x = static_cast<f32>(starts.uniform(2.0, size - 2.0));
        f32 y = static_cast<f32>(starts.uniform(2.0, size - 2.0));
        f32 left = erosion.simulateDroplet(x, y);
        f32 expected = referenceDroplet(reference, size, erosion.brush, x, y);
        ASSERT_EQ(std::memcmp(&left, &expected, sizeof(f32)), 0) << "droplet " << i;
        ASSERT_TRUE(sameBits(map, reference)) << "droplet " << i;
    }
    // A step at a time, two droplets in turn, gives the same as each in one go.
    std::vector<f32> stepped = rippledBowl(size);
    std::vector<f32> whole = stepped;
    Erosion bySteps(stepped.data(), size, size);
    Erosion inOneGo(whole.data(), size, size);
    Droplet a, b;
    ASSERT_TRUE(bySteps.startDroplet(a, 20.5f, 30.25f));
    ASSERT_TRUE(bySteps.startDroplet(b, 75.0f, 70.75f));
    bool aGoes = true, bGoes = true;
    while (aGoes || bGoes) {
        if (aGoes) aGoes = bySteps.stepDroplet(a);
        if (bGoes) bGoes = bySteps.stepDroplet(b);
    }
    EXPECT_EQ(a.sediment, inOneGo.simulateDroplet(20.5f, 30.25f));
    EXPECT_EQ(b.sediment, inOneGo.simulateDroplet(75.0f, 70.75f));
    EXPECT_TRUE(sameBits(stepped, whole));
    EXPECT_FALSE(bySteps.startDroplet(a, 3.0f, 50.0f));
}

TEST(Erosion, DepositsBehindAndErodesAhead)
{
    // A straight slope down towards +x: the first step erodes around the cell entered.
    const u32 size = 32;
    std::vector<f32> map(size * size);
    for (u32 y = 0; y < size; y++)
        for (u32 x = 0; x < size; x++) map[y * size + x] = 100.0f - 2.0f * x;
    std::vector<f32> before = map;
    Erosion erosion(map.data(), size, size);
    HeightAndGradient start = erosion.sampleHeightGradient(10.5f, 16.5f);
    EXPECT_FLOAT_EQ(start.gradientX, -2.0f);

    // One droplet all the way: it moves +x one cell per step until the border band.
    erosion.simulateDroplet(10.5f, 16.5f);
    // Erosion centred at (11, 16) and beyond; nothing changed behind the start cell's brush.
    EXPECT_LT(map[16 * size + 11], before[16 * size + 11]);
    EXPECT_EQ(map[16 * size + 7], before[16 * size + 7]);
    // It never reached x >= size - 5 with a write beyond the band's brush.
    EXPECT_EQ(map[16 * size + size - 1], before[16 * size + size - 1]);
}

namespace {

std::vector<f32> erodedInOrder(const std::vector<f32>& base, u32 size, const std::vector<glm::vec2>& starts)
{
    std::vector<f32> map = base;
    Erosion erosion(map.data(), size, size);
    for (const glm::vec2& s : starts) erosion.simulateDroplet(s.x, s.y);
    return map;
}

// Every helper from the start, none ever sent away: all threads run side by side.
const DropletPace AllAtOnce{std::chrono::nanoseconds(0), 0.0, 1000};

std::vector<f32> erodedInParallel(const std::vector<f32>& base, u32 size, const std::vector<glm::vec2>& starts,
                                  u32 threads, const DropletPace& pace = AllAtOnce)
{
    std::vector<f32> map = base;
    Erosion erosion(map.data(), size, size);
    runDroplets(erosion, starts, threads, nullptr, pace);
    return map;
}

} // namespace

TEST(ErosionThreaded, DropletsInParallelGiveTheSameBitsAsInOrder)
{
    const u32 size = 257;
    std::vector<f32> base = rippledBowl(size);
    std::vector<glm::vec2> starts;
    Random random(static_cast<i32>(size));
    for (int i = 0; i < 6000; i++) {
        // Clustered starts (many overlaps) mixed with spread ones and a few outside.
        f64 spread = (i % 3 == 0) ? 20.0 : 120.0;
        starts.emplace_back(static_cast<f32>(128.0 + random.uniform(-spread, spread)),
                            static_cast<f32>(128.0 + random.uniform(-spread, spread)));
    }

    std::vector<f32> inOrder = erodedInOrder(base, size, starts);
    // More workers than the machine has cores too: they then take turns on them.
    for (u32 threads : {1u, 2u, 5u, 8u, 24u}) {
        EXPECT_TRUE(sameBits(erodedInParallel(base, size, starts, threads), inOrder)) << threads << " threads";
    }
    // Helpers joining as the run goes: at once, in steps, or as this machine allows.
    const DropletPace stepping{std::chrono::microseconds(50), 0.0, 0};
    EXPECT_TRUE(sameBits(erodedInParallel(base, size, starts, 8, stepping), inOrder));
    EXPECT_TRUE(sameBits(erodedInParallel(base, size, starts, 8, DropletPace{}), inOrder));
}

TEST(ErosionThreaded, ChainsAndFarApartDropletsGiveTheSameBitsAsInOrder)
{
    const u32 size = 513;
    std::vector<f32> base = rippledBowl(size);
    // All on one spot: every droplet waits for the one before it.
    std::vector<glm::vec2> chain(800, glm::vec2(200.25f, 301.5f));
    EXPECT_TRUE(sameBits(erodedInParallel(base, size, chain, 6), erodedInOrder(base, size, chain)));

    // Four spots far apart, taken in turn: four chains that run side by side.
    std::vector<glm::vec2> apart;
    for (int i = 0; i < 2000; i++) {
        f32 jitter = static_cast<f32>(i % 7) * 0.3f;
        apart.emplace_back(i % 2 == 0 ? 100.0f + jitter : 400.0f - jitter, i % 4 < 2 ? 110.0f : 390.0f + jitter);
    }
    EXPECT_TRUE(sameBits(erodedInParallel(base, size, apart, 4), erodedInOrder(base, size, apart)));
}

TEST(ErosionThreaded, HelpersLeavingABusyMachineLeaveTheSameBits)
{
    // A gain no machine gives: the helpers that joined for the second window leave as
    // it ends (before or after their first droplets, or a little into the run),
    // holding droplets, sleeping or woken; the threads before them finish: the calling
    // thread alone (2 threads) or with three helpers (8 threads).
    const u32 size = 257;
    std::vector<f32> base = rippledBowl(size);
    std::vector<glm::vec2> starts;
    Random random(3);
    for (int i = 0; i < 5000; i++) {
        starts.emplace_back(static_cast<f32>(random.uniform(5.0, 251.0)), static_cast<f32>(random.uniform(5.0, 251.0)));
    }
    std::vector<f32> inOrder = erodedInOrder(base, size, starts);
    DropletPlan plan = planDroplets(starts, size);
    using std::chrono::microseconds;
    const f64 NeverEnough = std::numeric_limits<f64>::infinity();
    for (microseconds window : {microseconds(0), microseconds(20), microseconds(300), microseconds(2000)}) {
        for (u32 threads : {2u, 8u}) {
            std::vector<f32> map = base;
            Erosion erosion(map.data(), size, size);
            runDroplets(erosion, plan, threads, nullptr, DropletPace{window, NeverEnough, threads / 2 - 1});
            EXPECT_TRUE(sameBits(map, inOrder)) << threads << " threads, window " << window.count() << " us";
        }
    }
}

TEST(ErosionThreaded, OneOrTwoDropletsPerThreadAndThreadsComingBackLeaveTheSameBits)
{
    // Threads that each run one or two droplets side by side; helpers that step aside
    // and come back again and again (a gain no machine gives, judged after every few
    // droplets), with a few helpers from the start or none. The map is wide enough for
    // many droplets to be ready at once, so that threads do run two side by side, and
    // a rippled slope, down which most droplets run all their steps (a droplet stepped
    // on after it stopped would show).
    const u32 size = 513;
    std::vector<f32> base(static_cast<size_t>(size) * size);
    for (u32 y = 0; y < size; y++) {
        for (u32 x = 0; x < size; x++) {
            base[y * size + x] = 0.3f * static_cast<f32>(x) + 0.2f * static_cast<f32>(y) +
                                 3.0f * std::sin(0.4f * static_cast<f32>(x)) * std::cos(0.3f * static_cast<f32>(y));
        }
    }
    std::vector<glm::vec2> starts;
    Random random(6);
    for (int i = 0; i < 6000; i++) {
        f64 spread = (i % 4 == 0) ? 15.0 : 250.0;
        starts.emplace_back(static_cast<f32>(256.0 + random.uniform(-spread, spread)),
                            static_cast<f32>(256.0 + random.uniform(-spread, spread)));
    }
    std::vector<f32> inOrder = erodedInOrder(base, size, starts);
    DropletPlan plan = planDroplets(starts, size);
    const f64 NeverEnough = std::numeric_limits<f64>::infinity();
    for (u32 lanes : {1u, 2u}) {
        for (u32 threads : {2u, 3u, 4u, 8u}) {
            for (u32 firstHelpers : {0u, 1000u}) {
                std::vector<f32> map = base;
                Erosion erosion(map.data(), size, size);
                const DropletPace joining{std::chrono::nanoseconds(0), 0.0, firstHelpers, lanes};
                runDroplets(erosion, plan, threads, nullptr, joining);
                EXPECT_TRUE(sameBits(map, inOrder)) << lanes << " lanes, " << threads << " threads";
                map = base;
                Erosion comingBack(map.data(), size, size);
                const DropletPace stepping{std::chrono::nanoseconds(0), NeverEnough, firstHelpers, lanes};
                runDroplets(comingBack, plan, threads, nullptr, stepping);
                EXPECT_TRUE(sameBits(map, inOrder)) << lanes << " lanes, " << threads << " threads, coming back";
            }
        }
    }
}

TEST(ErosionThreaded, RunsEndWithMoreWorkersThanDroplets)
{
    const u32 size = 128;
    std::vector<f32> base = rippledBowl(size);
    // None, a few, and only starts outside the band (they wait for nothing and do nothing).
    std::vector<std::vector<glm::vec2>> runs = {
        {},
        {{30.5f, 40.5f}, {90.0f, 90.0f}, {31.0f, 41.0f}},
        {{1.0f, 60.0f}, {60.0f, 126.0f}, {-3.0f, -3.0f}},
    };
    for (const std::vector<glm::vec2>& starts : runs) {
        EXPECT_TRUE(sameBits(erodedInParallel(base, size, starts, 16), erodedInOrder(base, size, starts)))
            << starts.size() << " droplets";
    }
}

TEST(ErosionThreaded, PlansThatDoNotAddUpAreReported)
{
    // A droplet waiting for a predecessor that never comes: the workers all go to
    // sleep, and the run reports the droplet left over instead of hanging.
    const u32 size = 128;
    std::vector<f32> map = rippledBowl(size);
    std::vector<glm::vec2> starts = {{30.5f, 40.5f}, {31.0f, 41.0f}, {90.0f, 90.0f}};
    DropletPlan plan = planDroplets(starts, size);
    ASSERT_EQ(plan.successorStart[1], 1u); // droplet 0 before droplet 1
    {
        DropletPlan waitsForever = plan;
        waitsForever.dependencyCount[1]++;
        Erosion erosion(map.data(), size, size);
        EXPECT_THROW(runDroplets(erosion, waitsForever, 3, nullptr), std::logic_error);
    }
    // Lists that do not fit the droplets are refused before any droplet runs.
    DropletPlan beyondTheEnd = plan;
    beyondTheEnd.successors[0] = 3;
    DropletPlan backwards = plan;
    backwards.successors[0] = 0;
    DropletPlan shortCounts = plan;
    shortCounts.dependencyCount.pop_back();
    DropletPlan shortRanges = plan;
    shortRanges.successorStart.pop_back();
    const std::vector<f32> before = map;
    for (const DropletPlan* bad : {&beyondTheEnd, &backwards, &shortCounts, &shortRanges}) {
        Erosion erosion(map.data(), size, size);
        EXPECT_THROW(runDroplets(erosion, *bad, 3, nullptr), std::logic_error);
        EXPECT_TRUE(sameBits(map, before));
    }
}

TEST(Erosion, DropletTouchesNothingBeyondItsReach)
{
    // On ground that gets steeper downhill a droplet runs its 48 cells almost straight
    // and erodes to the end, the farthest any droplet gets; on the bowl it turns. Every
    // point a droplet changes lies within DropletReach of its start (its reads lie
    // within the brush around its path too).
    const u32 size = 160;
    // Downhill along each direction, ever steeper.
    const glm::vec2 downhill[] = {{-1.0f, -1.0f}, {1.0f, 0.0f}, {0.3f, 1.0f}, {-0.8f, 0.45f}};
    std::vector<std::vector<f32>> grounds;
    for (const glm::vec2& direction : downhill) {
        std::vector<f32> ground(static_cast<size_t>(size) * size);
        for (u32 y = 0; y < size; y++) {
            for (u32 x = 0; x < size; x++) {
                f32 along = direction.x * static_cast<f32>(x) + direction.y * static_cast<f32>(y) + 200.0f;
                ground[y * size + x] = 1000.0f - 0.02f * along * along;
            }
        }
        grounds.push_back(ground);
    }
    grounds.push_back(rippledBowl(size));

    f64 farthest = 0.0;
    Random random(11);
    for (const std::vector<f32>& base : grounds) {
        for (int i = 0; i < 40; i++) {
            glm::vec2 start(static_cast<f32>(random.uniform(55.0, 105.0)),
                            static_cast<f32>(random.uniform(55.0, 105.0)));
            std::vector<f32> map = base;
            Erosion erosion(map.data(), size, size);
            erosion.simulateDroplet(start.x, start.y);
            for (u32 y = 0; y < size; y++) {
                for (u32 x = 0; x < size; x++) {
                    if (map[y * size + x] == base[y * size + x]) continue;
                    f64 distance = std::hypot(x - static_cast<f64>(start.x), y - static_cast<f64>(start.y));
                    farthest = std::max(farthest, distance);
                    ASSERT_LE(distance, DropletReach) << "point " << x << ", " << y;
                }
            }
        }
    }
    EXPECT_GT(farthest, 51.0); // the straight runs come close to the bound
}

TEST(Erosion, DropletPlanOrdersEveryPairWhoseAreasMeet)
{
    const u32 size = 300;
    std::vector<glm::vec2> starts;
    Random random(4);
    for (int i = 0; i < 1500; i++) {
        starts.emplace_back(static_cast<f32>(random.uniform(-5.0, size + 5.0)),
                            static_cast<f32>(random.uniform(-5.0, size + 5.0)));
    }
    DropletPlan plan = planDroplets(starts, size);
    const u32 count = static_cast<u32>(starts.size());
    ASSERT_EQ(plan.successorStart.size(), count + 1u);

    // Which droplets each one comes after, directly or through others.
    std::vector<std::vector<bool>> after(count, std::vector<bool>(count, false));
    for (u32 d = 0; d < count; d++) {
        for (u32 k = plan.successorStart[d]; k < plan.successorStart[d + 1]; k++) {
            u32 s = plan.successors[k];
            ASSERT_GT(s, d); // edges only point forwards
            after[s][d] = true;
        }
    }
    for (u32 d = 0; d < count; d++) {
        for (u32 p = 0; p < d; p++) {
            if (!after[d][p]) continue;
            for (u32 q = 0; q < p; q++) {
                if (after[p][q]) after[d][q] = true;
            }
        }
    }
    u32 ordered = 0;
    for (u32 j = 0; j < count; j++) {
        const glm::vec2& b = starts[j];
        bool movesJ = b.x > 4 && b.y > 4 && b.x < size - 5 && b.y < size - 5;
        for (u32 i = 0; i < j; i++) {
            const glm::vec2& a = starts[i];
            bool movesI = a.x > 4 && a.y > 4 && a.x < size - 5 && a.y < size - 5;
            f64 distance = std::hypot(static_cast<f64>(a.x) - b.x, static_cast<f64>(a.y) - b.y);
            if (movesI && movesJ && distance <= 2 * DropletReach) {
                ASSERT_TRUE(after[j][i]) << i << " before " << j;
                ordered++;
            }
            // Droplets well apart wait for nothing of each other directly: the plan
            // leaves room to run them side by side.
            if (distance > 2 * DropletReach + 50.0) {
                for (u32 k = plan.successorStart[i]; k < plan.successorStart[i + 1]; k++) {
                    ASSERT_NE(plan.successors[k], j) << i << " and " << j << " are " << distance << " apart";
                }
            }
        }
        if (!movesJ) {
            EXPECT_EQ(plan.dependencyCount[j], 0u);
            EXPECT_EQ(plan.successorStart[j + 1], plan.successorStart[j]);
        }
    }
    EXPECT_GT(ordered, 1000u);
}

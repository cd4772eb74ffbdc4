#include "EnemyTestSupport.h"

#include "Game/Enemies/EnemySpawner.h"
#include "Game/Session/GameSession.h"
#include "Game/Session/SessionRules.h"
#include "Game/Session/Waves.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A spawner that records the wave step of each enemy, heavy ones marked, and counts
// it off the wave as the real one does.
struct RecordingSpawner {
    std::vector<int> steps;
    std::vector<bool> heavy;
    int step = 0;
    bool portals = true;

    Waves::SpawnOne spawnOne()
    {
        return [this](WaveState& wave) {
            if (!portals) return false;
            const bool isHeavy = wave.heavyLeft.load() >= 1;
            (isHeavy ? wave.heavyLeft : wave.normalLeft).fetch_sub(1);
            steps.push_back(step);
            heavy.push_back(isHeavy);
            return true;
        };
    }
};

// Runs wave steps until the wave ends or `limit` steps pass; the steps run.
int runWave(GameSession& session, RecordingSpawner& spawner, std::atomic<i32>& alive, int limit)
{
    const Waves::SpawnOne spawnOne = spawner.spawnOne();
    for (spawner.step = 1; spawner.step <= limit; spawner.step++) {
        Waves::step(*session.waveState, session.state, alive, spawnOne);
        if (!session.waveState->active.load()) return spawner.step;
    }
    return limit;
}

} // namespace

TEST(Waves, TheFirstWaveReleasesTenEnemiesOverSixHundredSteps)
{
    GameSession session;
    WaveState& wave = *session.waveState;
    EXPECT_EQ(session.money->load(), 5000);
    EXPECT_EQ(wave.wave.load(), 1);
    ASSERT_TRUE(session.startWave());
    EXPECT_TRUE(wave.active.load());
    EXPECT_EQ(wave.normalLeft.load(), 10);
    EXPECT_EQ(wave.heavyLeft.load(), 0);
    EXPECT_FLOAT_EQ(wave.spawnRate.load(), 10.0f / 600.0f);
    EXPECT_FALSE(session.startWave()) << "a running wave is not armed again";

    RecordingSpawner spawner;
    std::atomic<i32> alive{0};
    runWave(session, spawner, alive, 700);
    ASSERT_EQ(spawner.steps.size(), 10u);

    // The first enemy comes in the first step whose single-precision sum of the rate
    // exceeds 1 (not at exactly 1), the last one about 600 steps after the start.
    f32 sum = 0.0f;
    int first = 0;
    for (int step = 1; first == 0; step++) {
        sum += 10.0f / 600.0f;
        if (sum > 1.0f) first = step;
    }
    EXPECT_EQ(spawner.steps.front(), first);
    EXPECT_GE(first, 60);
    EXPECT_LE(first, 61);
    EXPECT_GE(spawner.steps.back(), 595);
    EXPECT_LE(spawner.steps.back(), 601);
    for (size_t i = 1; i < spawner.steps.size(); i++) {
        EXPECT_NEAR(spawner.steps[i] - spawner.steps[i - 1], 60, 1);
    }
}

TEST(Waves, TheWaveTableHoldsAsWavesEndHeavyFirstAndFasterFromWaveFourteen)
{
    GameSession session;
    WaveState& wave = *session.waveState;
    std::atomic<i32> alive{0};
    struct Expected {
        i32 wave, normal, heavy;
    };
    const std::vector<Expected> table = {{1, 10, 0},   {2, 15, 0},    {3, 22, 0},    {4, 33, 1},    {5, 49, 2},
                                         {6, 73, 4},   {7, 109, 8},   {8, 163, 14},  {9, 244, 23},  {10, 366, 37},
                                         {11, 500, 57}, {12, 500, 77}, {13, 500, 97}, {14, 500, 117}, {15, 500, 137},
                                         {16, 500, 157}};
    for (const Expected& expected : table) {
        SCOPED_TRACE(expected.wave);
        EXPECT_EQ(wave.wave.load(), expected.wave);
        EXPECT_EQ(wave.normalCount.load(), expected.normal);
        EXPECT_EQ(wave.heavyCount.load(), expected.heavy);
        ASSERT_TRUE(session.startWave());
        RecordingSpawner spawner;
        const int steps = runWave(session, spawner, alive, 1000);
        ASSERT_EQ(spawner.steps.size(), static_cast<size_t>(expected.normal + expected.heavy));
        // Every heavy enemy before the first normal one.
        for (size_t i = 0; i < spawner.heavy.size(); i++) {
            EXPECT_EQ(spawner.heavy[i], i < static_cast<size_t>(expected.heavy));
        }
        EXPECT_LE(steps, 605);
        // From wave 14 on the rate exceeds 1: some steps release two enemies.
        bool doubled = false;
        for (size_t i = 1; i < spawner.steps.size(); i++) doubled |= spawner.steps[i] == spawner.steps[i - 1];
        EXPECT_EQ(doubled, expected.wave >= 14);
    }
}

TEST(Waves, AWaveEndsOnlyWhenNoneIsLeftAndNoneAliveAndWinningNeedsAPlayingGame)
{
    GameSession session;
    WaveState& wave = *session.waveState;
    std::atomic<i32> alive{0};
    RecordingSpawner spawner;
    const Waves::SpawnOne spawnOne = spawner.spawnOne();

    // Nothing happens without a wave.
    Waves::step(wave, session.state, alive, spawnOne);
    EXPECT_TRUE(spawner.steps.empty());
    EXPECT_EQ(wave.wave.load(), 1);

    // All spawned, one still alive: the wave goes on, however long.
    session.startWave();
    alive = 1;
    runWave(session, spawner, alive, 2000);
    EXPECT_TRUE(wave.active.load());
    EXPECT_EQ(wave.wave.load(), 1);
    // It ends in the first step with none alive.
    alive = 0;
    Waves::step(wave, session.state, alive, spawnOne);
    EXPECT_FALSE(wave.active.load());
    EXPECT_EQ(wave.wave.load(), 2);
    EXPECT_EQ(wave.normalCount.load(), 15);

    // Ending wave 15 wins a game in state 0 only: a lost or played-on game stays so.
    for (u32 state : {SessionPlaying, SessionPlayingOn, SessionLost, SessionWon}) {
        SCOPED_TRACE(state);
        session.state = state;
        wave.wave = 15;
        session.startWave();
        runWave(session, spawner, alive, 1000);
        EXPECT_EQ(wave.wave.load(), 16);
        EXPECT_EQ(session.state.load(), state == SessionPlaying ? static_cast<u32>(SessionWon) : state);
    }
    // Waves go on after the last one, without a change of state.
    session.state = SessionPlayingOn;
    session.startWave();
    runWave(session, spawner, alive, 1000);
    EXPECT_EQ(wave.wave.load(), 17);
    EXPECT_EQ(session.state.load(), static_cast<u32>(SessionPlayingOn));
}

TEST(Waves, WithoutPortalsTheEnemiesStayOwed)
{
    GameSession session;
    WaveState& wave = *session.waveState;
    std::atomic<i32> alive{0};
    RecordingSpawner spawner;
    spawner.portals = false;
    session.startWave();
    runWave(session, spawner, alive, 300);
    EXPECT_TRUE(spawner.steps.empty());
    EXPECT_EQ(wave.normalLeft.load(), 10);
    EXPECT_TRUE(wave.active.load()) << "the wave waits for its enemies";
    EXPECT_GT(wave.spawnAccumulator.load(), 4.9f);
    // Once a portal stands, what is owed comes out at once.
    spawner.portals = true;
    const Waves::SpawnOne spawnOne = spawner.spawnOne();
    Waves::step(wave, session.state, alive, spawnOne);
    EXPECT_EQ(spawner.steps.size(), 5u);
    EXPECT_EQ(wave.normalLeft.load(), 5);
}

TEST(Waves, TheSpawnerPlacesHeavyEnemiesFirstAtARandomPortal)
{
    EnemyGrounds grounds(129, 3);
    EnemySpawner spawner{grounds.manager.get(), nullptr};
    WaveState& wave = *grounds.session.waveState;
    wave.normalLeft = 2;
    wave.heavyLeft = 1;

    // No portal: nothing is made and nothing counted off.
    EXPECT_FALSE(spawner.spawnAtRandomPortal(wave, {}));
    EXPECT_TRUE(grounds.manager->pending.empty());
    EXPECT_EQ(wave.heavyLeft.load(), 1);

    const std::vector<PortalSite> portals = {{{10, 3, 20}, {6, 16, 6}}, {{100, 3, 40}, {6, 16, 6}}};
    const i32 before = aliveEnemyCount.load();
    for (int i = 0; i < 3; i++) EXPECT_TRUE(spawner.spawnAtRandomPortal(wave, portals));
    EXPECT_EQ(aliveEnemyCount.load(), before + 3);
    EXPECT_EQ(wave.heavyLeft.load(), 0);
    EXPECT_EQ(wave.normalLeft.load(), 0);
    ASSERT_EQ(grounds.manager->pending.size(), 3u);
    EXPECT_EQ(grounds.manager->pending[0]->typeIndex, 1u) << "heavy first";
    EXPECT_EQ(grounds.manager->pending[1]->typeIndex, 0u);
    // At a footprint's centre, 2 (heavy) or 1 above the step under it (3 steps = 1.2).
    const glm::vec3 o = grounds.origin();
    for (const auto& enemy : grounds.manager->pending) {
        const glm::vec3 at = enemy->position.load() - o;
        const bool first = at.x == 13.0f && at.z == 23.0f;
        const bool second = at.x == 103.0f && at.z == 43.0f;
        EXPECT_TRUE(first || second) << at.x << " " << at.z;
        EXPECT_FLOAT_EQ(at.y, enemy->typeIndex == 1 ? 3.2f : 2.2f);
    }
    EXPECT_EQ(EnemySpawner::spawnPosition(portals[1], grounds.manager->context.ground, false) - o,
              glm::vec3(103.0f, 2.2f, 43.0f));
    // Both portals are used over many draws.
    int atFirst = 0;
    wave.normalLeft = 200;
    grounds.manager->pending.clear();
    for (int i = 0; i < 200; i++) spawner.spawnAtRandomPortal(wave, portals);
    for (const auto& enemy : grounds.manager->pending) atFirst += enemy->position.load().x - o.x == 13.0f;
    EXPECT_GT(atFirst, 60);
    EXPECT_LT(atFirst, 140);
}

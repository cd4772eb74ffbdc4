#include "IslandWalk.h"

#include "Game/Session/GameSession.h"
#include "Game/Session/SessionRules.h"
#include "Game/Session/Waves.h"

#include <gtest/gtest.h>

namespace {

// Game time a walk may take: the farthest portal is about 300 units of winding way
// from the castle, two minutes at a walk.
constexpr f32 WalkBound = 200.0f;

} // namespace

// Islands with the climbs and terrace lanes where enemies used to stall for good:
// enemies released in turn from all four portals, one in five heavy, all reach the
// castle within the bound, none stalls on the way and none leaves the world.
TEST(WaveWalk, EnemiesFromAllFourPortalsReachTheCastle)
{
    for (i32 seed : {9, 11, 13}) {
        IslandGame game(seed, 0);
        ASSERT_NE(game.castle, nullptr) << seed;
        ASSERT_EQ(game.portals.size(), 4u) << seed;
        WalkSettings settings;
        settings.enemies = 40;
        settings.heavyShare = 0.2f;
        settings.seconds = WalkBound;
        const WalkTally tally = walkEnemies(game, settings);
        EXPECT_EQ(tally.released, 40u) << seed;
        EXPECT_EQ(tally.arrived, 40u) << seed;
        EXPECT_EQ(tally.stalled, 0u) << seed;
        EXPECT_EQ(tally.lost, 0u) << seed;
        for (u32 portal = 0; portal < 4; portal++) EXPECT_EQ(tally.arrivedFrom[portal], 10u) << seed << " " << portal;
        for (const WalkStall& stall : tally.stalls) {
            ADD_FAILURE() << "seed " << seed << ": " << (stall.heavy ? "heavy" : "normal") << " enemy from portal "
                          << stall.portal << " stalled at " << stall.position.x << ", " << stall.position.y << ", "
                          << stall.position.z;
        }
    }
}

// A wave started as the panel starts it, its enemies released by the wave step at
// random portals: once they have all reached the castle (and left the game there, as
// a tower beside it would see to), the wave is over and the next one is offered.
TEST(WaveWalk, AWaveEndsOnceItsEnemiesHaveReachedTheCastle)
{
    IslandGame game(4, 0);
    WaveState& wave = *game.session.waveState;
    const WaveCounts fifth = waveCounts(5); // 49 normal, 2 heavy
    wave.normalCount = fifth.normalCount;
    wave.heavyCount = fifth.heavyCount;
    ASSERT_TRUE(Waves::start(wave));
    WalkWatch watch(game);
    while (wave.active.load() && game.seconds() < WalkBound) {
        game.tick();
        watch.afterTick();
    }
    EXPECT_FALSE(wave.active.load()) << "after " << game.seconds() << " s";
    EXPECT_EQ(wave.wave.load(), 2);
    const WalkTally tally = watch.result();
    EXPECT_EQ(tally.released, 51u);
    EXPECT_EQ(tally.arrived, 51u);
    EXPECT_EQ(tally.stalled, 0u);
}

#include "Game/Session/Waves.h"

#include "Game/Session/GameSession.h"
#include "Game/Session/SessionRules.h"

namespace Waves {

bool start(WaveState& wave)
{
    if (wave.active.load(std::memory_order_acquire)) return false;
    const i32 normal = wave.normalCount.load();
    const i32 heavy = wave.heavyCount.load();
    wave.normalLeft.store(normal);
    wave.heavyLeft.store(heavy);
    wave.spawnRate.store(spawnRate(normal, heavy));
    wave.spawnAccumulator.store(0.0f);
    wave.active.store(true, std::memory_order_release);
    return true;
}

void step(WaveState& wave, std::atomic<u32>& sessionState, const std::atomic<i32>& alive, const SpawnOne& spawnOne)
{
    if (!wave.active.load(std::memory_order_acquire)) return;

    f32 owed = wave.spawnAccumulator.load() + wave.spawnRate.load();
    while (wave.normalLeft.load() + wave.heavyLeft.load() > 0 && owed > 1.0f) {
        if (!spawnOne(wave)) break; // no portal yet: the enemy stays owed
        owed -= 1.0f;
    }
    wave.spawnAccumulator.store(owed);

    if (alive.load() != 0 || wave.normalLeft.load() + wave.heavyLeft.load() > 0) return;
    // Over: the next wave first, `active` last, so "Start wave {}" never arms the
    // counts of the wave that just ended.
    const WaveCounts next = nextWave({wave.wave.load(), wave.normalCount.load(), wave.heavyCount.load()});
    wave.wave.store(next.wave);
    wave.normalCount.store(next.normalCount);
    wave.heavyCount.store(next.heavyCount);
    wave.active.store(false, std::memory_order_release);
    if (isWinningWave(next.wave)) {
        // A game already lost (or played on) stays as it is.
        u32 playing = SessionPlaying;
        sessionState.compare_exchange_strong(playing, SessionWon);
    }
}

} // namespace Waves

#pragma once

#include "Engine/Types.h"

#include <atomic>
#include <functional>

struct WaveState;

// The waves of a game: armed by "Start wave {}" on the main thread, stepped on the
// game-logic thread, which releases the wave's enemies over about 600 steps (heavy
// ones first) and ends the wave once all of them are out and none is alive any more.
namespace Waves {

// Arms the next wave: its counts become the enemies left to spawn, at (normal +
// heavy) / 600 per step, the counters before `active`. False, and nothing changes,
// while a wave runs.
bool start(WaveState& wave);

// Places one enemy of the running wave (heavy ones first) and counts it off; false
// when it cannot be placed yet (no portal stands), so the enemy stays owed.
using SpawnOne = std::function<bool(WaveState&)>;

// One wave step (run game-speed times per tick): nothing while no wave runs. Else the
// owed share grows by the rate and whole enemies are spawned while it exceeds 1; when
// none is left to spawn and `alive` is 0 the wave is over: the next wave's number and
// counts are published, then `active` is cleared. Ending the last wave wins the game
// (session state 0 -> 3, never over a lost game).
void step(WaveState& wave, std::atomic<u32>& sessionState, const std::atomic<i32>& alive, const SpawnOne& spawnOne);

} // namespace Waves

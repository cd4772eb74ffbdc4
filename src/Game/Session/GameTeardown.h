#pragma once

#include <functional>

class BuildingManager;
class EnemyManager;
class GameLogic;
struct SimulationState;

// The parts of a running game that its teardown takes down; any may be null.
struct GameParts {
    GameLogic* logic = nullptr;
    BuildingManager* buildings = nullptr;
    EnemyManager* enemies = nullptr;
    SimulationState* simulation = nullptr; // the physics thread stepping the game's bodies
};

// Ends the play of a game, in this order: the game-logic thread stops; the physics
// thread stops stepping (game speed 0, and the pass under way finishes), so no
// contact or steering runs any more while it still applies adds and removes; every
// building and every enemy is destroyed (no reward) and the queued ones deleted, every
// projectile removed and the smoke emptied; then
// `pace` (one frame of physics pacing) runs every 16 ms until the live counters reach
// 0, that is until the physics thread has let go of every body. Game speed 1 is
// restored for the next game.
void endGame(const GameParts& parts, const std::function<void()>& pace);

// Buildings, enemies (spawned or queued) and projectiles not yet deleted.
bool gameInstancesLive();

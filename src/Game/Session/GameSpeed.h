#pragma once

#include "Engine/Types.h"

// How fast game time runs: the fixed steps per tick of the physics thread and the
// game-logic thread alike. Both read the one value the simulation state keeps.
enum GameSpeed : u32 {
    GameSpeedPaused = 0,
    GameSpeedNormal = 1,
    GameSpeedDouble = 2,
    GameSpeedQuadruple = 4,
};

u32 gameSpeed();
void setGameSpeed(u32 speed);

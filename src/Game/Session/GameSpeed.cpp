#include "Game/Session/GameSpeed.h"

#include "Engine/Physics/Simulation.h"

u32 gameSpeed()
{
    return Simulation::state.gameSpeed.load();
}

void setGameSpeed(u32 speed)
{
    Simulation::state.gameSpeed.store(speed);
}

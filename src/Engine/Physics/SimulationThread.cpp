#include "Engine/Engine.h"
#include "Engine/Physics/BulletHandler.h"
#include "Engine/Physics/Simulation.h"

// Kept apart from the worker loop so that code which runs the worker on its own
// world (tests, tools) does not pull in the engine's globals.
namespace Simulation {

void threadMain()
{
    runWorker(state, *Engine::physicsWorld, Engine::bulletHandler->fixedTimeStep);
}

} // namespace Simulation

#include "GameKinds.h"

#include "Engine/Camera/Random.h"
#include "Engine/Engine.h"
#include "Engine/Physics/Pacing.h"
#include "Engine/Physics/PhysicsWorld.h"
#include "Engine/Physics/Simulation.h"
#include "Engine/Storage/DataStorage.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "Game/Session/GameSession.h"
#include "Game/Ui/Ui.h"
#include "World/World.h"

#include <thread>

namespace {
std::thread physicsThread;
} // namespace

void createGameKinds()
{
    // The build-site search draws from the global random source.
    if (Engine::random == nullptr) Engine::random = new Random(1);
    Engine::meshStorage = new DsDeviceMeshSingle(Engine::graphicsDevice, 10'000'000);
    Engine::meshStorage->switchHalf();
    EntityTypes::createAll();
    Engine::meshStorage->scheduleUpload();
}

void releaseGameKinds()
{
    EntityTypes::releaseAll();
    Engine::meshStorage = nullptr; // deleted with the device
    delete Engine::random;
    Engine::random = nullptr;
}

void startPhysicsThread()
{
    Engine::physicsWorld = new PhysicsWorld();
    Engine::physicsWorld->init(EngineWorldGravity);
    physicsThread = std::thread([] { Simulation::runWorker(Simulation::state, *Engine::physicsWorld, TickSeconds); });
}

void stopPhysicsThread()
{
    Simulation::stopWorker(Simulation::state, physicsThread);
    Simulation::releaseRemaining(*Engine::physicsWorld);
    delete Engine::physicsWorld;
    Engine::physicsWorld = nullptr;
}

void startGameEngine()
{
    Ui::createState();
    Ui::clearMenuStates();
    Engine::gameState = GameStateMainMenu;
    createGameKinds();
    startPhysicsThread();
}

void stopGameEngine()
{
    delete world;
    world = nullptr;
    delete gameSession;
    gameSession = nullptr;
    Engine::gameState = GameStateMainMenu;
    Ui::clearMenuStates();
    Ui::destroyState();
    // What the terrains handed to the physics registry goes with the thread.
    stopPhysicsThread();
}

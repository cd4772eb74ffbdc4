#pragma once

#include "Engine/Types.h"

#include <exception>
#include <thread>

struct InstanceRecord;
class Window;
class Input;
class GraphicsDevice;
class SwapChain;
class Random;
class DescriptorPool;
class DsDeviceMeshSingle;
class MeshStorageHolders;
class DsUniformSingle;
class DsStorageSingle;
class PhysicsWorld;
class BulletHandler;
class CameraPath;

// The engine game state.
enum GameState : u32 {
    GameStateMainMenu = 0,
    GameStatePlaying = 1,
    GameStateLoading = 2,
};

// Every engine object is a heap object held by one of these globals, created by
// Engine::init in a fixed order and deleted by Engine::shutdown in a fixed order.
namespace Engine {

extern InstanceRecord* instanceRecord;
extern Window* window;
extern Input* input;
extern GraphicsDevice* graphicsDevice;
extern SwapChain* swapChain;
extern Random* random;
extern DescriptorPool* descriptorPool;
extern DsDeviceMeshSingle* meshStorage;
// What each model and shape written into meshStorage took of it; made and deleted with
// it (null where a test makes a storage without one: nothing is recorded).
extern MeshStorageHolders* meshStorageHolders;
extern DsUniformSingle* frameUniforms;
extern DsStorageSingle* frameStorage;
extern PhysicsWorld* physicsWorld;
extern BulletHandler* bulletHandler;
extern std::thread simulationThread;
extern CameraPath* cameraPath;
extern u32 gameState;
extern u8 quitRequested;
extern f32 frameTimeMs;  // duration of the last frame, at most 100
// Set when a world has been torn down: the end of the next frame, once it has deleted
// the GPU objects the world released, gives the freed memory back to the system.
extern u8 freedMemoryPending;
extern f64 totalTimeMs;

void init();
// The main loop; ends with shutdown().
void run();
// One iteration of the main loop: input, the world, the interface, physics pacing and
// the frame.
void runFrame();
void shutdown();
// Records, submits and presents one frame.
void drawFrame();
// With the game's trace on (see Engine/Helper/Trace.h): what the frame shows (game
// state, screen, tool, session) when it changed, and whether an Escape pressed in the
// frame was taken by a handler.
void traceFrame();
// Ends the game on an error that reached the top of the main thread (or that a worker
// handed to it): prints its line unless it printed one, tears down what is safe to tear
// down with other threads still running and objects half made (the GPU's work, the swap
// chain, the window system), and ends the process with status 1.
[[noreturn]] void endOnError(const std::exception_ptr& error);
// For std::set_terminate: whatever still ends the program through std::terminate ends
// it the same way.
[[noreturn]] void endOnTerminate();
// At the start of the process: anything that reaches std::terminate ends the game as
// above, only the first fatal line is printed, and an output whose reader has gone (a
// closed pipe) ends nothing: lines to it are lost, the game goes on.
void setUpProcessEnds();

} // namespace Engine

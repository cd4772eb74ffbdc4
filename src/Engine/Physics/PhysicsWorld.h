#pragma once

#include "Engine/Types.h"

class btDiscreteDynamicsWorld;
class btDefaultCollisionConfiguration;
class btCollisionDispatcher;
class btDbvtBroadphase;
class btSequentialImpulseConstraintSolver;

// Gravity magnitudes of the two worlds: the engine world that the simulation thread
// steps, and a game's query world that only answers ray tests.
constexpr f32 EngineWorldGravity = 40.0f;
constexpr f32 QueryWorldGravity = 10.0f;

// One Bullet dynamics world with the four objects it is built on.
struct PhysicsWorld {
    btDiscreteDynamicsWorld* world = nullptr;
    f32 gravity = 0;
    btDefaultCollisionConfiguration* collisionConfiguration = nullptr;
    btCollisionDispatcher* dispatcher = nullptr;
    btDbvtBroadphase* broadphase = nullptr;
    btSequentialImpulseConstraintSolver* solver = nullptr;

    PhysicsWorld() = default;
    PhysicsWorld(const PhysicsWorld&) = delete;
    PhysicsWorld& operator=(const PhysicsWorld&) = delete;
    // The dynamics world goes first: it may still hold bodies, and its destructor
    // unlinks them through the broadphase and the dispatcher.
    ~PhysicsWorld();

    // Creates the world with gravity (0, -gravity, 0).
    void init(f32 gravity);
};

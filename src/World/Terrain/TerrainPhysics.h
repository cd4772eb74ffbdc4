#pragma once

#include "Engine/Types.h"

#include <mutex>

class btBvhTriangleMeshShape;
class btRigidBody;
class btTriangleMesh;
class PhysicsObject;
struct PhysicsWorld;

// The terrain's static collision body in both physics worlds: a physics object for
// the engine world (handed to the simulation thread through the registry) and a
// second body on the same shape and motion state in a game's query world.
struct TerrainBodies {
    PhysicsObject* object = nullptr; // owned by the simulation thread once registered
    btRigidBody* queryBody = nullptr;
};

// Builds both bodies over `shape`: the object (mass 0, not drawn by the physics debug
// view, group terrain, every mask) with a terrain reference owned by `owner`, queued
// for the engine world; the query body added to `queryWorld` under `queryMutex`. The
// two locks are taken one after the other, never together.
TerrainBodies createTerrainBodies(btBvhTriangleMeshShape* shape, void* owner, PhysicsWorld* queryWorld,
                                  std::mutex& queryMutex);

// Takes both bodies out: the query body from the query world (under its mutex) and
// deleted, the object handed to the simulation thread for removal, then the shape and
// the mesh queued for deletion after it. Everything given may be null.
void destroyTerrainBodies(TerrainBodies& bodies, btBvhTriangleMeshShape* shape, btTriangleMesh* mesh,
                          PhysicsWorld* queryWorld, std::mutex& queryMutex);

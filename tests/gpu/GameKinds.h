#pragma once

// What Engine::init brings up for a game besides the device and the frame resources
// (GpuTest): the mesh storage and every game kind with their shared pipelines, and
// the physics thread on the engine physics world, which takes the bodies of a world's
// buildings and lets go of them at its teardown.

// Makes Engine::meshStorage (switched to its first half, as Engine::init does) and the
// global random source, runs EntityTypes::createAll and queues the meshes for the
// next upload flush.
void createGameKinds();
// After GpuTest::TearDown (the device has deleted the kinds' GPU objects): the kinds'
// own memory, and the mesh storage pointer.
void releaseGameKinds();

// What a test that plays whole games brings up after GpuTest::SetUp: the interface's
// records with the main menu showing, the game kinds and the physics thread.
void startGameEngine();
// And takes down before GpuTest::TearDown (followed by releaseGameKinds): the world
// and the game session if any are left, the interface's records and the physics
// thread.
void stopGameEngine();

// Engine::physicsWorld and a simulation thread stepping it with Simulation::state.
void startPhysicsThread();
// Stops and joins the thread, releases what the registry still holds and deletes the
// engine physics world.
void stopPhysicsThread();

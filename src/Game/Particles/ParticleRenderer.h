#pragma once

#include "Engine/Types.h"

class DataSet;
class Pipeline;
class World;
struct BuildingDrawBindings;
struct StorageSlot;

// What the particle kinds draw with in a running game: the per-frame storage slot of
// the drawn puffs, its data set, the particle pipeline (translucent, no depth writes)
// and the scene set (camera, sky, shadows) bound before the draw. A member of the World.
class ParticleRenderer {
public:
    StorageSlot* instanceSlot = nullptr; // 1,600,000 bytes of frameStorage: 20,000 puffs
    DataSet* instanceSet = nullptr;      // binding 4: instanceSlot
    World* world = nullptr;
    Pipeline* pipeline = nullptr;
    DataSet* sceneSet = nullptr;         // camera, sky, shadows, shadow map

    // On the global device and pool. A missing shader ends the start-up of the world.
    ParticleRenderer(const BuildingDrawBindings& bindings, World* world);
    ~ParticleRenderer();
    ParticleRenderer(const ParticleRenderer&) = delete;
    ParticleRenderer& operator=(const ParticleRenderer&) = delete;
};

#pragma once

#include "Engine/Types.h"

class DataSet;
class Pipeline;
class World;
struct BuildingDrawBindings;
struct StorageSlot;

// What the projectile kinds draw with in a running game: the per-frame storage slot of
// the drawn matrices and its data set, the main-pass pipeline with its scene set
// (camera, sky, shadows) and the shadow pipeline with its set (the cascade's light
// camera). A member of the World.
class ProjectileRenderer {
public:
    StorageSlot* instanceSlot = nullptr; // 512,000 bytes of frameStorage: 8,000 matrices
    DataSet* instanceSet = nullptr;      // binding 4: instanceSlot
    World* world = nullptr;
    Pipeline* pipeline = nullptr;
    Pipeline* shadowPipeline = nullptr;
    DataSet* sceneSet = nullptr;  // camera, sky, shadows, shadow map
    DataSet* shadowSet = nullptr; // the light camera

    // On the global device and pool. A missing shader ends the start-up of the world.
    ProjectileRenderer(const BuildingDrawBindings& bindings, World* world);
    ~ProjectileRenderer();
    ProjectileRenderer(const ProjectileRenderer&) = delete;
    ProjectileRenderer& operator=(const ProjectileRenderer&) = delete;
};

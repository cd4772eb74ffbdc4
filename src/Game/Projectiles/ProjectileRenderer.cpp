#include "Game/Projectiles/ProjectileRenderer.h"

#include "Engine/Descriptor/DataSet.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Mesh/VertexLayout.h"
#include "Engine/Pipeline/Pipeline.h"
#include "Engine/Storage/DataStorage.h"
#include "Game/Buildings/BuildingPipelines.h"
#include "Game/Projectiles/ProjectileRules.h"
#include "Game/Session/BuildingManager.h"

ProjectileRenderer::ProjectileRenderer(const BuildingDrawBindings& bindings, World* world_) : world(world_)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    DescriptorPool* pool = Engine::descriptorPool;
    instanceSlot = new StorageSlot{Engine::frameStorage, ProjectileRules::SlotBytes, NoOffset};
    sceneSet = new DataSet(device, pool,
                           {{0, DataSetStorageSlot, bindings.camera},
                            {1, DataSetStorageSlot, bindings.skyParams},
                            {2, DataSetStorageSlot, bindings.shadowUniforms},
                            {3, DataSetImage, bindings.shadowMap}});
    instanceSet = new DataSet(device, pool, {{4, DataSetStorageSlot, instanceSlot}});
    shadowSet = new DataSet(device, pool, {{0, DataSetStorageSlot, bindings.lightCamera}});

    BuildingPipelineDesc scene;
    scene.vertexShader = "shaders/projectileVert.spv";
    scene.fragmentShader = "shaders/projectileFrag.spv";
    scene.vertexLayout = vertexLayoutPosNormalUv;
    scene.descriptorLayout = "UBD_0+UBD_1+UBD_2+CIS_3 SBD_4";
    pipeline = createBuildingPipeline(scene);

    BuildingPipelineDesc shadow;
    shadow.vertexShader = "shaders/shadowInstanceVert.spv";
    shadow.fragmentShader = "shaders/shadowFrag.spv";
    shadow.vertexLayout = vertexLayoutPosition;
    shadow.descriptorLayout = "UBD_0 SBD_4";
    shadow.colorAttachment = false;
    shadow.depthBias = true;
    shadowPipeline = createBuildingPipeline(shadow);
}

ProjectileRenderer::~ProjectileRenderer()
{
    GraphicsDevice* device = Engine::graphicsDevice;
    delete instanceSlot;
    for (Pipeline* used : {pipeline, shadowPipeline}) {
        if (used != nullptr) device->releaseResource(used);
    }
    for (DataSet* set : {sceneSet, instanceSet, shadowSet}) {
        if (set != nullptr) device->releaseResource(set);
    }
}

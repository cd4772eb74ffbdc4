#include "Game/Particles/ParticleRenderer.h"

#include "Engine/Descriptor/DataSet.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Mesh/VertexLayout.h"
#include "Engine/Pipeline/Pipeline.h"
#include "Engine/Storage/DataStorage.h"
#include "Game/Buildings/BuildingPipelines.h"
#include "Game/Particles/ParticleRules.h"
#include "Game/Session/BuildingManager.h"

ParticleRenderer::ParticleRenderer(const BuildingDrawBindings& bindings, World* world_) : world(world_)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    DescriptorPool* pool = Engine::descriptorPool;
    instanceSlot = new StorageSlot{Engine::frameStorage, ParticleRules::SmokeSlotBytes, NoOffset};
    sceneSet = new DataSet(device, pool,
                           {{0, DataSetStorageSlot, bindings.camera},
                            {1, DataSetStorageSlot, bindings.skyParams},
                            {2, DataSetStorageSlot, bindings.shadowUniforms},
                            {3, DataSetImage, bindings.shadowMap}});
    instanceSet = new DataSet(device, pool, {{4, DataSetStorageSlot, instanceSlot}});

    BuildingPipelineDesc desc;
    desc.vertexShader = "shaders/particleVert.spv";
    desc.fragmentShader = "shaders/particleFrag.spv";
    desc.vertexLayout = vertexLayoutPosNormalColor;
    desc.descriptorLayout = "UBD_0+UBD_1+UBD_2+CIS_3 SBD_4";
    desc.depthWrite = false;
    pipeline = createBuildingPipeline(desc);
}

ParticleRenderer::~ParticleRenderer()
{
    GraphicsDevice* device = Engine::graphicsDevice;
    if (pipeline != nullptr) device->releaseResource(pipeline);
    for (DataSet* set : {sceneSet, instanceSet}) {
        if (set != nullptr) device->releaseResource(set);
    }
    delete instanceSlot;
}

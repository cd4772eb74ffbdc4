#include "Game/Session/BuildingManager.h"

#include "Engine/Camera/Random.h"
#include "Engine/Command/CommandBuffer.h"
#include "Engine/Descriptor/DataSet.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Storage/DataStorage.h"
#include "Game/Buildings/BuildingInstance.h"
#include "Game/Buildings/BuildingRules.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "Game/Tools/EdgeEffect.h"
#include "World/Shadow/CascadeMath.h"
#include "World/Terrain/TerrainGrid.h"

namespace {

// The instance slot's and the preview slot's size in their storages.
constexpr u32 InstanceSlotSize = 128;
constexpr u32 PreviewSlotSize = 128;

} // namespace

BuildingManager::BuildingManager(const BuildingContext& context_)
    : occupancy(context_.gridWidth), context(context_)
{
    instanceSlot = new StorageSlot{instanceStorage, InstanceSlotSize, NoOffset};
}

BuildingManager::~BuildingManager()
{
    delete instanceSlot;
    delete previewSlot;
    GraphicsDevice* device = Engine::graphicsDevice;
    for (DataSet* set : {instanceSet, sceneSet, previewSet, shadowSet}) {
        if (set != nullptr) device->releaseResource(set);
    }
    delete edgeEffect;
}

void BuildingManager::createDrawObjects(const BuildingDrawBindings& bindings)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    DescriptorPool* pool = Engine::descriptorPool;
    previewSlot = new StorageSlot{Engine::frameStorage, PreviewSlotSize, NoOffset};
    instanceSet = new DataSet(device, pool, {{4, DataSetStorageSlot, instanceSlot}});
    sceneSet = new DataSet(device, pool,
                           {{0, DataSetStorageSlot, bindings.camera},
                            {1, DataSetStorageSlot, bindings.skyParams},
                            {2, DataSetStorageSlot, bindings.shadowUniforms},
                            {3, DataSetImage, bindings.shadowMap}});
    previewSet = new DataSet(device, pool, {{0, DataSetStorageSlot, bindings.camera}, {1, DataSetStorageSlot, previewSlot}});
    shadowSet = new DataSet(device, pool, {{0, DataSetStorageSlot, bindings.lightCamera}});
    if (bindings.gameCamera != nullptr && bindings.targetExtent.width > 0 && bindings.targetExtent.height > 0) {
        edgeEffect = new EdgeEffect(bindings.gameCamera, device, pool, bindings.targetExtent);
    }
}

bool BuildingManager::enqueue(const std::shared_ptr<BuildingInstance>& instance)
{
    std::lock_guard lock(pendingMutex);
    // An instance has one manager and is spawned once.
    if (instance == nullptr || instance->manager != nullptr) return false;
    instance->manager = this;
    pending.push_back(instance);
    return true;
}

bool BuildingManager::place(const std::shared_ptr<BuildingInstance>& instance)
{
    if (instance == nullptr || !occupancy.isFree(instance->gridPos, instance->kind->config.gridSize)) return false;
    if (!enqueue(instance)) return false;
    occupancy.occupy(instance.get());
    return true;
}

bool BuildingManager::findFreeSite(glm::ivec2 centre, const glm::ivec3& size, f32 radius, i32 tolerance,
                                   glm::ivec3& site) const
{
    if (context.terrain == nullptr || Engine::random == nullptr) return false;
    auto isFree = [&](const glm::ivec3& candidate) { return occupancy.isFree(candidate, size); };
    site = context.terrain->findBuildSite(centre, size, radius, tolerance, *Engine::random, isFree);
    // Where no flat site was found the search falls back to the centred corner, which
    // may be taken.
    return isFree(site);
}

std::shared_ptr<BuildingInstance> BuildingManager::placeCastle()
{
    using namespace BuildingPlacementRules;
    Building* castle = buildingTypes[BuildingTypeCastle];
    const i32 n = context.terrain != nullptr ? static_cast<i32>(context.terrain->gridSize) : 0;
    const f32 radius = static_cast<f32>(n) * 0.5f * CastleRadiusShare;
    glm::ivec3 site;
    if (!findFreeSite({n / 2, n / 2}, castle->config.gridSize, radius, CastleStepTolerance, site)) return nullptr;
    std::shared_ptr<BuildingInstance> instance = castle->createInstance(site, 0.0f);
    return place(instance) ? instance : nullptr;
}

bool BuildingManager::placePortal(glm::ivec2 centre, f32 rotation)
{
    using namespace BuildingPlacementRules;
    Building* portal = buildingTypes[BuildingTypePortal];
    const i32 n = context.terrain != nullptr ? static_cast<i32>(context.terrain->gridSize) : 0;
    const f32 radius = static_cast<f32>(n) * 0.5f * PortalRadiusShare;
    glm::ivec3 site;
    if (!findFreeSite(centre, portal->config.gridSize, radius, PortalStepTolerance, site)) return false;
    return place(portal->createInstance(site, rotation));
}

u32 BuildingManager::placeStartPortals()
{
    const i32 n = context.terrain != nullptr ? static_cast<i32>(context.terrain->gridSize) : 0;
    const f32 quarterTurn = BuildingPlacementRules::QuarterTurn;
    u32 placed = 0;
    placed += placePortal({n / 2, n / 4}, 0.0f) ? 1u : 0u;
    placed += placePortal({n / 4, n / 2}, quarterTurn) ? 1u : 0u;
    placed += placePortal({n / 2, 3 * n / 4}, 0.0f) ? 1u : 0u;
    placed += placePortal({3 * n / 4, n / 2}, quarterTurn) ? 1u : 0u;
    return placed;
}

void BuildingManager::update(u32 speed)
{
    {
        std::lock_guard lock(pendingMutex);
        for (const std::shared_ptr<BuildingInstance>& instance : pending) {
            instance->spawn();
        }
        pending.clear();
    }
    // Only this thread changes the lists, so it walks them without their mutexes; each
    // instance is held while it runs, as it may take itself out of the list.
    auto forEachInstance = [](auto&& visit) {
        for (Building* kind : buildingTypes) {
            for (size_t i = kind->instances.size(); i-- > 0;) {
                if (i >= kind->instances.size()) continue;
                std::shared_ptr<BuildingInstance> instance = kind->instances[i];
                visit(*instance);
            }
        }
    };
    if (speed == 0) {
        forEachInstance([](BuildingInstance& instance) {
            if (instance.destroyPending) instance.destroy();
        });
        return;
    }
    for (u32 step = 0; step < speed; step++) {
        forEachInstance([](BuildingInstance& instance) { instance.update(); });
    }
}

void BuildingManager::destroyAll()
{
    tearingDown = true;
    for (Building* kind : buildingTypes) {
        for (size_t i = kind->instances.size(); i-- > 0;) {
            if (i >= kind->instances.size()) continue;
            std::shared_ptr<BuildingInstance> instance = kind->instances[i];
            instance->destroy();
        }
    }
    // Queued and never spawned: no bodies, only their cells.
    std::lock_guard lock(pendingMutex);
    for (const std::shared_ptr<BuildingInstance>& instance : pending) {
        occupancy.clear(instance.get());
    }
    pending.clear();
}

void BuildingManager::drawBuildings(CommandBuffer* cmd, VkExtent2D extent, u32 frame)
{
    cmd->bindPipeline(towerPipeline);
    cmd->setViewportAndScissor(extent);
    cmd->addDataSet(sceneSet);
    cmd->bindDataSets(0);
    for (Building* kind : buildingTypes) {
        kind->drawInstances(*cmd, 1, frame);
    }
}

void BuildingManager::drawShadowCasters(CommandBuffer* cmd, VkExtent2D mapExtent, u32 frame)
{
    cmd->bindPipeline(shadowInstancePipeline);
    cmd->setViewport(mapExtent);
    const VkRect2D scissor{{0, 0}, cmd->renderExtent};
    vkCmdSetScissor(cmd->handle, 0, 1, &scissor);
    vkCmdSetDepthBias(cmd->handle, 0.0f, 0.0f, ShadowRules::CasterSlopeBias);
    cmd->addDataSet(shadowSet);
    cmd->bindDataSets(0);
    for (Building* kind : buildingTypes) {
        kind->drawShadowCasters(*cmd, 1, frame);
    }
}

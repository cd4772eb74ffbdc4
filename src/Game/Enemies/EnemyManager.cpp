#include "Game/Enemies/EnemyManager.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Command/CommandBuffer.h"
#include "Engine/Descriptor/DataSet.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Mesh/VertexLayout.h"
#include "Engine/Pipeline/Pipeline.h"
#include "Engine/Storage/DataStorage.h"
#include "Game/Buildings/BuildingPipelines.h"
#include "Game/Enemies/Enemy.h"
#include "Game/Enemies/EnemyInstance.h"
#include "Game/Navigation/PathField.h"
#include "Game/Tools/Picker.h"
#include "World/Shadow/CascadeMath.h"

namespace {

namespace EnemyShaders {
constexpr const char* Vertex = "shaders/enemyVert.spv";
constexpr const char* Fragment = "shaders/enemyFrag.spv";
constexpr const char* ShadowVertex = "shaders/shadowInstanceVert.spv";
constexpr const char* ShadowFragment = "shaders/shadowFrag.spv";
constexpr const char* SceneLayout = "UBD_0+UBD_1+UBD_2+CIS_3 SBD_4";
constexpr const char* ShadowLayout = "UBD_0 SBD_4";
} // namespace EnemyShaders

// Each list from the last entry to the first, each enemy held while it runs: it may
// take itself out of the list.
template <typename Visit> void forEachEnemy(Visit&& visit)
{
    for (Enemy* kind : enemyTypes) {
        if (kind == nullptr) continue;
        for (size_t i = kind->instances.size(); i-- > 0;) {
            if (i >= kind->instances.size()) continue;
            const std::shared_ptr<EnemyInstance> enemy = kind->instances[i];
            visit(*enemy);
        }
    }
}

} // namespace

EnemyManager::EnemyManager(const EnemyContext& context_)
    : context(context_), buckets(context_.ground.gridSize, context_.ground.origin)
{
}

EnemyManager::~EnemyManager()
{
    // The field's thread stops before anything it reads goes.
    delete pathField;
    pathField = nullptr;
    delete instanceSlot;
    GraphicsDevice* device = Engine::graphicsDevice;
    for (DataSet* set : {instanceSet, sceneSet, shadowSet}) {
        if (set != nullptr) device->releaseResource(set);
    }
    for (Pipeline* used : {pipeline, shadowPipeline}) {
        if (used != nullptr) device->releaseResource(used);
    }
}

void EnemyManager::createDrawObjects(const EnemyDrawBindings& bindings)
{
    using namespace EnemyDrawRules;
    GraphicsDevice* device = Engine::graphicsDevice;
    DescriptorPool* pool = Engine::descriptorPool;
    instanceSlot = new StorageSlot{Engine::frameStorage, MaxDrawnEnemies * MatrixBytes, NoOffset};
    sceneSet = new DataSet(device, pool,
                           {{0, DataSetStorageSlot, bindings.camera},
                            {1, DataSetStorageSlot, bindings.skyParams},
                            {2, DataSetStorageSlot, bindings.shadowUniforms},
                            {3, DataSetImage, bindings.shadowMap}});
    instanceSet = new DataSet(device, pool, {{4, DataSetStorageSlot, instanceSlot}});
    shadowSet = new DataSet(device, pool, {{0, DataSetStorageSlot, bindings.lightCamera}});

    using namespace EnemyShaders;
    BuildingPipelineDesc scene;
    scene.vertexShader = Vertex;
    scene.fragmentShader = Fragment;
    scene.vertexLayout = vertexLayoutPosNormalUv;
    scene.descriptorLayout = SceneLayout;
    pipeline = createBuildingPipeline(scene);

    BuildingPipelineDesc shadow;
    shadow.vertexShader = ShadowVertex;
    shadow.fragmentShader = ShadowFragment;
    shadow.vertexLayout = vertexLayoutPosition;
    shadow.descriptorLayout = ShadowLayout;
    shadow.colorAttachment = false;
    shadow.depthBias = true;
    shadowPipeline = createBuildingPipeline(shadow);
}

void EnemyManager::enqueue(std::unique_ptr<EnemyInstance> instance)
{
    if (instance == nullptr) return;
    instance->manager = this;
    std::lock_guard lock(pendingMutex);
    pending.push_back(std::move(instance));
}

void EnemyManager::spawnPending()
{
    std::lock_guard lock(pendingMutex);
    for (std::unique_ptr<EnemyInstance>& waiting : pending) {
        // From here on the enemy is shared: its list entry, its bucket and its body.
        const std::shared_ptr<EnemyInstance> enemy(std::move(waiting));
        enemy->spawn(enemy);
    }
    pending.clear();
}

void EnemyManager::update()
{
    // Only this thread changes the lists, so it walks them without their mutexes.
    forEachEnemy([](EnemyInstance& enemy) { enemy.update(); });
}

void EnemyManager::destroyAll()
{
    tearingDown = true;
    forEachEnemy([](EnemyInstance& enemy) { enemy.destroy(); });
    buckets.clear();
    // Queued and never spawned: no body, no list; deleting them lowers the count.
    std::lock_guard lock(pendingMutex);
    pending.clear();
}

glm::vec2 EnemyManager::fieldDirection(i64 xi, i64 zi) const
{
    return pathField != nullptr ? pathField->direction(xi, zi) : glm::vec2(0.0f);
}

glm::vec2 EnemyManager::fieldWay(glm::vec2 local) const
{
    return pathField != nullptr ? pathField->wayAt(local.x, local.y) : glm::vec2(0.0f);
}

f32 EnemyManager::fieldDistance(i64 xi, i64 zi) const
{
    return pathField != nullptr ? pathField->sharedDistance(xi, zi) : PathDistanceRules::Unreached;
}

u32 EnemyManager::fieldResets() const
{
    return pathField != nullptr ? pathField->resets.load(std::memory_order_relaxed) : 0u;
}

void EnemyManager::queueCellValues(const glm::ivec3& gridPos, const glm::ivec3& gridSize, f32 value)
{
    if (pathField != nullptr) pathField->queueCellValues(gridPos, gridSize, value);
}

void EnemyManager::queueFixedCosts(const glm::ivec3& gridPos, const glm::ivec3& gridSize, f32 cost)
{
    if (pathField != nullptr) pathField->queueFixedCosts(gridPos, gridSize, cost);
}

bool EnemyManager::cursorGridCell(i32 w, i32 h, glm::ivec3& cell) const
{
    if (context.physics == nullptr || context.terrain == nullptr) return false;
    return Picker::cellUnder(Picker::currentView(context.camera), *context.physics, *context.terrain,
                             context.ground.origin, w, h, cell);
}

void EnemyManager::updateAllBounds(Simulation::RenderState view)
{
    if (context.cullingGrid == nullptr) return;
    for (Enemy* kind : enemyTypes) {
        if (kind != nullptr) kind->updateAllBounds(*context.cullingGrid, view);
    }
}

void EnemyManager::drawEnemies(CommandBuffer* cmd, VkExtent2D extent, Simulation::RenderState view)
{
    cmd->bindPipeline(pipeline);
    cmd->setViewportAndScissor(extent);
    cmd->addDataSet(sceneSet);
    cmd->bindDataSets(0);
    for (Enemy* kind : enemyTypes) {
        if (kind != nullptr) kind->drawAll(*cmd, *this, view);
    }
}

void EnemyManager::drawShadowCasters(CommandBuffer* cmd, VkExtent2D mapExtent, Simulation::RenderState view)
{
    cmd->bindPipeline(shadowPipeline);
    cmd->setViewport(mapExtent);
    const VkRect2D scissor{{0, 0}, cmd->renderExtent};
    vkCmdSetScissor(cmd->handle, 0, 1, &scissor);
    vkCmdSetDepthBias(cmd->handle, 0.0f, 0.0f, ShadowRules::CasterSlopeBias);
    cmd->addDataSet(shadowSet);
    cmd->bindDataSets(0);
    for (Enemy* kind : enemyTypes) {
        if (kind != nullptr) kind->drawAll(*cmd, *this, view);
    }
}

void EnemyManager::drawHealthBars(glm::ivec2 viewport, Simulation::RenderState view)
{
    if (context.camera == nullptr) return;
    for (Enemy* kind : enemyTypes) {
        if (kind != nullptr) kind->drawHealthBars(*context.camera, viewport, view);
    }
}

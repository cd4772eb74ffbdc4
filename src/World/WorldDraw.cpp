#include "World/World.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Camera/Frustum.h"
#include "Engine/Command/CommandBuffer.h"
#include "Engine/Engine.h"
#include "Engine/Image/Image.h"
#include "Engine/Mesh/Mesh.h"
#include "Engine/Physics/BulletHandler.h"
#include "Engine/Physics/Simulation.h"
#include "Engine/Storage/DataStorage.h"
#include "Engine/SwapChain/SwapChain.h"
#include "Game/Buildings/BuildingInstance.h"
#include "Game/Enemies/EnemyManager.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "Game/Particles/ParticleRenderer.h"
#include "Game/Particles/PcSmoke.h"
#include "Game/Projectiles/Projectile.h"
#include "Game/Projectiles/ProjectileRenderer.h"
#include "Game/Session/BuildingManager.h"
#include "Game/Session/GameLogic.h"
#include "Game/Tools/EdgeEffect.h"
#include "Game/Tools/PlayerTools.h"
#include "Game/Tools/ToolState.h"
#include "Game/Ui/Ui.h"
#include "World/Culling/CullingGrid.h"
#include "World/Shadow/CascadeMath.h"
#include "World/Shadow/ShadowRenderer.h"
#include "World/Sky/SkyTables.h"
#include "World/Sky/Skybox.h"
#include "World/Terrain/Terrain.h"
#include "World/Terrain/TerrainCells.h"
#include "World/Water/Water.h"
#include "World/WorldRules.h"
#include "World/WorldTargets.h"

#include <mutex>

namespace {

bool useOptimizedShaders()
{
    return Ui::debugFlags == nullptr || Ui::debugFlags->useOptimizedShaders;
}

// One pass over the whole extent into `color` (and `depth` when given).
void beginPass(CommandBuffer* cmd, VkExtent2D extent, const VkRenderingAttachmentInfo& color,
               const VkRenderingAttachmentInfo* depth)
{
    beginTargetPass(cmd, extent, &color, 1, depth);
}

// An attachment that was written becomes readable by the fragment shaders of the
// following passes.
void colorToShaderRead(CommandBuffer* cmd, Image* image)
{
    cmd->imageBarrier(image, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL,
                      VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT,
                      VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT, VK_ACCESS_SHADER_READ_BIT);
}

void colorFromUndefined(CommandBuffer* cmd, Image* image)
{
    cmd->imageBarrier(image, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                      VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT, VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, 0,
                      VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT);
}

// What takes shadows this frame: the ground in view, what the sea can show of the
// prepass's ground, and the culling cells in view that hold buildings, enemies,
// projectiles or smoke. Only known while culling works from the camera itself;
// otherwise each cascade draws every caster in its bounds.
void gatherShadowReceivers(World& world, bool lookAhead, const SeaView& sea)
{
    ShadowRenderer& shadows = *world.shadows;
    shadows.receiversKnown = 0;
    shadows.receivers.clear();
    if (!frustumCullingEnabled || lookAhead) return;
    Frustum view;
    view.fromMatrix(world.camera->uniforms.viewProjection);
    world.terrain->gatherShadowReceivers(view, world.terrain->prepassFrustum(*world.camera), sea,
                                         shadows.receivers);
    for (const BoundingAABB* cell : world.cullingGrid->activeCells) {
        const glm::vec3 low(cell->minX, cell->minY, cell->minZ);
        const glm::vec3 high(cell->maxX, cell->maxY, cell->maxZ);
        if (!boxOutsideFrustum(low, high, view)) shadows.receivers.push_back({low, high});
    }
    shadows.receiversKnown = 1;
}

// What the sea can show of the ground beneath it, with the shaders drawing it.
SeaView seaViewOf(const World& world, bool optimized)
{
    SeaView sea;
    sea.eye = world.camera->position;
    sea.crest = world.water->crestHeight(optimized);
    sea.reach = world.water->sampleReach(optimized);
    return sea;
}

// Every cell that something entered this frame is tested against `frustum`, or shown
// when culling is switched off.
void cullCells(CullingGrid& grid, const Frustum& frustum)
{
    if (frustumCullingEnabled) {
        grid.testFrustum(frustum);
    } else {
        grid.markAllVisible();
    }
}

} // namespace

void World::draw(CommandBuffer* cmd)
{
    if (!ready.load(std::memory_order_acquire)) return;
    const VkExtent2D extent{targetWidth, targetHeight};
    const bool optimized = useOptimizedShaders();

    // 1: every instance blends the snapshots it draws from, all from the same slot.
    const u32 frame = gameLogic->consumedSnapshot.load(std::memory_order_acquire);
    for (Building* kind : buildingTypes) {
        std::lock_guard lock(kind->instancesMutex);
        for (size_t i = kind->instances.size(); i-- > 0;) {
            kind->instances[i]->interpolateSnapshot(frame);
        }
    }

    // 2 and 3: the culling grid starts empty; buildings, smoke puffs, projectiles and
    // enemies grow its cells. Projectiles and enemies stand where the physics state the
    // frame blends puts them.
    const Simulation::RenderState physicsView = Simulation::renderState();
    cullingGrid->reset();
    for (Building* kind : buildingTypes) {
        kind->updateAllBounds();
    }
    if (smokeType != nullptr) smokeType->updateAllBounds(*cullingGrid, frame);
    for (Projectile* kind : projectileTypes) {
        if (kind != nullptr) kind->updateAllBounds(*cullingGrid);
    }
    enemyManager->updateAllBounds(physicsView);

    // 4 and 5: the shadow cascades, then the ground beneath the water that the sea can
    // show.
    const bool lookAhead = Ui::debugFlags != nullptr && Ui::debugFlags->showFrustumCulling;
    const SeaView sea = seaViewOf(*this, optimized);
    gatherShadowReceivers(*this, lookAhead, sea);
    shadows->render(cmd, camera);
    terrain->drawWaterPrepass(cmd, camera, &sea);

    // 6: the main pass into the scene targets.
    colorFromUndefined(cmd, sceneColor);
    cmd->imageBarrier(sceneDepth, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL,
                      VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT, VK_PIPELINE_STAGE_EARLY_FRAGMENT_TESTS_BIT, 0,
                      VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT);
    VkRenderingAttachmentInfo color =
        targetAttachment(sceneColor, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_ATTACHMENT_LOAD_OP_CLEAR);
    color.clearValue.color = {{0.0f, 0.0f, 0.0f, 0.0f}};
    VkRenderingAttachmentInfo depth =
        targetAttachment(sceneDepth, VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL, VK_ATTACHMENT_LOAD_OP_CLEAR);
    depth.clearValue.depthStencil = {1.0f, 0};
    beginPass(cmd, extent, color, &depth);

    // 7: cell visibility. "Show Frustum Culling" culls from a point ahead of the camera,
    // while the image is still drawn from the camera itself.
    const glm::vec3 eye = camera->position;
    if (lookAhead) {
        camera->position += camera->forward * WorldCameraRules::CullingLookAhead;
        camera->updateView();
    }
    Frustum frustum;
    frustum.fromMatrix(camera->uniforms.viewProjection);
    cullCells(*cullingGrid, frustum);
    if (lookAhead) {
        camera->position = eye;
        camera->updateView();
    }

    // 8: the buildings.
    buildingManager->drawBuildings(cmd, extent, frame);

    // 9: cannonballs and bombs, then 10: the enemies.
    cmd->bindPipeline(projectileRenderer->pipeline);
    cmd->setViewportAndScissor(extent);
    cmd->addDataSet(projectileRenderer->sceneSet);
    cmd->bindDataSets(0);
    for (Projectile* kind : projectileTypes) {
        if (kind != nullptr) kind->drawAll(*cmd, frame, *projectileRenderer);
    }
    enemyManager->drawEnemies(cmd, extent, physicsView);

    // 11: the physics wireframe, read between two batches of the physics thread.
    if (Engine::renderPhysicsDebug && Engine::bulletHandler != nullptr) {
        std::lock_guard lock(Simulation::state.stepMutex);
        Engine::bulletHandler->draw(*cmd, camera->uniformSlot);
    }

    // 12 and 13: the landscape, then the sea over it.
    terrain->draw(cmd, camera);
    drawSea(cmd, *this, color, depth, extent, optimized);

    // 14: smoke puffs over everything solid (they write no depth).
    cmd->bindPipeline(particleRenderer->pipeline);
    cmd->setViewportAndScissor(extent);
    cmd->addDataSet(particleRenderer->sceneSet);
    cmd->bindDataSets(0);
    if (smokeType != nullptr) {
        smokeType->drawAll(*cmd, SnapshotBlend{frame, gameLogic->interpolationAlpha()}, *particleRenderer);
    }

    // 15: the preview of the current tool (placement, sale, repair, upgrade), while the
    // game is in play and the cursor is on the world: on the interface a click does
    // nothing to the world, so nothing previews it there.
    const bool cursorOnWorld = Ui::uiOwnsMouse == 0;
    if (PlayerTools::inPlay() && cursorOnWorld) PlayerTools::drawPreview(*buildingManager, *cmd);

    // 16: the scene becomes the sky pass's input.
    vkCmdEndRendering(cmd->handle);
    colorToShaderRead(cmd, sceneColor);
    cmd->imageBarrier(sceneDepth, VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL, SceneDepthSkyLayout,
                      VK_PIPELINE_STAGE_LATE_FRAGMENT_TESTS_BIT,
                      VK_PIPELINE_STAGE_EARLY_FRAGMENT_TESTS_BIT | VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT,
                      VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT,
                      VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_READ_BIT | VK_ACCESS_SHADER_READ_BIT);

    // 17: with no tool, the building under the cursor is outlined; the flag tells the
    // final pass whether this frame drew an outline.
    u32 outlineFlag = 0;
    if (toolMode == ToolModeNone && PlayerTools::inPlay() && cursorOnWorld) {
        outlineFlag = PlayerTools::highlightHovered(*buildingManager, *cmd) ? 1u : 0u;
    }

    // 18: the sky, composed over the scene into the composite target.
    colorFromUndefined(cmd, composite);
    drawSkyPass(cmd, *this,
                targetAttachment(composite, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_ATTACHMENT_LOAD_OP_DONT_CARE),
                extent, optimized);

    // 19: the composite and the outline image to the final pass. The outline image is
    // sampled whether or not this frame drew an outline, so it is made readable even
    // before its first outline and after a resize.
    colorToShaderRead(cmd, composite);
    if (buildingManager->edgeEffect != nullptr) buildingManager->edgeEffect->prepareForSampling(cmd);

    // 20: the final pass onto the acquired swap-chain image.
    SwapChain* chain = Engine::swapChain;
    Image2D* target = chain->images[chain->imageIndex];
    VkRenderingAttachmentInfo present =
        targetAttachment(target, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_ATTACHMENT_LOAD_OP_CLEAR);
    present.clearValue.color = {{0.0f, 0.0f, 0.0f, 0.0f}};
    beginPass(cmd, chain->extent, present, nullptr);
    cmd->bindPipeline(postProcessPipeline);
    cmd->setViewportAndScissor(chain->extent);
    postProcessUniform->offset =
        postProcessUniform->storage->write(postProcessUniform->offset, &outlineFlag, sizeof(outlineFlag), false);
    cmd->addDataSet(postProcessDataSet);
    cmd->bindDataSets(0);
    vkCmdDraw(cmd->handle, 3, 1, 0, 0);
    vkCmdEndRendering(cmd->handle);
}

void World::drawShadowCasters(CommandBuffer* cmd, Camera* lightCamera, const Frustum& lightFrustum)
{
    // 1 and 2: the landscape, then the cells of the culling grid against the light.
    terrain->drawShadow(cmd, lightCamera, lightFrustum, &shadows->casterCoverage);
    cullCells(*cullingGrid, lightFrustum);

    // 3 to 5: the buildings, the projectiles and the enemies, each over the cascade's
    // area of the whole map.
    const u32 frame = gameLogic->consumedSnapshot.load(std::memory_order_acquire);
    buildingManager->drawShadowCasters(cmd, shadows->map->extent, frame);
    cmd->bindPipeline(projectileRenderer->shadowPipeline);
    cmd->setViewport(shadows->map->extent);
    const VkRect2D scissor{{0, 0}, cmd->renderExtent};
    vkCmdSetScissor(cmd->handle, 0, 1, &scissor);
    vkCmdSetDepthBias(cmd->handle, 0.0f, 0.0f, ShadowRules::CasterSlopeBias);
    cmd->addDataSet(projectileRenderer->shadowSet);
    cmd->bindDataSets(0);
    for (Projectile* kind : projectileTypes) {
        if (kind != nullptr) kind->drawAll(*cmd, frame, *projectileRenderer);
    }
    enemyManager->drawShadowCasters(cmd, shadows->map->extent, Simulation::renderState());
}

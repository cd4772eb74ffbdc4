#include "World/Terrain/Terrain.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Camera/Frustum.h"
#include "Engine/Command/CommandBuffer.h"
#include "Engine/Descriptor/DataSet.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Image/Image.h"
#include "Engine/Mesh/Mesh.h"
#include "Engine/Settings/Settings.h"
#include "Engine/Storage/DataStorage.h"
#include "Engine/Window/Window.h"
#include "Game/Ui/UiState.h"
#include "World/Culling/CullingGrid.h"
#include "World/Shadow/CascadeMath.h"
#include "Engine/Camera/CameraMath.h"
#include "World/Terrain/TerrainView.h"

namespace {

// With "Show Frustum Culling" the main set is culled from this far ahead of the camera.
constexpr f32 CullingLookAhead = 100.0f;

const DebugFlags& currentDebugFlags()
{
    static const DebugFlags defaults;
    return Ui::debugFlags ? *Ui::debugFlags : defaults;
}

// The window's current size; without a window, the size the terrain was made for.
glm::ivec2 windowSize(const TerrainBindings& bindings)
{
    if (Engine::window) return {Engine::window->width, Engine::window->height};
    return {static_cast<i32>(bindings.windowWidth), static_cast<i32>(bindings.windowHeight)};
}

// The frustum the main set is culled with: the camera's own, or, to watch the culling
// at work, the one from a point ahead of it. The camera is left as it was.
Frustum cullingFrustum(Camera& camera, bool lookAhead)
{
    Frustum frustum;
    if (!lookAhead) {
        frustum.fromMatrix(camera.uniforms.viewProjection);
        return frustum;
    }
    const glm::vec3 position = camera.position;
    camera.position = position + camera.forward * CullingLookAhead;
    camera.updateView();
    frustum.fromMatrix(camera.uniforms.viewProjection);
    camera.position = position;
    camera.updateView();
    return frustum;
}

// A camera's projection parameters, to put back after the prepass.
struct SavedProjection {
    bool perspective = true;
    f32 fovDegrees = 0.0f;
    f32 aspect = 0.0f;
    f32 nearPlane = 0.0f;
    f32 farPlane = 0.0f;
    glm::vec4 orthoBounds{0.0f};
};

SavedProjection saveProjection(const Camera& camera)
{
    return {camera.perspective, camera.fovDegrees, camera.aspect, camera.near, camera.far, camera.orthoBounds};
}

void restoreProjection(Camera& camera, const SavedProjection& saved)
{
    if (saved.perspective) {
        camera.setPerspective(saved.fovDegrees, saved.aspect, saved.nearPlane, saved.farPlane);
    } else {
        camera.setOrthographic(saved.orthoBounds, saved.nearPlane, saved.farPlane);
    }
}

// The cells of a chunk to draw: with a frustum, those not wholly outside it (a chunk's
// box passes a generous test, its cells a strict one); without, every cell.
u32 cellsToDraw(const ChunkSet& set, u32 index, const Frustum* cellFrustum)
{
    if (cellFrustum == nullptr || index >= set.cells.size() || set.cells[index].cellsPerSide == 0) return ~0u;
    return visibleCells(set.cells[index], *cellFrustum);
}

// The camera's own view and its sea: the prepass draws only the cells the water can
// sample or that stand in front of what it samples.
struct SeaFilter {
    Frustum sceneView;
    SeaView sea;
};

// The light's view and where a cascade's receivers lie: the shadow pass draws only the
// cells that may shade one of them.
struct CasterFilter {
    glm::mat4 lightView{1.0f};
    const ReceiverCoverage* coverage = nullptr;
};

u32 cellsOverReceivers(const ChunkCells& cells, const CasterFilter& filter)
{
    u32 mask = 0;
    for (u32 cell = 0; cell < cells.boxes.size(); cell++) {
        const CellBox& box = cells.boxes[cell];
        if (!box.empty && coverageMeets(*filter.coverage, lightRectOf(box.min, box.max, filter.lightView))) {
            mask |= 1u << cell;
        }
    }
    return mask;
}

// One draw per active, visible chunk of the set, cx outer and cz inner, each with its
// own model matrix through the shared per-chunk slot (descriptor set 1). With a
// frustum, a chunk of which only some cells can be seen (and, with a sea filter, lie
// within the sea's view) draws just their stretches of its mesh, in the mesh's own
// order.
void drawChunks(CommandBuffer* cmd, Terrain& terrain, const ChunkSet& set, const Frustum* cellFrustum,
                const SeaFilter* seaFilter = nullptr, const CasterFilter* casterFilter = nullptr)
{
    static std::vector<VertexRun> runs; // main thread only; kept to avoid allocating per frame
    const u32 side = terrain.chunksPerSide;
    for (u32 cx = 0; cx < side; cx++) {
        for (u32 cz = 0; cz < side; cz++) {
            const u32 index = cz * side + cx;
            const BoundingAABB& box = set.boxes[index];
            if (!box.active || !box.visible || set.meshes[index] == nullptr) continue;
            u32 cells = cellsToDraw(set, index, cellFrustum);
            if (seaFilter != nullptr && cells != ~0u) {
                cells &= cellsWithinSeaView(set.cells[index], seaFilter->sceneView, seaFilter->sea);
            }
            if (casterFilter != nullptr && cells != ~0u) cells &= cellsOverReceivers(set.cells[index], *casterFilter);
            const bool whole = cells == ~0u || index >= set.occupiedCells.size() || cells == set.occupiedCells[index];
            if (!whole && cells == 0) continue;
            terrain.chunkSlot->offset = set.slots[index].offset;
            cmd->addDataSet(terrain.chunkDataSet);
            cmd->bindDataSets(1);
            if (whole) {
                cmd->drawMesh(set.meshes[index], 1);
                continue;
            }
            runs.clear();
            visibleRuns(set.cells[index], cells, runs);
            // An indexed chunk's index k stands for vertex k: the runs are index ranges.
            Mesh* mesh = set.meshes[index];
            if (mesh->indexBuffer != nullptr) {
                for (const VertexRun& run : runs) cmd->drawMeshIndices(mesh, run.first, run.count);
            } else {
                for (const VertexRun& run : runs) cmd->drawMeshVertices(mesh, run.first, run.count);
            }
            Engine::graphicsDevice->drawnInstances++; // one chunk, however many stretches

        }
    }
}

void colorImageBarrier(CommandBuffer* cmd, Image* image, bool toAttachment)
{
    if (toAttachment) {
        cmd->imageBarrier(image, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                          VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT, VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, 0,
                          VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT);
    } else {
        // The water samples the image in its fragment shader.
        cmd->imageBarrier(image, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL,
                          VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT,
                          VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT, VK_ACCESS_SHADER_READ_BIT);
    }
}

void depthImageBarrier(CommandBuffer* cmd, Image* image, bool toAttachment)
{
    if (toAttachment) {
        cmd->imageBarrier(image, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL,
                          VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT, VK_PIPELINE_STAGE_EARLY_FRAGMENT_TESTS_BIT, 0,
                          VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT);
    } else {
        cmd->imageBarrier(image, VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL,
                          VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL, VK_PIPELINE_STAGE_LATE_FRAGMENT_TESTS_BIT,
                          VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT,
                          VK_ACCESS_SHADER_READ_BIT);
    }
}

// Begins rendering into the prepass images, both cleared (colour to 0, depth to 1).
void beginPrepass(CommandBuffer* cmd, const Terrain& terrain)
{
    VkRenderingAttachmentInfo color{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
    color.imageView = terrain.prepassColor->view->view;
    color.imageLayout = VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
    color.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
    color.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    color.clearValue.color = {{0.0f, 0.0f, 0.0f, 0.0f}};
    VkRenderingAttachmentInfo depth{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
    depth.imageView = terrain.prepassDepth->view->view;
    depth.imageLayout = VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL;
    depth.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
    depth.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    depth.clearValue.depthStencil = {1.0f, 0};
    VkRenderingInfo rendering{VK_STRUCTURE_TYPE_RENDERING_INFO};
    rendering.renderArea = {{0, 0}, terrain.prepassColor->extent};
    rendering.layerCount = 1;
    rendering.colorAttachmentCount = 1;
    rendering.pColorAttachments = &color;
    rendering.pDepthAttachment = &depth;
    vkCmdBeginRendering(cmd->handle, &rendering);
    cmd->renderExtent = terrain.prepassColor->extent;
}

} // namespace

void Terrain::draw(CommandBuffer* cmd, Camera* sceneCamera)
{
    const DebugFlags& flags = currentDebugFlags();
    const Frustum frustum = cullingFrustum(*sceneCamera, flags.showFrustumCulling);
    if (updateChunkVisibility(mainSet.boxes, frustum, frustumCullingEnabled != 0) == 0) return;

    const bool optimized = flags.useOptimizedShaders;
    cmd->bindPipeline(optimized ? terrainOptPipeline : terrainPipeline);
    // The scene pass covers the window.
    cmd->setViewportAndScissor(cmd->renderExtent);
    cmd->addDataSet(optimized ? terrainOptDataSet : terrainDataSet);
    cmd->bindDataSets(0);
    drawChunks(cmd, *this, mainSet, frustumCullingEnabled != 0 ? &frustum : nullptr);
}

void Terrain::updateWaterViewParams(Camera* sceneCamera)
{
    const glm::ivec2 window = windowSize(bindings);
    f32 aspect = prepassAspect(window.x, window.y);
    if (aspect == 0.0f && prepassColor != nullptr) {
        // A minimised window has no aspect: keep the one of the images.
        aspect = prepassAspect(static_cast<i32>(prepassColor->extent.width),
                               static_cast<i32>(prepassColor->extent.height));
    }
    waterView.perspective = 1;
    waterView.fovDegrees = prepassFieldOfView(sceneCamera->fovDegrees);
    waterView.aspect = aspect;
    waterView.nearPlane = sceneCamera->near;
    waterView.farPlane = sceneCamera->far;
    waterView.ortho[0] = waterView.ortho[1] = waterView.ortho[2] = 0.0f;
    waterView.reserved = 0;
}

Frustum Terrain::prepassFrustum(const Camera& sceneCamera) const
{
    const glm::ivec2 window = windowSize(bindings);
    f32 aspect = prepassAspect(window.x, window.y);
    if (aspect == 0.0f) aspect = sceneCamera.aspect;
    Frustum frustum;
    frustum.fromMatrix(perspectiveProjection(prepassFieldOfView(sceneCamera.fovDegrees), aspect, sceneCamera.near,
                                             sceneCamera.far) *
                       sceneCamera.view);
    return frustum;
}

namespace {

// The chunk's generous test, without touching the box's flag.
bool chunkInView(const BoundingAABB& box, const Frustum& frustum)
{
    for (const glm::vec4& plane : frustum.planes) {
        if (!box.passesPlane(plane)) return false;
    }
    return true;
}

// The cells of the set's active chunks that lie in `view` and, given a sea, that it
// can show.
void gatherCells(const ChunkSet& set, const Frustum& view, const Frustum& sceneView, const SeaView* sea,
                 std::vector<ReceiverBox>& receivers)
{
    for (size_t index = 0; index < set.boxes.size() && index < set.cells.size(); index++) {
        if (!set.boxes[index].active || !chunkInView(set.boxes[index], view)) continue;
        for (const CellBox& cell : set.cells[index].boxes) {
            if (cell.empty || boxOutsideFrustum(cell.min, cell.max, view)) continue;
            if (sea != nullptr && !seenThroughSea(cell.min, cell.max, sceneView, *sea)) continue;
            receivers.push_back({cell.min, cell.max});
        }
    }
}

} // namespace

void Terrain::gatherShadowReceivers(const Frustum& sceneView, const Frustum& prepassView, const SeaView& sea,
                                    std::vector<ReceiverBox>& receivers) const
{
    gatherCells(mainSet, sceneView, sceneView, nullptr, receivers);
    gatherCells(prepassSet, prepassView, sceneView, &sea, receivers);
}

void Terrain::drawWaterPrepass(CommandBuffer* cmd, Camera* sceneCamera, const SeaView* sea)
{
    // Cells outside the sea's view are left out while culling works from the camera
    // itself.
    SeaFilter seaFilter;
    const bool filtered = sea != nullptr && frustumCullingEnabled != 0 && !currentDebugFlags().showFrustumCulling;
    if (filtered) {
        seaFilter.sceneView.fromMatrix(sceneCamera->uniforms.viewProjection);
        seaFilter.sea = *sea;
    }
    const SavedProjection saved = saveProjection(*sceneCamera);
    updateWaterViewParams(sceneCamera);
    // The prepass view is always a perspective one (updateWaterViewParams).
    sceneCamera->setPerspective(waterView.fovDegrees, waterView.aspect, waterView.nearPlane, waterView.farPlane);
    sceneCamera->uploadUniforms();

    Frustum frustum;
    frustum.fromMatrix(sceneCamera->uniforms.viewProjection);
    const u32 visible = updateChunkVisibility(prepassSet.boxes, frustum, frustumCullingEnabled != 0);

    colorImageBarrier(cmd, prepassColor, true);
    depthImageBarrier(cmd, prepassDepth, true);
    // Begun and ended even with nothing to draw: the water must not see last frame's ground.
    beginPrepass(cmd, *this);
    if (visible > 0) {
        const bool optimized = currentDebugFlags().useOptimizedShaders;
        cmd->bindPipeline(optimized ? waterOptPipeline : waterPipeline);
        cmd->setViewportAndScissor(prepassColor->extent);
        cmd->addDataSet(optimized ? waterOptDataSet : waterDataSet);
        cmd->bindDataSets(0);
        drawChunks(cmd, *this, prepassSet, frustumCullingEnabled != 0 ? &frustum : nullptr,
                   filtered ? &seaFilter : nullptr);
    }
    vkCmdEndRendering(cmd->handle);
    colorImageBarrier(cmd, prepassColor, false);
    depthImageBarrier(cmd, prepassDepth, false);

    // The rest of the frame sees the camera as it came in.
    restoreProjection(*sceneCamera, saved);
    sceneCamera->uploadUniforms();
}

void Terrain::drawShadow(CommandBuffer* cmd, Camera* lightCamera, const Frustum& lightFrustum,
                         const ReceiverCoverage* coverage)
{
    if (updateChunkVisibility(shadowSet.boxes, lightFrustum, frustumCullingEnabled != 0) == 0) return;
    cmd->bindPipeline(shadowPipeline);
    // The light's square spans the whole map; the scissor keeps to the cascade's area.
    const u32 mapSize = static_cast<u32>(Settings::shadowMapSize);
    cmd->setViewport({mapSize, mapSize});
    const VkRect2D scissor{{0, 0}, cmd->renderExtent};
    vkCmdSetScissor(cmd->handle, 0, 1, &scissor);
    vkCmdSetDepthBias(cmd->handle, 0.0f, 0.0f, ShadowRules::CasterSlopeBias);
    cmd->addDataSet(shadowDataSet);
    cmd->bindDataSets(0);
    // The light camera's block reaches the shader through the shadow data set; its view
    // places the cells' light-space rectangles.
    CasterFilter casterFilter;
    const bool filtered = frustumCullingEnabled != 0 && coverage != nullptr && coverage->known();
    if (filtered) {
        casterFilter.lightView = lightCamera->view;
        casterFilter.coverage = coverage;
    }
    drawChunks(cmd, *this, shadowSet, frustumCullingEnabled != 0 ? &lightFrustum : nullptr, nullptr,
               filtered ? &casterFilter : nullptr);
}

void Terrain::recreateResources()
{
    const glm::ivec2 window = windowSize(bindings);
    // A minimised window keeps the images until it has an area again.
    if (window.x <= 0 || window.y <= 0) return;
    GraphicsDevice* device = Engine::graphicsDevice;
    device->releaseResource(prepassColor);
    device->releaseResource(prepassDepth);
    bindings.windowWidth = static_cast<u32>(window.x);
    bindings.windowHeight = static_cast<u32>(window.y);
    createPrepassImages(bindings.windowWidth, bindings.windowHeight);
    notifyListeners(prepassColorBinding->listeners, prepassColorBinding);
    notifyListeners(prepassDepthBinding->listeners, prepassDepthBinding);
}

#include "Game/Tools/BuildTool.h"

#include "Engine/Command/CommandBuffer.h"
#include "Engine/Image/Image.h"
#include "Engine/Storage/DataStorage.h"
#include "Engine/Settings/Settings.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "Game/Session/BuildingManager.h"
#include "Game/Session/GameSession.h"
#include "Game/Tools/EdgeEffect.h"
#include "Game/Tools/Picker.h"
#include "Game/Tools/ToolPreview.h"
#include "Game/Tools/ToolState.h"
#include "Game/Ui/UiState.h"

#include <glm/mat4x4.hpp>

namespace {

// What the preview shaders read for one part (80 bytes).
struct PreviewBlock {
    glm::mat4 model;
    glm::vec4 colour;
};
static_assert(sizeof(PreviewBlock) == 80);

// Each part writes its block into the frame's storage and draws with it.
void drawParts(BuildingManager& manager, CommandBuffer& cmd, const std::vector<RenderObject>& parts,
               const glm::vec4& colour)
{
    StorageSlot* slot = manager.previewSlot;
    for (const RenderObject& part : parts) {
        if (part.model == nullptr) continue;
        const PreviewBlock block{part.transform, colour};
        slot->offset = slot->storage->write(slot->offset, &block, sizeof(block), false);
        cmd.addDataSet(manager.previewSet);
        cmd.bindDataSets(0);
        cmd.drawMesh(part.model, 1);
    }
}

} // namespace

namespace BuildTool {

void previewPlacement(BuildingManager& manager, CommandBuffer& cmd, const ToolSelection& selection)
{
    if (selection.index >= BuildingTypeCount || buildingTypes[selection.index] == nullptr) return;
    Building& kind = *buildingTypes[selection.index];
    const glm::ivec3& size = kind.config.gridSize;
    glm::ivec3 cell;
    if (!Picker::cursorGridCell(manager, size.x, size.z, cell)) return;
    const GameSession* session = manager.context.session;
    const i64 money = session != nullptr ? session->money->load() : 0;
    const ToolPreview preview = placementPreview(manager.occupancy.isFree(cell, size), kind.config.levels.front().cost,
                                                 money, Settings::cheatsEnabled != 0);
    if (!preview.message.empty()) Ui::showMessage(preview.message);
    drawGhost(manager, cmd, kind.getPreviewRenderObjects(cell), preview.colour);
}

void drawGhost(BuildingManager& manager, CommandBuffer& cmd, const std::vector<RenderObject>& parts,
               const glm::vec4& colour)
{
    if (parts.empty()) return;
    cmd.bindPipeline(towerPreviewPipeline);
    // The main pass covers the world's render targets, not necessarily the window.
    cmd.setViewportAndScissor(cmd.renderExtent);
    drawParts(manager, cmd, parts, colour);
}

void renderPreviewPass(BuildingManager& manager, CommandBuffer& cmd, const std::vector<RenderObject>& parts,
                       const glm::vec4& colour)
{
    EdgeEffect& edge = *manager.edgeEffect;
    // The last outline pass read the depth image; this one starts it afresh.
    cmd.imageBarrier(edge.depthImage, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL,
                     VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT,
                     VK_PIPELINE_STAGE_EARLY_FRAGMENT_TESTS_BIT | VK_PIPELINE_STAGE_LATE_FRAGMENT_TESTS_BIT, 0,
                     VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_READ_BIT | VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT);
    VkRenderingAttachmentInfo depth{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
    depth.imageView = edge.depthImage->view->view;
    depth.imageLayout = VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL;
    depth.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
    depth.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    depth.clearValue.depthStencil = {1.0f, 0};
    VkRenderingInfo rendering{VK_STRUCTURE_TYPE_RENDERING_INFO};
    rendering.renderArea = {{0, 0}, edge.extent};
    rendering.layerCount = 1;
    rendering.pDepthAttachment = &depth;
    vkCmdBeginRendering(cmd.handle, &rendering);
    cmd.renderExtent = edge.extent;
    cmd.bindPipeline(towerEdgePipeline);
    cmd.setViewportAndScissor(edge.extent);
    drawParts(manager, cmd, parts, colour);
    vkCmdEndRendering(cmd.handle);
    edge.record(&cmd);
}

} // namespace BuildTool

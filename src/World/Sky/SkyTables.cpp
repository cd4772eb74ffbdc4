#include "World/Sky/SkyTables.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Command/CommandBuffer.h"
#include "Engine/Descriptor/DataSet.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Image/Image.h"
#include "Engine/Mesh/VertexLayout.h"
#include "Engine/Pipeline/Pipeline.h"
#include "World/Sky/PassSetup.h"

#include <cstring>
#include <initializer_list>

namespace {

constexpr PassPipelineDesc TablePipelineDesc{"shaders/skyTableVert.spv", "shaders/skyTableFrag.spv", "UBD_0+UBD_1"};
constexpr PassPipelineDesc TableOptPipelineDesc{"shaders/skyTableVertOpt.spv", "shaders/skyTableFragOpt.spv",
                                                "UBD_0+UBD_1"};
constexpr const char* Owner = "SkyTables";

Image2D* createTable()
{
    GraphicsDevice* device = Engine::graphicsDevice;
    auto* image = new Image2D(device, SkyTableRules::Width, SkyTableRules::Height, SkyTableRules::Format,
                              VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_SAMPLED_BIT,
                              VK_IMAGE_ASPECT_COLOR_BIT, 1, 1, 0);
    image->view = new ImageView(device, image, 1, 1);
    return image;
}

// The tables' pass writes every texel as it is: no blending with what was there.
Pipeline* createTablePipeline(const PassPipelineDesc& desc)
{
    auto* pipeline = new Pipeline(Engine::graphicsDevice);
    pipeline->loadShaderModule(desc.vertexShader, &pipeline->vertexShader);
    pipeline->loadShaderModule(desc.fragmentShader, &pipeline->fragmentShader);
    pipeline->setVertexLayout(vertexLayoutEmpty, false);
    pipeline->setDescriptorLayout(desc.descriptorLayout);
    pipeline->state->dynamicStates = {VK_DYNAMIC_STATE_SCISSOR, VK_DYNAMIC_STATE_VIEWPORT};
    pipeline->state->cullMode = VK_CULL_MODE_NONE;
    pipeline->state->blendEnable = 0;
    pipeline->create({{SkyTableRules::Format, SkyTableRules::Format}, VK_FORMAT_UNDEFINED});
    return pipeline;
}

VkRenderingAttachmentInfo tableAttachment(Image2D* table)
{
    VkRenderingAttachmentInfo info{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
    info.imageView = table->view->view;
    info.imageLayout = VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
    info.loadOp = VK_ATTACHMENT_LOAD_OP_DONT_CARE; // every texel is written
    info.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    return info;
}

} // namespace

bool SkyTableKey::operator==(const SkyTableKey& other) const
{
    return cameraPosition == other.cameraPosition && farPlane == other.farPlane && optimized == other.optimized &&
           std::memcmp(&params, &other.params, sizeof(SkyboxParams)) == 0;
}

SkyTableKey skyTableKey(const SkyboxParams& params, const glm::vec3& cameraPosition, f32 farPlane, bool optimized)
{
    SkyTableKey key;
    key.cameraPosition = cameraPosition;
    key.farPlane = farPlane;
    key.optimized = optimized;
    if (optimized) {
        key.params = SkyboxParams(); // the defaults, as built into the shaders
        key.params.sunDirection = params.sunDirection;
    } else {
        key.params = params;
    }
    return key;
}

SkyTables::SkyTables(Camera* camera, StorageSlot* paramSlot, StorageSlot* sunSlot, Sampler* sampler)
{
    pipeline = createTablePipeline(TablePipelineDesc);
    optPipeline = createTablePipeline(TableOptPipelineDesc);
    inscatter = createTable();
    transmittance = createTable();
    inscatterBinding = new ImageBinding(inscatter->view, sampler);
    transmittanceBinding = new ImageBinding(transmittance->view, sampler);
    setA = createPassDataSet({slotBinding(0, camera->uniformSlot, Owner), slotBinding(1, paramSlot, Owner)});
    setB = createPassDataSet({slotBinding(0, camera->uniformSlot, Owner), slotBinding(1, sunSlot, Owner)});
}

SkyTables::~SkyTables()
{
    GraphicsDevice* device = Engine::graphicsDevice;
    for (GraphicsResource* resource :
         std::initializer_list<GraphicsResource*>{pipeline, optPipeline, setA, setB, inscatter, transmittance}) {
        device->releaseResource(resource);
    }
    delete inscatterBinding;
    delete transmittanceBinding;
}

bool SkyTables::update(CommandBuffer* cmd, const SkyTableKey& key)
{
    if (made && key == madeFor) return false;
    const VkImageLayout before = made ? VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL : VK_IMAGE_LAYOUT_UNDEFINED;
    for (Image2D* table : {inscatter, transmittance}) {
        // The last frame's lookups finish before the tables are written again.
        cmd->imageBarrier(table, before, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                          VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT,
                          made ? VK_ACCESS_SHADER_READ_BIT : 0, VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT);
    }
    const VkRenderingAttachmentInfo attachments[2] = {tableAttachment(inscatter), tableAttachment(transmittance)};
    const VkExtent2D extent{SkyTableRules::Width, SkyTableRules::Height};
    VkRenderingInfo rendering{VK_STRUCTURE_TYPE_RENDERING_INFO};
    rendering.renderArea = {{0, 0}, extent};
    rendering.layerCount = 1;
    rendering.colorAttachmentCount = 2;
    rendering.pColorAttachments = attachments;
    vkCmdBeginRendering(cmd->handle, &rendering);
    const VkExtent2D previousExtent = cmd->renderExtent;
    cmd->renderExtent = extent;
    cmd->bindPipeline(key.optimized ? optPipeline : pipeline);
    cmd->setViewportAndScissor(extent);
    cmd->addDataSet(key.optimized ? setB : setA);
    cmd->bindDataSets(0);
    // The sky's rows over the whole width, then the haze blocks over their own width:
    // the texels right of the haze blocks are never read and are not worked out.
    const u32 skyRows = 2 * SkyTableRules::SkyElevations;
    const VkRect2D parts[2] = {{{0, 0}, {SkyTableRules::Width, skyRows}},
                               {{0, static_cast<i32>(skyRows)},
                                {SkyTableRules::HazeAzimuths + 1, SkyTableRules::Height - skyRows}}};
    for (const VkRect2D& part : parts) {
        vkCmdSetScissor(cmd->handle, 0, 1, &part);
        vkCmdDraw(cmd->handle, 3, 1, 0, 0);
    }
    vkCmdEndRendering(cmd->handle);
    cmd->renderExtent = previousExtent;
    for (Image2D* table : {inscatter, transmittance}) {
        cmd->imageBarrier(table, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL,
                          VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT,
                          VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT, VK_ACCESS_SHADER_READ_BIT);
    }
    madeFor = key;
    made = true;
    builds++;
    return true;
}

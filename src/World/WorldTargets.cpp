#include "World/WorldTargets.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Command/CommandBuffer.h"
#include "Engine/Descriptor/DataSet.h"
#include "Engine/Descriptor/DescriptorPool.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Image/Image.h"
#include "Engine/Image/Sampler.h"
#include "Engine/Mesh/Mesh.h"
#include "Engine/Mesh/VertexLayout.h"
#include "Engine/Pipeline/Pipeline.h"
#include "Engine/Storage/DataStorage.h"
#include "Engine/SwapChain/SwapChain.h"
#include "Game/Session/BuildingManager.h"
#include "Game/Tools/EdgeEffect.h"
#include "World/Sky/SkyTables.h"
#include "World/Sky/Skybox.h"
#include "World/Water/Water.h"
#include "World/World.h"

namespace {

Image2D* createTarget(u32 width, u32 height, VkFormat format, VkImageUsageFlags attachment, VkImageAspectFlags aspect)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    auto* image = new Image2D(device, width, height, format, attachment | VK_IMAGE_USAGE_SAMPLED_BIT, aspect, 1, 1, 0);
    image->view = new ImageView(device, image, 1, 1);
    return image;
}

// A binding made the first time, or given the new view and announced to its data sets.
void bindTarget(ImageBinding*& binding, Image2D* image, Sampler* sampler)
{
    if (binding == nullptr) {
        binding = new ImageBinding(image->view, sampler);
        return;
    }
    binding->view = image->view;
    notifyListeners(binding->listeners, binding);
}

VkRenderingAttachmentInfo loaded(const VkRenderingAttachmentInfo& attachment)
{
    VkRenderingAttachmentInfo again = attachment;
    again.loadOp = VK_ATTACHMENT_LOAD_OP_LOAD;
    return again;
}

// What one pass wrote into the scene's targets is there for the next pass's loads,
// tests and writes.
void sceneTargetsBetweenPasses(CommandBuffer* cmd, World& world)
{
    cmd->imageBarrier(world.sceneColor, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                      VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT,
                      VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT,
                      VK_ACCESS_COLOR_ATTACHMENT_READ_BIT | VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT);
    const VkPipelineStageFlags tests =
        VK_PIPELINE_STAGE_EARLY_FRAGMENT_TESTS_BIT | VK_PIPELINE_STAGE_LATE_FRAGMENT_TESTS_BIT;
    cmd->imageBarrier(world.sceneDepth, VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL,
                      VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL, tests, tests,
                      VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT,
                      VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_READ_BIT | VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT);
}

// `mesh` drawn with `pipeline` over the extent, with its data sets 0 and 1.
void drawPassMesh(CommandBuffer* cmd, Pipeline* pipeline, VkExtent2D extent, DataSet* first, DataSet* second,
                  Mesh* mesh)
{
    cmd->bindPipeline(pipeline);
    cmd->setViewportAndScissor(extent);
    cmd->addDataSet(first);
    cmd->addDataSet(second);
    cmd->bindDataSets(0);
    cmd->drawMesh(mesh, 1);
}

} // namespace

VkRenderingAttachmentInfo targetAttachment(Image2D* image, VkImageLayout layout, VkAttachmentLoadOp load)
{
    VkRenderingAttachmentInfo info{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
    info.imageView = image->view->view;
    info.imageLayout = layout;
    info.loadOp = load;
    info.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    return info;
}

void beginTargetPass(CommandBuffer* cmd, VkExtent2D extent, const VkRenderingAttachmentInfo* colors, u32 colorCount,
                     const VkRenderingAttachmentInfo* depth)
{
    VkRenderingInfo rendering{VK_STRUCTURE_TYPE_RENDERING_INFO};
    rendering.renderArea = {{0, 0}, extent};
    rendering.layerCount = 1;
    rendering.colorAttachmentCount = colorCount;
    rendering.pColorAttachments = colors;
    rendering.pDepthAttachment = depth;
    vkCmdBeginRendering(cmd->handle, &rendering);
    cmd->renderExtent = extent;
}

VkSamplerCreateInfo targetSamplerInfo()
{
    VkSamplerCreateInfo info = samplerClampToEdge();
    info.borderColor = VK_BORDER_COLOR_FLOAT_TRANSPARENT_BLACK;
    return info;
}

VkSamplerCreateInfo depthTargetSamplerInfo()
{
    VkSamplerCreateInfo info = samplerClampToEdgeNearest();
    info.borderColor = VK_BORDER_COLOR_FLOAT_TRANSPARENT_BLACK;
    return info;
}

void createRenderTargets(World& world, u32 width, u32 height)
{
    const VkFormat colorFormat = Engine::swapChain->format;
    const VkFormat depthFormat = findDepthFormat(Engine::graphicsDevice->physicalDevice);
    world.sceneColor = createTarget(width, height, colorFormat, VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT,
                                    VK_IMAGE_ASPECT_COLOR_BIT);
    world.sceneDepth = createTarget(width, height, depthFormat,
                                    VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT,
                                    VK_IMAGE_ASPECT_DEPTH_BIT);
    world.sceneDepthCopy =
        createTarget(width, height, depthFormat, VK_IMAGE_USAGE_TRANSFER_DST_BIT, VK_IMAGE_ASPECT_DEPTH_BIT);
    bindTarget(world.sceneColorBinding, world.sceneColor, world.targetSampler);
    bindTarget(world.sceneDepthBinding, world.sceneDepth, world.depthSampler);
    world.sceneDepthBinding->layout = SceneDepthSkyLayout;
    bindTarget(world.sceneDepthCopyBinding, world.sceneDepthCopy, world.depthSampler);
    world.surfaceDepth = createTarget(width, height, SurfaceDepthFormat, VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT,
                                      VK_IMAGE_ASPECT_COLOR_BIT);
    bindTarget(world.surfaceDepthBinding, world.surfaceDepth, world.depthSampler);
    world.composite = createTarget(width, height, colorFormat, VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT,
                                   VK_IMAGE_ASPECT_COLOR_BIT);
    bindTarget(world.compositeBinding, world.composite, world.targetSampler);
}

void releaseRenderTargets(World& world)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    for (Image2D** target :
         {&world.sceneColor, &world.sceneDepth, &world.sceneDepthCopy, &world.surfaceDepth, &world.composite}) {
        if (*target != nullptr) device->releaseResource(*target);
        *target = nullptr;
    }
}

void copySceneDepth(CommandBuffer* cmd, Image2D* sceneDepth, Image2D* copy, VkExtent2D extent)
{
    cmd->imageBarrier(sceneDepth, VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL,
                      VK_PIPELINE_STAGE_LATE_FRAGMENT_TESTS_BIT, VK_PIPELINE_STAGE_TRANSFER_BIT,
                      VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT, VK_ACCESS_TRANSFER_READ_BIT);
    cmd->imageBarrier(copy, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL,
                      VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT, VK_PIPELINE_STAGE_TRANSFER_BIT, 0, VK_ACCESS_TRANSFER_WRITE_BIT);
    VkImageCopy region{};
    region.srcSubresource = {VK_IMAGE_ASPECT_DEPTH_BIT, 0, 0, 1};
    region.dstSubresource = {VK_IMAGE_ASPECT_DEPTH_BIT, 0, 0, 1};
    region.extent = {extent.width, extent.height, 1};
    vkCmdCopyImage(cmd->handle, sceneDepth->image, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, copy->image,
                   VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1, &region);
    cmd->imageBarrier(sceneDepth, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL,
                      VK_PIPELINE_STAGE_TRANSFER_BIT, VK_PIPELINE_STAGE_EARLY_FRAGMENT_TESTS_BIT,
                      VK_ACCESS_TRANSFER_READ_BIT,
                      VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_READ_BIT | VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT);
    cmd->imageBarrier(copy, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL,
                      VK_PIPELINE_STAGE_TRANSFER_BIT, VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT,
                      VK_ACCESS_TRANSFER_WRITE_BIT, VK_ACCESS_SHADER_READ_BIT);
}

void drawSea(CommandBuffer* cmd, World& world, const VkRenderingAttachmentInfo& color,
             const VkRenderingAttachmentInfo& depth, VkExtent2D extent, bool optimized)
{
    Water& water = *world.water;
    vkCmdEndRendering(cmd->handle);
    copySceneDepth(cmd, world.sceneDepth, world.sceneDepthCopy, extent);
    sceneTargetsBetweenPasses(cmd, world);

    // The colour pass: the scene's colour and the surface depths, cleared to 1 (no sea).
    cmd->imageBarrier(world.surfaceDepth, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                      VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, 0,
                      VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT);
    VkRenderingAttachmentInfo surface =
        targetAttachment(world.surfaceDepth, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_ATTACHMENT_LOAD_OP_CLEAR);
    surface.clearValue.color = {{1.0f, 0.0f, 0.0f, 0.0f}};
    const VkRenderingAttachmentInfo colors[2] = {loaded(color), surface};
    const VkRenderingAttachmentInfo depthAgain = loaded(depth);
    beginTargetPass(cmd, extent, colors, 2, &depthAgain);
    drawPassMesh(cmd, optimized ? water.optPipeline : water.pipeline, extent, optimized ? water.setB : water.setA,
                 water.setC, water.mesh);
    vkCmdEndRendering(cmd->handle);
    cmd->imageBarrier(world.surfaceDepth, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                      VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL, VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT,
                      VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT,
                      VK_ACCESS_SHADER_READ_BIT);
    sceneTargetsBetweenPasses(cmd, world);

    // The surface depths into the scene's depth, in the pass the scene goes on in.
    beginTargetPass(cmd, extent, colors, 1, &depthAgain);
    cmd->bindPipeline(water.depthPipeline);
    cmd->setViewportAndScissor(extent);
    cmd->addDataSet(water.depthSet);
    cmd->bindDataSets(0);
    vkCmdDraw(cmd->handle, 3, 1, 0, 0);
}

void drawSkyPass(CommandBuffer* cmd, World& world, const VkRenderingAttachmentInfo& target, VkExtent2D extent,
                 bool optimized)
{
    Skybox& sky = *world.sky;
    sky.tables->update(cmd, skyTableKey(sky.params, world.camera->position, world.camera->far, optimized));
    VkRenderingAttachmentInfo sceneTest =
        targetAttachment(world.sceneDepth, SceneDepthSkyLayout, VK_ATTACHMENT_LOAD_OP_LOAD);
    sceneTest.storeOp = VK_ATTACHMENT_STORE_OP_NONE;
    beginTargetPass(cmd, extent, &target, 1, &sceneTest);
    DataSet* blocks = optimized ? sky.setB : sky.setA;
    drawPassMesh(cmd, optimized ? sky.optPipeline : sky.pipeline, extent, blocks, sky.setC, sky.cube);
    drawPassMesh(cmd, optimized ? sky.hazeOptPipeline : sky.hazePipeline, extent, blocks, sky.setC, sky.cube);
    vkCmdEndRendering(cmd->handle);
}

void createPostProcess(World& world)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    DescriptorPool* pool = Engine::descriptorPool;
    world.postProcessUniform = new StorageSlot{Engine::frameUniforms, sizeof(u32), NoOffset};
    // The hover outline's colour image; a world without buildings samples a placeholder.
    ImageBinding* outline = nullptr;
    if (world.buildingManager != nullptr && world.buildingManager->edgeEffect != nullptr) {
        outline = world.buildingManager->edgeEffect->colorBinding;
    } else {
        world.outlineBinding = new ImageBinding(pool->fallbackView(), pool->fallbackSampler);
        outline = world.outlineBinding;
    }
    world.postProcessDataSet = new DataSet(device, pool,
                                           {{0, DataSetStorageSlot, world.postProcessUniform},
                                            {1, DataSetImage, world.compositeBinding},
                                            {2, DataSetImage, outline}});

    auto* pipeline = new Pipeline(device);
    // No vertex streams: the pass draws one full-screen triangle from the vertex index.
    pipeline->setVertexLayout(vertexLayoutEmpty, false);
    pipeline->setDescriptorLayout(PostProcessShaders::DescriptorLayout);
    pipeline->state->dynamicStates = {VK_DYNAMIC_STATE_SCISSOR, VK_DYNAMIC_STATE_VIEWPORT};
    pipeline->state->cullMode = VK_CULL_MODE_NONE;
    pipeline->loadShaderModule(PostProcessShaders::Vertex, &pipeline->vertexShader);
    pipeline->loadShaderModule(PostProcessShaders::Fragment, &pipeline->fragmentShader);
    pipeline->create({{Engine::swapChain->format}, VK_FORMAT_UNDEFINED});
    world.postProcessPipeline = pipeline;
}

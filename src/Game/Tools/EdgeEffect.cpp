#include "Game/Tools/EdgeEffect.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Command/CommandBuffer.h"
#include "Engine/Descriptor/DataSet.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Image/Image.h"
#include "Engine/Image/Sampler.h"
#include "Engine/Mesh/VertexLayout.h"
#include "Engine/Pipeline/Pipeline.h"

namespace {

Image2D* createImage(GraphicsDevice* device, VkExtent2D extent, VkFormat format, VkImageUsageFlags attachment,
                     VkImageAspectFlags aspect)
{
    auto* image = new Image2D(device, extent.width, extent.height, format, attachment | VK_IMAGE_USAGE_SAMPLED_BIT,
                              aspect, 1, 1, 0);
    image->view = new ImageView(device, image, 1, 1);
    return image;
}

VkExtent2D atLeastOnePixel(VkExtent2D extent)
{
    return {extent.width > 0 ? extent.width : 1u, extent.height > 0 ? extent.height : 1u};
}

} // namespace

EdgeEffect::EdgeEffect(Camera* camera, GraphicsDevice* device_, DescriptorPool* pool, VkExtent2D extent_)
    : device(device_), extent(atLeastOnePixel(extent_))
{
    // Linear filtering, clamped to the edge, for the outline colour image. The depth
    // image is read texel by texel, through a sampler without filtering, which every
    // depth format allows.
    sampler = new Sampler(device, samplerClampToEdge());
    depthSampler = new Sampler(device, samplerClampToEdgeNearest());
    createImages();
    depthBinding = new ImageBinding(depthImage->view, depthSampler);
    colorBinding = new ImageBinding(colorImage->view, sampler);
    dataSet = new DataSet(device, pool, {{0, DataSetStorageSlot, camera->uniformSlot}, {1, DataSetImage, depthBinding}});

    using namespace EdgeEffectShaders;
    pipeline = new Pipeline(device);
    // No vertex streams: one full-screen triangle from the vertex index.
    pipeline->setVertexLayout(vertexLayoutEmpty, false);
    pipeline->setDescriptorLayout(DescriptorLayout);
    pipeline->state->dynamicStates = {VK_DYNAMIC_STATE_SCISSOR, VK_DYNAMIC_STATE_VIEWPORT};
    pipeline->state->cullMode = VK_CULL_MODE_NONE;
    pipeline->state->depthWriteEnable = 0;
    // The rim replaces the cleared image: its alpha is what the post-process pass mixes by.
    pipeline->state->blendEnable = 0;
    pipeline->loadShaderModule(Vertex, &pipeline->vertexShader);
    pipeline->loadShaderModule(Fragment, &pipeline->fragmentShader);
    pipeline->create({{ColorFormat}, VK_FORMAT_UNDEFINED});
}

EdgeEffect::~EdgeEffect()
{
    for (GraphicsResource* resource : std::initializer_list<GraphicsResource*>{
             sampler, depthSampler, depthImage, colorImage, dataSet, pipeline}) {
        if (resource != nullptr) device->releaseResource(resource);
    }
    delete depthBinding;
    delete colorBinding;
}

void EdgeEffect::createImages()
{
    depthImage = createImage(device, extent, findDepthFormat(device->physicalDevice),
                             VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT, VK_IMAGE_ASPECT_DEPTH_BIT);
    // The outline can also be copied out, to be looked at.
    colorImage = createImage(device, extent, EdgeEffectShaders::ColorFormat,
                             VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT,
                             VK_IMAGE_ASPECT_COLOR_BIT);
    colorLayout = VK_IMAGE_LAYOUT_UNDEFINED;
}

void EdgeEffect::resize(VkExtent2D newExtent)
{
    extent = atLeastOnePixel(newExtent);
    device->releaseResource(depthImage);
    device->releaseResource(colorImage);
    createImages();
    depthBinding->view = depthImage->view;
    notifyListeners(depthBinding->listeners, depthBinding);
    colorBinding->view = colorImage->view;
    notifyListeners(colorBinding->listeners, colorBinding);
}

void EdgeEffect::record(CommandBuffer* cmd)
{
    // Whatever the last frame's post-process pass read is overwritten.
    cmd->imageBarrier(colorImage, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                      VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, 0,
                      VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT);
    cmd->imageBarrier(depthImage, VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL,
                      VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL, VK_PIPELINE_STAGE_LATE_FRAGMENT_TESTS_BIT,
                      VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT,
                      VK_ACCESS_SHADER_READ_BIT);

    VkRenderingAttachmentInfo color{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
    color.imageView = colorImage->view->view;
    color.imageLayout = VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
    color.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
    color.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    color.clearValue.color = {{0.0f, 0.0f, 0.0f, 0.0f}};
    VkRenderingInfo rendering{VK_STRUCTURE_TYPE_RENDERING_INFO};
    rendering.renderArea = {{0, 0}, extent};
    rendering.layerCount = 1;
    rendering.colorAttachmentCount = 1;
    rendering.pColorAttachments = &color;
    vkCmdBeginRendering(cmd->handle, &rendering);
    cmd->renderExtent = extent;
    cmd->bindPipeline(pipeline);
    cmd->setViewportAndScissor(extent);
    cmd->addDataSet(dataSet);
    cmd->bindDataSets(0);
    vkCmdDraw(cmd->handle, 3, 1, 0, 0);
    vkCmdEndRendering(cmd->handle);

    cmd->imageBarrier(colorImage, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL,
                      VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT,
                      VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT, VK_ACCESS_SHADER_READ_BIT);
    colorLayout = VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL;
}

void EdgeEffect::prepareForSampling(CommandBuffer* cmd)
{
    // A new image (the first frame, or after a resize) has never been written: it is
    // made readable all the same, since the post-process set samples it every frame.
    cmd->imageBarrier(colorImage, colorLayout, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL,
                      VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT,
                      colorLayout == VK_IMAGE_LAYOUT_UNDEFINED ? 0 : VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT,
                      VK_ACCESS_SHADER_READ_BIT);
    colorLayout = VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL;
}

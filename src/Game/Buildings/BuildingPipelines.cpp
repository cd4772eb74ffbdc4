#include "Game/Buildings/BuildingPipelines.h"

#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Pipeline/Pipeline.h"
#include "Engine/SwapChain/SwapChain.h"

Pipeline* createBuildingPipeline(const BuildingPipelineDesc& desc)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    auto* pipeline = new Pipeline(device);
    pipeline->loadShaderModule(desc.vertexShader, &pipeline->vertexShader);
    pipeline->loadShaderModule(desc.fragmentShader, &pipeline->fragmentShader);
    pipeline->setVertexLayout(desc.vertexLayout, false);
    pipeline->setDescriptorLayout(desc.descriptorLayout);
    pipeline->state->dynamicStates = {VK_DYNAMIC_STATE_SCISSOR, VK_DYNAMIC_STATE_VIEWPORT};
    if (desc.depthBias) {
        pipeline->state->dynamicStates.push_back(VK_DYNAMIC_STATE_DEPTH_BIAS);
        pipeline->state->depthBiasEnable = 1;
    }
    pipeline->state->depthWriteEnable = desc.depthWrite ? 1 : 0;
    if (!desc.pushConstants.empty()) {
        pipeline->setPushConstantRanges(desc.pushConstants);
    }
    AttachmentFormats formats;
    if (desc.colorAttachment) {
        formats.colorFormats = {Engine::swapChain->format};
    }
    formats.depthFormat = findDepthFormat(device->physicalDevice);
    pipeline->create(formats);
    return pipeline;
}

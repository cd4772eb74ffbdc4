#include "World/Sky/PassSetup.h"

#include "Engine/Engine.h"
#include "Engine/Storage/DataStorage.h"

#include <stdexcept>
#include <string>

Pipeline* createPassPipeline(const PassPipelineDesc& desc, VertexLayout* layout, const AttachmentFormats& formats)
{
    auto* pipeline = new Pipeline(Engine::graphicsDevice);
    pipeline->loadShaderModule(desc.vertexShader, &pipeline->vertexShader);
    pipeline->loadShaderModule(desc.fragmentShader, &pipeline->fragmentShader);
    pipeline->setVertexLayout(layout, false);
    pipeline->setDescriptorLayout(desc.descriptorLayout);
    pipeline->state->dynamicStates = {VK_DYNAMIC_STATE_SCISSOR, VK_DYNAMIC_STATE_VIEWPORT};
    pipeline->state->cullMode = VK_CULL_MODE_NONE;
    pipeline->state->depthWriteEnable = desc.writesDepth ? 1 : 0;
    pipeline->state->blendEnable = desc.blends ? 1 : 0;
    pipeline->state->colorWriteEnable = desc.writesColor ? 1 : 0;
    pipeline->state->depthCompareOp = desc.depthCompare;
    pipeline->create(formats);
    return pipeline;
}

DataSetBinding slotBinding(u32 binding, StorageSlot* slot, const char* owner)
{
    if (!slot) throw std::runtime_error(std::string(owner) + ": the uniform slot of binding " + std::to_string(binding) + " is missing");
    return {binding, DataSetStorageSlot, slot};
}

DataSetBinding imageBinding(u32 binding, ImageBinding* image, const char* owner)
{
    if (!image) throw std::runtime_error(std::string(owner) + ": the image of binding " + std::to_string(binding) + " is missing");
    return {binding, DataSetImage, image};
}

DataSet* createPassDataSet(std::vector<DataSetBinding> bindings)
{
    return new DataSet(Engine::graphicsDevice, Engine::descriptorPool, std::move(bindings));
}

StorageSlot* createFrameSlot(u32 size)
{
    return new StorageSlot{Engine::frameUniforms, size, NoOffset};
}

void uploadSlot(StorageSlot* slot, const void* data)
{
    slot->offset = slot->storage->write(slot->offset, data, slot->size, false);
}

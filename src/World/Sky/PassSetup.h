#pragma once

#include "Engine/Descriptor/DataSet.h"
#include "Engine/Pipeline/Pipeline.h"

#include <vector>

class VertexLayout;

// What the sky's and the water's pipelines differ in; the rest is the same for both:
// one vertex binding per stream, dynamic scissor and viewport, no culling.
struct PassPipelineDesc {
    const char* vertexShader;
    const char* fragmentShader;
    const char* descriptorLayout;
    bool writesDepth = true;
    bool blends = true; // "over" the target; otherwise the shader's colour replaces it
    bool writesColor = true;
    VkCompareOp depthCompare = VK_COMPARE_OP_LESS_OR_EQUAL;
};

Pipeline* createPassPipeline(const PassPipelineDesc& desc, VertexLayout* layout, const AttachmentFormats& formats);

// Data-set bindings; a missing slot or image binding throws, naming `owner`.
DataSetBinding slotBinding(u32 binding, StorageSlot* slot, const char* owner);
DataSetBinding imageBinding(u32 binding, ImageBinding* image, const char* owner);
// A data set on the engine's descriptor pool.
DataSet* createPassDataSet(std::vector<DataSetBinding> bindings);

// A slot of `size` bytes in the per-frame uniform storage, not yet written.
StorageSlot* createFrameSlot(u32 size);
// Writes `size` bytes into the slot's storage; the slot keeps the new offset.
void uploadSlot(StorageSlot* slot, const void* data);

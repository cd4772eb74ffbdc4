#pragma once

#include "Engine/Descriptor/DescriptorLayout.h"
#include "Engine/GraphicsDevice/GraphicsResource.h"

#include <vulkan/vulkan.h>

#include <string>
#include <vector>

class VertexLayout;

// The editable fixed-function settings of a pipeline, with their defaults.
struct PipelineState {
    std::vector<VkDynamicState> dynamicStates;
    u32 cullMode = VK_CULL_MODE_BACK_BIT;
    u32 topology = VK_PRIMITIVE_TOPOLOGY_TRIANGLE_LIST;
    u8 depthBiasEnable = 0;
    f32 depthBiasConstantFactor = 0;
    f32 depthBiasSlopeFactor = 0;
    u8 depthWriteEnable = 1;
    u32 depthCompareOp = VK_COMPARE_OP_LESS_OR_EQUAL;
    u8 blendEnable = 1; // colour attachments blend "over" the target
    u8 colorWriteEnable = 1; // 0: the colour attachments are left as they are
};

// The attachment formats of the pass that draws with a pipeline.
struct AttachmentFormats {
    std::vector<VkFormat> colorFormats; // may be empty (depth-only passes)
    VkFormat depthFormat = VK_FORMAT_UNDEFINED;
};

// A graphics pipeline for dynamic rendering: two SPIR-V shaders, a vertex layout, a
// descriptor-layout string, push-constant ranges and a small state block.
class Pipeline : public GraphicsResource {
public:
    PipelineState* state = nullptr;
    VkPipeline pipeline = VK_NULL_HANDLE;
    VertexLayout* vertexLayout = nullptr;
    VkPipelineLayout pipelineLayout = VK_NULL_HANDLE;
    GraphicsDevice* device = nullptr;
    VkShaderModule vertexShader = VK_NULL_HANDLE;
    VkShaderModule fragmentShader = VK_NULL_HANDLE;
    std::string descriptorLayout;
    std::vector<VkVertexInputBindingDescription> vertexBindings;
    std::vector<VkVertexInputAttributeDescription> vertexAttributes;
    std::vector<VkDescriptorSetLayout> setLayouts;
    std::vector<VkPushConstantRange> pushConstantRanges;
    std::string shaderFiles; // the shader files loaded, named in creation errors

    explicit Pipeline(GraphicsDevice* device);
    ~Pipeline() override;

    void setVertexLayout(VertexLayout* layout, bool interleaved);
    void setDescriptorLayout(std::string layout);
    void setPushConstantRanges(std::vector<VkPushConstantRange> ranges);
    // Reads a SPIR-V file into a shader module stored in `destination`. A missing file
    // throws "failed to open file!"; an empty or non-SPIR-V file, or one the driver
    // refuses, throws an error naming the file.
    bool loadShaderModule(const char* path, VkShaderModule* destination);
    // Builds the pipeline layout and the pipeline; a failure throws naming the shaders.
    void create(const AttachmentFormats& formats);

    // Set layouts of the descriptor-layout string, in set order.
    void createSetLayouts();
};

#pragma once

#include "Engine/Descriptor/DescriptorLayout.h"
#include "Engine/GraphicsDevice/GraphicsResource.h"
#include "Engine/Pipeline/SpirvInterface.h"

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
    // What each shader shows of itself (bindings, inputs, outputs, push constants), read
    // when it is loaded and held against the layouts when the pipeline is created.
    ShaderInterface vertexInterface;
    ShaderInterface fragmentInterface;
    std::string vertexFile;
    std::string fragmentFile;

    explicit Pipeline(GraphicsDevice* device);
    ~Pipeline() override;

    void setVertexLayout(VertexLayout* layout, bool interleaved);
    void setDescriptorLayout(std::string layout);
    void setPushConstantRanges(std::vector<VkPushConstantRange> ranges);
    // Reads a SPIR-V file into a shader module stored in `destination`, the pipeline's
    // vertexShader or fragmentShader. A file that is missing, empty, not valid SPIR-V,
    // without an entry point "main" of that stage, declaring a capability the device was
    // not created with, or refused by the driver is a fatal error naming the file.
    bool loadShaderModule(const char* path, VkShaderModule* destination);
    // Builds the pipeline layout and the pipeline. A shader whose descriptor bindings,
    // vertex inputs, push constants, colour outputs or inputs from the vertex shader do
    // not fit the pipeline is a fatal error naming its file, raised before any Vulkan
    // object is made; a failure of the driver throws naming the shaders.
    void create(const AttachmentFormats& formats);

    // Set layouts of the descriptor-layout string, in set order.
    void createSetLayouts();

private:
    void checkShadersFit(const AttachmentFormats& formats) const;
};

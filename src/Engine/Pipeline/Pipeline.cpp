#include "Engine/Pipeline/Pipeline.h"

#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Fatal.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Helper/QuotedText.h"
#include "Engine/Mesh/VertexLayout.h"
#include "Engine/Pipeline/ShaderCapabilities.h"
#include "Engine/Pipeline/ShaderFile.h"
#include "Engine/Pipeline/ShaderFit.h"
#include "Engine/Pipeline/VertexInput.h"

#include <stdexcept>

namespace {

std::vector<VkPipelineShaderStageCreateInfo> shaderStages(VkShaderModule vertex, VkShaderModule fragment)
{
    VkPipelineShaderStageCreateInfo vertexStage{VK_STRUCTURE_TYPE_PIPELINE_SHADER_STAGE_CREATE_INFO};
    vertexStage.stage = VK_SHADER_STAGE_VERTEX_BIT;
    vertexStage.module = vertex;
    vertexStage.pName = "main";
    VkPipelineShaderStageCreateInfo fragmentStage = vertexStage;
    fragmentStage.stage = VK_SHADER_STAGE_FRAGMENT_BIT;
    fragmentStage.module = fragment;
    return {vertexStage, fragmentStage};
}

// Every colour attachment blends "over": colour by source alpha, alpha accumulated;
// or, without blending, takes what the shader writes; or, without writes, is kept.
std::vector<VkPipelineColorBlendAttachmentState> colorBlendAttachments(size_t count, bool blending, bool writing)
{
    VkPipelineColorBlendAttachmentState blend{};
    blend.blendEnable = blending ? VK_TRUE : VK_FALSE;
    blend.srcColorBlendFactor = VK_BLEND_FACTOR_SRC_ALPHA;
    blend.dstColorBlendFactor = VK_BLEND_FACTOR_ONE_MINUS_SRC_ALPHA;
    blend.colorBlendOp = VK_BLEND_OP_ADD;
    blend.srcAlphaBlendFactor = VK_BLEND_FACTOR_ONE_MINUS_SRC_ALPHA;
    blend.dstAlphaBlendFactor = VK_BLEND_FACTOR_ONE;
    blend.alphaBlendOp = VK_BLEND_OP_ADD;
    blend.colorWriteMask = writing ? VK_COLOR_COMPONENT_R_BIT | VK_COLOR_COMPONENT_G_BIT | VK_COLOR_COMPONENT_B_BIT |
                                         VK_COLOR_COMPONENT_A_BIT
                                   : 0;
    return std::vector<VkPipelineColorBlendAttachmentState>(count, blend);
}

} // namespace

Pipeline::Pipeline(GraphicsDevice* device_)
    : GraphicsResource(device_, ResourcePipeline, true), state(new PipelineState()), device(device_)
{
}

Pipeline::~Pipeline()
{
    VkDevice handle = device->device;
    vkDestroyPipelineLayout(handle, pipelineLayout, nullptr);
    vkDestroyPipeline(handle, pipeline, nullptr);
    vkDestroyShaderModule(handle, vertexShader, nullptr);
    vkDestroyShaderModule(handle, fragmentShader, nullptr);
    for (VkDescriptorSetLayout layout : setLayouts) {
        vkDestroyDescriptorSetLayout(handle, layout, nullptr);
    }
    delete state;
}

void Pipeline::setVertexLayout(VertexLayout* layout, bool interleaved)
{
    vertexLayout = layout;
    VertexInputDescription input = describeVertexInput(layout->attributes, layout->stride, interleaved);
    vertexBindings = std::move(input.bindings);
    vertexAttributes = std::move(input.attributes);
}

void Pipeline::setDescriptorLayout(std::string layout)
{
    descriptorLayout = std::move(layout);
}

void Pipeline::setPushConstantRanges(std::vector<VkPushConstantRange> ranges)
{
    pushConstantRanges = std::move(ranges);
}

bool Pipeline::loadShaderModule(const char* path, VkShaderModule* destination)
{
    const std::string file = path;
    std::vector<u32> words;
    std::string unreadable;
    if (SpirvProblem problem = readSpirvFile(file, &words, &unreadable); problem != SpirvProblem::None) {
        const std::string what = problem == SpirvProblem::Missing ? unreadable : spirvProblemText(problem);
        fatalError("Shader file " + file + " " + what, "Pipeline", __LINE__);
    }
    // The driver trusts the module it is given: a broken one is refused here.
    if (std::string invalid = spirvValidationProblem(words); !invalid.empty()) {
        fatalError("Shader file " + file + " is not valid SPIR-V: " + invalid, "Pipeline", __LINE__);
    }
    // A module loaded into the wrong stage would be handed to the driver with an entry
    // point it does not have.
    const bool vertex = destination == &vertexShader;
    const bool fragment = destination == &fragmentShader;
    ShaderInterface shaderInterface;
    if (vertex || fragment) {
        const u32 model = vertex ? SpirvVertex : SpirvFragment;
        if (std::string wrong = reflectSpirv(words.data(), words.size(), model, &shaderInterface);
            !wrong.empty()) {
            fatalError("Shader file " + file + " cannot be the " + spirvStageName(model) + " shader: " + wrong,
                       "Pipeline", __LINE__);
        }
        // The validator takes any capability; the driver only those the device was
        // created with.
        if (std::string missing = capabilityProblem(shaderInterface, device->shaderFeatures); !missing.empty()) {
            fatalError("Shader file " + file + " " + missing, "Pipeline", __LINE__);
        }
    }

    VkShaderModuleCreateInfo info{VK_STRUCTURE_TYPE_SHADER_MODULE_CREATE_INFO};
    info.codeSize = words.size() * sizeof(u32);
    info.pCode = words.data();
    VkShaderModule module = VK_NULL_HANDLE;
    VkResult result = vkCreateShaderModule(device->device, &info, nullptr, &module);
    if (result != VK_SUCCESS) {
        fatalError("Shader file " + file + " was refused by the driver (VkResult " + std::to_string(result) + ")",
                   "Pipeline", __LINE__);
    }
    // Loading into a slot twice replaces the module instead of leaking it.
    vkDestroyShaderModule(device->device, *destination, nullptr);
    *destination = module;
    if (vertex) {
        vertexInterface = std::move(shaderInterface);
        vertexFile = file;
    } else if (fragment) {
        fragmentInterface = std::move(shaderInterface);
        fragmentFile = file;
    }
    shaderFiles += shaderFiles.empty() ? file : ", " + file;
    return true;
}

void Pipeline::checkShadersFit(const AttachmentFormats& formats) const
{
    auto refuse = [](const std::string& file, u32 model, const std::string& problem) {
        if (!problem.empty()) {
            fatalError("Shader file " + file + " does not fit its pipeline as the " + spirvStageName(model) +
                           " shader: " + problem,
                       "Pipeline", __LINE__);
        }
    };
    const std::vector<std::vector<LayoutBinding>> sets = parseDescriptorLayout(descriptorLayout);
    const std::string layout = " (descriptor layout " + quotedText(descriptorLayout) + ")";
    const bool hasVertex = !vertexFile.empty();
    const bool hasFragment = !fragmentFile.empty();
    if (hasVertex) {
        std::string problem = descriptorFitProblem(vertexInterface, sets);
        refuse(vertexFile, SpirvVertex, problem.empty() ? problem : problem + layout);
        refuse(vertexFile, SpirvVertex, pushConstantFitProblem(vertexInterface, pushConstantRanges));
        refuse(vertexFile, SpirvVertex, vertexInputFitProblem(vertexInterface, vertexAttributes));
    }
    if (hasFragment) {
        std::string problem = descriptorFitProblem(fragmentInterface, sets);
        refuse(fragmentFile, SpirvFragment, problem.empty() ? problem : problem + layout);
        refuse(fragmentFile, SpirvFragment, pushConstantFitProblem(fragmentInterface, pushConstantRanges));
        refuse(fragmentFile, SpirvFragment,
               colorOutputFitProblem(fragmentInterface, formats.colorFormats, state->colorWriteEnable != 0));
    }
    if (hasVertex && hasFragment) {
        std::string problem = stageLinkProblem(vertexInterface, fragmentInterface);
        refuse(fragmentFile, SpirvFragment, problem.empty() ? problem : problem + " (" + vertexFile + ")");
    }
}

void Pipeline::createSetLayouts()
{
    for (const std::vector<LayoutBinding>& set : parseDescriptorLayout(descriptorLayout)) {
        std::vector<VkDescriptorSetLayoutBinding> bindings;
        bindings.reserve(set.size());
        for (const LayoutBinding& binding : set) {
            bindings.push_back({binding.binding, binding.type, 1, VK_SHADER_STAGE_ALL, nullptr});
        }
        VkDescriptorSetLayoutCreateInfo info{VK_STRUCTURE_TYPE_DESCRIPTOR_SET_LAYOUT_CREATE_INFO};
        info.bindingCount = static_cast<u32>(bindings.size());
        info.pBindings = bindings.data();
        VkDescriptorSetLayout layout = VK_NULL_HANDLE;
        vkCheck(vkCreateDescriptorSetLayout(device->device, &info, nullptr, &layout),
                "failed to create descriptor set layout!");
        setLayouts.push_back(layout);
    }
}

void Pipeline::create(const AttachmentFormats& formats)
{
    std::string shaders = shaderFiles.empty() ? std::string("no shaders") : shaderFiles;
    if (vertexShader == VK_NULL_HANDLE || fragmentShader == VK_NULL_HANDLE) {
        throw std::runtime_error("Pipeline (" + shaders + ") needs a vertex and a fragment shader");
    }
    checkShadersFit(formats);

    std::vector<VkPipelineShaderStageCreateInfo> stages = shaderStages(vertexShader, fragmentShader);

    VkPipelineVertexInputStateCreateInfo vertexInput{VK_STRUCTURE_TYPE_PIPELINE_VERTEX_INPUT_STATE_CREATE_INFO};
    vertexInput.vertexBindingDescriptionCount = static_cast<u32>(vertexBindings.size());
    vertexInput.pVertexBindingDescriptions = vertexBindings.data();
    vertexInput.vertexAttributeDescriptionCount = static_cast<u32>(vertexAttributes.size());
    vertexInput.pVertexAttributeDescriptions = vertexAttributes.data();

    VkPipelineInputAssemblyStateCreateInfo inputAssembly{
        VK_STRUCTURE_TYPE_PIPELINE_INPUT_ASSEMBLY_STATE_CREATE_INFO};
    inputAssembly.topology = static_cast<VkPrimitiveTopology>(state->topology);
    inputAssembly.primitiveRestartEnable = VK_FALSE;

    // Viewport and scissor are always dynamic.
    VkPipelineViewportStateCreateInfo viewport{VK_STRUCTURE_TYPE_PIPELINE_VIEWPORT_STATE_CREATE_INFO};
    viewport.viewportCount = 1;
    viewport.scissorCount = 1;

    VkPipelineRasterizationStateCreateInfo rasterization{
        VK_STRUCTURE_TYPE_PIPELINE_RASTERIZATION_STATE_CREATE_INFO};
    rasterization.depthClampEnable = VK_FALSE;
    rasterization.rasterizerDiscardEnable = VK_FALSE;
    rasterization.polygonMode = VK_POLYGON_MODE_FILL;
    rasterization.cullMode = state->cullMode;
    rasterization.frontFace = VK_FRONT_FACE_CLOCKWISE;
    rasterization.depthBiasEnable = state->depthBiasEnable ? VK_TRUE : VK_FALSE;
    rasterization.depthBiasConstantFactor = state->depthBiasConstantFactor;
    rasterization.depthBiasClamp = 0.0f;
    rasterization.depthBiasSlopeFactor = state->depthBiasSlopeFactor;
    rasterization.lineWidth = 1.0f;

    VkPipelineMultisampleStateCreateInfo multisample{VK_STRUCTURE_TYPE_PIPELINE_MULTISAMPLE_STATE_CREATE_INFO};
    multisample.rasterizationSamples = VK_SAMPLE_COUNT_1_BIT;
    multisample.sampleShadingEnable = VK_FALSE;
    multisample.minSampleShading = 1.0f;

    std::vector<VkPipelineColorBlendAttachmentState> blends =
        colorBlendAttachments(formats.colorFormats.size(), state->blendEnable != 0, state->colorWriteEnable != 0);
    VkPipelineColorBlendStateCreateInfo blend{VK_STRUCTURE_TYPE_PIPELINE_COLOR_BLEND_STATE_CREATE_INFO};
    blend.logicOpEnable = VK_FALSE;
    blend.attachmentCount = static_cast<u32>(blends.size());
    blend.pAttachments = blends.data();

    createSetLayouts();
    VkPipelineLayoutCreateInfo layoutInfo{VK_STRUCTURE_TYPE_PIPELINE_LAYOUT_CREATE_INFO};
    layoutInfo.setLayoutCount = static_cast<u32>(setLayouts.size());
    layoutInfo.pSetLayouts = setLayouts.data();
    layoutInfo.pushConstantRangeCount = static_cast<u32>(pushConstantRanges.size());
    layoutInfo.pPushConstantRanges = pushConstantRanges.data();
    VkResult layoutResult = vkCreatePipelineLayout(device->device, &layoutInfo, nullptr, &pipelineLayout);

    VkPipelineDepthStencilStateCreateInfo depthStencil{VK_STRUCTURE_TYPE_PIPELINE_DEPTH_STENCIL_STATE_CREATE_INFO};
    depthStencil.depthTestEnable = VK_TRUE;
    depthStencil.depthWriteEnable = state->depthWriteEnable ? VK_TRUE : VK_FALSE;
    depthStencil.depthCompareOp = static_cast<VkCompareOp>(state->depthCompareOp);
    depthStencil.depthBoundsTestEnable = VK_FALSE;
    depthStencil.minDepthBounds = 0.0f;
    depthStencil.maxDepthBounds = 1.0f;
    depthStencil.stencilTestEnable = VK_FALSE;

    VkPipelineDynamicStateCreateInfo dynamic{VK_STRUCTURE_TYPE_PIPELINE_DYNAMIC_STATE_CREATE_INFO};
    dynamic.dynamicStateCount = static_cast<u32>(state->dynamicStates.size());
    dynamic.pDynamicStates = state->dynamicStates.data();

    VkPipelineRenderingCreateInfo rendering{VK_STRUCTURE_TYPE_PIPELINE_RENDERING_CREATE_INFO};
    rendering.viewMask = 0;
    rendering.colorAttachmentCount = static_cast<u32>(formats.colorFormats.size());
    rendering.pColorAttachmentFormats = formats.colorFormats.data();
    rendering.depthAttachmentFormat = formats.depthFormat;
    rendering.stencilAttachmentFormat = VK_FORMAT_UNDEFINED;

    VkResult pipelineResult = VK_ERROR_UNKNOWN;
    if (layoutResult == VK_SUCCESS) {
        VkGraphicsPipelineCreateInfo info{VK_STRUCTURE_TYPE_GRAPHICS_PIPELINE_CREATE_INFO};
        info.pNext = &rendering;
        info.stageCount = static_cast<u32>(stages.size());
        info.pStages = stages.data();
        info.pVertexInputState = &vertexInput;
        info.pInputAssemblyState = &inputAssembly;
        info.pViewportState = &viewport;
        info.pRasterizationState = &rasterization;
        info.pMultisampleState = &multisample;
        info.pDepthStencilState = &depthStencil;
        info.pColorBlendState = &blend;
        info.pDynamicState = &dynamic;
        info.layout = pipelineLayout;
        pipelineResult = vkCreateGraphicsPipelines(device->device, VK_NULL_HANDLE, 1, &info, nullptr, &pipeline);
    }

    // The pipeline layout keeps what it needs of the set layouts.
    for (VkDescriptorSetLayout layout : setLayouts) {
        vkDestroyDescriptorSetLayout(device->device, layout, nullptr);
    }
    setLayouts.clear();

    if (layoutResult != VK_SUCCESS) {
        throw std::runtime_error("failed to create pipeline layout for " + shaders + " (VkResult " +
                                 std::to_string(layoutResult) + ")");
    }
    if (pipelineResult != VK_SUCCESS) {
        throw std::runtime_error("failed to create graphics pipeline for " + shaders + " (VkResult " +
                                 std::to_string(pipelineResult) + ")");
    }
}

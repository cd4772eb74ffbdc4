#pragma once

#include "Engine/Types.h"

#include <vulkan/vulkan.h>

#include <vector>

class Pipeline;
class VertexLayout;

// How one of the buildings' pipelines is made: two SPIR-V files, a vertex layout
// (streams not interleaved), a descriptor-layout string, scissor and viewport dynamic,
// and what differs from the defaults.
struct BuildingPipelineDesc {
    const char* vertexShader = nullptr;
    const char* fragmentShader = nullptr;
    VertexLayout* vertexLayout = nullptr;
    const char* descriptorLayout = nullptr;
    bool colorAttachment = true; // one colour attachment of the swap chain's format
    bool depthBias = false;      // depth bias enabled and dynamic (shadow casters)
    bool depthWrite = true;
    std::vector<VkPushConstantRange> pushConstants;
};

// Builds it on the global device for the swap chain's colour format and the depth
// format of the device. A missing or broken shader ends the start-up.
Pipeline* createBuildingPipeline(const BuildingPipelineDesc& desc);

#pragma once

#include "Engine/GraphicsDevice/GraphicsResource.h"

#include <vulkan/vulkan.h>

// A VkSampler; its users fill the create info.
class Sampler : public GraphicsResource {
public:
    GraphicsDevice* device = nullptr;
    VkSampler sampler = VK_NULL_HANDLE;

    Sampler(GraphicsDevice* device, const VkSamplerCreateInfo& info);
    ~Sampler() override;
};

// The sampler configurations in use.
VkSamplerCreateInfo samplerClampToEdge();     // linear, clamp to edge, LOD -1000..1000
VkSamplerCreateInfo samplerClampToEdgeNearest(); // depth images: nearest filtering
VkSamplerCreateInfo samplerShadow();          // clamp to border (opaque white), LOD 0..1, compare LESS
VkSamplerCreateInfo samplerRepeat();          // linear, repeat, LOD -1000..1000 (interface)

#pragma once

#include "Engine/GraphicsDevice/GraphicsResource.h"

#include <vulkan/vulkan.h>

#include <mutex>
#include <string>
#include <vector>

// The one descriptor pool (global Engine::descriptorPool) that every data set and
// interface texture descriptor is allocated from.
class DescriptorPool : public GraphicsResource {
public:
    GraphicsDevice* device = nullptr;
    VkDescriptorPool pool = VK_NULL_HANDLE;
    std::vector<VkDescriptorPoolSize> poolSizes;
    u32 maxSets = 0;
    // Allocation and freeing come from the main and the loader thread.
    std::mutex mutex;
    u32 liveSets = 0; // sets allocated and not yet freed

    DescriptorPool(GraphicsDevice* device, std::string poolString);
    ~DescriptorPool() override;

    VkDescriptorSet allocate(VkDescriptorSetLayout layout);
    void free(VkDescriptorSet set);
};

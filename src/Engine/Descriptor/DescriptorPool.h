#pragma once

#include "Engine/GraphicsDevice/GraphicsResource.h"

#include <vulkan/vulkan.h>

#include <mutex>
#include <string>
#include <vector>

class Image2D;
class ImageView;
class Sampler;

// The one descriptor pool (global Engine::descriptorPool) that every data set and
// interface texture descriptor is allocated from. The pool string gives the buffer
// counts; the pool adds combined-image-sampler room when the string names none and
// counts its sets, so running out is a clear error rather than a driver's choice.
class DescriptorPool : public GraphicsResource {
public:
    static constexpr u32 DefaultMaxSets = 1000;

    GraphicsDevice* device = nullptr;
    VkDescriptorPool pool = VK_NULL_HANDLE;
    std::vector<VkDescriptorPoolSize> poolSizes;
    u32 maxSets = 0;
    // Allocation and freeing come from the main and the loader thread.
    std::mutex mutex;
    u32 liveSets = 0;       // sets allocated and not yet freed
    u32 allocatedSets = 0;  // sets allocated over the pool's life
    // A 1x1 opaque white texture and its sampler that stand in for an image binding
    // whose image is gone, so a data set keeps the layout of its pipeline. Made with
    // the pool; its pixels arrive with the first upload flush.
    Image2D* fallbackImage = nullptr;
    Sampler* fallbackSampler = nullptr;

    DescriptorPool(GraphicsDevice* device, std::string poolString);
    ~DescriptorPool() override;

    // One set of `layout`; throws when all maxSets sets are in use.
    VkDescriptorSet allocate(VkDescriptorSetLayout layout);
    void free(VkDescriptorSet set);
    ImageView* fallbackView();
};

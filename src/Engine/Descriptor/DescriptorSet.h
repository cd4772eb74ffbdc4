#pragma once

#include "Engine/GraphicsDevice/GraphicsResource.h"

#include <vulkan/vulkan.h>

#include <vector>

class DescriptorPool;

enum DescriptorEntryKind : u32 {
    DescriptorBuffer = 1,          // a = DataStorage*, b = slot size in bytes
    DescriptorImageSampler = 2,    // a = ImageView*, b = Sampler*
    DescriptorInputAttachment = 3, // a = ImageView*
};

struct DescriptorEntry {
    u32 binding = 0;
    u32 kind = 0;
    u64 a = 0;
    u64 b = 0;
    // The layout the image is in while the set is used (images only).
    u32 layout = VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL;
};

// One Vulkan descriptor set built and filled from a list of entries; freed back to
// its pool when deleted.
class DescriptorSet : public GraphicsResource {
public:
    GraphicsDevice* device = nullptr;
    DescriptorPool* pool = nullptr;
    VkDescriptorSet set = VK_NULL_HANDLE;
    std::vector<DescriptorEntry> entries;

    DescriptorSet(GraphicsDevice* device, DescriptorPool* pool, std::vector<DescriptorEntry> entries);
    ~DescriptorSet() override;
};

#include "Engine/Descriptor/DescriptorPool.h"

#include "Engine/Descriptor/DescriptorLayout.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Image/Image.h"
#include "Engine/Image/Sampler.h"

#include <stdexcept>

DescriptorPool::DescriptorPool(GraphicsDevice* device_, std::string poolString)
    : GraphicsResource(device_, ResourceDescriptorPool, true), device(device_)
{
    poolSizes = parsePoolSizes(poolString);
    maxSets = DefaultMaxSets;
    bool hasSamplers = false;
    for (const VkDescriptorPoolSize& size : poolSizes) {
        hasSamplers = hasSamplers || size.type == VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER;
    }
    if (!hasSamplers) {
        // Data sets and interface textures sample images from this pool too.
        poolSizes.push_back({VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, maxSets});
    }
    VkDescriptorPoolCreateInfo info{VK_STRUCTURE_TYPE_DESCRIPTOR_POOL_CREATE_INFO};
    info.flags = VK_DESCRIPTOR_POOL_CREATE_FREE_DESCRIPTOR_SET_BIT;
    info.maxSets = maxSets;
    info.poolSizeCount = static_cast<u32>(poolSizes.size());
    info.pPoolSizes = poolSizes.data();
    vkCheck(vkCreateDescriptorPool(device->device, &info, nullptr, &pool), "failed to create descriptor pool!");

    fallbackImage = new Image2D(device, 1, 1, VK_FORMAT_R8G8B8A8_UNORM,
                                VK_IMAGE_USAGE_TRANSFER_DST_BIT | VK_IMAGE_USAGE_SAMPLED_BIT,
                                VK_IMAGE_ASPECT_COLOR_BIT, 1, 1, 0);
    fallbackImage->view = new ImageView(device, fallbackImage, 1, 1);
    const u8 white[4] = {255, 255, 255, 255};
    fallbackImage->addStagingRegion(white, sizeof(white), 1, 1, 0, 1, 0);
    fallbackImage->scheduleUpload();
    fallbackSampler = new Sampler(device, samplerClampToEdge());
}

DescriptorPool::~DescriptorPool()
{
    // At shutdown the device deletes the fallback itself (releases are ignored then).
    device->releaseResource(fallbackImage);
    device->releaseResource(fallbackSampler);
    vkDestroyDescriptorPool(device->device, pool, nullptr);
}

VkDescriptorSet DescriptorPool::allocate(VkDescriptorSetLayout layout)
{
    std::lock_guard lock(mutex);
    if (liveSets >= maxSets) {
        throw std::runtime_error("DescriptorPool: all " + std::to_string(maxSets) + " descriptor sets are in use");
    }
    VkDescriptorSetAllocateInfo info{VK_STRUCTURE_TYPE_DESCRIPTOR_SET_ALLOCATE_INFO};
    info.descriptorPool = pool;
    info.descriptorSetCount = 1;
    info.pSetLayouts = &layout;
    VkDescriptorSet set = VK_NULL_HANDLE;
    vkCheck(vkAllocateDescriptorSets(device->device, &info, &set), "failed to allocate descriptor set!");
    liveSets++;
    allocatedSets++;
    return set;
}

void DescriptorPool::free(VkDescriptorSet set)
{
    std::lock_guard lock(mutex);
    vkFreeDescriptorSets(device->device, pool, 1, &set);
    liveSets--;
}

ImageView* DescriptorPool::fallbackView()
{
    return fallbackImage->view;
}

#include "Engine/Descriptor/DescriptorSet.h"

#include "Engine/Descriptor/DescriptorPool.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Image/Image.h"
#include "Engine/Image/Sampler.h"
#include "Engine/Storage/DataStorage.h"

#include <stdexcept>

namespace {

VkDescriptorType typeOfEntry(const DescriptorEntry& entry)
{
    switch (entry.kind) {
    case DescriptorBuffer:
        return reinterpret_cast<DataStorage*>(entry.a)->descriptorType();
    case DescriptorImageSampler:
        return VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER;
    case DescriptorInputAttachment:
        return VK_DESCRIPTOR_TYPE_INPUT_ATTACHMENT;
    default:
        throw std::runtime_error("DescriptorSet: entry of binding " + std::to_string(entry.binding) +
                                 " has unknown kind " + std::to_string(entry.kind));
    }
}

} // namespace

DescriptorSet::DescriptorSet(GraphicsDevice* device_, DescriptorPool* pool_, std::vector<DescriptorEntry> entries_)
    : GraphicsResource(device_, ResourceDescriptorSet, true), device(device_), pool(pool_),
      entries(std::move(entries_))
{
    std::vector<VkDescriptorSetLayoutBinding> bindings;
    bindings.reserve(entries.size());
    for (const DescriptorEntry& entry : entries) {
        bindings.push_back({entry.binding, typeOfEntry(entry), 1, VK_SHADER_STAGE_ALL, nullptr});
    }
    VkDescriptorSetLayoutCreateInfo layoutInfo{VK_STRUCTURE_TYPE_DESCRIPTOR_SET_LAYOUT_CREATE_INFO};
    layoutInfo.bindingCount = static_cast<u32>(bindings.size());
    layoutInfo.pBindings = bindings.data();
    VkDescriptorSetLayout layout = VK_NULL_HANDLE;
    vkCheck(vkCreateDescriptorSetLayout(device->device, &layoutInfo, nullptr, &layout),
            "failed to create descriptor set layout!");
    set = pool->allocate(layout);

    // Buffer descriptors start at offset 0 with the range of one slot; the slot's place
    // in the buffer is the dynamic offset given at bind time.
    std::vector<VkDescriptorBufferInfo> bufferInfos(entries.size());
    std::vector<VkDescriptorImageInfo> imageInfos(entries.size());
    std::vector<VkWriteDescriptorSet> writes;
    writes.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); i++) {
        const DescriptorEntry& entry = entries[i];
        VkWriteDescriptorSet write{VK_STRUCTURE_TYPE_WRITE_DESCRIPTOR_SET};
        write.dstSet = set;
        write.dstBinding = entry.binding;
        write.dstArrayElement = 0;
        write.descriptorCount = 1;
        write.descriptorType = bindings[i].descriptorType;
        if (entry.kind == DescriptorBuffer) {
            bufferInfos[i] = {reinterpret_cast<DataStorage*>(entry.a)->buffer, 0, static_cast<u32>(entry.b)};
            write.pBufferInfo = &bufferInfos[i];
        } else {
            VkSampler sampler =
                entry.kind == DescriptorImageSampler ? reinterpret_cast<Sampler*>(entry.b)->sampler : VK_NULL_HANDLE;
            imageInfos[i] = {sampler, reinterpret_cast<ImageView*>(entry.a)->view,
                             static_cast<VkImageLayout>(entry.layout)};
            write.pImageInfo = &imageInfos[i];
        }
        writes.push_back(write);
    }
    vkUpdateDescriptorSets(device->device, static_cast<u32>(writes.size()), writes.data(), 0, nullptr);
    vkDestroyDescriptorSetLayout(device->device, layout, nullptr);
}

DescriptorSet::~DescriptorSet()
{
    if (pool != nullptr && set != VK_NULL_HANDLE) {
        pool->free(set);
    }
}

#include "Engine/Image/Sampler.h"

#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"

Sampler::Sampler(GraphicsDevice* device_, const VkSamplerCreateInfo& info)
    : GraphicsResource(device_, ResourceSampler, true), device(device_)
{
    vkCheck(vkCreateSampler(device->device, &info, nullptr, &sampler), "failed to create sampler!");
}

Sampler::~Sampler()
{
    vkDestroySampler(device->device, sampler, nullptr);
}

namespace {

// Linear filtering, no LOD bias, no anisotropy, normalised coordinates.
VkSamplerCreateInfo linearSampler(VkSamplerAddressMode addressMode, f32 minLod, f32 maxLod)
{
    VkSamplerCreateInfo info{VK_STRUCTURE_TYPE_SAMPLER_CREATE_INFO};
    info.magFilter = VK_FILTER_LINEAR;
    info.minFilter = VK_FILTER_LINEAR;
    info.mipmapMode = VK_SAMPLER_MIPMAP_MODE_LINEAR;
    info.addressModeU = addressMode;
    info.addressModeV = addressMode;
    info.addressModeW = addressMode;
    info.mipLodBias = 0;
    info.anisotropyEnable = VK_FALSE;
    info.maxAnisotropy = 1;
    info.compareEnable = VK_FALSE;
    info.compareOp = VK_COMPARE_OP_ALWAYS;
    info.minLod = minLod;
    info.maxLod = maxLod;
    info.borderColor = VK_BORDER_COLOR_INT_OPAQUE_BLACK;
    info.unnormalizedCoordinates = VK_FALSE;
    return info;
}

} // namespace

VkSamplerCreateInfo samplerClampToEdge()
{
    return linearSampler(VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE, -1000, 1000);
}

VkSamplerCreateInfo samplerClampToEdgeNearest()
{
    VkSamplerCreateInfo info = samplerClampToEdge();
    info.magFilter = VK_FILTER_NEAREST;
    info.minFilter = VK_FILTER_NEAREST;
    info.mipmapMode = VK_SAMPLER_MIPMAP_MODE_NEAREST;
    return info;
}

VkSamplerCreateInfo samplerShadow()
{
    VkSamplerCreateInfo info = linearSampler(VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_BORDER, 0, 1);
    info.compareEnable = VK_TRUE;
    info.compareOp = VK_COMPARE_OP_LESS;
    info.borderColor = VK_BORDER_COLOR_FLOAT_OPAQUE_WHITE;
    return info;
}

VkSamplerCreateInfo samplerRepeat()
{
    return linearSampler(VK_SAMPLER_ADDRESS_MODE_REPEAT, -1000, 1000);
}

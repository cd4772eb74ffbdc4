#include "Engine/Image/Image.h"

#include "Engine/Command/CommandBuffer.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Fatal.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Image/ImageLimits.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>

namespace {

// Loaded textures are sampled; transfer source too, so that their pixels can be read back.
constexpr VkImageUsageFlags TextureUsage =
    VK_IMAGE_USAGE_TRANSFER_DST_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT | VK_IMAGE_USAGE_SAMPLED_BIT;

// A texture the device cannot hold ends the start with the file named, before Vulkan
// sees the image.
void refuseOversizedTexture(const std::string& path, const VkImageCreateInfo& info)
{
    if (std::string problem = imageCreationProblem(Engine::graphicsDevice, info); !problem.empty()) {
        fatalError("DDS image file from path[" + path + "] does not fit the device: " + problem, "Image", __LINE__);
    }
}

} // namespace

// ---- Image

VkImageCreateInfo imageCreateInfo(u32 width, u32 height, VkFormat format, VkImageUsageFlags usage, u32 mipLevels,
                                  u32 arrayLayers, VkImageCreateFlags flags)
{
    VkImageCreateInfo info{VK_STRUCTURE_TYPE_IMAGE_CREATE_INFO};
    info.flags = flags;
    info.imageType = VK_IMAGE_TYPE_2D;
    info.format = format;
    info.extent = {width, height, 1};
    info.mipLevels = mipLevels;
    info.arrayLayers = arrayLayers;
    info.samples = VK_SAMPLE_COUNT_1_BIT;
    info.tiling = VK_IMAGE_TILING_OPTIMAL;
    info.usage = usage;
    info.sharingMode = VK_SHARING_MODE_EXCLUSIVE;
    info.initialLayout = VK_IMAGE_LAYOUT_UNDEFINED;
    return info;
}

namespace {

ImageLimits imageLimitsOf(GraphicsDevice* device, const VkImageCreateInfo& info)
{
    ImageLimits limits;
    VkImageFormatProperties format{};
    if (vkGetPhysicalDeviceImageFormatProperties(device->physicalDevice, info.format, info.imageType, info.tiling,
                                                 info.usage, info.flags, &format) != VK_SUCCESS) {
        limits.formatSupported = false;
        return limits;
    }
    const VkPhysicalDeviceLimits& device2D = device->properties.limits;
    const u32 side = (info.flags & VK_IMAGE_CREATE_CUBE_COMPATIBLE_BIT) ? device2D.maxImageDimensionCube
                                                                         : device2D.maxImageDimension2D;
    limits.maxWidth = std::min(format.maxExtent.width, side);
    limits.maxHeight = std::min(format.maxExtent.height, side);
    limits.maxMipLevels = format.maxMipLevels;
    limits.maxArrayLayers = std::min(format.maxArrayLayers, device2D.maxImageArrayLayers);
    limits.maxResourceSize = format.maxResourceSize;
    return limits;
}

// The largest device-local allocation for memory of `typeBits`: its heap's size, or
// the device's largest single allocation when that is smaller.
u64 largestAllocation(GraphicsDevice* device, u32 typeBits)
{
    VkPhysicalDeviceMaintenance3Properties maintenance{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_MAINTENANCE_3_PROPERTIES};
    VkPhysicalDeviceProperties2 properties{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_PROPERTIES_2};
    properties.pNext = &maintenance;
    vkGetPhysicalDeviceProperties2(device->physicalDevice, &properties);
    VkPhysicalDeviceMemoryProperties memory;
    vkGetPhysicalDeviceMemoryProperties(device->physicalDevice, &memory);
    const u32 type = findMemoryType(device->physicalDevice, typeBits, VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT);
    return std::min<u64>(memory.memoryHeaps[memory.memoryTypes[type].heapIndex].size,
                         maintenance.maxMemoryAllocationSize);
}

} // namespace

std::string imageCreationProblem(GraphicsDevice* device, const VkImageCreateInfo& info)
{
    const ImageLimits limits = imageLimitsOf(device, info);
    std::string problem =
        imageShapeProblem({info.extent.width, info.extent.height, info.mipLevels, info.arrayLayers}, limits);
    if (!problem.empty()) {
        return problem;
    }
    VkDeviceImageMemoryRequirements request{VK_STRUCTURE_TYPE_DEVICE_IMAGE_MEMORY_REQUIREMENTS};
    request.pCreateInfo = &info;
    VkMemoryRequirements2 requirements{VK_STRUCTURE_TYPE_MEMORY_REQUIREMENTS_2};
    vkGetDeviceImageMemoryRequirements(device->device, &request, &requirements);
    ImageLimits memoryLimits = limits;
    memoryLimits.largestAllocation = largestAllocation(device, requirements.memoryRequirements.memoryTypeBits);
    return imageMemoryProblem(requirements.memoryRequirements.size, memoryLimits);
}

Image::Image(GraphicsDevice* device_, u32 width, u32 height, VkFormat format_, VkImageUsageFlags usage,
             VkImageAspectFlags aspect_, u32 mipLevels, u32 arrayLayers, VkImageCreateFlags flags,
             std::string* failure)
    : GraphicsResource(device_, ResourceStorage, true), device(device_)
{
    auto fail = [failure](const std::string& message) {
        if (failure == nullptr) {
            throw std::runtime_error(message);
        }
        *failure = message;
    };
    const VkImageCreateInfo info = imageCreateInfo(width, height, format_, usage, mipLevels, arrayLayers, flags);
    if (std::string problem = imageCreationProblem(device, info); !problem.empty()) {
        fail("failed to create image! (" + problem + ")");
        return;
    }
    if (vkCreateImage(device->device, &info, nullptr, &image) != VK_SUCCESS) {
        image = VK_NULL_HANDLE;
        fail("failed to create image!");
        return;
    }
    VkMemoryRequirements requirements;
    vkGetImageMemoryRequirements(device->device, image, &requirements);
    VkMemoryAllocateInfo allocation{VK_STRUCTURE_TYPE_MEMORY_ALLOCATE_INFO};
    allocation.allocationSize = requirements.size;
    allocation.memoryTypeIndex =
        findMemoryType(device->physicalDevice, requirements.memoryTypeBits, VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT);
    if (vkAllocateMemory(device->device, &allocation, nullptr, &memory) != VK_SUCCESS) {
        vkDestroyImage(device->device, image, nullptr);
        image = VK_NULL_HANDLE;
        memory = VK_NULL_HANDLE;
        fail("failed to allocate image memory!");
        return;
    }
    vkBindImageMemory(device->device, image, memory, 0);
    format = format_;
    extent = {width, height};
    aspect = aspect_;
    range = {aspect_, 0, mipLevels, 0, arrayLayers};
    ownsImage = 1;
}

Image::Image(GraphicsDevice* device_, VkImage image_, VkFormat format_)
    : GraphicsResource(device_, ResourceStorage, true), device(device_), ownsImage(0), image(image_),
      format(format_), aspect(VK_IMAGE_ASPECT_COLOR_BIT)
{
    range = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
}

Image::~Image()
{
    {
        // A texture released before the flush that would upload it leaves the list.
        std::lock_guard lock(device->uploadMutex);
        std::vector<Image*>& pending = device->pendingImageUploads;
        pending.erase(std::remove(pending.begin(), pending.end(), this), pending.end());
    }
    if (!ownsImage) {
        return;
    }
    vkDestroyImage(device->device, image, nullptr);
    vkFreeMemory(device->device, memory, nullptr);
    for (const ImageStagingRegion& region : stagingRegions) {
        vkDestroyBuffer(device->device, region.buffer, nullptr);
        vkFreeMemory(device->device, region.memory, nullptr);
    }
}

void Image::addStagingRegion(const void* data, u64 size, u32 width, u32 height, u32 baseArrayLayer, u32 layerCount,
                             u32 mipLevel)
{
    BufferAllocation staging =
        createBuffer(device->physicalDevice, device->device, size,
                     VK_BUFFER_USAGE_TRANSFER_SRC_BIT | VK_BUFFER_USAGE_TRANSFER_DST_BIT,
                     VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT | VK_MEMORY_PROPERTY_HOST_COHERENT_BIT);
    void* mapped = nullptr;
    vkCheck(vkMapMemory(device->device, staging.memory, 0, size, 0, &mapped), "failed to map staging memory!");
    std::memcpy(mapped, data, size);
    vkUnmapMemory(device->device, staging.memory);
    stagingRegions.push_back({staging.buffer, staging.memory, width, height, baseArrayLayer, layerCount, mipLevel});
}

void Image::scheduleUpload()
{
    std::lock_guard lock(device->uploadMutex);
    device->pendingImageUploads.push_back(this);
}

void Image::recordUpload(CommandBuffer* commandBuffer)
{
    commandBuffer->imageBarrier(this, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL,
                                VK_PIPELINE_STAGE_ALL_COMMANDS_BIT, VK_PIPELINE_STAGE_ALL_COMMANDS_BIT,
                                VK_ACCESS_SHADER_READ_BIT, VK_ACCESS_TRANSFER_WRITE_BIT);
    for (const ImageStagingRegion& region : stagingRegions) {
        VkBufferImageCopy copy{};
        copy.bufferOffset = 0;
        copy.bufferRowLength = 0;
        copy.bufferImageHeight = 0;
        copy.imageSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, region.mipLevel, region.baseArrayLayer,
                                 region.layerCount};
        copy.imageOffset = {0, 0, 0};
        copy.imageExtent = {region.width, region.height, 1};
        vkCmdCopyBufferToImage(commandBuffer->handle, region.buffer, image, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1,
                               &copy);
    }
    commandBuffer->imageBarrier(this, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL,
                                VK_PIPELINE_STAGE_ALL_COMMANDS_BIT, VK_PIPELINE_STAGE_ALL_COMMANDS_BIT,
                                VK_ACCESS_TRANSFER_WRITE_BIT, VK_ACCESS_SHADER_READ_BIT);
}

// ---- ImageView

ImageView::ImageView(GraphicsDevice* device_, Image* image, u32 levelCount, u32 layerCount)
    : device(device_)
{
    view = createImageView(device->device, image->image, image->format, image->aspect, levelCount, layerCount,
                           image->viewType(), 0);
    valid = 1;
}

ImageView::ImageView(GraphicsDevice* device_, Image* image, VkImageViewType type, u32 baseLayer, u32 layerCount)
    : device(device_)
{
    view = createImageView(device->device, image->image, image->format, image->aspect, image->range.levelCount,
                           layerCount, type, baseLayer);
    valid = 1;
}

ImageView::~ImageView()
{
    if (valid) {
        vkDestroyImageView(device->device, view, nullptr);
    }
}

// ---- Image2D

Image2D::~Image2D()
{
    delete view;
}

VkImageViewType Image2D::viewType()
{
    return VK_IMAGE_VIEW_TYPE_2D;
}

Image2D* Image2D::fromTexture(const char* path, bool mipmaps)
{
    DdsTexture texture = loadDDS(path);
    VkFormat format = vkFormatOfTexture(texture);
    u32 levels = mipmaps ? ddsFullLevelCount(texture.width, texture.height) : 1;
    std::string error;
    if (!ddsCheckLevelCount(texture, levels, path, &error)) {
        throw std::runtime_error(error);
    }
    refuseOversizedTexture(path,
                           imageCreateInfo(texture.width, texture.height, format, TextureUsage, levels, 1, 0));
    Image2D* image = new Image2D(Engine::graphicsDevice, texture.width, texture.height, format, TextureUsage,
                                 VK_IMAGE_ASPECT_COLOR_BIT, levels, 1, 0);
    image->view = new ImageView(image->device, image, levels, 1);
    for (u32 m = 0; m < levels; m++) {
        const DdsLevel& level = texture.levels[m];
        image->addStagingRegion(level.data.data(), level.data.size(), level.width, level.height, 0, 1, m);
    }
    image->scheduleUpload();
    return image;
}

// ---- Image2DArray

namespace {

constexpr VkFormat ShadowFormat = VK_FORMAT_D32_SFLOAT;
constexpr VkImageUsageFlags ShadowUsage = VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT | VK_IMAGE_USAGE_SAMPLED_BIT;
constexpr u32 ShadowLayers = 4;

} // namespace

Image2DArray::Image2DArray(u32 width, u32 height) : Image2DArray(width, height, nullptr) {}

Image2DArray::Image2DArray(u32 width, u32 height, std::string* failure)
    : Image(Engine::graphicsDevice, width, height, ShadowFormat, ShadowUsage, VK_IMAGE_ASPECT_DEPTH_BIT, 1,
            ShadowLayers, 0, failure)
{
    if (!ownsImage) {
        return;
    }
    for (u32 layer = 0; layer < ShadowLayers; layer++) {
        layerViews[layer] = new ImageView(device, this, VK_IMAGE_VIEW_TYPE_2D, layer, 1);
    }
    arrayView = new ImageView(device, this, VK_IMAGE_VIEW_TYPE_2D_ARRAY, 0, ShadowLayers);
}

VkImageCreateInfo Image2DArray::createInfo(u32 side)
{
    return imageCreateInfo(side, side, ShadowFormat, ShadowUsage, 1, ShadowLayers, 0);
}

Image2DArray::~Image2DArray()
{
    for (ImageView* view : layerViews) {
        delete view;
    }
    delete arrayView;
}

VkImageViewType Image2DArray::viewType()
{
    return VK_IMAGE_VIEW_TYPE_2D_ARRAY;
}

// ---- ImageCube

ImageCube::~ImageCube()
{
    delete view;
}

VkImageViewType ImageCube::viewType()
{
    return VK_IMAGE_VIEW_TYPE_CUBE;
}

ImageCube* ImageCube::load(const char* const faces[6])
{
    std::string paths[6];
    for (int i = 0; i < 6; i++) {
        paths[i] = std::string("assets/textures/skybox/") + faces[i];
    }
    return loadFiles(paths);
}

ImageCube* ImageCube::loadFiles(const std::string paths[6])
{
    std::vector<DdsTexture> textures;
    for (int i = 0; i < 6; i++) {
        textures.push_back(loadDDS(paths[i]));
    }
    VkFormat format = vkFormatOfTexture(textures[0]);
    std::string error;
    if (!ddsCheckCubeFaces(textures, std::vector<std::string>(paths, paths + 6), &error)) {
        fatalError(error, "Image", __LINE__);
    }
    const DdsTexture& first = textures[0];
    refuseOversizedTexture(paths[0], imageCreateInfo(first.width, first.height, format, TextureUsage, 1, 6,
                                                     VK_IMAGE_CREATE_CUBE_COMPATIBLE_BIT));
    ImageCube* cube = new ImageCube(Engine::graphicsDevice, first.width, first.height, format, TextureUsage,
                                    VK_IMAGE_ASPECT_COLOR_BIT, 1, 6, VK_IMAGE_CREATE_CUBE_COMPATIBLE_BIT);
    cube->view = new ImageView(cube->device, cube, 1, 6);
    for (u32 face = 0; face < 6; face++) {
        const DdsLevel& level = textures[face].levels[0];
        cube->addStagingRegion(level.data.data(), level.data.size(), first.width, first.height, face, 1, 0);
    }
    cube->scheduleUpload();
    return cube;
}

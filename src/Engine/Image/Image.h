#pragma once

#include "Engine/GraphicsDevice/GraphicsResource.h"

#include <vulkan/vulkan.h>

#include <string>
#include <vector>

class CommandBuffer;

// One staging buffer and where its pixels go.
struct ImageStagingRegion {
    VkBuffer buffer = VK_NULL_HANDLE;
    VkDeviceMemory memory = VK_NULL_HANDLE;
    u32 width = 0;
    u32 height = 0;
    u32 baseArrayLayer = 0;
    u32 layerCount = 1;
    u32 mipLevel = 0;
};

// A 2D Vulkan image with its own device-local memory, or a swap-chain image it only wraps.
class Image : public GraphicsResource {
public:
    GraphicsDevice* device = nullptr;
    u8 ownsImage = 0;
    VkImage image = VK_NULL_HANDLE;
    VkDeviceMemory memory = VK_NULL_HANDLE;
    VkFormat format = VK_FORMAT_UNDEFINED;
    VkImageSubresourceRange range{};
    VkExtent2D extent{};
    u32 aspect = 0;
    std::vector<ImageStagingRegion> stagingRegions;

    // Creates the image and its device-local memory. An image the device cannot hold
    // (beyond its limits, or more memory than it allocates at once) is refused before
    // Vulkan sees it. A failure throws std::runtime_error; with `failure` given, it is
    // put there instead and the image is left empty (nothing created, ownsImage 0).
    Image(GraphicsDevice* device, u32 width, u32 height, VkFormat format, VkImageUsageFlags usage,
          VkImageAspectFlags aspect, u32 mipLevels, u32 arrayLayers, VkImageCreateFlags flags,
          std::string* failure = nullptr);
    // Wraps a swap-chain image: owns nothing.
    Image(GraphicsDevice* device, VkImage image, VkFormat format);
    // Leaves the device's pending-upload list.
    ~Image() override;

    virtual VkImageViewType viewType() = 0;

    // Records the copies of the staging regions with the layout changes around them
    // (called by the upload flush only).
    void recordUpload(CommandBuffer* commandBuffer);

    // Adds a staging buffer filled with `size` bytes of `data` for the given region.
    void addStagingRegion(const void* data, u64 size, u32 width, u32 height, u32 baseArrayLayer, u32 layerCount,
                          u32 mipLevel);
    // Queues the image for the next upload flush.
    void scheduleUpload();
};

// The create info of a device-local 2D image as the creating constructor makes it.
VkImageCreateInfo imageCreateInfo(u32 width, u32 height, VkFormat format, VkImageUsageFlags usage, u32 mipLevels,
                                  u32 arrayLayers, VkImageCreateFlags flags);

// Why an image of `info` cannot be created on `device` and backed by one allocation of
// device-local memory; empty when it can.
std::string imageCreationProblem(GraphicsDevice* device, const VkImageCreateInfo& info);

// A view of an image, owned by the image object that made it.
class ImageView {
public:
    GraphicsDevice* device = nullptr;
    u8 valid = 0;
    VkImageView view = VK_NULL_HANDLE;

    ImageView(GraphicsDevice* device, Image* image, u32 levelCount, u32 layerCount);
    // A view of one array layer as a 2D view (the shadow cascades).
    ImageView(GraphicsDevice* device, Image* image, VkImageViewType type, u32 baseLayer, u32 layerCount);
    ~ImageView();
    ImageView(const ImageView&) = delete;
    ImageView& operator=(const ImageView&) = delete;
};

class Image2D : public Image {
public:
    ImageView* view = nullptr;

    using Image::Image;
    ~Image2D() override;
    VkImageViewType viewType() override;

    // Loads a DDS texture; the pixels reach the GPU with the next upload flush. With
    // mipmaps the file must hold the full mip chain.
    static Image2D* fromTexture(const char* path, bool mipmaps);
};

// The four-layer depth array of the shadow cascades.
class Image2DArray : public Image {
public:
    ImageView* layerViews[4]{};
    ImageView* arrayView = nullptr;

    Image2DArray(u32 width, u32 height); // on the global device
    // The same, reporting a failure in `failure` instead of throwing: the array is then
    // empty (no image, no views) and only to be released.
    Image2DArray(u32 width, u32 height, std::string* failure);
    // The create info of a shadow array of `side` x `side`.
    static VkImageCreateInfo createInfo(u32 side);
    ~Image2DArray() override;
    VkImageViewType viewType() override;
};

class ImageCube : public Image {
public:
    ImageView* view = nullptr;

    using Image::Image;
    ~ImageCube() override;
    VkImageViewType viewType() override;

    // Loads six faces from assets/textures/skybox/ in the order +X, -X, +Y, -Y, +Z, -Z.
    static ImageCube* load(const char* const faces[6]);
    // The same from six file paths. Faces that differ in format or size are refused.
    static ImageCube* loadFiles(const std::string paths[6]);
};

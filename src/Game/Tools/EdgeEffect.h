#pragma once

#include "Engine/Types.h"

#include <vulkan/vulkan.h>

class Camera;
class CommandBuffer;
class DataSet;
class DescriptorPool;
class GraphicsDevice;
class Image2D;
class Pipeline;
class Sampler;
struct ImageBinding;

namespace EdgeEffectShaders {
constexpr const char* Vertex = "shaders/edgeEffectVert.spv";
constexpr const char* Fragment = "shaders/edgeEffectFrag.spv";
constexpr const char* DescriptorLayout = "UBD_0+CIS_1";
constexpr VkFormat ColorFormat = VK_FORMAT_R8G8B8A8_UNORM;
} // namespace EdgeEffectShaders

// The hover outline: the hovered building's parts are drawn into depthImage by their
// own depth pass (BuildTool::renderPreviewPass); record() turns that silhouette into a
// rim in colorImage, which the post-process pass lays over the scene. Owned by the
// building manager, sized like the world's render targets and resized with them.
// Main thread only.
class EdgeEffect {
public:
    ImageBinding* colorBinding = nullptr; // what the post-process pass samples
    Image2D* colorImage = nullptr;
    GraphicsDevice* device = nullptr;
    VkExtent2D extent{};
    Pipeline* pipeline = nullptr;
    Image2D* depthImage = nullptr;
    ImageBinding* depthBinding = nullptr;
    Sampler* sampler = nullptr;      // linear, clamped: the colour image
    Sampler* depthSampler = nullptr; // the same without filtering (depth formats may not filter)
    DataSet* dataSet = nullptr;      // the camera's block, the depth image
    // The colour image's layout as the commands recorded so far leave it: undefined
    // until an outline pass (or the first frame's hand-over) made it readable.
    VkImageLayout colorLayout = VK_IMAGE_LAYOUT_UNDEFINED;

    EdgeEffect(Camera* camera, GraphicsDevice* device, DescriptorPool* pool, VkExtent2D extent);
    // Releases the images, sampler, data set and pipeline through the device and
    // deletes both bindings (whose data sets fall back to a placeholder).
    ~EdgeEffect();
    EdgeEffect(const EdgeEffect&) = delete;
    EdgeEffect& operator=(const EdgeEffect&) = delete;

    // New images of `newExtent`; the bindings take their views and tell their data sets.
    void resize(VkExtent2D newExtent);
    // After the depth pass: the depth image is read into the outline colour image,
    // which ends readable by the fragment shaders of the post-process pass.
    void record(CommandBuffer* cmd);
    // Before the post-process pass, whether or not an outline was drawn this frame:
    // the colour image becomes (or stays) readable, and this frame's outline visible.
    void prepareForSampling(CommandBuffer* cmd);

private:
    void createImages();
};

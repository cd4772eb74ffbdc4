#pragma once

// The world's window-sized render targets and the objects of its final full-screen
// pass. The targets are remade on every window resize; their image bindings stay and
// tell the data sets that sample them.

#include "Engine/Types.h"

#include <vulkan/vulkan.h>

class CommandBuffer;
class Image2D;
class World;

namespace PostProcessShaders {
constexpr const char* Vertex = "shaders/postProcessVert.spv";
constexpr const char* Fragment = "shaders/postProcessFrag.spv";
constexpr const char* DescriptorLayout = "UBD_0+CIS_1+CIS_2";
} // namespace PostProcessShaders

// The scene's depth during the sky pass: sampled by its shaders and, read-only, the
// depth attachment its draws are tested against.
constexpr VkImageLayout SceneDepthSkyLayout = VK_IMAGE_LAYOUT_DEPTH_STENCIL_READ_ONLY_OPTIMAL;

// Linear filtering, clamped to the edge: the colour targets.
VkSamplerCreateInfo targetSamplerInfo();
// The same without filtering: depth targets (D32_SFLOAT is not linearly filterable
// everywhere).
VkSamplerCreateInfo depthTargetSamplerInfo();

// Scene colour, scene depth, the copy of the scene depth that the water reads, the
// sea's surface depths and composite at width x height. The first call makes the
// image bindings; later calls give them the new views and notify their listeners.
void createRenderTargets(World& world, u32 width, u32 height);
// Releases the target images (deferred); the bindings stay.
void releaseRenderTargets(World& world);

// Copies the scene depth, a depth attachment outside any rendering, into `copy`:
// afterwards the scene depth is a depth attachment again (its contents kept) and the
// copy is readable by the fragment shaders that follow.
void copySceneDepth(CommandBuffer* cmd, Image2D* sceneDepth, Image2D* copy, VkExtent2D extent);

// An attachment of `image` in `layout`, loaded as `load` says and stored.
VkRenderingAttachmentInfo targetAttachment(Image2D* image, VkImageLayout layout, VkAttachmentLoadOp load);

// Begins rendering over the whole extent into the colour attachments (and `depth` when
// given).
void beginTargetPass(CommandBuffer* cmd, VkExtent2D extent, const VkRenderingAttachmentInfo* colors, u32 colorCount,
                     const VkRenderingAttachmentInfo* depth);

// The sea, drawn into the scene while a pass over `color` and `depth` (the scene's
// targets, `extent` large) is running; the same pass is running again afterwards (both
// attachments loaded). The pass is paused for a copy of the scene's depth, which the
// sea's fragments read; the sea's colour pass tests the depth without writing it, so
// that the fragments the scene hides are dropped before they are shaded, and writes
// its surface depths beside the colour; a full-screen pass then writes those depths.
void drawSea(CommandBuffer* cmd, World& world, const VkRenderingAttachmentInfo& color,
             const VkRenderingAttachmentInfo& depth, VkExtent2D extent, bool optimized);

// The sky pass into `target` (`extent` large) from the scene's colour and depth, the
// scene's depth in SceneDepthSkyLayout: the scattering tables are made again first if
// the camera moved or the sun turned; then the sky is drawn where the scene is empty
// and the haze over the rest, each kept to its pixels by the depth test.
void drawSkyPass(CommandBuffer* cmd, World& world, const VkRenderingAttachmentInfo& target, VkExtent2D extent,
                 bool optimized);

// The post-process uniform (the 4-byte outline flag), its data set and pipeline.
void createPostProcess(World& world);

#pragma once

#include "Engine/GraphicsDevice/GraphicsResource.h"
#include "Engine/Pipeline/ShaderCapabilities.h"

#include <vulkan/vulkan.h>

#include <mutex>
#include <vector>

class Window;
class CommandPool;
class CommandBuffer;
class DataStorageDevice;
class Image;

struct SubmitSync {
    VkFence fence = VK_NULL_HANDLE;
    VkSemaphore signal = VK_NULL_HANDLE;
};

// The one logical device and the registry of every GPU object. Released resources
// are deleted at once (meshes, vertex and index buffers) or at the end of the frame
// (everything else, after the previous frame's fence was waited on).
class GraphicsDevice : public GraphicsResource {
public:
    Window* window = nullptr;
    VkPhysicalDeviceProperties properties{};
    VkPhysicalDevice physicalDevice = VK_NULL_HANDLE;
    VkDevice device = VK_NULL_HANDLE;
    VkQueue queue = VK_NULL_HANDLE;
    u32 queueFamily = 0;
    // What the device was created with that shaders may use: their modules are checked
    // against it before the driver sees them.
    ShaderFeatures shaderFeatures;
    CommandPool* commandPool = nullptr;
    u32 frameIndex = 0;
    std::vector<DataStorageDevice*> pendingStorageUploads;
    std::vector<Image*> pendingImageUploads;
    std::mutex uploadMutex;
    std::vector<std::vector<GraphicsResource*>> registry;
    std::vector<GraphicsResource*> deferredDeletions;
    u8 shuttingDown = 0;
    u32 drawnInstances = 0;
    u32 drawnInstancesLastFrame = 0;
    // Guards `registry` and `deferredDeletions`: the loader thread of a new game
    // registers resources while the main thread releases and deletes others.
    std::mutex registryLock;

    GraphicsDevice(Window* window, VkPhysicalDevice physicalDevice, VkDevice device, u32 queueFamily);
    ~GraphicsDevice() override;

    void registerResource(GraphicsResource* resource);
    void releaseResource(GraphicsResource* resource);

    // Deletes everything released so far. Deleting can release further resources;
    // those are queued for the next call.
    void deleteDeferred();

    void submit(std::vector<CommandBuffer*>&& buffers, SubmitSync sync, std::vector<VkSemaphore>&& waits);

    // Waits for the device, then deletes every resource: deferred ones first, then
    // each registry list from the highest type id down, front to back.
    void shutdown();

    // Resources registered under `type` (a copy, for tests and the debug window).
    size_t resourceCount(u32 type);
    size_t deferredCount();
};

// Picks the hardware for the global window's surface and creates the logical device.
GraphicsDevice* createGraphicsDevice();

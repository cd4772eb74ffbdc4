#pragma once

#include "Engine/Types.h"

// Type ids: the registry list a resource lives in. Lists are deleted from the highest
// id down at shutdown, so samplers go first and pipelines last.
enum ResourceType : u32 {
    ResourcePipeline = 2,
    ResourceStorage = 3, // data storages, images, meshes, vertex and index buffers
    ResourceDescriptorPool = 4,
    ResourceDescriptorSet = 6, // data sets and descriptor sets
    ResourceSampler = 7,
};

class GraphicsDevice;

// Base of every GPU object. A derived constructor sets the type and the deletion
// mode and registers with the device before creating any Vulkan object; owners give
// resources up through GraphicsDevice::releaseResource, never by deleting them.
class GraphicsResource {
public:
    u8 deferredDelete = 1;
    u32 typeId = 0;
    u32 registryIndex = 0;

    GraphicsResource() = default;
    GraphicsResource(const GraphicsResource&) = delete;
    GraphicsResource& operator=(const GraphicsResource&) = delete;
    virtual ~GraphicsResource() = default;

protected:
    // Sets the type and deletion mode and registers with `device`.
    GraphicsResource(GraphicsDevice* device, ResourceType type, bool deferred);
};

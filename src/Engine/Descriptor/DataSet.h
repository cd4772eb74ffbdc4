#pragma once

#include "Engine/GraphicsDevice/GraphicsResource.h"

#include <vulkan/vulkan.h>

#include <functional>
#include <vector>

class DescriptorPool;
class DescriptorSet;
class ImageView;
class Sampler;
struct StorageSlot;

// Shared record through which the owner of a render target tells every data set
// that samples it that the view changed (destroyed 0) or that it is gone (destroyed 1).
struct ImageBinding {
    u8 destroyed = 0;
    std::vector<std::function<void(void*)>*> listeners;
    ImageView* view = nullptr;
    Sampler* sampler = nullptr;
    // The layout the image is in when it is sampled: shader-read-only, or for a depth
    // target that a pass also tests against while sampling it, depth-read-only.
    u32 layout = VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL;

    ImageBinding() = default;
    ImageBinding(ImageView* view, Sampler* sampler) : view(view), sampler(sampler) {}
    ImageBinding(const ImageBinding&) = delete;
    ImageBinding& operator=(const ImageBinding&) = delete;
    // Tells every listener that the binding is gone. Never throws.
    ~ImageBinding();
};

// Calls each listener in order with `argument`.
void notifyListeners(std::vector<std::function<void(void*)>*>& listeners, void* argument);

enum DataSetBindingKind : u32 {
    // An image binding whose ImageBinding was destroyed: the pool's fallback texture
    // takes its place, so the set keeps the layout of its pipeline.
    DataSetIgnored = 0,
    DataSetStorageSlot = 1, // target: StorageSlot*
    DataSetImage = 2,       // target: ImageBinding*
};

struct DataSetBinding {
    u32 binding = 0;
    u32 kind = 0;
    void* target = nullptr;
};

// What one descriptor set of a pass reads: storage slots (bound with their current
// offsets as dynamic offsets) and images. Rebuilt when an image binding changes.
class DataSet : public GraphicsResource {
public:
    DescriptorSet* descriptorSet = nullptr;
    std::vector<DataSetBinding> bindings; // storage-slot bindings in ascending binding order
    GraphicsDevice* device = nullptr;
    DescriptorPool* pool = nullptr;
    u8 dirty = 0;
    std::function<void(void*)> listener;

    DataSet(GraphicsDevice* device, DescriptorPool* pool, std::vector<DataSetBinding> bindings);
    ~DataSet() override;

    // A new descriptor set from the current bindings; the old one is released.
    void rebuild();
    // An image binding changed its view or was destroyed: rebuild at the next bind.
    void onBindingChanged(void* imageBinding);
};

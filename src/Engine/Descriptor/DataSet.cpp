#include "Engine/Descriptor/DataSet.h"

#include "Engine/Descriptor/DescriptorPool.h"
#include "Engine/Descriptor/DescriptorSet.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Storage/DataStorage.h"

#include <algorithm>

ImageBinding::~ImageBinding()
{
    destroyed = 1;
    notifyListeners(listeners, this);
}

void notifyListeners(std::vector<std::function<void(void*)>*>& listeners, void* argument)
{
    // Over a copy: a listener may change the list while it is walked.
    std::vector<std::function<void(void*)>*> current = listeners;
    for (std::function<void(void*)>* listener : current) {
        (*listener)(argument);
    }
}

DataSet::DataSet(GraphicsDevice* device_, DescriptorPool* pool_, std::vector<DataSetBinding> bindings_)
    : GraphicsResource(device_, ResourceDescriptorSet, true), bindings(std::move(bindings_)), device(device_),
      pool(pool_)
{
    listener = [this](void* imageBinding) { onBindingChanged(imageBinding); };
    for (const DataSetBinding& binding : bindings) {
        if (binding.kind == DataSetImage) {
            static_cast<ImageBinding*>(binding.target)->listeners.push_back(&listener);
        }
    }
    rebuild();
}

DataSet::~DataSet()
{
    for (const DataSetBinding& binding : bindings) {
        if (binding.kind == DataSetImage) {
            auto& listeners = static_cast<ImageBinding*>(binding.target)->listeners;
            listeners.erase(std::remove(listeners.begin(), listeners.end(), &listener), listeners.end());
        }
    }
    device->releaseResource(descriptorSet);
}

void DataSet::rebuild()
{
    std::vector<DescriptorEntry> entries;
    entries.reserve(bindings.size());
    for (const DataSetBinding& binding : bindings) {
        DescriptorEntry entry;
        entry.binding = binding.binding;
        if (binding.kind == DataSetStorageSlot) {
            const StorageSlot* slot = static_cast<const StorageSlot*>(binding.target);
            entry.kind = DescriptorBuffer;
            entry.a = reinterpret_cast<u64>(slot->storage);
            entry.b = slot->size;
        } else if (binding.kind == DataSetImage) {
            const ImageBinding* image = static_cast<const ImageBinding*>(binding.target);
            entry.kind = DescriptorImageSampler;
            entry.a = reinterpret_cast<u64>(image->view);
            entry.b = reinterpret_cast<u64>(image->sampler);
            entry.layout = image->layout;
        } else {
            // The image binding is gone: the fallback texture keeps the binding, so the
            // set still matches the layout of the pipeline it is bound to.
            entry.kind = DescriptorImageSampler;
            entry.a = reinterpret_cast<u64>(pool->fallbackView());
            entry.b = reinterpret_cast<u64>(pool->fallbackSampler);
        }
        entries.push_back(entry);
    }
    if (descriptorSet != nullptr) {
        // Frames still recording with it finish before the device deletes it.
        device->releaseResource(descriptorSet);
    }
    descriptorSet = new DescriptorSet(device, pool, std::move(entries));
    dirty = 0;
}

void DataSet::onBindingChanged(void* imageBinding)
{
    ImageBinding* changed = static_cast<ImageBinding*>(imageBinding);
    if (changed->destroyed) {
        for (DataSetBinding& binding : bindings) {
            if (binding.kind == DataSetImage && binding.target == changed) {
                binding.kind = DataSetIgnored;
                binding.target = nullptr;
            }
        }
    }
    // Rebuilt at the next bind: with the new view, or with the fallback texture in
    // place of a destroyed binding (the current set may name a view that is gone).
    dirty = 1;
}

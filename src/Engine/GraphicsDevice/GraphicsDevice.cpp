#include "Engine/GraphicsDevice/GraphicsDevice.h"

#include "Engine/Command/CommandBuffer.h"
#include "Engine/Command/CommandPool.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/Instance.h"
#include "Engine/Helper/Fatal.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Window/Window.h"

#include <stdexcept>

GraphicsResource::GraphicsResource(GraphicsDevice* device, ResourceType type, bool deferred)
    : deferredDelete(deferred ? 1 : 0), typeId(type)
{
    device->registerResource(this);
}

GraphicsDevice::GraphicsDevice(Window* window_, VkPhysicalDevice physicalDevice_, VkDevice device_, u32 queueFamily_)
    : window(window_), physicalDevice(physicalDevice_), device(device_), queueFamily(queueFamily_)
{
    deferredDelete = 0;
    vkGetDeviceQueue(device, queueFamily, 0, &queue);
    commandPool = new CommandPool(this);
    vkGetPhysicalDeviceProperties(physicalDevice, &properties);
}

GraphicsDevice::~GraphicsDevice()
{
    vkDestroyDevice(device, nullptr);
}

void GraphicsDevice::registerResource(GraphicsResource* resource)
{
    std::lock_guard lock(registryLock);
    if (resource->typeId >= registry.size()) {
        registry.resize(resource->typeId + 1);
    }
    std::vector<GraphicsResource*>& list = registry[resource->typeId];
    resource->registryIndex = static_cast<u32>(list.size());
    list.push_back(resource);
}

void GraphicsDevice::releaseResource(GraphicsResource* resource)
{
    if (shuttingDown || resource == nullptr) {
        return;
    }
    {
        std::lock_guard lock(registryLock);
        // A resource that is not where its index says (released twice, or never
        // registered) is ignored rather than corrupting the list.
        if (resource->typeId >= registry.size()) {
            return;
        }
        std::vector<GraphicsResource*>& list = registry[resource->typeId];
        u32 index = resource->registryIndex;
        if (index >= list.size() || list[index] != resource) {
            return;
        }
        GraphicsResource* last = list.back();
        list[index] = last;
        last->registryIndex = index;
        list.pop_back();
        if (resource->deferredDelete) {
            deferredDeletions.push_back(resource);
            return;
        }
    }
    delete resource;
}

void GraphicsDevice::deleteDeferred()
{
    std::vector<GraphicsResource*> doomed;
    {
        std::lock_guard lock(registryLock);
        doomed.swap(deferredDeletions);
    }
    for (GraphicsResource* resource : doomed) {
        delete resource;
    }
}

void GraphicsDevice::submit(std::vector<CommandBuffer*>&& buffers, SubmitSync sync, std::vector<VkSemaphore>&& waits)
{
    std::vector<VkCommandBuffer> handles;
    handles.reserve(buffers.size());
    for (CommandBuffer* buffer : buffers) {
        handles.push_back(buffer->handle);
    }
    std::vector<VkPipelineStageFlags> stages(waits.size(), VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT);
    VkSubmitInfo info{VK_STRUCTURE_TYPE_SUBMIT_INFO};
    info.waitSemaphoreCount = static_cast<u32>(waits.size());
    info.pWaitSemaphores = waits.data();
    info.pWaitDstStageMask = stages.data();
    info.commandBufferCount = static_cast<u32>(handles.size());
    info.pCommandBuffers = handles.data();
    if (sync.signal != VK_NULL_HANDLE) {
        info.signalSemaphoreCount = 1;
        info.pSignalSemaphores = &sync.signal;
    }
    VkResult result = vkQueueSubmit(queue, 1, &info, sync.fence);
    buffers.clear();
    waits.clear();
    if (result != VK_SUCCESS) {
        throw std::runtime_error("failed to submit draw command buffer!");
    }
}

void GraphicsDevice::shutdown()
{
    shuttingDown = 1;
    vkDeviceWaitIdle(device);
    for (GraphicsResource* resource : deferredDeletions) {
        delete resource;
    }
    deferredDeletions.clear();
    for (size_t type = registry.size(); type-- > 0;) {
        std::vector<GraphicsResource*> list;
        list.swap(registry[type]);
        for (GraphicsResource* resource : list) {
            delete resource;
        }
    }
    delete commandPool;
    commandPool = nullptr;
}

size_t GraphicsDevice::resourceCount(u32 type)
{
    std::lock_guard lock(registryLock);
    return type < registry.size() ? registry[type].size() : 0;
}

size_t GraphicsDevice::deferredCount()
{
    std::lock_guard lock(registryLock);
    return deferredDeletions.size();
}

GraphicsDevice* createGraphicsDevice()
{
    VkInstance instance = Engine::instanceRecord->instance;
    VkSurfaceKHR surface = Engine::window->surface;

    u32 count = 0;
    if (vkEnumeratePhysicalDevices(instance, &count, nullptr) != VK_SUCCESS) {
        fatalError("Failed to enumerate Physical Devices", "GraphicsDevice", 12);
    }
    std::vector<VkPhysicalDevice> devices(count);
    vkEnumeratePhysicalDevices(instance, &count, devices.data());
    devices.resize(count);

    VkPhysicalDevice physicalDevice = devices[pickPhysicalDevice(devices.data(), count, surface)];
    u32 family = findQueueFamily(physicalDevice, surface);

    float priority = 1.0f;
    VkDeviceQueueCreateInfo queueInfo{VK_STRUCTURE_TYPE_DEVICE_QUEUE_CREATE_INFO};
    queueInfo.queueFamilyIndex = family;
    queueInfo.queueCount = 1;
    queueInfo.pQueuePriorities = &priority;

    // Enable each wanted feature only where the device has it (software rasterisers
    // lack runtime descriptor arrays, which no binding here uses).
    VkPhysicalDeviceVulkan13Features available13{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_3_FEATURES};
    VkPhysicalDeviceVulkan12Features available12{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_2_FEATURES};
    available12.pNext = &available13;
    VkPhysicalDeviceFeatures2 available{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_FEATURES_2};
    available.pNext = &available12;
    vkGetPhysicalDeviceFeatures2(physicalDevice, &available);
    if (!available13.dynamicRendering || !available13.synchronization2) {
        fatalError("The Vulkan device lacks dynamic rendering or synchronization2.", "GraphicsDevice", 160);
    }

    VkPhysicalDeviceFeatures features{};
    features.depthBiasClamp = available.features.depthBiasClamp;
    features.fillModeNonSolid = available.features.fillModeNonSolid;
    VkPhysicalDeviceVulkan12Features features12{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_2_FEATURES};
    features12.runtimeDescriptorArray = available12.runtimeDescriptorArray;
    VkPhysicalDeviceVulkan13Features features13{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_3_FEATURES};
    features13.synchronization2 = VK_TRUE;
    features13.dynamicRendering = VK_TRUE;
    features12.pNext = &features13;

    const char* extensions[] = {VK_KHR_SWAPCHAIN_EXTENSION_NAME};
    VkDeviceCreateInfo info{VK_STRUCTURE_TYPE_DEVICE_CREATE_INFO};
    info.pNext = &features12;
    info.queueCreateInfoCount = 1;
    info.pQueueCreateInfos = &queueInfo;
    info.pEnabledFeatures = &features;
    info.enabledExtensionCount = 1;
    info.ppEnabledExtensionNames = extensions;

    VkDevice device = VK_NULL_HANDLE;
    VkResult result = vkCreateDevice(physicalDevice, &info, nullptr, &device);
    if (result != VK_SUCCESS) {
        fatalError("Failed to create the Vulkan device (VkResult " + std::to_string(result) + ")", "GraphicsDevice",
                   181);
    }
    // What shaders may declare beyond what every device takes: the features enabled
    // above and the subgroup operations the device has.
    VkPhysicalDeviceVulkan11Properties properties11{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_1_PROPERTIES};
    VkPhysicalDeviceProperties2 properties{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_PROPERTIES_2};
    properties.pNext = &properties11;
    vkGetPhysicalDeviceProperties2(physicalDevice, &properties);
    auto* created = new GraphicsDevice(Engine::window, physicalDevice, device, family);
    created->shaderFeatures.runtimeDescriptorArray = features12.runtimeDescriptorArray == VK_TRUE;
    created->shaderFeatures.subgroupOperations = properties11.subgroupSupportedOperations;
    return created;
}

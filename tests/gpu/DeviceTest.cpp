#include "GpuTest.h"

#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Window/Window.h"

#include <cstring>

using DeviceTest = GpuTest;

TEST_F(DeviceTest, CreatesVulkan13DeviceOnLavapipe)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    ASSERT_NE(device, nullptr);
    EXPECT_NE(device->device, VK_NULL_HANDLE);
    EXPECT_NE(device->queue, VK_NULL_HANDLE);
    EXPECT_GE(device->properties.apiVersion, VK_API_VERSION_1_3);
    EXPECT_NE(std::strstr(device->properties.deviceName, "llvmpipe"), nullptr) << device->properties.deviceName;
    EXPECT_NE(device->commandPool, nullptr);
    EXPECT_EQ(device->frameIndex, 0u);
    // The queue family draws and presents to the window's surface.
    VkBool32 present = VK_FALSE;
    vkGetPhysicalDeviceSurfaceSupportKHR(device->physicalDevice, device->queueFamily, Engine::window->surface,
                                         &present);
    EXPECT_TRUE(present);
}

namespace {

// A registered resource that counts its deletions and may release another one when
// it is deleted (as a data set releases its descriptor set).
class CountedResource : public GraphicsResource {
public:
    int* deletions;
    GraphicsResource* releaseOnDelete = nullptr;

    CountedResource(ResourceType type, bool deferred, int* deletions_)
        : GraphicsResource(Engine::graphicsDevice, type, deferred), deletions(deletions_)
    {
    }
    ~CountedResource() override
    {
        (*deletions)++;
        if (releaseOnDelete) Engine::graphicsDevice->releaseResource(releaseOnDelete);
    }
};

} // namespace

TEST_F(DeviceTest, ReleaseSwapsTheLastEntryIntoTheGap)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    int deletions = 0;
    size_t before = device->resourceCount(ResourceSampler);
    auto* a = new CountedResource(ResourceSampler, true, &deletions);
    auto* b = new CountedResource(ResourceSampler, true, &deletions);
    auto* c = new CountedResource(ResourceSampler, true, &deletions);
    EXPECT_EQ(c->registryIndex, before + 2);

    device->releaseResource(a); // from the middle: c takes a's place
    EXPECT_EQ(c->registryIndex, before);
    EXPECT_EQ(device->registry[ResourceSampler][before], c);
    EXPECT_EQ(device->resourceCount(ResourceSampler), before + 2);
    EXPECT_EQ(deletions, 0) << "deferred resources wait for the end of the frame";

    device->releaseResource(a); // twice: ignored, the list stays whole
    EXPECT_EQ(device->resourceCount(ResourceSampler), before + 2);
    EXPECT_EQ(device->deferredCount(), 1u);

    device->releaseResource(b); // the last one: the list only shrinks
    EXPECT_EQ(device->resourceCount(ResourceSampler), before + 1);
    device->deleteDeferred();
    EXPECT_EQ(deletions, 2);
    device->releaseResource(c);
    device->deleteDeferred();
    EXPECT_EQ(deletions, 3);
}

TEST_F(DeviceTest, ImmediateResourcesAreDeletedOnRelease)
{
    int deletions = 0;
    auto* mesh = new CountedResource(ResourceStorage, false, &deletions);
    Engine::graphicsDevice->releaseResource(mesh);
    EXPECT_EQ(deletions, 1);
    EXPECT_EQ(Engine::graphicsDevice->deferredCount(), 0u);
}

TEST_F(DeviceTest, ReleasesDuringTheDrainWaitForTheNextOne)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    int deletions = 0;
    auto* inner = new CountedResource(ResourceDescriptorSet, true, &deletions);
    auto* outer = new CountedResource(ResourceDescriptorSet, true, &deletions);
    outer->releaseOnDelete = inner;
    device->releaseResource(outer);
    device->deleteDeferred(); // deleting outer releases inner into the next drain
    EXPECT_EQ(deletions, 1);
    EXPECT_EQ(device->deferredCount(), 1u);
    device->deleteDeferred();
    EXPECT_EQ(deletions, 2);
}

TEST_F(DeviceTest, ShutdownDeletesEverythingOnceEvenWhenDestructorsRelease)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    int deletions = 0;
    auto* inner = new CountedResource(ResourceDescriptorSet, true, &deletions);
    auto* outer = new CountedResource(ResourceSampler, true, &deletions);
    outer->releaseOnDelete = inner; // released again while shutdown deletes the lists
    auto* pending = new CountedResource(ResourceStorage, true, &deletions);
    device->releaseResource(pending);
    device->shutdown();
    EXPECT_EQ(deletions, 3);
    for (const auto& list : device->registry) {
        EXPECT_TRUE(list.empty());
    }
    EXPECT_EQ(device->deferredCount(), 0u);
}

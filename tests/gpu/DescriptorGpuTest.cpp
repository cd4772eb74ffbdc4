#include "GpuTest.h"
#include "Offscreen.h"
#include "unit/DescriptorLayoutTable.h"

#include "Engine/Command/CommandBuffer.h"
#include "Engine/Descriptor/DataSet.h"
#include "Engine/Descriptor/DescriptorPool.h"
#include "Engine/Descriptor/DescriptorSet.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Image/Image.h"
#include "Engine/Image/Sampler.h"
#include "Engine/Storage/DataStorage.h"

namespace {

class DescriptorGpuTest : public GpuTest {
protected:
    std::vector<VkDescriptorSetLayout> setLayouts;
    VkPipelineLayout pipelineLayout = VK_NULL_HANDLE;

    void TearDown() override
    {
        destroyLayouts();
        GpuTest::TearDown();
    }

    // The set layouts and the pipeline layout of a layout string, as a pipeline makes them.
    void createLayouts(const std::string& layout)
    {
        VkDevice device = Engine::graphicsDevice->device;
        for (const std::vector<LayoutBinding>& set : parseDescriptorLayout(layout)) {
            std::vector<VkDescriptorSetLayoutBinding> bindings;
            for (const LayoutBinding& binding : set) {
                bindings.push_back({binding.binding, binding.type, 1, VK_SHADER_STAGE_ALL, nullptr});
            }
            VkDescriptorSetLayoutCreateInfo info{VK_STRUCTURE_TYPE_DESCRIPTOR_SET_LAYOUT_CREATE_INFO};
            info.bindingCount = static_cast<u32>(bindings.size());
            info.pBindings = bindings.data();
            VkDescriptorSetLayout setLayout = VK_NULL_HANDLE;
            vkCheck(vkCreateDescriptorSetLayout(device, &info, nullptr, &setLayout), "set layout");
            setLayouts.push_back(setLayout);
        }
        VkPipelineLayoutCreateInfo info{VK_STRUCTURE_TYPE_PIPELINE_LAYOUT_CREATE_INFO};
        info.setLayoutCount = static_cast<u32>(setLayouts.size());
        info.pSetLayouts = setLayouts.data();
        vkCheck(vkCreatePipelineLayout(device, &info, nullptr, &pipelineLayout), "pipeline layout");
    }

    void destroyLayouts()
    {
        VkDevice device = Engine::graphicsDevice->device;
        for (VkDescriptorSetLayout setLayout : setLayouts) {
            vkDestroyDescriptorSetLayout(device, setLayout, nullptr);
        }
        setLayouts.clear();
        if (pipelineLayout != VK_NULL_HANDLE) {
            vkDestroyPipelineLayout(device, pipelineLayout, nullptr);
            pipelineLayout = VK_NULL_HANDLE;
        }
    }

    // Binds what addDataSet collected with the test's pipeline layout (what bindDataSets
    // does with a pipeline's), so validation checks each set against its set layout.
    void bindPending(CommandBuffer* commands)
    {
        vkCmdBindDescriptorSets(commands->handle, VK_PIPELINE_BIND_POINT_GRAPHICS, pipelineLayout, 0,
                                commands->pendingSetCount, commands->pendingSets, commands->pendingOffsetCount,
                                commands->pendingOffsets);
        commands->pendingSetCount = 0;
        commands->pendingOffsetCount = 0;
    }

    static Image2D* smallTexture(u8 value)
    {
        GraphicsDevice* device = Engine::graphicsDevice;
        Image2D* image = new Image2D(device, 2, 2, VK_FORMAT_R8G8B8A8_UNORM,
                                     VK_IMAGE_USAGE_TRANSFER_DST_BIT | VK_IMAGE_USAGE_SAMPLED_BIT,
                                     VK_IMAGE_ASPECT_COLOR_BIT, 1, 1, 0);
        image->view = new ImageView(device, image, 1, 1);
        std::vector<u8> pixels(16, value);
        image->addStagingRegion(pixels.data(), pixels.size(), 2, 2, 0, 1, 0);
        image->scheduleUpload();
        return image;
    }
};

} // namespace

TEST_F(DescriptorGpuTest, EveryGameLayoutStringBuildsItsSetLayouts)
{
    for (const LayoutCase& layoutCase : gameLayoutStrings()) {
        if (layoutCase.poolString) {
            continue;
        }
        SCOPED_TRACE(layoutCase.layout);
        createLayouts(layoutCase.layout);
        EXPECT_EQ(setLayouts.size(), layoutCase.sets.size());
        EXPECT_NE(pipelineLayout, VK_NULL_HANDLE);
        destroyLayouts();
    }
    createLayouts("");
    EXPECT_TRUE(setLayouts.empty());
    EXPECT_NE(pipelineLayout, VK_NULL_HANDLE);
}

TEST_F(DescriptorGpuTest, ThePoolHoldsSamplersAndCountsItsSets)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    DescriptorPool* pool = new DescriptorPool(device, "UBD_100+SBD_100");
    ASSERT_EQ(pool->poolSizes.size(), 3u);
    EXPECT_EQ(pool->poolSizes[0].type, VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC);
    EXPECT_EQ(pool->poolSizes[0].descriptorCount, 100u);
    EXPECT_EQ(pool->poolSizes[1].type, VK_DESCRIPTOR_TYPE_STORAGE_BUFFER_DYNAMIC);
    EXPECT_EQ(pool->poolSizes[1].descriptorCount, 100u);
    EXPECT_EQ(pool->poolSizes[2].type, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER);
    EXPECT_EQ(pool->poolSizes[2].descriptorCount, pool->maxSets);
    EXPECT_EQ(pool->maxSets, DescriptorPool::DefaultMaxSets);
    EXPECT_EQ(pool->liveSets, 0u);
    ASSERT_NE(pool->fallbackImage, nullptr);
    ASSERT_NE(pool->fallbackSampler, nullptr);

    DsUniformSingle* uniforms = new DsUniformSingle(device, 1024);
    std::vector<DescriptorEntry> entries = {
        {0, DescriptorBuffer, reinterpret_cast<u64>(static_cast<DataStorage*>(uniforms)), 64},
        {1, DescriptorImageSampler, reinterpret_cast<u64>(pool->fallbackView()),
         reinterpret_cast<u64>(pool->fallbackSampler)}};
    std::vector<DescriptorSet*> sets;
    for (int i = 0; i < 5; i++) {
        sets.push_back(new DescriptorSet(device, pool, entries));
        EXPECT_NE(sets.back()->set, VK_NULL_HANDLE);
    }
    EXPECT_EQ(pool->liveSets, 5u);
    EXPECT_EQ(pool->allocatedSets, 5u);

    // Sets are freed back when the device deletes them, at the end of the frame.
    device->releaseResource(sets[0]);
    device->releaseResource(sets[1]);
    EXPECT_EQ(pool->liveSets, 5u);
    device->deleteDeferred();
    EXPECT_EQ(pool->liveSets, 3u);

    // Running out is an error of its own, not a driver's choice.
    pool->maxSets = 4;
    sets.push_back(new DescriptorSet(device, pool, entries));
    createLayouts("UBD_0+CIS_1");
    try {
        pool->allocate(setLayouts[0]);
        FAIL() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("DescriptorPool"), std::string::npos) << error.what();
    }
    EXPECT_EQ(pool->liveSets, 4u);
}

TEST_F(DescriptorGpuTest, DataSetsRebuildOnImageChangesAndFallBackWhenTheImageIsGone)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    DescriptorPool* pool = new DescriptorPool(device, "UBD_100+SBD_100");
    DsUniformSingle* uniforms = new DsUniformSingle(device, 4096);
    DsStorageSingle* storage = new DsStorageSingle(device, 4096);
    Image2D* first = smallTexture(10);
    Image2D* second = smallTexture(20);
    Sampler* sampler = new Sampler(device, samplerClampToEdge());

    StorageSlot camera{uniforms, 64, NoOffset};
    StorageSlot instances{storage, 128, NoOffset};
    ImageBinding* binding = new ImageBinding(first->view, sampler);
    // "UBD_0+CIS_1 SBD_4": two data sets, one per set.
    DataSet* material = new DataSet(device, pool, {{0, DataSetStorageSlot, &camera}, {1, DataSetImage, binding}});
    DataSet* perInstance = new DataSet(device, pool, {{4, DataSetStorageSlot, &instances}});
    ASSERT_EQ(binding->listeners.size(), 1u);
    EXPECT_EQ(binding->listeners[0], &material->listener);
    EXPECT_EQ(material->dirty, 0);
    createLayouts("UBD_0+CIS_1 SBD_4");

    CommandBuffer* commands = beginCommands();
    commands->flushUploads();
    // A slot that was never written has no offset to bind.
    try {
        commands->addDataSet(material);
        FAIL() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("never written"), std::string::npos) << error.what();
    }
    EXPECT_EQ(commands->pendingSetCount, 0u);
    EXPECT_EQ(commands->pendingOffsetCount, 0u);

    u8 block[128] = {};
    uniforms->switchHalf();
    storage->switchHalf();
    uniforms->write(NoOffset, block, 16, false);
    camera.offset = uniforms->write(camera.offset, block, 64, false);
    instances.offset = storage->write(instances.offset, block, 128, false);
    ASSERT_NE(camera.offset, 0u);

    commands->addDataSet(material);
    commands->addDataSet(perInstance);
    EXPECT_EQ(commands->pendingSetCount, 2u);
    ASSERT_EQ(commands->pendingOffsetCount, 2u);
    EXPECT_EQ(commands->pendingSets[0], material->descriptorSet->set);
    EXPECT_EQ(commands->pendingOffsets[0], camera.offset);
    EXPECT_EQ(commands->pendingOffsets[1], instances.offset);
    bindPending(commands);

    // Two swaps before the next bind: one rebuild; the old set is released, not freed.
    DescriptorSet* before = material->descriptorSet;
    binding->view = second->view;
    notifyListeners(binding->listeners, binding);
    binding->view = first->view;
    notifyListeners(binding->listeners, binding);
    EXPECT_EQ(material->dirty, 1);
    EXPECT_EQ(material->descriptorSet, before);
    size_t deferred = device->deferredCount();
    u32 live = pool->liveSets;
    commands->addDataSet(material);
    commands->addDataSet(perInstance);
    EXPECT_NE(material->descriptorSet, before);
    EXPECT_EQ(material->dirty, 0);
    EXPECT_EQ(device->deferredCount(), deferred + 1);
    EXPECT_EQ(pool->liveSets, live + 1);
    bindPending(commands);
    DescriptorSet* rebuilt = material->descriptorSet;
    commands->addDataSet(material);
    EXPECT_EQ(material->descriptorSet, rebuilt);
    commands->pendingSetCount = commands->pendingOffsetCount = 0;

    // The binding goes away: the data set keeps a set of the same layout, sampling the
    // pool's fallback texture.
    delete binding;
    EXPECT_EQ(material->bindings[1].kind, static_cast<u32>(DataSetIgnored));
    EXPECT_EQ(material->dirty, 1);
    commands->addDataSet(material);
    commands->addDataSet(perInstance);
    ASSERT_EQ(material->descriptorSet->entries.size(), 2u);
    EXPECT_EQ(material->descriptorSet->entries[1].kind, static_cast<u32>(DescriptorImageSampler));
    EXPECT_EQ(material->descriptorSet->entries[1].a, reinterpret_cast<u64>(pool->fallbackView()));
    bindPending(commands);
    submitCommandsAndWait(commands);

    // A data set destroyed before its binding leaves no listener behind.
    ImageBinding* later = new ImageBinding(second->view, sampler);
    DataSet* shortLived = new DataSet(device, pool, {{1, DataSetImage, later}, {3, DataSetImage, later}});
    EXPECT_EQ(later->listeners.size(), 2u);
    device->releaseResource(shortLived);
    device->deleteDeferred();
    EXPECT_TRUE(later->listeners.empty());
    delete later;
    device->releaseResource(material);
    device->releaseResource(perInstance);
}

TEST_F(DescriptorGpuTest, AddDataSetStaysWithinItsLimits)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    DescriptorPool* pool = new DescriptorPool(device, "UBD_100+SBD_100");
    DsUniformSingle* uniforms = new DsUniformSingle(device, 65536);
    uniforms->switchHalf();
    u8 block[16] = {};
    std::vector<StorageSlot> slots(11, StorageSlot{uniforms, 16, NoOffset});
    std::vector<DataSetBinding> bindings;
    for (u32 i = 0; i < 11; i++) {
        slots[i].offset = uniforms->write(NoOffset, block, 16, false);
        bindings.push_back({i, DataSetStorageSlot, &slots[i]});
    }
    DataSet* eleven = new DataSet(device, pool, bindings);
    DataSet* one = new DataSet(device, pool, {{0, DataSetStorageSlot, &slots[0]}});

    CommandBuffer* commands = beginCommands();
    for (int i = 0; i < 18; i++) {
        commands->addDataSet(eleven); // 198 offsets
    }
    EXPECT_THROW(commands->addDataSet(eleven), std::runtime_error); // 209 > 200
    commands->addDataSet(one);
    commands->addDataSet(one);
    EXPECT_EQ(commands->pendingSetCount, 20u);
    EXPECT_EQ(commands->pendingOffsetCount, 200u);
    EXPECT_THROW(commands->addDataSet(one), std::runtime_error); // a 21st set
    commands->pendingSetCount = commands->pendingOffsetCount = 0;
    submitCommandsAndWait(commands);
}

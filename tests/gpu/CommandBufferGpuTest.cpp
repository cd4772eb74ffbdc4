#include "GpuTest.h"
#include "Offscreen.h"
#include "Readback.h"

#include "Engine/Command/CommandBuffer.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Image/Image.h"
#include "Engine/Storage/DataStorage.h"

#include <cstring>

using CommandBufferGpuTest = GpuTest;

TEST_F(CommandBufferGpuTest, CopyRegionsCopiesEachRegionAtItsOffset)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    DsDeviceMeshSingle* storage = new DsDeviceMeshSingle(device, 1024);
    for (u32 i = 0; i < 2048; i++) {
        storage->mappedStaging[i] = static_cast<u8>(i * 3);
    }
    CommandBuffer* commands = beginCommands();
    commands->copyRegions(storage->stagingBuffer, storage->buffer, {{16, 32}, {100, 0}, {1500, 48}});
    submitCommandsAndWait(commands);
    EXPECT_EQ(readBuffer(storage->buffer, 16, 32), std::vector<u8>(storage->mappedStaging + 16, storage->mappedStaging + 48));
    EXPECT_EQ(readBuffer(storage->buffer, 1500, 48),
              std::vector<u8>(storage->mappedStaging + 1500, storage->mappedStaging + 1548));
}

TEST_F(CommandBufferGpuTest, FlushWithNothingPendingAndBarriersAndViewports)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    Image2D* image = new Image2D(device, 16, 8, VK_FORMAT_R8G8B8A8_UNORM,
                                 VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_SAMPLED_BIT,
                                 VK_IMAGE_ASPECT_COLOR_BIT, 1, 1, 0);
    CommandBuffer* commands = beginCommands();
    commands->flushUploads();
    commands->imageBarrier(image, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL,
                           VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT, VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, 0,
                           VK_ACCESS_SHADER_READ_BIT);
    commands->setViewportAndScissor({16, 8});
    commands->setViewport({16, 8});
    submitCommandsAndWait(commands);
    EXPECT_TRUE(device->pendingStorageUploads.empty());
    EXPECT_TRUE(device->pendingImageUploads.empty());
}

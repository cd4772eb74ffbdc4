#include "GpuTest.h"
#include "Offscreen.h"
#include "Readback.h"

#include "Engine/Command/CommandBuffer.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Image/Image.h"
#include "Engine/Mesh/Mesh.h"
#include "Engine/Storage/DataStorage.h"

#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

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

namespace {

// The message of what `draw` throws, or "" when it does not throw.
template <typename Draw> std::string thrownBy(Draw draw)
{
    try {
        draw();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "";
}

} // namespace

TEST_F(CommandBufferGpuTest, PartsOfAMeshStayWithinItsVerticesOrItsIndices)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    auto* storage = new DsDeviceMeshSingle(device, 4096);
    Cube* cube = new Cube(storage, 1.0f, 1.0f, 1.0f); // 24 vertices, 36 indices
    auto* plainVertices = new VertexBuffer(device, storage, vertexLayoutPosition);
    plainVertices->vertexCount = 3;
    Mesh* plain = new Mesh(device, "plain", plainVertices, nullptr);
    CommandBuffer* commands = beginCommands();

    // Index ranges: within the 36 indices, or refused before anything is recorded.
    auto indices = [&](u32 first, u32 count) {
        return thrownBy([&] { commands->drawMeshIndices(cube, first, count); });
    };
    // In range: the range passes and the draw stops only at the missing pipeline.
    EXPECT_NE(indices(30, 6).find("no pipeline"), std::string::npos);
    EXPECT_NE(indices(36, 0).find("no pipeline"), std::string::npos);
    for (auto [first, count] : {std::pair{30u, 7u}, {37u, 0u}, {0u, 37u}, {0xFFFFFFFFu, 2u}, {2u, 0xFFFFFFFFu}}) {
        EXPECT_NE(indices(first, count).find("indices beyond mesh"), std::string::npos) << first << " + " << count;
    }
    EXPECT_NE(thrownBy([&] { commands->drawMeshIndices(plain, 0, 3); }).find("has no indices"), std::string::npos);
    // Vertex ranges are for meshes without indices.
    EXPECT_NE(thrownBy([&] { commands->drawMeshVertices(cube, 0, 3); }).find("is indexed"), std::string::npos);
    EXPECT_NE(thrownBy([&] { commands->drawMeshVertices(plain, 1, 3); }).find("vertices beyond mesh"),
              std::string::npos);
    EXPECT_NE(thrownBy([&] { commands->drawMeshVertices(plain, 0, 3); }).find("no pipeline"), std::string::npos);
    // A mesh's name comes from its model file: the message quotes it escaped.
    plain->name = "plain\x1b[2J\xc2\x9b";
    EXPECT_EQ(thrownBy([&] { commands->drawMeshIndices(plain, 0, 3); }),
              "CommandBuffer::drawMeshIndices: mesh \"plain\\x1b[2J\\u009b\" has no indices");
    submitCommandsAndWait(commands);

    device->releaseResource(plain);
    device->releaseResource(cube);
    device->releaseResource(storage);
    EXPECT_TRUE(validationErrors().empty());
}

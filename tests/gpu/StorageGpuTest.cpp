#include "GpuTest.h"
#include "Offscreen.h"
#include "Readback.h"

#include "Engine/Command/CommandBuffer.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Mesh/Mesh.h"
#include "Engine/Storage/DataStorage.h"

#include <atomic>
#include <cstring>
#include <thread>

namespace {

class StorageGpuTest : public GpuTest {
protected:
    void TearDown() override
    {
        Engine::meshStorage = nullptr; // deleted with the device
        GpuTest::TearDown();
    }

    static void flush()
    {
        CommandBuffer* commands = beginCommands();
        commands->flushUploads();
        submitCommandsAndWait(commands);
    }

    static std::vector<u8> staged(DsDeviceMeshSingle* storage, u32 offset, u32 size)
    {
        return std::vector<u8>(storage->mappedStaging + offset, storage->mappedStaging + offset + size);
    }

    static std::vector<u8> bytesOf(const void* data, size_t size)
    {
        const u8* bytes = static_cast<const u8*>(data);
        return std::vector<u8>(bytes, bytes + size);
    }
};

std::vector<u8> pattern(u32 size, u32 seed)
{
    std::vector<u8> bytes(size);
    for (u32 i = 0; i < size; i++) {
        bytes[i] = static_cast<u8>(seed * 131 + i * 7);
    }
    return bytes;
}

} // namespace

TEST_F(StorageGpuTest, DeviceMeshStorageUploadsWhatWasWritten)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    DsDeviceMeshSingle* storage = new DsDeviceMeshSingle(device, 4000);
    EXPECT_EQ(storage->halfSize, 4000u);
    EXPECT_EQ(storage->totalSize(), 8000u);
    EXPECT_EQ(storage->descriptorType(), VK_DESCRIPTOR_TYPE_MAX_ENUM);
    storage->switchHalf();

    std::vector<u8> a = pattern(100, 1), b = pattern(7, 2), c = pattern(64, 3);
    EXPECT_EQ(storage->write(NoOffset, a.data(), 100, false), 0u);
    EXPECT_EQ(storage->write(NoOffset, b.data(), 7, true), 112u);
    EXPECT_EQ(storage->write(NoOffset, c.data(), 64, false), 128u); // aligned again after the unaligned write
    EXPECT_EQ(storage->dirty, 1);
    ASSERT_EQ(storage->regions.size(), 1u);
    EXPECT_EQ(storage->regions[0].start, 0u);
    EXPECT_EQ(storage->regions[0].size, 192u);
    storage->scheduleUpload();
    flush();
    EXPECT_EQ(storage->dirty, 0);
    EXPECT_TRUE(device->pendingStorageUploads.empty());
    EXPECT_EQ(readBuffer(storage->buffer, 0, 100), a);
    EXPECT_EQ(readBuffer(storage->buffer, 112, 7), b);
    EXPECT_EQ(readBuffer(storage->buffer, 128, 64), c);

    // Filled through allocate and scheduled afterwards: still uploaded.
    void* out = nullptr;
    u32 offset = storage->allocate(NoOffset, &out, 48);
    EXPECT_EQ(offset, 192u);
    flush(); // nothing scheduled: the half-filled block stays in staging
    std::vector<u8> d = pattern(48, 4);
    std::memcpy(out, d.data(), 48);
    storage->scheduleUpload();
    flush();
    EXPECT_EQ(readBuffer(storage->buffer, 0, 240), staged(storage, 0, 240));
    EXPECT_EQ(readBuffer(storage->buffer, 192, 48), d);

    // The other half: the region restarts there.
    storage->switchHalf();
    EXPECT_EQ(storage->regions[0].start, 4000u);
    EXPECT_EQ(storage->regions[0].size, 0u);
    std::vector<u8> e = pattern(4000, 5);
    EXPECT_EQ(storage->write(NoOffset, e.data(), 4000, false), 4000u);
    storage->scheduleUpload();
    flush();
    EXPECT_EQ(readBuffer(storage->buffer, 4000, 4000), e);
    // The first half's device copy is untouched.
    EXPECT_EQ(readBuffer(storage->buffer, 0, 100), a);
}

TEST_F(StorageGpuTest, ReservedRoomIsUploadedOnlyOnceMarkedWritten)
{
    DsDeviceMeshSingle* storage = new DsDeviceMeshSingle(Engine::graphicsDevice, 4000);
    storage->switchHalf();
    std::vector<u8> a = pattern(100, 1), b = pattern(64, 2), c = pattern(30, 3);
    EXPECT_EQ(storage->write(NoOffset, a.data(), 100, false), 0u);
    storage->scheduleUpload();
    flush();

    // Placed where writes would place them, but not yet part of what flushes copy.
    void* first = nullptr;
    void* second = nullptr;
    EXPECT_EQ(storage->reserve(&first, 64), 112u);
    EXPECT_EQ(storage->reserve(&second, 30), 176u);
    EXPECT_EQ(storage->dirty, 0);
    EXPECT_EQ(storage->regions[0].size, 112u);
    std::memcpy(first, b.data(), 64); // the second block is still being written
    storage->scheduleUpload();
    flush();
    EXPECT_EQ(storage->regions[0].size, 112u);

    std::memcpy(second, c.data(), 30);
    storage->markReservedWritten();
    EXPECT_EQ(storage->dirty, 1);
    EXPECT_EQ(storage->regions[0].size, 208u);
    storage->scheduleUpload();
    flush();
    EXPECT_EQ(readBuffer(storage->buffer, 0, 100), a);
    EXPECT_EQ(readBuffer(storage->buffer, 112, 64), b);
    EXPECT_EQ(readBuffer(storage->buffer, 176, 30), c);
}

TEST_F(StorageGpuTest, DeviceMeshStorageRefusesWritesPastTheHalf)
{
    DsDeviceMeshSingle* storage = new DsDeviceMeshSingle(Engine::graphicsDevice, 256);
    storage->switchHalf();
    std::vector<u8> bytes = pattern(256, 0);
    storage->write(NoOffset, bytes.data(), 200, false);
    try {
        storage->write(NoOffset, bytes.data(), 57, false);
        FAIL() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("DsDeviceMeshSingle"), std::string::npos) << error.what();
    }
    void* out = nullptr;
    EXPECT_THROW(storage->allocate(NoOffset, &out, 64), std::runtime_error);
    EXPECT_EQ(storage->write(NoOffset, bytes.data(), 48, false), 208u);
    EXPECT_EQ(storage->regions[0].size, 256u);
}

TEST_F(StorageGpuTest, WritesOfALoaderThreadAreNeverLost)
{
    DsDeviceMeshSingle* storage = new DsDeviceMeshSingle(Engine::graphicsDevice, 1 << 20);
    storage->switchHalf();
    constexpr u32 Blocks = 400, BlockSize = 1000;
    std::vector<u32> offsets(Blocks);
    std::atomic<bool> done{false};
    std::atomic<int> frames{0};
    std::thread loader([&] {
        for (u32 i = 0; i < Blocks; i++) {
            // Halfway, wait for a flush so that frames really interleave with the writes.
            while (i == Blocks / 2 && frames.load() == 0) {
                std::this_thread::yield();
            }
            std::vector<u8> block = pattern(BlockSize, i);
            offsets[i] = storage->write(NoOffset, block.data(), BlockSize, i % 3 == 0);
            if (i % 10 == 9) {
                storage->scheduleUpload();
            }
        }
        storage->scheduleUpload();
        done = true;
    });
    // The main thread flushes frames while the loader writes.
    while (!done) {
        flush();
        frames++;
    }
    loader.join();
    flush();
    EXPECT_GT(frames.load(), 0);
    std::vector<u8> device = readBuffer(storage->buffer, 0, storage->cursor);
    for (u32 i = 0; i < Blocks; i++) {
        std::vector<u8> block(device.begin() + offsets[i], device.begin() + offsets[i] + BlockSize);
        ASSERT_EQ(block, pattern(BlockSize, i)) << "block " << i;
    }
}

TEST_F(StorageGpuTest, ReleasedStoragesLeaveThePendingList)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    u8 byte = 1;
    // Released, then deleted before any flush.
    DsDeviceMeshSingle* first = new DsDeviceMeshSingle(device, 64);
    first->switchHalf();
    first->write(NoOffset, &byte, 1, false);
    first->scheduleUpload();
    device->releaseResource(first);
    device->deleteDeferred();
    EXPECT_TRUE(device->pendingStorageUploads.empty());

    // Released, flushed before it is deleted: nothing is copied from it.
    DsDeviceMeshSingle* second = new DsDeviceMeshSingle(device, 64);
    second->switchHalf();
    second->write(NoOffset, &byte, 1, false);
    second->scheduleUpload();
    device->releaseResource(second);
    EXPECT_EQ(device->pendingStorageUploads.size(), 1u);
    flush(); // also deletes it at the end of the "frame"
    EXPECT_TRUE(device->pendingStorageUploads.empty());
}

TEST_F(StorageGpuTest, CubeAndSphereReachTheDeviceStreamByStream)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    Engine::meshStorage = new DsDeviceMeshSingle(device, 100000);
    Engine::meshStorage->switchHalf();
    Cube* cube = new Cube(Engine::meshStorage, 2, 4, 6);
    Sphere* sphere = new Sphere(1.5f);
    Engine::meshStorage->scheduleUpload();
    flush();

    struct Shape {
        Mesh* mesh;
        PlanarVertexData vertices;
        std::vector<u32> indices;
    };
    Shape shapes[] = {{cube, Cube::generateVertices(2, 4, 6), Cube::generateIndices()},
                      {sphere, Sphere::generateVertices(1.5f), Sphere::generateIndices()}};
    for (Shape& shape : shapes) {
        VertexBuffer* vertices = shape.mesh->vertexBuffer;
        EXPECT_EQ(vertices->layout, vertexLayoutPosNormalUv);
        EXPECT_EQ(vertices->vertexCount, shape.vertices.vertexCount);
        for (u32 a = 0; a < 3; a++) {
            const VertexStreamSlot& stream = vertices->streams[a];
            u32 size = vertexLayoutPosNormalUv->attributes[a].size * shape.vertices.vertexCount;
            EXPECT_EQ(stream.count, shape.vertices.vertexCount);
            EXPECT_EQ(stream.byteSize, size);
            EXPECT_EQ(stream.offset % 16, 0u);
            EXPECT_EQ(readBuffer(Engine::meshStorage->buffer, stream.offset, size), bytesOf(shape.vertices.stream(a), size))
                << "stream " << a;
        }
        EXPECT_EQ(vertices->streamOfKind(AttributeVertexColor), nullptr);
        EXPECT_EQ(vertices->streams[3].offset, NoOffset);
        IndexBuffer* indices = shape.mesh->indexBuffer;
        ASSERT_NE(indices, nullptr);
        EXPECT_EQ(indices->count, shape.indices.size());
        EXPECT_EQ(indices->byteSize, shape.indices.size() * 4);
        EXPECT_EQ(readBuffer(Engine::meshStorage->buffer, indices->offset, indices->byteSize),
                  bytesOf(shape.indices.data(), indices->byteSize));
    }

    // Meshes, vertex and index buffers go at once on release; the storage stays.
    size_t before = device->resourceCount(ResourceStorage);
    device->releaseResource(cube);
    EXPECT_EQ(device->resourceCount(ResourceStorage), before - 3);
    EXPECT_EQ(device->deferredCount(), 0u);
}

TEST_F(StorageGpuTest, AttributesMissingOnEitherSideAreSkipped)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    DsDeviceMeshSingle* storage = new DsDeviceMeshSingle(device, 10000);
    storage->switchHalf();
    // Source: position, normal, texcoord. Target: position and vertex colour.
    PlanarVertexData source = Cube::generateVertices(1, 1, 1);
    VertexBuffer* target = new VertexBuffer(device, storage, vertexLayoutPosNormalColor);
    VertexBuffer::setAttributeData(source, target, 10);
    EXPECT_EQ(target->vertexCount, 10u);
    EXPECT_EQ(target->streams[0].count, 10u);
    EXPECT_EQ(target->streams[0].byteSize, 120u);
    EXPECT_EQ(target->streams[1].count, 10u);
    EXPECT_EQ(target->streams[2].offset, NoOffset); // vertex colour: not in the source
    EXPECT_EQ(target->streams[2].count, 0u);
    EXPECT_THROW(VertexBuffer::setAttributeData(source, target, 25), std::runtime_error);

    Mesh* a = new Mesh(device, "tower", target, nullptr);
    Mesh* b = new Mesh(device, "tower", new VertexBuffer(device, storage, vertexLayoutPosition), nullptr);
    Mesh* c = new Mesh(device, "towerX", new VertexBuffer(device, storage, vertexLayoutPosition), nullptr);
    EXPECT_EQ(findMeshByName({c, a, b}, "tower"), a);
    EXPECT_EQ(findMeshByName({c, a, b}, "towe"), nullptr);
    EXPECT_EQ(findMeshByName({c, a, b}, "towerX"), c);
}

TEST_F(StorageGpuTest, RingAndPoolSizesFollowTheDeviceLimits)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    u32 uniformLimit = static_cast<u32>(device->properties.limits.minUniformBufferOffsetAlignment);
    u32 storageLimit = static_cast<u32>(device->properties.limits.minStorageBufferOffsetAlignment);

    DsUniformSingle* uniforms = new DsUniformSingle(device, 100000);
    EXPECT_EQ(uniforms->halfSize, alignUp(100000, uniformLimit));
    EXPECT_EQ(uniforms->totalSize(), 2 * alignUp(100000, uniformLimit));
    EXPECT_EQ(uniforms->descriptorType(), VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC);
    u8 byte = 9;
    uniforms->switchHalf();
    EXPECT_EQ(uniforms->write(NoOffset, &byte, 1, false), 0u);
    EXPECT_EQ(uniforms->cursor, alignUp(1, uniforms->alignment));
    EXPECT_EQ(uniforms->mapped[0], 9);

    DsStorageSingle* storage = new DsStorageSingle(device, 16000000);
    EXPECT_EQ(storage->totalSize(), 2 * alignUp(16000000, storageLimit));
    EXPECT_EQ(storage->descriptorType(), VK_DESCRIPTOR_TYPE_STORAGE_BUFFER_DYNAMIC);

    Engine::graphicsDevice = device;
    DsStorageFixed* instances = new DsStorageFixed();
    EXPECT_EQ(instances->slotSize, alignUp(128, storageLimit));
    EXPECT_EQ(instances->totalSize(), 100000 * alignUp(128, storageLimit));
    EXPECT_EQ(instances->descriptorType(), VK_DESCRIPTOR_TYPE_STORAGE_BUFFER_DYNAMIC);
    DsUniformFixed* chunks = new DsUniformFixed();
    EXPECT_EQ(chunks->totalSize(), 1024 * alignUp(64, uniformLimit));
    EXPECT_EQ(chunks->descriptorType(), VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC);
    u32 first = chunks->write(NoOffset, &byte, 1, false);
    EXPECT_EQ(chunks->write(first, &byte, 1, false), chunks->slotSize);
    EXPECT_EQ(chunks->pendingFreeCount, 1u);

    DsMeshSingle* lines = new DsMeshSingle(1000);
    EXPECT_EQ(lines->totalSize(), 2 * 1008u);
    EXPECT_EQ(lines->descriptorType(), VK_DESCRIPTOR_TYPE_MAX_ENUM);

    // Released storages are deleted at the end of the frame, not at once.
    device->releaseResource(lines);
    EXPECT_EQ(device->deferredCount(), 1u);
}

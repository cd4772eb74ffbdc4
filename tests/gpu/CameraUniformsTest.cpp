#include "GpuTest.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Storage/DataStorage.h"

#include <cstring>

using CameraUniformsTest = GpuTest;

TEST_F(CameraUniformsTest, BlockReachesThePerFrameStorage)
{
    auto* storage = new DsUniformSingle(Engine::graphicsDevice, 100'000);
    Engine::frameUniforms = storage;
    {
        // A new camera writes its zeroed block once.
        Camera camera;
        ASSERT_NE(camera.uniformSlot->offset, NoOffset);
        EXPECT_EQ(camera.uniformSlot->storage, storage);
        EXPECT_EQ(camera.uniformSlot->size, 104u);
        CameraUniforms zero{};
        EXPECT_EQ(std::memcmp(storage->mapped + camera.uniformSlot->offset, &zero, sizeof zero), 0);

        camera.position = {3, 40, -7};
        camera.setPerspective(60.0f, 1.5f, 2.5f, 20000.0f);
        camera.uploadUniforms();
        const u8* block = storage->mapped + camera.uniformSlot->offset;
        EXPECT_EQ(std::memcmp(block, &camera.uniforms, 104), 0);
        f32 nearFar[2];
        std::memcpy(nearFar, block + 96, sizeof nearFar);
        EXPECT_EQ(nearFar[0], 2.5f);
        EXPECT_EQ(nearFar[1], 20000.0f);
        // Uniform blocks are bound with dynamic offsets: each write lands aligned.
        EXPECT_EQ(camera.uniformSlot->offset % Engine::graphicsDevice->properties.limits.minUniformBufferOffsetAlignment,
                  0u);
    }
    Engine::frameUniforms = nullptr; // the device deletes the storage at shutdown
}

#include "GpuTest.h"
#include "Offscreen.h"

#include "Engine/Command/CommandBuffer.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Physics/BulletHandler.h"
#include "Engine/Physics/Pacing.h"
#include "Engine/Physics/PhysicsObject.h"
#include "Engine/Physics/PhysicsWorld.h"
#include "Engine/Storage/DataStorage.h"
#include "Engine/SwapChain/SwapChain.h"
#include "Engine/Window/Window.h"

#include <btBulletDynamicsCommon.h>
#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>

#include <cstring>
#include <memory>

namespace {

const float Clear[4] = {0.0f, 0.0f, 0.0f, 0.0f};
constexpr u32 CameraBlockSize = 104;

// The debug drawer on a physics world of its own, rendering into an off-screen target
// of the window's size in the swap chain's format, as the world's main pass does.
class PhysicsDebugDrawTest : public GpuTest {
protected:
    PhysicsDebugDrawTest() : GpuTest({.frameUniforms = false}) {}

    void SetUp() override
    {
        GpuTest::SetUp();
        if (HasFatalFailure()) return;
        uniforms = new DsUniformSingle(Engine::graphicsDevice, 100000);
        world.init(EngineWorldGravity);
        handler = new BulletHandler(TickSeconds, world.world);
        world.world->setDebugDrawer(handler);
        width = static_cast<u32>(Engine::window->width);
        height = static_cast<u32>(Engine::window->height);
        target = createOffscreenTarget(width, height, Engine::swapChain->format,
                                       findDepthFormat(Engine::graphicsDevice->physicalDevice));
    }
    void TearDown() override
    {
        if (world.world) {
            for (auto& object : objects) world.world->removeRigidBody(object->body);
        }
        delete handler; // releases its GPU objects through the device
        if (target.color) destroyOffscreenTarget(target);
        GpuTest::TearDown();
    }

    void addBox(btVector3 position)
    {
        btTransform start;
        start.setIdentity();
        start.setOrigin(position);
        objects.push_back(std::make_unique<PhysicsObject>(&box, start, PhysicsObjectDesc{}));
        world.world->addRigidBody(objects.back()->body);
    }

    // One frame: camera block, pass, the physics lines, read back.
    std::vector<u8> render(CommandBuffer*& commandBuffer)
    {
        u8 block[CameraBlockSize] = {};
        const glm::mat4 projection =
            glm::perspective(glm::radians(60.0f), static_cast<f32>(width) / static_cast<f32>(height), 0.1f, 100.0f);
        const glm::mat4 view = glm::lookAt(glm::vec3(0, 0, -5), glm::vec3(0, 0, 0), glm::vec3(0, 1, 0));
        const glm::mat4 viewProjection = projection * view;
        std::memcpy(block, &viewProjection, sizeof(viewProjection));
        uniforms->switchHalf();
        camera.storage = uniforms;
        camera.size = CameraBlockSize;
        camera.offset = uniforms->write(camera.offset, block, CameraBlockSize, false);

        commandBuffer = beginCommands();
        beginOffscreenPass(commandBuffer, target, Clear);
        handler->draw(*commandBuffer, &camera);
        endOffscreenPass(commandBuffer, target);
        submitCommandsAndWait(commandBuffer);
        return readPixels(target);
    }

    static bool lit(const Pixel& p) { return p.c[0] != 0 || p.c[1] != 0 || p.c[2] != 0; }

    PhysicsWorld world;
    BulletHandler* handler = nullptr;
    DsUniformSingle* uniforms = nullptr;
    StorageSlot camera;
    OffscreenTarget target;
    u32 width = 0, height = 0;
    btBoxShape box{btVector3(1, 1, 1)};
    std::vector<std::unique_ptr<PhysicsObject>> objects;
};

} // namespace

TEST_F(PhysicsDebugDrawTest, AnEmptyWorldRecordsNothing)
{
    CommandBuffer* commandBuffer = nullptr;
    const std::vector<u8> pixels = render(commandBuffer);
    EXPECT_TRUE(handler->lines.empty());
    for (u32 y = 0; y < height; y += 7) {
        for (u32 x = 0; x < width; x += 7) ASSERT_FALSE(lit(pixelAt(pixels, width, x, y)));
    }
}

TEST_F(PhysicsDebugDrawTest, ABoxIsDrawnAsItsTwelveEdges)
{
    addBox(btVector3(0, 0, 0));
    CommandBuffer* commandBuffer = nullptr;
    std::vector<u8> pixels = render(commandBuffer);
    EXPECT_EQ(handler->lines.size(), 24u) << "12 edges of two vertices";

    // The near face's edges are lit; its middle is not (lines, not faces).
    u32 litPixels = 0;
    for (u32 y = 0; y < height; y++) {
        for (u32 x = 0; x < width; x++) litPixels += lit(pixelAt(pixels, width, x, y));
    }
    EXPECT_GT(litPixels, 100u);
    EXPECT_FALSE(lit(pixelAt(pixels, width, width / 2, height / 2)));
    EXPECT_FALSE(lit(pixelAt(pixels, width, 2, 2)));

    // A second frame writes the other half of the line storage and draws the same.
    addBox(btVector3(2.5f, 0, 0));
    pixels = render(commandBuffer);
    EXPECT_EQ(handler->lines.size(), 48u);
    u32 litAgain = 0;
    for (u32 y = 0; y < height; y++) {
        for (u32 x = 0; x < width; x++) litAgain += lit(pixelAt(pixels, width, x, y));
    }
    EXPECT_GT(litAgain, litPixels);
}

#include "Engine/Physics/BulletHandler.h"

#include "Engine/Command/CommandBuffer.h"
#include "Engine/Descriptor/DataSet.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Mesh/VertexLayout.h"
#include "Engine/Pipeline/Pipeline.h"
#include "Engine/Storage/DataStorage.h"
#include "Engine/SwapChain/SwapChain.h"
#include "Engine/Window/Window.h"

#include <btBulletDynamicsCommon.h>

namespace Engine {
u8 renderPhysicsDebug = 0;
} // namespace Engine

namespace {

constexpr const char* LineVertexShader = "shaders/physicsDebugVert.spv";
constexpr const char* LineFragmentShader = "shaders/physicsDebugFrag.spv";
constexpr const char* LineDescriptorLayout = "UBD_0";
constexpr u32 CameraBinding = 0;

} // namespace

BulletHandler::BulletHandler(f32 step, btDiscreteDynamicsWorld* dynamicsWorld)
    : fixedTimeStep(step), world(dynamicsWorld)
{
    lineStorage = new DsMeshSingle(LineStorageSize);
    lineCapacity = drawableLineCount(static_cast<size_t>(-1), lineStorage->halfSize);

    pipeline = new Pipeline(Engine::graphicsDevice);
    pipeline->setVertexLayout(vertexLayoutLine, true);
    pipeline->setDescriptorLayout(LineDescriptorLayout);
    pipeline->state->cullMode = VK_CULL_MODE_NONE;
    pipeline->state->topology = VK_PRIMITIVE_TOPOLOGY_LINE_LIST;
    pipeline->state->dynamicStates = {VK_DYNAMIC_STATE_SCISSOR, VK_DYNAMIC_STATE_VIEWPORT};
    pipeline->loadShaderModule(LineVertexShader, &pipeline->vertexShader);
    pipeline->loadShaderModule(LineFragmentShader, &pipeline->fragmentShader);
    AttachmentFormats formats;
    formats.colorFormats = {Engine::swapChain->format};
    formats.depthFormat = findDepthFormat(Engine::graphicsDevice->physicalDevice);
    pipeline->create(formats);
}

BulletHandler::~BulletHandler()
{
    if (world && world->getDebugDrawer() == this) {
        world->setDebugDrawer(nullptr);
    }
    GraphicsDevice* device = Engine::graphicsDevice;
    if (cameraSet) device->releaseResource(cameraSet);
    device->releaseResource(pipeline);
    device->releaseResource(lineStorage);
}

void BulletHandler::bindCamera(StorageSlot* camera)
{
    if (camera == cameraSlot && cameraSet) {
        return;
    }
    if (cameraSet) {
        Engine::graphicsDevice->releaseResource(cameraSet);
    }
    cameraSlot = camera;
    cameraSet = new DataSet(Engine::graphicsDevice, Engine::descriptorPool,
                            {DataSetBinding{CameraBinding, DataSetStorageSlot, camera}});
}

void BulletHandler::draw(CommandBuffer& cmd, StorageSlot* camera)
{
    lines.clear();
    world->debugDrawWorld();
    const u32 lineCount = drawableLineCount(lines.size(), lineStorage->halfSize);
    if (lineCount == 0) {
        return;
    }

    lineStorage->switchHalf();
    const VkDeviceSize offset = lineStorage->write(NoOffset, lines.data(), lineCount * LineBytes, false);

    cmd.bindPipeline(pipeline);
    cmd.setViewportAndScissor(VkExtent2D{static_cast<u32>(Engine::window->width), static_cast<u32>(Engine::window->height)});
    vkCmdBindVertexBuffers(cmd.handle, 0, 1, &lineStorage->buffer, &offset);
    // Binding 0 no longer holds a mesh stream: the next mesh draw must bind its own.
    cmd.lastMesh = nullptr;
    cmd.lastLayout = nullptr;
    bindCamera(camera);
    cmd.addDataSet(cameraSet);
    cmd.bindDataSets(0);
    vkCmdDraw(cmd.handle, lineCount * 2, 1, 0, 0);
}

void BulletHandler::drawLine(const btVector3& from, const btVector3& to, const btVector3& colour)
{
    if (lines.size() >= static_cast<size_t>(lineCapacity) * 2) {
        return;
    }
    lines.push_back({{from.x(), from.y(), from.z()}, {colour.x(), colour.y(), colour.z()}});
    lines.push_back({{to.x(), to.y(), to.z()}, {colour.x(), colour.y(), colour.z()}});
}

void BulletHandler::drawContactPoint(const btVector3&, const btVector3&, btScalar, int, const btVector3&) {}

void BulletHandler::reportErrorWarning(const char*) {}

void BulletHandler::draw3dText(const btVector3&, const char*) {}

void BulletHandler::setDebugMode(int) {}

int BulletHandler::getDebugMode() const
{
    return PhysicsDebugWireframe;
}

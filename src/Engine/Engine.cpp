#include "Engine/Engine.h"

#include "Engine/Camera/Random.h"
#include "Engine/Command/CommandBuffer.h"
#include "Engine/Command/CommandPool.h"
#include "Engine/Descriptor/DescriptorPool.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/GraphicsDevice/Instance.h"
#include "Engine/Helper/Fatal.h"
#include "Engine/Helper/FreedMemory.h"
#include "Engine/Helper/Trace.h"
#include "Engine/Settings/Settings.h"
#include "Engine/Image/Image.h"
#include "Engine/Mesh/MeshStorageHolders.h"
#include "Engine/Mesh/ModelImport.h"
#include "Engine/Physics/BulletHandler.h"
#include "Engine/Physics/PhysicsWorld.h"
#include "Engine/Physics/Simulation.h"
#include "Engine/Storage/DataStorage.h"
#include "Engine/SwapChain/SurfaceChoice.h"
#include "Engine/SwapChain/SwapChain.h"
#include "Engine/Ui/UiRenderer.h"
#include "Engine/Window/Input.h"
#include "Engine/Window/KeyboardState.h"
#include "Engine/Window/Window.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "Game/Intro/CameraPath.h"
#include "Game/Session/GameSession.h"
#include "Game/Ui/MouseOwner.h"
#include "Game/Ui/Ui.h"
#include "World/World.h"
#include "Engine/Helper/FatalHandoff.h"

#include <GLFW/glfw3.h>
#include <btBulletDynamicsCommon.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace Engine {

InstanceRecord* instanceRecord = nullptr;
Window* window = nullptr;
Input* input = nullptr;
GraphicsDevice* graphicsDevice = nullptr;
SwapChain* swapChain = nullptr;
Random* random = nullptr;
DescriptorPool* descriptorPool = nullptr;
DsDeviceMeshSingle* meshStorage = nullptr;
MeshStorageHolders* meshStorageHolders = nullptr;
DsUniformSingle* frameUniforms = nullptr;
DsStorageSingle* frameStorage = nullptr;
PhysicsWorld* physicsWorld = nullptr;
BulletHandler* bulletHandler = nullptr;
std::thread simulationThread;
CameraPath* cameraPath = nullptr;
u32 gameState = GameStateMainMenu;
u8 quitRequested = 0;
u8 freedMemoryPending = 0;
f32 frameTimeMs = 0;
f64 totalTimeMs = 0;

void init()
{
    Trace::start();
    instanceRecord = new InstanceRecord();
    instanceRecord->instanceExtensions = {"VK_EXT_debug_utils"};
    if (!createInstance()) {
        fatalError("Unable to initialise GLFW (is there a display?)", "Engine", 45);
    }

    Settings::load();
    Settings::apply();

    window = new Window(Settings::windowSettings);
    input = new Input(window);
    graphicsDevice = createGraphicsDevice();

    // 6: the swap chain with its semaphores and its signalled in-flight fence.
    swapChain = new SwapChain(window, graphicsDevice, Settings::presentMode);
    swapChain->recreate();

    // 7: the global random source, seeded from the clock; it lives until the process ends.
    random = new Random(-1);

    // 8 to 10: the descriptor pool; the mesh storage, switched once so that all
    // start-up geometry goes into half 0 from offset 0, with the record of what holds
    // it; the per-frame rings.
    descriptorPool = new DescriptorPool(graphicsDevice, "UBD_100+SBD_100");
    meshStorage = new DsDeviceMeshSingle(graphicsDevice, GameMeshStorageBytes);
    meshStorage->switchHalf();
    meshStorageHolders = new MeshStorageHolders();
    frameUniforms = new DsUniformSingle(graphicsDevice, 100000);
    frameStorage = new DsStorageSingle(graphicsDevice, 16000000);

    // 11 to 13: the engine physics world, its debug drawer (which also carries the
    // fixed time step) and the simulation thread that steps the world.
    physicsWorld = new PhysicsWorld();
    physicsWorld->init(EngineWorldGravity);
    bulletHandler = new BulletHandler(TickSeconds, physicsWorld->world);
    physicsWorld->world->setDebugDrawer(bulletHandler);
    simulationThread = std::thread([] { fatalHandoff.runGuarded(Simulation::threadMain); });

    // 14: the interface (renderer, fonts, sprite sheets), showing the main menu; then
    // every game kind with the storage and pipelines their draws share (a broken
    // building file ends the start-up here, before the main menu shows); the intro
    // flight, which lives until the process ends.
    Ui::init();
    EntityTypes::createAll();
    cameraPath = new CameraPath();

    // 15: everything written into the mesh storage during start-up reaches the device
    // with the first recorded frame.
    meshStorage->scheduleUpload();
}

void run()
{
    while (!glfwWindowShouldClose(window->handle) && !quitRequested) {
        runFrame();
    }
    shutdown();
}

void runFrame()
{
    auto start = std::chrono::steady_clock::now();
    Trace::frameBegins();
    // A worker that failed (a broken file met by the loader of a new world) ends the
    // game here, on the main thread.
    fatalHandoff.rethrowPosted();
    glfwPollEvents();

    // The frame's pointer: where a click of this frame was made, else where the
    // pointer is; the interface reads the same place.
    double x = 0, y = 0;
    glfwGetCursorPos(window->handle, &x, &y);
    const PointerPosition pointer = pointerForFrame({static_cast<f32>(x), static_cast<f32>(y)});
    input->beginFrame(pointer.x, pointer.y);
    // Whether the interface owns this frame's cursor, before the world's camera and
    // tools act on a click: a click that lands on a window is the interface's in the
    // frame it lands.
    Ui::claimMouse(input->cursorX, input->cursorY);

    // This frame's per-frame data goes into the half not written last frame.
    frameUniforms->switchHalf();
    frameStorage->switchHalf();

    // 6: the loader thread publishes the finished world last; the game starts in the
    // frame that sees it, which draws the world's first picture: the loading window,
    // shown since "New Game", goes with this frame.
    if (gameState == GameStateLoading && readyWorld() != nullptr) {
        gameState = GameStatePlaying;
        Ui::clearMenuStates();
        Ui::pushMenuState(MenuStateInGame);
    }
    // 7: the intro flight and the world, from the frame the game starts in.
    if (gameState == GameStatePlaying && world != nullptr) {
        if (cameraPath != nullptr) cameraPath->apply(frameTimeMs, world->camera);
        world->update(frameTimeMs);
    }

    // 8: the interface, every frame in every state.
    Ui::frame();
    traceFrame();

    // 9: paces the physics thread with the last frame's time.
    Simulation::frameTick(frameTimeMs);

    if (window->renderable) {
        drawFrame();
    } else {
        endInterfaceFrame();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }

    auto elapsed = std::chrono::duration<f32, std::milli>(std::chrono::steady_clock::now() - start).count();
    Trace::frameEnds(elapsed);
    frameTimeMs = std::min(100.0f, elapsed);
    totalTimeMs += frameTimeMs;
}

void drawFrame()
{
    GraphicsDevice* device = graphicsDevice;
    SwapChain* chain = swapChain;

    VkResult acquired = vkAcquireNextImageKHR(device->device, chain->swapchain, UINT64_MAX,
                                              chain->imageAvailable[device->frameIndex], VK_NULL_HANDLE,
                                              &chain->imageIndex);
    bool resized = window->width != static_cast<i32>(chain->extent.width) ||
                   window->height != static_cast<i32>(chain->extent.height);
    if (acquired != VK_SUCCESS || resized || chain->recreateRequested) {
        printLine("Recreating swapchain!");
        if (acquireSignals(acquired)) {
            chain->discardAcquire();
        }
        chain->recreate();
        chain->recreateRequested = 0;
        endInterfaceFrame();
        return;
    }

    CommandBuffer* commandBuffer = device->commandPool->getCommandBuffer();
    commandBuffer->free = 0;
    VkCommandBufferBeginInfo begin{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
    if (vkBeginCommandBuffer(commandBuffer->handle, &begin) != VK_SUCCESS) {
        throw std::runtime_error("failed to begin recording command buffer!");
    }
    commandBuffer->flushUploads();

    // The transition waits for the acquire: the submit waits on the image's semaphore
    // at the colour-attachment-output stage, so the barrier starts from that stage.
    Image2D* image = chain->images[chain->imageIndex];
    commandBuffer->imageBarrier(image, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                                VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT,
                                VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, 0,
                                VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT);

    // While playing, the world draws the scene into the image and the interface goes
    // over it; otherwise the interface pass clears the image to transparent black.
    const bool playing = gameState == GameStatePlaying && world != nullptr;
    if (playing) {
        // Model-matrix slots given up by the last frame's draws (and by buildings that
        // went since) are free again: that frame's GPU work is done.
        EntityTypes::recycleInstanceSlots();
        world->draw(commandBuffer);
    }
    VkRenderingAttachmentInfo color{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
    color.imageView = image->view->view;
    color.imageLayout = VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
    color.loadOp = playing ? VK_ATTACHMENT_LOAD_OP_LOAD : VK_ATTACHMENT_LOAD_OP_CLEAR;
    color.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    color.clearValue.color = {{0.0f, 0.0f, 0.0f, 0.0f}};
    VkRenderingInfo rendering{VK_STRUCTURE_TYPE_RENDERING_INFO};
    rendering.renderArea = {{0, 0}, chain->extent};
    rendering.layerCount = 1;
    rendering.colorAttachmentCount = 1;
    rendering.pColorAttachments = &color;
    vkCmdBeginRendering(commandBuffer->handle, &rendering);
    commandBuffer->renderExtent = chain->extent;
    if (uiRenderer != nullptr) {
        uiRenderer->render(commandBuffer);
    }
    vkCmdEndRendering(commandBuffer->handle);

    commandBuffer->imageBarrier(image, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_IMAGE_LAYOUT_PRESENT_SRC_KHR,
                                VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, VK_PIPELINE_STAGE_BOTTOM_OF_PIPE_BIT,
                                VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT, 0);

    commandBuffer->pipeline = nullptr;
    commandBuffer->lastMesh = nullptr;
    commandBuffer->lastLayout = nullptr;
    if (vkEndCommandBuffer(commandBuffer->handle) != VK_SUCCESS) {
        throw std::runtime_error("failed to record command buffer!");
    }
    chain->submit({commandBuffer});

    VkPresentInfoKHR present{VK_STRUCTURE_TYPE_PRESENT_INFO_KHR};
    present.waitSemaphoreCount = 1;
    present.pWaitSemaphores = &chain->renderFinished[chain->imageIndex];
    present.swapchainCount = 1;
    present.pSwapchains = &chain->swapchain;
    present.pImageIndices = &chain->imageIndex;
    if (vkQueuePresentKHR(device->queue, &present) != VK_SUCCESS) {
        printLine("Recreating swapchain!");
        chain->recreate();
    }

    // The half switched to was used by the previous frame, whose work has finished
    // (the submit above waited on its fence): its command buffers can be reset.
    device->drawnInstancesLastFrame = device->drawnInstances;
    device->drawnInstances = 0;
    device->frameIndex = 1 - device->frameIndex;
    device->commandPool->resetHalf(device->frameIndex);
    device->deleteDeferred();
    if (freedMemoryPending) {
        freedMemoryPending = 0;
        returnFreedMemory();
    }
}

void shutdown()
{
    // From here the main thread waits on the other threads: one that fails meanwhile
    // ends the game at once, as the main thread would not come to its error.
    FatalHandoff::MainThreadWait waiting(fatalHandoff);
    // 1: the world (a world still loading is finished first).
    delete world;
    world = nullptr;
    delete gameSession;
    gameSession = nullptr;

    // 2: the interface's GPU objects and records.
    Ui::shutdown();

    // 3 and 4: the stop hand-shake with the simulation thread, which is then joined;
    // then the debug drawer and the engine physics world, emptied of what is left.
    Simulation::stopWorker(Simulation::state, simulationThread);
    Simulation::releaseRemaining(*physicsWorld);
    delete bulletHandler;
    bulletHandler = nullptr;
    delete physicsWorld;
    physicsWorld = nullptr;

    graphicsDevice->shutdown();
    delete swapChain;
    swapChain = nullptr;
    delete graphicsDevice;
    graphicsDevice = nullptr;
    // The mesh storage went with the device.
    delete meshStorageHolders;
    meshStorageHolders = nullptr;
    delete input;
    input = nullptr;

    window->destroy();
    delete window;
    window = nullptr;

    vkDestroyInstance(instanceRecord->instance, nullptr);
    glfwTerminate();
    delete instanceRecord;
    instanceRecord = nullptr;
}

} // namespace Engine

#include "Engine/Engine.h"

#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/GraphicsDevice/Instance.h"
#include "Engine/Helper/Fatal.h"
#include "Engine/Settings/Settings.h"
#include "Engine/Window/Input.h"
#include "Engine/Window/Window.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <chrono>

namespace Engine {

InstanceRecord* instanceRecord = nullptr;
Window* window = nullptr;
Input* input = nullptr;
GraphicsDevice* graphicsDevice = nullptr;
SwapChain* swapChain = nullptr;
Random* random = nullptr;
DescriptorPool* descriptorPool = nullptr;
DsDeviceMeshSingle* meshStorage = nullptr;
DsUniformSingle* frameUniforms = nullptr;
DsStorageSingle* frameStorage = nullptr;
PhysicsWorld* physicsWorld = nullptr;
BulletHandler* bulletHandler = nullptr;
std::thread simulationThread;
CameraPath* cameraPath = nullptr;
u32 gameState = GameStateMainMenu;
u8 quitRequested = 0;
f32 frameTimeMs = 0;
f64 totalTimeMs = 0;

void init()
{
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
}

void run()
{
    while (!glfwWindowShouldClose(window->handle) && !quitRequested) {
        auto start = std::chrono::steady_clock::now();
        glfwPollEvents();

        double x = 0, y = 0;
        glfwGetCursorPos(window->handle, &x, &y);
        input->beginFrame(static_cast<f32>(x), static_cast<f32>(y));

        if (window->renderable) {
            drawFrame();
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }

        auto elapsed = std::chrono::duration<f32, std::milli>(std::chrono::steady_clock::now() - start).count();
        frameTimeMs = std::min(100.0f, elapsed);
        totalTimeMs += frameTimeMs;
    }
    shutdown();
}

void drawFrame()
{
    // Frames are recorded once the swap chain exists; until then the loop only paces.
    std::this_thread::sleep_for(std::chrono::milliseconds(16));
    graphicsDevice->deleteDeferred();
}

void shutdown()
{
    graphicsDevice->shutdown();
    delete graphicsDevice;
    graphicsDevice = nullptr;
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

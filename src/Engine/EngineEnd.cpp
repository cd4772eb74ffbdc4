#include "Engine/Engine.h"

#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Fatal.h"
#include "Engine/Helper/FatalHandoff.h"
#include "Engine/SwapChain/SwapChain.h"

#include <GLFW/glfw3.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace Engine {

void endOnError(const std::exception_ptr& error)
{
    if (std::string line = uncaughtErrorLine(error); !line.empty()) printFatalLine(line);

    // The swap chain goes before the window system: the driver's presentation may still
    // talk to the window through the connection that glfwTerminate closes. Everything
    // else (objects that may be half made, threads that may hold them) goes with the
    // process.
    if (graphicsDevice != nullptr && graphicsDevice->device != VK_NULL_HANDLE) {
        vkDeviceWaitIdle(graphicsDevice->device);
        if (swapChain != nullptr && swapChain->swapchain != VK_NULL_HANDLE) {
            vkDestroySwapchainKHR(graphicsDevice->device, swapChain->swapchain, nullptr);
            swapChain->swapchain = VK_NULL_HANDLE;
        }
    }
    glfwTerminate();
    std::fflush(stdout);
    std::_Exit(FatalHandoff::ExitStatus);
}

void endOnTerminate()
{
    std::exception_ptr error = std::current_exception();
    try {
        std::string line = error != nullptr ? uncaughtErrorLine(error) : "ERROR: the game ended unexpectedly";
        if (!line.empty()) printFatalLine(line);
    } catch (...) {
        // No memory left even for the line: one that needs none.
        printFatalLine("ERROR: the game ran out of memory");
    }
    std::fflush(stdout);
    std::_Exit(FatalHandoff::ExitStatus);
}

void setUpProcessEnds()
{
    std::set_terminate(endOnTerminate);
    keepFirstFatalLineOnly(true);
    // Writing to a pipe whose reader has gone would end the process by SIGPIPE at its
    // first line; ignored, the write fails with EPIPE and the line is dropped.
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace Engine

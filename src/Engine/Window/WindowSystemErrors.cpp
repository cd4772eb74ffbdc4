#include "Engine/Window/WindowSystemErrors.h"

#include "Engine/Helper/Fatal.h"
#include "Engine/Helper/LineLimits.h"
#include "Engine/Helper/QuotedText.h"
#include "Engine/Types.h"

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>
#include <X11/Xlib.h>

// From GLFW's native interface; its header would pull in the XRandR headers for this
// one declaration.
extern "C" Window glfwGetX11Window(GLFWwindow* window);

#include <atomic>
#include <cstdlib>
#include <string>

namespace {

std::atomic<u64> gameWindowId{0};

std::string windowSystemLostLine()
{
    return fatalErrorLine("The game window is gone: the connection to the window system was lost", "Window",
                          __LINE__);
}

// `errorText` as the X library names the error, `resource` the id it was about.
std::string windowSystemErrorLine(const std::string& errorText, u64 resource, u64 gameWindow, u32 request)
{
    if (gameWindow != 0 && resource == gameWindow) {
        return fatalErrorLine("The game window is gone: another program destroyed it (" + errorText + ")", "Window",
                              __LINE__);
    }
    return fatalErrorLine("Window system error " + errorText + " in request " + std::to_string(request), "Window",
                          __LINE__);
}

[[noreturn]] void endNow(const std::string& line)
{
    // After another fatal error (a loader's, say) this says nothing: the game was
    // ending on that one.
    printFatalLine(line);
    // No static destructors: other threads may be waiting on static objects.
    std::_Exit(WindowSystemFailureStatus);
}

int onIoError(Display*)
{
    endNow(windowSystemLostLine());
}

int onProtocolError(Display* display, XErrorEvent* event)
{
    char text[256] = {};
    XGetErrorText(display, event->error_code, text, sizeof(text));
    endNow(windowSystemErrorLine(messageText(text, LineLimits::MessageBytes), event->resourceid, gameWindowId.load(),
                                 event->request_code));
}

} // namespace

void endAfterWindowLost()
{
    endNow(fatalErrorLine("The game window is gone: its Vulkan surface was lost", "Window", __LINE__));
}

void installWindowSystemErrorHandlers(GLFWwindow* window)
{
    gameWindowId = window != nullptr ? static_cast<u64>(glfwGetX11Window(window)) : 0;
    XSetIOErrorHandler(onIoError);
    XSetErrorHandler(onProtocolError);
}

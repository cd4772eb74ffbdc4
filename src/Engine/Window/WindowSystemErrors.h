#pragma once

#include "Engine/Types.h"

#include <string>

struct GLFWwindow;

// The X library ends the process with exit() on a lost connection (the window killed
// from outside) and on any protocol error (the window destroyed by another client).
// exit() runs the static destructors while the worker threads still wait on their
// condition variables, and the game hangs. These handlers print one line and end the
// process at once instead, whatever state the game is in.
void installWindowSystemErrorHandlers(GLFWwindow* window);

// Vulkan's view of the same: the surface is lost once the window is gone. Prints the
// lost-connection line and ends the process at once, as the handlers do.
[[noreturn]] void endAfterWindowLost();

// The line printed for a protocol error: `errorText` as the X library names the error,
// `resource` the id it was about, `gameWindow` the game window's id.
std::string windowSystemErrorLine(const std::string& errorText, u64 resource, u64 gameWindow, u32 request);
// The line printed when the connection to the window system is lost.
std::string windowSystemLostLine();

// Exit status of the process after a window-system failure.
constexpr int WindowSystemFailureStatus = 1;

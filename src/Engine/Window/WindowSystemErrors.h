#pragma once

struct GLFWwindow;

// The X library ends the process with exit() on a lost connection (the window killed
// from outside) and on any protocol error (the window destroyed by another client).
// exit() runs the static destructors while the worker threads still wait on their
// condition variables, and the game hangs. These handlers print one line and end the
// process at once instead, whatever state the game is in.
void installWindowSystemErrorHandlers(GLFWwindow* window);

// Vulkan's view of the same: the surface is lost once the window is gone, and the
// swap chain may see it before the window system's handlers do. Prints one line and
// ends the process at once, as the handlers do.
[[noreturn]] void endAfterWindowLost();

// Exit status of the process after a window-system failure.
constexpr int WindowSystemFailureStatus = 1;

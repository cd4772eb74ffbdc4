#pragma once

#include "Engine/Types.h"

#include <functional>

struct GLFWwindow;

// The game reads its keys as a 256-byte snapshot indexed by Windows virtual-key code
// (high bit = down; mouse buttons 1 left, 2 right). This layer fills it from GLFW.

// Fills `keys` (256 bytes) from the current snapshot source.
void GetKeyboardState(u8* keys);

// Replaces the snapshot source (tests inject scripted key states); an empty function
// restores the GLFW source.
using KeyboardStateSource = std::function<void(u8* keys)>;
void setKeyboardStateSource(KeyboardStateSource source);

// The GLFW source: polls every mapped key and button of `window`.
void readGlfwKeyboardState(GLFWwindow* window, u8* keys);

// The virtual-key code of a GLFW key, or 0 for keys without one.
u8 virtualKeyOfGlfwKey(int glfwKey);

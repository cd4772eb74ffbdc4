#pragma once

#include "Engine/Types.h"
#include "Engine/Window/ButtonPointer.h"

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
// The virtual-key code of a GLFW mouse button, or 0 for buttons without one.
u8 virtualKeyOfGlfwButton(int glfwButton);

// Presses seen as window events between two snapshots. Polling alone misses a key or
// button pressed and released between two frames; the window's key and button
// callbacks note every press here, and the next frame's snapshot counts it once. Only
// GLFW_PRESS counts: a key repeat (GLFW_REPEAT) and a release note nothing.
void noteGlfwKeyEvent(int glfwKey, int action);
// A button event with the pointer's place when it happened (see ButtonPointer).
void noteGlfwButtonEvent(int glfwButton, int action, PointerPosition at);
// Copies the presses noted since the last call into `presses` (256 bytes, 0x80 where a
// press arrived) and forgets them.
void takeNotedPresses(u8* presses);
// The pointer for the frame that begins with the pointer at `now`: where the button
// events noted since the last frame happened, else `now`; each button keeps its own
// events (see MouseButtonPointers).
PointerPosition pointerForFrame(PointerPosition now);

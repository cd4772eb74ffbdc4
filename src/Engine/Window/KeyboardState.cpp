#include "Engine/Window/KeyboardState.h"

#include "Engine/Engine.h"
#include "Engine/Window/Window.h"

#include <GLFW/glfw3.h>

#include <cstring>

namespace {

KeyboardStateSource& source()
{
    static KeyboardStateSource current;
    return current;
}

constexpr u8 Down = 0x80;

// Presses noted by the window's callbacks since the last snapshot (main thread only:
// GLFW calls back from glfwPollEvents).
u8 notedPresses[256] = {};
MouseButtonPointers buttonPointers;

// The side-less codes of Shift, Ctrl and Alt that Windows reports with the sided ones.
u8 sidelessCode(u8 code)
{
    switch (code) {
    case 0xA0:
    case 0xA1: return 0x10;
    case 0xA2:
    case 0xA3: return 0x11;
    case 0xA4:
    case 0xA5: return 0x12;
    default: return 0;
    }
}

void notePress(u8 code)
{
    if (code == 0) return;
    notedPresses[code] = Down;
    if (u8 sideless = sidelessCode(code)) notedPresses[sideless] = Down;
}

} // namespace

u8 virtualKeyOfGlfwKey(int key)
{
    if ((key >= GLFW_KEY_A && key <= GLFW_KEY_Z) || (key >= GLFW_KEY_0 && key <= GLFW_KEY_9)) {
        return static_cast<u8>(key); // same codes as ASCII upper-case letters and digits
    }
    if (key >= GLFW_KEY_F1 && key <= GLFW_KEY_F24) {
        return static_cast<u8>(0x70 + (key - GLFW_KEY_F1));
    }
    if (key >= GLFW_KEY_KP_0 && key <= GLFW_KEY_KP_9) {
        return static_cast<u8>(0x60 + (key - GLFW_KEY_KP_0));
    }
    switch (key) {
    case GLFW_KEY_SPACE: return 0x20;
    case GLFW_KEY_APOSTROPHE: return 0xDE;
    case GLFW_KEY_COMMA: return 0xBC;
    case GLFW_KEY_MINUS: return 0xBD;
    case GLFW_KEY_PERIOD: return 0xBE;
    case GLFW_KEY_SLASH: return 0xBF;
    case GLFW_KEY_SEMICOLON: return 0xBA;
    case GLFW_KEY_EQUAL: return 0xBB;
    case GLFW_KEY_LEFT_BRACKET: return 0xDB;
    case GLFW_KEY_BACKSLASH: return 0xDC;
    case GLFW_KEY_RIGHT_BRACKET: return 0xDD;
    case GLFW_KEY_GRAVE_ACCENT: return 0xC0;
    case GLFW_KEY_ESCAPE: return 0x1B;
    case GLFW_KEY_ENTER: return 0x0D;
    case GLFW_KEY_TAB: return 0x09;
    case GLFW_KEY_BACKSPACE: return 0x08;
    case GLFW_KEY_INSERT: return 0x2D;
    case GLFW_KEY_DELETE: return 0x2E;
    case GLFW_KEY_RIGHT: return 0x27;
    case GLFW_KEY_LEFT: return 0x25;
    case GLFW_KEY_DOWN: return 0x28;
    case GLFW_KEY_UP: return 0x26;
    case GLFW_KEY_PAGE_UP: return 0x21;
    case GLFW_KEY_PAGE_DOWN: return 0x22;
    case GLFW_KEY_HOME: return 0x24;
    case GLFW_KEY_END: return 0x23;
    case GLFW_KEY_CAPS_LOCK: return 0x14;
    case GLFW_KEY_SCROLL_LOCK: return 0x91;
    case GLFW_KEY_NUM_LOCK: return 0x90;
    case GLFW_KEY_PRINT_SCREEN: return 0x2C;
    case GLFW_KEY_PAUSE: return 0x13;
    case GLFW_KEY_KP_DECIMAL: return 0x6E;
    case GLFW_KEY_KP_DIVIDE: return 0x6F;
    case GLFW_KEY_KP_MULTIPLY: return 0x6A;
    case GLFW_KEY_KP_SUBTRACT: return 0x6D;
    case GLFW_KEY_KP_ADD: return 0x6B;
    case GLFW_KEY_KP_ENTER: return 0x0D;
    case GLFW_KEY_LEFT_SHIFT: return 0xA0;
    case GLFW_KEY_RIGHT_SHIFT: return 0xA1;
    case GLFW_KEY_LEFT_CONTROL: return 0xA2;
    case GLFW_KEY_RIGHT_CONTROL: return 0xA3;
    case GLFW_KEY_LEFT_ALT: return 0xA4;
    case GLFW_KEY_RIGHT_ALT: return 0xA5;
    case GLFW_KEY_LEFT_SUPER: return 0x5B;
    case GLFW_KEY_RIGHT_SUPER: return 0x5C;
    case GLFW_KEY_MENU: return 0x5D;
    default: return 0;
    }
}

u8 virtualKeyOfGlfwButton(int button)
{
    switch (button) {
    case GLFW_MOUSE_BUTTON_LEFT: return 0x01;
    case GLFW_MOUSE_BUTTON_RIGHT: return 0x02;
    case GLFW_MOUSE_BUTTON_MIDDLE: return 0x04;
    case GLFW_MOUSE_BUTTON_4: return 0x05;
    case GLFW_MOUSE_BUTTON_5: return 0x06;
    default: return 0;
    }
}

void readGlfwKeyboardState(GLFWwindow* window, u8* keys)
{
    std::memset(keys, 0, 256);
    if (window == nullptr) {
        return;
    }
    for (int key = GLFW_KEY_SPACE; key <= GLFW_KEY_LAST; key++) {
        u8 code = virtualKeyOfGlfwKey(key);
        if (code != 0 && glfwGetKey(window, key) == GLFW_PRESS) {
            keys[code] = Down;
        }
    }
    // Windows also reports the side-less codes of Shift, Ctrl and Alt.
    if (keys[0xA0] || keys[0xA1]) keys[0x10] = Down;
    if (keys[0xA2] || keys[0xA3]) keys[0x11] = Down;
    if (keys[0xA4] || keys[0xA5]) keys[0x12] = Down;

    for (int button = GLFW_MOUSE_BUTTON_1; button <= GLFW_MOUSE_BUTTON_LAST; button++) {
        u8 code = virtualKeyOfGlfwButton(button);
        if (code != 0 && glfwGetMouseButton(window, button) == GLFW_PRESS) {
            keys[code] = Down;
        }
    }
}

void noteGlfwKeyEvent(int key, int action)
{
    if (action == GLFW_PRESS) notePress(virtualKeyOfGlfwKey(key));
}

void noteGlfwButtonEvent(int button, int action, PointerPosition at)
{
    const u8 code = virtualKeyOfGlfwButton(button);
    if (code == 0) return;
    // A button with a code is one of the first five, which GLFW numbers from 0.
    const u32 index = static_cast<u32>(button - GLFW_MOUSE_BUTTON_1);
    if (action == GLFW_PRESS) {
        notePress(code);
        buttonPointers.press(index, at);
    }
    if (action == GLFW_RELEASE) buttonPointers.release(index, at);
}

PointerPosition pointerForFrame(PointerPosition now)
{
    return buttonPointers.forFrame(now);
}

void takeNotedPresses(u8* presses)
{
    std::memcpy(presses, notedPresses, sizeof(notedPresses));
    std::memset(notedPresses, 0, sizeof(notedPresses));
}

void setKeyboardStateSource(KeyboardStateSource next)
{
    source() = std::move(next);
}

void GetKeyboardState(u8* keys)
{
    if (source()) {
        source()(keys);
        return;
    }
    readGlfwKeyboardState(Engine::window ? Engine::window->handle : nullptr, keys);
}

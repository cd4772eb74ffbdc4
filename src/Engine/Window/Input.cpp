#include "Engine/Window/Input.h"

#include "Engine/Window/KeyboardState.h"

#include <cstring>
#include <utility>

Input::Input(Window* window_)
    : window(window_), keys(new u8[256]), previousKeys(new u8[256]), pressEvents(new u8[256])
{
    std::memset(keys, 0, 256);
    std::memset(previousKeys, 0, 256);
    std::memset(pressEvents, 0, 256);
}

Input::~Input()
{
    delete[] keys;
    delete[] previousKeys;
    delete[] pressEvents;
}

void Input::beginFrame(f32 x, f32 y)
{
    std::swap(keys, previousKeys);
    escapeHandled = 0;
    escapeHandler = nullptr;
    GetKeyboardState(keys);
    // A press and release between two frames is seen by no poll: the press event
    // makes the key down for this one frame. A held key is pressed once, in the frame
    // its press arrived; its repeats are no presses.
    takeNotedPresses(pressEvents);
    for (int key = 0; key < 256; key++) {
        keys[key] |= pressEvents[key];
    }
    previousCursorX = cursorX;
    previousCursorY = cursorY;
    cursorX = x;
    cursorY = y;
    if (!cursorCaptured) {
        freeCursorX = cursorX;
        freeCursorY = cursorY;
    }
}

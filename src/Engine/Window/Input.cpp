#include "Engine/Window/Input.h"

#include "Engine/Window/KeyboardState.h"

#include <cstring>
#include <utility>

Input::Input(Window* window_) : window(window_), keys(new u8[256]), previousKeys(new u8[256])
{
    std::memset(keys, 0, 256);
    std::memset(previousKeys, 0, 256);
}

Input::~Input()
{
    delete[] keys;
    delete[] previousKeys;
}

void Input::beginFrame(f32 x, f32 y)
{
    std::swap(keys, previousKeys);
    escapeHandled = 0;
    GetKeyboardState(keys);
    previousCursorX = cursorX;
    previousCursorY = cursorY;
    cursorX = x;
    cursorY = y;
    if (!cursorCaptured) {
        freeCursorX = cursorX;
        freeCursorY = cursorY;
    }
}

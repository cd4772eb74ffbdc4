#pragma once

#include "Engine/Types.h"

class Window;

// Windows virtual-key codes of the keys and buttons the game reads.
namespace Key {
constexpr u8 MouseLeft = 0x01;
constexpr u8 MouseRight = 0x02;
constexpr u8 MouseMiddle = 0x04;
constexpr u8 Backspace = 0x08;
constexpr u8 Tab = 0x09;
constexpr u8 Enter = 0x0D;
constexpr u8 Shift = 0x10;
constexpr u8 Control = 0x11;
constexpr u8 Alt = 0x12;
constexpr u8 Escape = 0x1B;
constexpr u8 Space = 0x20;
constexpr u8 Left = 0x25;
constexpr u8 Up = 0x26;
constexpr u8 Right = 0x27;
constexpr u8 Down = 0x28;
constexpr u8 Delete = 0x2E;
constexpr u8 F1 = 0x70;
constexpr u8 F8 = 0x77;
constexpr u8 LeftShift = 0xA0;
constexpr u8 RightShift = 0xA1;
constexpr u8 LeftControl = 0xA2;
constexpr u8 RightControl = 0xA3;
constexpr u8 letter(char c) { return static_cast<u8>(c - 'a' + 'A'); }
} // namespace Key

// The per-frame keyboard and mouse snapshot (global Engine::input).
class Input {
public:
    Window* window = nullptr;
    u8* keys = nullptr;         // 256 bytes: this frame, by virtual-key code, high bit = down
    u8* previousKeys = nullptr; // 256 bytes: the previous frame
    // 256 bytes: keys and buttons whose press arrived as a window event since the
    // previous frame (0x80). Such a key reads as down this frame even if it was let go
    // before the frame began, and as pressed even if it was down in the previous frame
    // (let go and pressed again in between).
    u8* pressEvents = nullptr;
    f32 cursorX = 0, cursorY = 0;
    f32 previousCursorX = 0, previousCursorY = 0;
    f32 freeCursorX = 0, freeCursorY = 0; // last position while not captured (picking)
    u8 cursorCaptured = 0;
    u8 escapeHandled = 0;
    // Who handled this frame's Escape press ("tools", "pause menu"...), for the game's
    // trace; null while nobody has.
    const char* escapeHandler = nullptr;

    explicit Input(Window* window);
    ~Input();
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    bool isDown(u8 key) const { return (keys[key] & 0x80) != 0; }
    bool wasDown(u8 key) const { return (previousKeys[key] & 0x80) != 0; }
    bool pressed(u8 key) const { return isDown(key) && (!wasDown(key) || (pressEvents[key] & 0x80) != 0); }
    f32 mouseDeltaX() const { return cursorX - previousCursorX; }
    f32 mouseDeltaY() const { return cursorY - previousCursorY; }
    // This frame's Escape press is handled by `handler`: no later handler acts on it.
    void handleEscape(const char* handler)
    {
        escapeHandled = 1;
        escapeHandler = handler;
    }

    // Start of a frame: swaps the key arrays, clears escapeHandled and its handler,
    // takes a new key snapshot with the presses that arrived since the last one, and
    // reads the cursor (cursor position as given).
    void beginFrame(f32 x, f32 y);
};

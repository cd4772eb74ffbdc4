#pragma once

#include "Engine/Types.h"

#include <array>
#include <optional>

// A pointer position in window pixels.
struct PointerPosition {
    f32 x = 0.0f;
    f32 y = 0.0f;
};

// Where the pointer was when one mouse button went down or up between two frames. A
// frame reads the pointer there rather than where it is when the frame begins, so that
// a click still lands where it was made when the pointer moved on before the frame came
// (at a frame or two a second, a player clicks and moves on within one frame):
// - a press is read at its place in the frame it arrives in;
// - a release is read at its place in the frame it arrives in or, when it came with its
//   press (the button then reads as down for that frame), in the next frame, in which
//   the button reads as up;
// - otherwise the frame reads the pointer where it is.
class ButtonPointer {
public:
    void press(PointerPosition at);
    void release(PointerPosition at);
    // The pointer for a frame that begins with the pointer at `now`; the events it
    // takes are forgotten.
    PointerPosition forFrame(PointerPosition now);
    // The same, without a pointer to fall back on: the place of the event the frame
    // reads, or none when the frame reads the pointer where it is.
    std::optional<PointerPosition> takeForFrame();

private:
    bool pressed = false;  // a press since the last frame, at pressAt
    bool released = false; // a release since the last frame (after its press), at releaseAt
    bool carried = false;  // a release to read in the next frame, at carriedAt
    PointerPosition pressAt, releaseAt, carriedAt;
};

// One ButtonPointer per mouse button, so that one button's events never move the place
// another button's press or release is read at. Buttons are numbered as the window
// system numbers them: 0 left, 1 right, 2 middle, then the side buttons. The frame
// reads the pointer at the event of the lowest-numbered button that has one: the
// left button's click acts at a point (placing, selling, the interface), which a
// right-button turn of the camera begun in the same frame must not move.
class MouseButtonPointers {
public:
    static constexpr u32 ButtonCount = 5;

    // Events of a button outside 0..ButtonCount-1 are ignored.
    void press(u32 button, PointerPosition at);
    void release(u32 button, PointerPosition at);
    // The pointer for a frame that begins with the pointer at `now`; every button's
    // events taken by it are forgotten.
    PointerPosition forFrame(PointerPosition now);

private:
    std::array<ButtonPointer, ButtonCount> buttons;
};

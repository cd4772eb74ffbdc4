#pragma once

#include "Engine/Types.h"

// A pointer position in window pixels.
struct PointerPosition {
    f32 x = 0.0f;
    f32 y = 0.0f;
};

// Where the pointer was when a mouse button went down or up between two frames. A frame
// reads the pointer there rather than where it is when the frame begins, so that a
// click still lands where it was made when the pointer moved on before the frame came
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

private:
    bool pressed = false;  // a press since the last frame, at pressAt
    bool released = false; // a release since the last frame (after its press), at releaseAt
    bool carried = false;  // a release to read in the next frame, at carriedAt
    PointerPosition pressAt, releaseAt, carriedAt;
};

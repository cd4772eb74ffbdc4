#pragma once

#include "Engine/Types.h"

// Whether a click belongs to the interface or to the world behind it, decided for the
// cursor of this frame. The world's update (camera and tools) runs before the interface
// builds its windows, so it cannot wait for this frame's hover test of the interface
// library: it asks against the windows of the last built frame, which stand where they
// stood (the panels are fixed; a window that opens this frame opens on a click the
// interface already owned).
namespace Ui {

// True when window point (x, y) lies on a window that the interface showed in its
// last built frame, or has built so far in the frame being built: any window that
// takes mouse input (not tooltips), with the margin the library gives resizable
// windows for their edges.
bool pointerOverInterface(f32 x, f32 y);

// Sets uiOwnsMouse for this frame's cursor before the world's update: the interface
// owns the mouse while one of its items is held (a press that started on it) or while
// the cursor is on one of its windows.
void claimMouse(f32 x, f32 y);

} // namespace Ui

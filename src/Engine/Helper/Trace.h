#pragma once

#include "Engine/Types.h"

#include <string>
#include <string_view>

// The game's trace, for its end-to-end tests to read a failure by: with the environment
// variable BRACKENHOLD_TRACE naming a file, the game writes there a line for every key
// and button press and release the window delivered, for every change of what it shows
// (game state, screen, tool, session), for every frame that saw Escape pressed and
// whether a handler took it, for focus changes, and about once a second one of the
// frames ended and the longest of them. Each line starts with the time of day and the
// frame it belongs to: "12:04:31.207 frame 1207 key Escape press". Each line is flushed
// as it is written, so the trace is whole up to a kill. Without the variable (or with
// it empty) there is no trace and nothing else is written.
namespace Trace {

constexpr const char* Variable = "BRACKENHOLD_TRACE";

// At start-up, on the main thread: opens the file the variable names, truncated. A file
// that cannot be opened gets one line naming it and the reason, and no trace.
void start();
bool on();

// Main thread, at the start and end of each frame (its whole duration, unclamped).
void frameBegins();
void frameEnds(f64 milliseconds);

// Any thread: one line, stamped with the time and the main thread's current frame.
void line(std::string_view text);
// A key or button (virtual-key code) went down or up.
void key(u8 code, bool down);
// Writes "state <text>" when `text` differs from the state last written.
void state(const std::string& text);

} // namespace Trace

#pragma once

#include "Engine/Types.h"

#include <optional>
#include <string>
#include <string_view>

// The pure parts of the game's trace (see Trace.h): how its lines read and when the
// frames are summed up.
namespace TraceLines {

// Frames are summed up in one line about this often.
constexpr f64 FramesPeriodSeconds = 1.0;

// The frames of one period: how many ended in it, the longest of them and the frame
// it was.
struct FramesSummary {
    u64 frames = 0;
    f64 seconds = 0.0;
    f64 longestMs = 0.0;
    u64 longestFrame = 0;
};

// Counts the frames that end and hands out a summary once a period has gone by.
class FrameTimes {
public:
    // Frame `frame` ended at `nowSeconds` (any steady clock) after `milliseconds`.
    // Returns the summary of the period it closes: the frames since the last summary
    // (the first period starts with the first frame's start).
    std::optional<FramesSummary> frameEnded(u64 frame, f64 nowSeconds, f64 milliseconds);

private:
    bool started = false;
    f64 periodStart = 0.0;
    FramesSummary current;
};

// "HH:MM:SS.mmm" of a time of day given in milliseconds since midnight (wrapped to a
// day); the end-to-end scripts stamp their actions the same way.
std::string timeOfDay(i64 millisecondsSinceMidnight);

// The name of a key or button by its virtual-key code ("Escape", "Enter", "W",
// "MouseLeft"), or its code in hex ("0x5B") for one without a name here.
std::string keyName(u8 code);

// "frames 3 in 1.02 s, longest 412 ms (frame 1207)".
std::string framesLine(const FramesSummary& summary);

// A whole line of the trace, without its line end: "13:04:31.207 frame 1207 <text>".
// The end-to-end scripts read its fields by position (the time, the frame, and of a
// frames line the count and the seconds: fields 1, 3, 5 and 7).
std::string line(i64 millisecondsSinceMidnight, u64 frame, std::string_view text);

} // namespace TraceLines

#include "Engine/Helper/TraceLines.h"

#include <cstdio>

namespace TraceLines {

namespace {

constexpr i64 MillisecondsPerDay = 24LL * 60 * 60 * 1000;

// Keys and buttons that have a name in the trace, by virtual-key code.
struct NamedKey {
    u8 code;
    const char* name;
};
constexpr NamedKey NamedKeys[] = {
    {0x01, "MouseLeft"}, {0x02, "MouseRight"}, {0x04, "MouseMiddle"}, {0x08, "Backspace"}, {0x09, "Tab"},
    {0x0D, "Enter"},     {0x10, "Shift"},      {0x11, "Control"},     {0x12, "Alt"},       {0x1B, "Escape"},
    {0x20, "Space"},     {0x25, "Left"},       {0x26, "Up"},          {0x27, "Right"},     {0x28, "Down"},
    {0x2E, "Delete"},    {0xA0, "LeftShift"},  {0xA1, "RightShift"},  {0xA2, "LeftControl"},
    {0xA3, "RightControl"},
};

} // namespace

std::optional<FramesSummary> FrameTimes::frameEnded(u64 frame, f64 nowSeconds, f64 milliseconds)
{
    if (!started) {
        started = true;
        periodStart = nowSeconds - milliseconds / 1000.0;
    }
    current.frames++;
    if (current.frames == 1 || milliseconds > current.longestMs) {
        current.longestMs = milliseconds;
        current.longestFrame = frame;
    }
    if (nowSeconds - periodStart < FramesPeriodSeconds) return std::nullopt;
    FramesSummary done = current;
    done.seconds = nowSeconds - periodStart;
    current = {};
    periodStart = nowSeconds;
    return done;
}

std::string timeOfDay(i64 millisecondsSinceMidnight)
{
    const i64 ms = ((millisecondsSinceMidnight % MillisecondsPerDay) + MillisecondsPerDay) % MillisecondsPerDay;
    char text[16];
    std::snprintf(text, sizeof(text), "%02d:%02d:%02d.%03d", static_cast<int>(ms / 3600000),
                  static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000));
    return text;
}

std::string keyName(u8 code)
{
    if ((code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9')) return std::string(1, static_cast<char>(code));
    for (const NamedKey& key : NamedKeys) {
        if (key.code == code) return key.name;
    }
    char text[8];
    std::snprintf(text, sizeof(text), "0x%02X", code);
    return text;
}

std::string framesLine(const FramesSummary& summary)
{
    char text[128];
    std::snprintf(text, sizeof(text), "frames %llu in %.2f s, longest %.0f ms (frame %llu)",
                  static_cast<unsigned long long>(summary.frames), summary.seconds, summary.longestMs,
                  static_cast<unsigned long long>(summary.longestFrame));
    return text;
}

std::string line(i64 millisecondsSinceMidnight, u64 frame, std::string_view text)
{
    return timeOfDay(millisecondsSinceMidnight) + " frame " + std::to_string(frame) + " " + std::string(text);
}

} // namespace TraceLines

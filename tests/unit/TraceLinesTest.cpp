#include "Engine/Helper/TraceLines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using TraceLines::FramesSummary;
using TraceLines::FrameTimes;

// Frames end at the given times (seconds) after the given durations (ms): the summaries
// handed out, in order.
namespace {

struct EndedFrame {
    f64 at;
    f64 ms;
};

std::vector<FramesSummary> summaries(const std::vector<EndedFrame>& frames)
{
    FrameTimes times;
    std::vector<FramesSummary> out;
    u64 number = 0;
    for (const EndedFrame& frame : frames) {
        if (auto summary = times.frameEnded(++number, frame.at, frame.ms)) out.push_back(*summary);
    }
    return out;
}

} // namespace

TEST(TraceLines, FramesAreSummedUpOncePerPeriodWithTheLongest)
{
    // Fast frames: one summary per second, each with the frames ended in it.
    const std::vector<FramesSummary> fast =
        summaries({{0.1, 100}, {0.2, 100}, {0.6, 400}, {1.0, 100}, {1.5, 500}, {2.0, 500}});
    ASSERT_EQ(fast.size(), 2u);
    EXPECT_EQ(fast[0].frames, 4u);
    EXPECT_DOUBLE_EQ(fast[0].seconds, 1.0);
    EXPECT_DOUBLE_EQ(fast[0].longestMs, 400);
    EXPECT_EQ(fast[0].longestFrame, 3u);
    EXPECT_EQ(fast[1].frames, 2u);
    EXPECT_DOUBLE_EQ(fast[1].longestMs, 500);
    EXPECT_EQ(fast[1].longestFrame, 5u);

    // Frames slower than the period: each closes a period of its own, and the first
    // period starts where the first frame began.
    const std::vector<FramesSummary> slow = summaries({{3.0, 3000}, {10.0, 7000}});
    ASSERT_EQ(slow.size(), 2u);
    EXPECT_EQ(slow[0].frames, 1u);
    EXPECT_DOUBLE_EQ(slow[0].seconds, 3.0);
    EXPECT_DOUBLE_EQ(slow[1].longestMs, 7000);
    EXPECT_EQ(slow[1].longestFrame, 2u);
    EXPECT_DOUBLE_EQ(slow[1].seconds, 7.0);

    // Not a period yet: nothing.
    EXPECT_TRUE(summaries({{0.1, 100}, {0.5, 400}}).empty());
}

TEST(TraceLines, LinesReadAsTheScriptsStampTheirs)
{
    struct Case {
        i64 ms;
        const char* text;
    };
    for (const Case& c : {Case{0, "00:00:00.000"}, Case{((13 * 60 + 4) * 60 + 31) * 1000LL + 207, "13:04:31.207"},
                          Case{24LL * 3600 * 1000 + 5, "00:00:00.005"}, Case{-1, "23:59:59.999"}}) {
        EXPECT_EQ(TraceLines::timeOfDay(c.ms), c.text) << c.ms;
    }

    struct Key {
        u8 code;
        const char* name;
    };
    for (const Key& k : {Key{0x1B, "Escape"}, Key{0x0D, "Enter"}, Key{'W', "W"}, Key{'7', "7"}, Key{0x01, "MouseLeft"},
                         Key{0xA2, "LeftControl"}, Key{0x5B, "0x5B"}, Key{0x00, "0x00"}}) {
        EXPECT_EQ(TraceLines::keyName(k.code), k.name) << int(k.code);
    }

    EXPECT_EQ(TraceLines::framesLine({3, 1.02, 412.4, 1207}), "frames 3 in 1.02 s, longest 412 ms (frame 1207)");
}

// The end-to-end scripts split a line at spaces and read the time (1), the frame (3)
// and, of a frames line, "frames" (4), the count (5) and the seconds (7).
TEST(TraceLines, ScriptsFindTheFieldsTheyRead)
{
    const std::string text =
        TraceLines::line(((13 * 60 + 4) * 60 + 31) * 1000LL + 207, 1207, TraceLines::framesLine({3, 1.02, 412, 1207}));
    std::vector<std::string> fields;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find(' ', start), text.size());
        fields.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    ASSERT_GE(fields.size(), 7u) << text;
    EXPECT_EQ(fields[0], "13:04:31.207");
    EXPECT_EQ(fields[1], "frame");
    EXPECT_EQ(fields[2], "1207");
    EXPECT_EQ(fields[3], "frames");
    EXPECT_EQ(fields[4], "3");
    EXPECT_EQ(fields[6], "1.02");
    EXPECT_EQ(TraceLines::line(0, 0, "key Escape press"), "00:00:00.000 frame 0 key Escape press");
}

#include "Engine/Helper/Fatal.h"
#include "PrintableLine.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

std::string printed(const std::string& line)
{
    testing::internal::CaptureStdout();
    printLine(line);
    return testing::internal::GetCapturedStdout();
}

std::string repeated(const std::string& piece, size_t times)
{
    std::string text;
    for (size_t i = 0; i < times; i++) text += piece;
    return text;
}

} // namespace

// However long a line is made, at most a kilobyte of it is printed: its start, cut
// between two characters, and "...".
TEST(PrintedLines, ALongLineIsCutToAKilobyteBetweenCharacters)
{
    struct Case {
        const char* what;
        std::string line;
        size_t kept; // bytes of the line printed before "..."; all of it when it fits
        bool utf8 = true;
    };
    const Case cases[] = {
        {"a kilobyte", std::string(1024, 'a'), 1024},
        {"a byte more", std::string(1025, 'a'), 1021},
        {"ten megabytes", std::string(10 << 20, 'a'), 1021},
        {"two-byte characters, cut inside one", repeated("\xc3\xa9", 600), 1020},
        {"three-byte characters, cut inside one", repeated("\xe2\x82\xac", 400), 1020},
        {"three-byte characters, cut before one", "a" + repeated("\xe2\x82\xac", 400), 1021},
        {"four-byte characters, cut inside one", repeated("\xf0\x9f\x98\x80", 300), 1020},
        // Not UTF-8 at all: cut all the same, a character's length back at most.
        {"continuation bytes only", std::string(2000, '\x80'), 1018, false},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        const std::string out = printed(test.line);
        ASSERT_FALSE(out.empty());
        ASSERT_EQ(out.back(), '\n');
        const std::string line = out.substr(0, out.size() - 1);
        EXPECT_LE(line.size(), 1024u);
        if (test.utf8) {
            EXPECT_EQ(linePrintableProblem(line), "") << "whole characters only";
        }
        const bool cut = test.kept < test.line.size();
        EXPECT_EQ(line, test.line.substr(0, test.kept) + (cut ? "..." : ""));
    }
}

// An exception's text may hold a file's bytes (a library quoting what it read): the line
// the game ends with shows them escaped, on one line of at most a kilobyte.
TEST(PrintedLines, AnUncaughtErrorsTextIsEscaped)
{
    struct Case {
        const char* what;
        std::string text;
        std::string line; // all of it; "" to check only that it may be printed
    };
    const Case cases[] = {
        {"plain", "failed", "ERROR: failed"},
        {"a terminal's escape sequence", "last read: '\x1b[2J'", "ERROR: last read: '\\x1b[2J'"},
        {"a C1 control", "last read: '\xc2\x9b" "2J'", "ERROR: last read: '\\u009b2J'"},
        {"a bidirectional override", "name \xe2\x80\xae" "cba", "ERROR: name \\u202ecba"},
        {"bytes that are not UTF-8", "last read: '\xff\xc0\xaf'", "ERROR: last read: '\\xff\\xc0\\xaf'"},
        {"a line break", "first\nsecond", "ERROR: first\\nsecond"},
        {"ten megabytes", "last read: '" + std::string(10 << 20, 'a'), ""},
        {"ten megabytes of controls", std::string(10 << 20, '\x1b'), ""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        const std::string line = uncaughtErrorLine(std::make_exception_ptr(std::runtime_error(test.text)));
        EXPECT_EQ(linePrintableProblem(line), "");
        EXPECT_EQ(line.rfind("ERROR: ", 0), 0u) << line.substr(0, 100);
        if (!test.line.empty()) {
            EXPECT_EQ(line, test.line);
        }
    }
}

// The checker the tests of printed lines use: each kind of fault it is there for.
TEST(PrintedLines, TheCheckerFindsEachFault)
{
    struct Case {
        const char* what;
        std::string line;
        const char* problem; // the start of what the checker says; "" when fine
    };
    const Case cases[] = {
        {"plain, with UTF-8 letters", "Stra\xc3\x9f" "e \xe2\x82\xac \xf0\x9f\x98\x80", ""},
        {"a kilobyte", std::string(1024, 'a'), ""},
        {"a byte more", std::string(1025, 'a'), "1025 bytes"},
        {"a tab", "a\tb", "a control character at byte 1"},
        {"DEL", "a\x7f", "a control character at byte 1"},
        {"CSI", "a\xc2\x9b", "a C1 control character at byte 1"},
        {"right-to-left override", "\xe2\x80\xae", "a bidirectional control"},
        {"first strong isolate", "\xe2\x81\xa8", "a bidirectional control"},
        {"line separator", "\xe2\x80\xa8", "a line or paragraph separator"},
        {"a stray continuation byte", "a\x80", "not UTF-8 at byte 1"},
        {"a truncated sequence", "\xe2\x82", "not UTF-8 at byte 0"},
        {"an overlong slash", "\xc0\xaf", "not UTF-8"},
        {"a surrogate", "\xed\xa0\x80", "not UTF-8"},
        {"past U+10FFFF", "\xf4\x90\x80\x80", "not UTF-8"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        const std::string problem = linePrintableProblem(test.line);
        EXPECT_EQ(problem.rfind(test.problem, 0), 0u) << problem;
        EXPECT_EQ(problem.empty(), test.problem[0] == '\0') << problem;
    }
}

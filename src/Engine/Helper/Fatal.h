#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

// What fatalError throws once its line is out: whoever ends the game on it prints
// nothing more.
class FatalError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Fatal errors: prints "ERROR: <message> (in <source> at line #<line>)" on standard
// output and throws FatalError(message). The game's threads do not catch it where it
// is raised: it reaches the top of the thread, and the game ends with status 1 (see
// FatalHandoff.h). `source` is the name of the raising source file without its
// directory or extension ("GraphicsDevice", "Helper", "SwapChain").
[[noreturn]] void fatalError(const std::string& message, const char* source, int line);

// The fatal-error line without the throw (also used by tests).
std::string fatalErrorLine(const std::string& message, const char* source, int line);

// The line the game ends with for an error that reached the top of a thread: empty for
// a FatalError, whose line is out already; "ERROR: <what>" for any other exception,
// its text escaped and cut (escapedText, LineLimits::MessageBytes); a fixed line for
// something that is not an exception.
std::string uncaughtErrorLine(const std::exception_ptr& error);

// Prints one diagnostic line on standard output and flushes it at once, so the line
// is out even if the process ends right after. The text and its line end go out under
// the stream's lock: lines of two threads never tear each other. A line longer than
// LineLimits::LineBytes is cut between two UTF-8 characters and ends in "...", that
// many bytes in all. Allocates nothing.
void printLine(std::string_view line);

// Prints a line that ends the game ("ERROR: ..."). The game ends on its first fatal
// error, and whatever else fails on the way out (another thread that lost what the
// first was building, a window system that went meanwhile) would only bury the cause:
// with `keepFirstFatalLineOnly(true)`, which the game sets at its start, only the first
// such line is printed. Tests, which catch fatal errors and go on, see every line.
// Returns whether the line was printed.
bool printFatalLine(std::string_view line);

// Turns keeping the first fatal line only on or off; either way the next fatal line
// counts as the first.
void keepFirstFatalLineOnly(bool on);

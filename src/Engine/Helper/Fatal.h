#pragma once

#include <stdexcept>
#include <string>

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
// a FatalError, whose line is out already; "ERROR: <what>" for any other exception;
// a fixed line for something that is not an exception.
std::string uncaughtErrorLine(const std::exception_ptr& error);

// Prints one diagnostic line on standard output and flushes it at once, so the line
// is out even if the process ends right after.
void printLine(const std::string& line);

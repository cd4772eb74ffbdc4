#pragma once

#include <string>

// Fatal set-up errors: prints "ERROR: <message> (in <source> at line #<line>)" on
// standard output, terminates GLFW and throws std::runtime_error(message). Nothing
// catches it, so the process ends. `source` is the name of the raising source file
// without its directory or extension ("GraphicsDevice", "Helper", "SwapChain").
[[noreturn]] void fatalError(const std::string& message, const char* source, int line);

// The fatal-error line without the GLFW shutdown and the throw (also used by tests).
std::string fatalErrorLine(const std::string& message, const char* source, int line);

// Prints one diagnostic line on standard output and flushes it at once, so the line
// is out even if the process ends right after.
void printLine(const std::string& line);

#include "Engine/Helper/Fatal.h"

#include <GLFW/glfw3.h>

#include <cstdio>
#include <stdexcept>
#include <thread>

std::string fatalErrorLine(const std::string& message, const char* source, int line)
{
    return "ERROR: " + message + " (in " + source + " at line #" + std::to_string(line) + ")";
}

void printLine(const std::string& line)
{
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

namespace {
// Static initialisation runs on the main thread.
const std::thread::id mainThread = std::this_thread::get_id();
} // namespace

void fatalError(const std::string& message, const char* source, int line)
{
    printLine(fatalErrorLine(message, source, line));
    // GLFW may only be terminated from the main thread; elsewhere (the loader of a new
    // world) it would wait on the window system for ever instead of ending the game.
    if (std::this_thread::get_id() == mainThread) {
        glfwTerminate();
    }
    throw std::runtime_error(message);
}

#include "Engine/Helper/Fatal.h"

#include <GLFW/glfw3.h>

#include <cstdio>
#include <stdexcept>

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

void fatalError(const std::string& message, const char* source, int line)
{
    printLine(fatalErrorLine(message, source, line));
    glfwTerminate();
    throw std::runtime_error(message);
}

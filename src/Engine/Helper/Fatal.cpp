#include "Engine/Helper/Fatal.h"

#include <cstdio>
#include <exception>

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

std::string uncaughtErrorLine(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const FatalError&) {
        return "";
    } catch (const std::exception& other) {
        return std::string("ERROR: ") + other.what();
    } catch (...) {
        return "ERROR: an unknown error ended the game";
    }
}

void fatalError(const std::string& message, const char* source, int line)
{
    printLine(fatalErrorLine(message, source, line));
    // The window system is shut down where the game ends, on the main thread and after
    // the swap chain that presents into the window (Engine::endOnError).
    throw FatalError(message);
}

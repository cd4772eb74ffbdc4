#include "Engine/Helper/Fatal.h"

#include <atomic>
#include <cstdio>
#include <exception>
#include <mutex>

namespace {

std::atomic<bool> firstFatalLineOnly{false};
std::atomic<bool> fatalLineOut{false};
std::mutex fatalLineMutex;

} // namespace

std::string fatalErrorLine(const std::string& message, const char* source, int line)
{
    return "ERROR: " + message + " (in " + source + " at line #" + std::to_string(line) + ")";
}

void printLine(const std::string& line)
{
    const std::string text = line + '\n';
    // The stream's lock keeps other threads' output out from the write to the flush.
    flockfile(stdout);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    funlockfile(stdout);
}

bool printFatalLine(const std::string& line)
{
    // Held until the line is written in full: a thread whose line is held back returns
    // (and may end the process) only once the first fatal line is out.
    const std::lock_guard<std::mutex> lock(fatalLineMutex);
    const bool earlier = fatalLineOut.exchange(true);
    if (earlier && firstFatalLineOnly.load()) return false;
    printLine(line);
    return true;
}

void keepFirstFatalLineOnly(bool on)
{
    firstFatalLineOnly.store(on);
    fatalLineOut.store(false);
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
    printFatalLine(fatalErrorLine(message, source, line));
    // The window system is shut down where the game ends, on the main thread and after
    // the swap chain that presents into the window (Engine::endOnError).
    throw FatalError(message);
}

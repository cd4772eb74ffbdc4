#include "Engine/Helper/Fatal.h"

#include <atomic>
#include <cstdio>
#include <exception>
#include <mutex>

namespace {

std::atomic<bool> firstFatalLineOnly{false};
std::atomic<bool> fatalLineOut{false};
std::recursive_mutex fatalLineMutex;

} // namespace

std::string fatalErrorLine(const std::string& message, const char* source, int line)
{
    return "ERROR: " + message + " (in " + source + " at line #" + std::to_string(line) + ")";
}

void printLine(std::string_view line)
{
    // Nothing is allocated here: a line is printed also when the memory is exhausted.
    // The stream's lock keeps other threads' output out from the first write to the
    // flush, and the stream's buffer makes the two writes one for the output.
    flockfile(stdout);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    funlockfile(stdout);
}

bool printFatalLine(std::string_view line)
{
    // Held until the line is written in full: a thread whose line is held back returns
    // (and may end the process) only once the first fatal line is out. Nothing under
    // it allocates or throws; and should the thread that holds it come here again (from
    // the terminate handler, say), the lock is its own already and it never waits for
    // itself.
    const std::lock_guard<std::recursive_mutex> lock(fatalLineMutex);
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

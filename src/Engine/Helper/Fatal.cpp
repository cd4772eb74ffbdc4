#include "Engine/Helper/Fatal.h"

#include "Engine/Helper/LineLimits.h"
#include "Engine/Helper/QuotedText.h"

#include <atomic>
#include <cstdio>
#include <exception>
#include <mutex>

namespace {

std::atomic<bool> firstFatalLineOnly{false};
std::atomic<bool> fatalLineOut{false};
std::recursive_mutex fatalLineMutex;

constexpr std::string_view CutMark = "...";

// A UTF-8 character has at most this many bytes after its first.
constexpr size_t MaxContinuationBytes = 3;

// Where a line longer than LineLimits::LineBytes is cut: at most that many bytes with
// the mark, and not inside a UTF-8 character (before one of its continuation bytes).
size_t cutAt(std::string_view line)
{
    size_t cut = LineLimits::LineBytes - CutMark.size();
    for (size_t back = 0; back < MaxContinuationBytes && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80;
         back++) {
        cut--;
    }
    return cut;
}

} // namespace

std::string fatalErrorLine(const std::string& message, const char* source, int line)
{
    return "ERROR: " + message + " (in " + source + " at line #" + std::to_string(line) + ")";
}

void printLine(std::string_view line)
{
    // Nothing is allocated here: a line is printed also when the memory is exhausted.
    // The stream's lock keeps other threads' output out from the first write to the
    // flush, and the stream's buffer makes the writes one for the output.
    const bool cut = line.size() > LineLimits::LineBytes;
    const std::string_view shown = cut ? line.substr(0, cutAt(line)) : line;
    flockfile(stdout);
    std::fwrite(shown.data(), 1, shown.size(), stdout);
    if (cut) std::fwrite(CutMark.data(), 1, CutMark.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    funlockfile(stdout);
}

bool printFatalLine(std::string_view line)
{
    // Held until the line is written in full: a thread whose line is held back returns
    // (and may end the process) only once the first fatal line is out. Nothing under it
    // allocates or throws. The mutex is recursive: a thread that comes back here while
    // it holds it takes it again and never waits for itself.
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
        // The text may hold a file's bytes (a library's "last read: ..." of what it
        // parsed).
        return "ERROR: " + messageText(other.what(), LineLimits::MessageBytes);
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

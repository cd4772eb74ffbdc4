#include "Engine/Helper/Trace.h"

#include "Engine/Helper/Fatal.h"
#include "Engine/Helper/QuotedText.h"
#include "Engine/Helper/TraceLines.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>

namespace Trace {

namespace {

std::FILE* file = nullptr; // set once at start-up, before other threads run
std::mutex fileMutex;
std::atomic<u64> frame{0};
std::chrono::steady_clock::time_point started;
TraceLines::FrameTimes frameTimes; // main thread
std::string lastState;             // main thread

i64 millisecondsSinceLocalMidnight()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const i64 milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    return ((static_cast<i64>(local.tm_hour) * 60 + local.tm_min) * 60 + local.tm_sec) * 1000 + milliseconds;
}

} // namespace

void start()
{
    const char* path = std::getenv(Variable);
    if (path == nullptr || *path == '\0') return;
    file = std::fopen(path, "w");
    if (file == nullptr) {
        printLine("Trace file " + quotedText(path) + " cannot be opened: " + std::strerror(errno) +
                  "; no trace is written");
        return;
    }
    started = std::chrono::steady_clock::now();
    line("trace starts");
}

bool on()
{
    return file != nullptr;
}

void frameBegins()
{
    frame.fetch_add(1, std::memory_order_relaxed);
}

void frameEnds(f64 milliseconds)
{
    if (file == nullptr) return;
    const f64 now = std::chrono::duration<f64>(std::chrono::steady_clock::now() - started).count();
    if (auto summary = frameTimes.frameEnded(frame.load(std::memory_order_relaxed), now, milliseconds)) {
        line(TraceLines::framesLine(*summary));
    }
}

void line(std::string_view text)
{
    if (file == nullptr) return;
    const std::string whole =
        TraceLines::line(millisecondsSinceLocalMidnight(), frame.load(std::memory_order_relaxed), text) + "\n";
    std::lock_guard lock(fileMutex);
    std::fwrite(whole.data(), 1, whole.size(), file);
    std::fflush(file);
}

void key(u8 code, bool down)
{
    if (file == nullptr) return;
    line("key " + TraceLines::keyName(code) + (down ? " press" : " release"));
}

void state(const std::string& text)
{
    if (file == nullptr || text == lastState) return;
    lastState = text;
    line("state " + text);
}

} // namespace Trace

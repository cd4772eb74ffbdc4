#include "Engine/Helper/FatalHandoff.h"

#include "Engine/Helper/Fatal.h"

#include <cstdio>
#include <cstdlib>
#include <string>

FatalHandoff fatalHandoff;

namespace {

// No static destructors: the other threads may still use static objects.
void endProcessNow(int status)
{
    std::fflush(stdout);
    std::_Exit(status);
}

} // namespace

FatalHandoff::FatalHandoff(std::chrono::milliseconds grace, EndProcess end)
    : grace(grace), end(end != nullptr ? end : endProcessNow)
{
}

void FatalHandoff::post(std::exception_ptr error)
{
    std::lock_guard lock(mutex);
    if (posted != nullptr || taken) return;
    posted = std::move(error);
    pending.store(true, std::memory_order_release);
}

std::exception_ptr FatalHandoff::take()
{
    if (!pending.load(std::memory_order_acquire)) return nullptr;
    std::exception_ptr error;
    {
        std::lock_guard lock(mutex);
        error = std::move(posted);
        posted = nullptr;
        taken = error != nullptr || taken;
        pending.store(false, std::memory_order_release);
    }
    takenSignal.notify_all();
    return error;
}

void FatalHandoff::rethrowPosted()
{
    if (std::exception_ptr error = take()) std::rethrow_exception(error);
}

void FatalHandoff::runGuarded(const std::function<void()>& body)
{
    std::exception_ptr error;
    try {
        body();
        return;
    } catch (...) {
        error = std::current_exception();
    }
    // The line goes out now, whatever the main thread is doing; what is posted is a
    // FatalError, which the main thread ends the game on without a second line.
    if (std::string line = uncaughtErrorLine(error); !line.empty()) {
        printFatalLine(line);
        error = std::make_exception_ptr(FatalError(line));
    }
    post(error);
    std::unique_lock lock(mutex);
    // Not taken in time, or the main thread waits on workers and will not take it.
    takenSignal.wait_for(lock, grace, [this] { return taken || mainThreadWaits > 0; });
    if (!taken) {
        lock.unlock();
        end(ExitStatus);
    }
}

FatalHandoff::MainThreadWait::MainThreadWait(FatalHandoff& owner) : handoff(owner)
{
    {
        std::lock_guard lock(handoff.mutex);
        handoff.mainThreadWaits++;
    }
    // A worker already waiting for its error to be taken stops waiting.
    handoff.takenSignal.notify_all();
}

FatalHandoff::MainThreadWait::~MainThreadWait()
{
    std::lock_guard lock(handoff.mutex);
    handoff.mainThreadWaits--;
}

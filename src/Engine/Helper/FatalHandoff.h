#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>

// Errors that end the game, whichever thread finds them.
//
// The main thread ends the game itself (Engine::endOnError): the error's line, then what
// is safe to tear down, then status 1. A worker thread (the loader of a new world, the
// physics, game-logic and navigation threads) runs its body through runGuarded: an
// error that escapes the body has its line printed at once and is handed to the main
// thread, which takes it at the start of its next frame and ends the game there. Should
// the main thread not come to it within the grace period (it may be busy with something
// the failed worker was to do), the worker ends the process itself; it does so at once
// while the main thread is waiting on workers (a MainThreadWait), which it would not
// come out of to take the error.
class FatalHandoff {
public:
    // Main thread, around a wait on workers (joining the loader of a world torn down,
    // stopping the game's threads at the end): a worker that has failed, or fails
    // meanwhile, ends the process without waiting out the grace.
    class MainThreadWait {
    public:
        explicit MainThreadWait(FatalHandoff& owner);
        ~MainThreadWait();
        MainThreadWait(const MainThreadWait&) = delete;
        MainThreadWait& operator=(const MainThreadWait&) = delete;

    private:
        FatalHandoff& handoff;
    };

    // Exit status of a game ended by an error.
    static constexpr int ExitStatus = 1;
    static constexpr std::chrono::milliseconds DefaultGrace{10000};
    using EndProcess = void (*)(int status);

    explicit FatalHandoff(std::chrono::milliseconds grace = DefaultGrace, EndProcess end = nullptr);

    // Keeps the first error posted; later ones are dropped (their lines are out).
    void post(std::exception_ptr error);
    // The posted error, handed out once; null when there is none.
    std::exception_ptr take();
    // Main thread, once a frame: throws the error a worker posted, if there is one.
    void rethrowPosted();
    // Runs `body` on a worker thread; an error that escapes it is printed (unless it
    // printed its own line) and posted. The thread then waits for the main thread to
    // take it and ends the process with ExitStatus when it has not within the grace,
    // or as soon as the main thread is waiting on workers.
    void runGuarded(const std::function<void()>& body);

private:
    int mainThreadWaits = 0; // under `mutex`
    std::chrono::milliseconds grace;
    EndProcess end;
    std::mutex mutex;
    std::condition_variable takenSignal;
    std::exception_ptr posted;
    bool taken = false;
    std::atomic<bool> pending{false};
};

// The game's one hand-off.
extern FatalHandoff fatalHandoff;

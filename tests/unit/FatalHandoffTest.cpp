#include "Engine/Engine.h"
#include "Engine/Helper/Fatal.h"
#include "Engine/Helper/FatalHandoff.h"
#include "Engine/Helper/FileLimits.h"
#include "ScratchFiles.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// What the hand-off's end function was called with (-1: not called).
std::atomic<int> endedWith{-1};
void recordEnd(int status)
{
    endedWith = status;
}

// The message of the exception behind `error`, and whether it is a FatalError.
std::pair<std::string, bool> describe(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const FatalError& fatal) {
        return {fatal.what(), true};
    } catch (const std::exception& other) {
        return {other.what(), false};
    }
}

} // namespace

TEST(FatalError, UncaughtLines)
{
    // A FatalError has printed its line; anything else gets one from its message.
    EXPECT_EQ(uncaughtErrorLine(std::make_exception_ptr(FatalError("printed"))), "");
    EXPECT_EQ(uncaughtErrorLine(std::make_exception_ptr(std::runtime_error("failed"))), "ERROR: failed");
    EXPECT_EQ(uncaughtErrorLine(std::make_exception_ptr(42)), "ERROR: an unknown error ended the game");
    EXPECT_THROW(fatalError("x.json: broken", "BuildingConfig", 7), FatalError);
}

TEST(FatalHandoff, FirstErrorIsHandedOutOnce)
{
    FatalHandoff handoff(10ms, recordEnd);
    EXPECT_EQ(handoff.take(), nullptr);
    EXPECT_NO_THROW(handoff.rethrowPosted());
    handoff.post(std::make_exception_ptr(FatalError("first")));
    handoff.post(std::make_exception_ptr(FatalError("second")));
    EXPECT_THROW(
        try { handoff.rethrowPosted(); } catch (const FatalError& e) {
            EXPECT_STREQ(e.what(), "first");
            throw;
        },
        FatalError);
    EXPECT_EQ(handoff.take(), nullptr) << "handed out once";
    handoff.post(std::make_exception_ptr(FatalError("after the end began")));
    EXPECT_EQ(handoff.take(), nullptr) << "the game is ending on the first";
}

// A worker's error reaches the main thread as a FatalError whose line is out; the
// worker ends the process itself only when the main thread does not take it in time.
TEST(FatalHandoffThreaded, WorkerErrorsReachTheMainThread)
{
    struct Case {
        const char* name;
        std::exception_ptr thrown;
        bool mainTakes;
        std::string message; // of what the main thread gets
        int ended;           // status the worker ended the process with, -1 none
    };
    const Case cases[] = {
        {"fatal, taken", std::make_exception_ptr(FatalError("shaders/a.spv is empty")), true,
         "shaders/a.spv is empty", -1},
        {"plain, taken", std::make_exception_ptr(std::runtime_error("out of memory")), true, "ERROR: out of memory",
         -1},
        {"fatal, main never comes", std::make_exception_ptr(FatalError("x")), false, "x", FatalHandoff::ExitStatus},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        endedWith = -1;
        FatalHandoff handoff(test.mainTakes ? 60000ms : 50ms, recordEnd);
        std::thread worker([&] { handoff.runGuarded([&] { std::rethrow_exception(test.thrown); }); });
        std::exception_ptr got;
        if (test.mainTakes) {
            while ((got = handoff.take()) == nullptr) std::this_thread::sleep_for(1ms);
        }
        worker.join();
        if (!test.mainTakes) got = handoff.take();
        ASSERT_NE(got, nullptr);
        const auto [message, fatal] = describe(got);
        EXPECT_TRUE(fatal) << "the main thread prints no second line";
        EXPECT_EQ(message, test.message);
        EXPECT_EQ(endedWith.load(), test.ended);
    }

    // A body that ends normally posts nothing and waits for nothing.
    FatalHandoff handoff(60000ms, recordEnd);
    std::thread worker([&] { handoff.runGuarded([] {}); });
    worker.join();
    EXPECT_EQ(handoff.take(), nullptr);
}

// The real end: the process goes with status 1, not with an abort.
TEST(FatalHandoffDeathTest, UntakenErrorEndsTheProcessWithStatusOne)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            FatalHandoff handoff(10ms);
            handoff.runGuarded([] { fatalError("assets/x.json: broken", "Test", 1); });
            std::abort();
        },
        ::testing::ExitedWithCode(FatalHandoff::ExitStatus), "");
}

// The main thread waiting on workers (tearing a world down, shutting down) cannot come
// to a worker's error: the worker ends the process at once, whether it failed before
// or during the wait, instead of after the grace.
TEST(FatalHandoffThreaded, AWorkerEndsAtOnceWhileTheMainThreadWaitsOnIt)
{
    constexpr auto Grace = 30s;
    for (const bool failsFirst : {true, false}) {
        SCOPED_TRACE(failsFirst ? "failed before the wait" : "fails during the wait");
        endedWith = -1;
        FatalHandoff handoff(Grace, recordEnd);
        std::atomic<bool> failed{false};
        const auto started = std::chrono::steady_clock::now();
        std::thread worker([&] {
            handoff.runGuarded([&] {
                failed = true;
                throw FatalError("shaders/enemyVert.spv is empty");
            });
        });
        if (failsFirst) {
            while (!failed) std::this_thread::sleep_for(1ms);
            std::this_thread::sleep_for(20ms); // into its wait for the main thread
        }
        {
            FatalHandoff::MainThreadWait waiting(handoff);
            worker.join();
        }
        EXPECT_EQ(endedWith.load(), FatalHandoff::ExitStatus);
        EXPECT_LT(std::chrono::steady_clock::now() - started, Grace / 2) << "the grace was waited out";
    }
}

// Lines from several threads at once come out whole, each on its own line; and with
// the first fatal line kept only, one fatal line comes out of many at once.
TEST(FatalLinesThreaded, LinesOfThreadsNeverTearAndOnlyTheFirstFatalOneIsKept)
{
    const std::vector<std::string> texts = {std::string(300, 'a'), std::string(300, 'b'), std::string(300, 'c')};
    testing::internal::CaptureStdout();
    std::vector<std::thread> threads;
    for (const std::string& text : texts) {
        threads.emplace_back([&text] {
            for (int i = 0; i < 500; i++) printLine(text);
        });
    }
    for (std::thread& thread : threads) thread.join();
    std::istringstream printed(testing::internal::GetCapturedStdout());
    const std::set<std::string> whole(texts.begin(), texts.end());
    int lines = 0;
    for (std::string line; std::getline(printed, line); lines++) {
        ASSERT_EQ(whole.count(line), 1u) << "a torn line: " << line.substr(0, 80) << "...";
    }
    EXPECT_EQ(lines, 1500);

    keepFirstFatalLineOnly(true);
    testing::internal::CaptureStdout();
    threads.clear();
    std::atomic<int> printedFatal{0};
    for (int t = 0; t < 3; t++) {
        threads.emplace_back([&printedFatal, t] {
            for (int i = 0; i < 100; i++) printedFatal += printFatalLine("ERROR: thread " + std::to_string(t));
        });
    }
    for (std::thread& thread : threads) thread.join();
    const std::string fatal = testing::internal::GetCapturedStdout();
    keepFirstFatalLineOnly(false);
    EXPECT_EQ(printedFatal.load(), 1);
    EXPECT_EQ(std::count(fatal.begin(), fatal.end(), '\n'), 1) << fatal;
}

// A fatal error ends the game on its own line: later fatal errors (and the end paths'
// lines) say nothing more, while other lines go on; tests, which go on after a fatal
// error, see every line.
TEST(FatalLines, TheGameKeepsTheFirstFatalLineOnly)
{
    keepFirstFatalLineOnly(true);
    testing::internal::CaptureStdout();
    EXPECT_THROW(fatalError("shaders/towerFrag.spv is empty", "Pipeline", 90), FatalError);
    EXPECT_THROW(fatalError("Failed to get swapchain Images", "SwapChain", 200), FatalError);
    EXPECT_FALSE(printFatalLine("ERROR: The game window is gone"));
    printLine("Recreating swapchain!");
    const std::string game = testing::internal::GetCapturedStdout();
    EXPECT_EQ(game, "ERROR: shaders/towerFrag.spv is empty (in Pipeline at line #90)\nRecreating swapchain!\n");

    keepFirstFatalLineOnly(false);
    testing::internal::CaptureStdout();
    EXPECT_THROW(fatalError("a", "Test", 1), FatalError);
    EXPECT_THROW(fatalError("b", "Test", 2), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR: a (in Test at line #1)\nERROR: b (in Test at line #2)\n");
}

namespace {

// The file the dying processes of the last resorts' test write their standard output
// to. Each is a new run of the test (the threadsafe style), with a process id of its
// own: the first run names the file after its own id and hands the name down in the
// environment.
std::string lastResortsOutput()
{
    constexpr const char* Variable = "BRACKENHOLD_LAST_RESORTS_OUTPUT";
    if (const char* handedDown = std::getenv(Variable)) return handedDown;
    const std::string path = scratchPath("fatal-end.txt").string();
    setenv(Variable, path.c_str(), 1);
    return path;
}

} // namespace

// The game's two last resorts, in a process of their own each: an error that reaches
// the top of the main thread (Engine::endOnError) and anything that reaches
// std::terminate (Engine::endOnTerminate, the game's handler) end it with status 1 and
// one line at most, never with an abort.
TEST(FatalEndDeathTest, TheLastResortsEndWithStatusOneAndOneLine)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Case {
        const char* name;
        void (*fail)();
        const char* printed; // all of standard output
    };
    const Case cases[] = {
        {"an exception escapes a thread",
         [] { std::thread([] { throw std::runtime_error("boom"); }).join(); }, "ERROR: boom\n"},
        {"a fatal error escapes a thread",
         [] { std::thread([] { fatalError("assets/x.json: broken", "Test", 3); }).join(); },
         "ERROR: assets/x.json: broken (in Test at line #3)\n"},
        {"terminate without an exception", [] { std::terminate(); }, "ERROR: the game ended unexpectedly\n"},
        {"the main thread ends on a plain error",
         [] { Engine::endOnError(std::make_exception_ptr(std::runtime_error("out of memory"))); },
         "ERROR: out of memory\n"},
        {"the main thread ends on a fatal error",
         [] { Engine::endOnError(std::make_exception_ptr(FatalError("printed already"))); }, ""},
        {"the main thread ends after another fatal line",
         [] {
             try {
                 fatalError("shaders/a.spv is empty", "Pipeline", 9);
             } catch (const FatalError&) {
             }
             Engine::endOnError(std::make_exception_ptr(std::runtime_error("the window is gone")));
         },
         "ERROR: shaders/a.spv is empty (in Pipeline at line #9)\n"},
    };
    const std::string out = lastResortsOutput();
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        std::filesystem::remove(out);
        EXPECT_EXIT(
            {
                // As the game's main sets it up; standard output goes to a file.
                std::fflush(stdout);
                const int file = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
                dup2(file, STDOUT_FILENO);
                Engine::setUpProcessEnds();
                test.fail();
                std::_Exit(42);
            },
            ::testing::ExitedWithCode(FatalHandoff::ExitStatus), "");
        std::ifstream file(out);
        std::stringstream printed;
        printed << file.rdbuf();
        EXPECT_EQ(printed.str(), test.printed);
    }
    std::filesystem::remove(out);
}

namespace {

// Runs `body` in a child process set up as the game's main sets itself up, whose
// standard output is a pipe whose reader has gone; gives its exit status, or 128 + the
// signal that ended it.
int statusWithClosedOutput(void (*body)())
{
    int ends[2];
    if (pipe(ends) != 0) return -1;
    close(ends[0]);
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        dup2(ends[1], STDOUT_FILENO);
        close(ends[1]);
        Engine::setUpProcessEnds();
        body();
        std::fflush(stdout);
        std::_Exit(0);
    }
    close(ends[1]);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

// An output whose reader has gone (`brackenhold | head -1`) ends nothing; a fatal error
// still ends the game with status 1.
TEST(FatalLines, AClosedOutputEndsNothing)
{
    struct Case {
        const char* name;
        void (*body)();
        int status;
    };
    const Case cases[] = {
        {"nothing broken", [] { printLine("Recreating swapchain!"); }, 0},
        {"a fatal error",
         [] {
             printLine("Recreating swapchain!");
             Engine::endOnError(std::make_exception_ptr(std::runtime_error("out of memory")));
         },
         FatalHandoff::ExitStatus},
    };
    for (const Case& test : cases) {
        EXPECT_EQ(statusWithClosedOutput(test.body), test.status) << test.name;
    }
}

// A thread whose fatal line is held back returns, and may end the process, only once the
// first fatal line is out: here the first is held up on its way out (the test holds the
// output's lock), and the second must not return meanwhile.
TEST(FatalLinesThreaded, ASecondFatalLineWaitsUntilTheFirstIsOut)
{
    keepFirstFatalLineOnly(true);
    testing::internal::CaptureStdout();
    std::atomic<bool> secondReturned{false};
    flockfile(stdout);
    std::thread first([] { printFatalLine("ERROR: first"); });
    std::this_thread::sleep_for(50ms); // into the write, waiting for the output
    std::thread second([&secondReturned] {
        printFatalLine("ERROR: second");
        secondReturned = true;
    });
    std::this_thread::sleep_for(100ms);
    const bool returnedEarly = secondReturned.load();
    funlockfile(stdout);
    first.join();
    second.join();
    const std::string printed = testing::internal::GetCapturedStdout();
    keepFirstFatalLineOnly(false);
    EXPECT_FALSE(returnedEarly) << "the second fatal error went on before the first line was out";
    EXPECT_EQ(printed, "ERROR: first\n");
}

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool AddressSpaceLimitWorks = false; // the sanitizers reserve terabytes up front
#else
constexpr bool AddressSpaceLimitWorks = true;
#endif

// The address space this process has mapped, in bytes.
u64 mappedBytes()
{
    std::ifstream statm("/proc/self/statm");
    u64 pages = 0;
    statm >> pages;
    return pages * static_cast<u64>(sysconf(_SC_PAGESIZE));
}

// Runs `body(line)` in a child set up as the game's main sets itself up, with `line` of
// `lineBytes` made first and then no more than `headroom` bytes of address space left.
// Gives the child's exit status (-1: still running after 20 s, then killed) and how many
// bytes it printed.
std::pair<int, u64> statusWhenMemoryRunsOut(void (*body)(const std::string& line), u64 lineBytes, u64 headroom)
{
    const std::string out = scratchPath("out-of-memory.txt").string();
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        const int file = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(file, STDOUT_FILENO);
        Engine::setUpProcessEnds();
        const std::string line(lineBytes, 'x');
        const rlimit limit{mappedBytes() + headroom, RLIM_INFINITY};
        setrlimit(RLIMIT_AS, &limit);
        body(line);
        std::_Exit(42);
    }
    int status = 0;
    for (int waited = 0; waitpid(child, &status, WNOHANG) == 0; waited++) {
        if (waited == 2000) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            std::filesystem::remove(out);
            return {-1, 0};
        }
        std::this_thread::sleep_for(10ms);
    }
    const u64 printed = std::filesystem::file_size(out);
    std::filesystem::remove(out);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), printed};
}

[[noreturn]] void throwFatalError()
{
    throw FatalError("out");
}

// The stack of a thread made with little address space left. A std::thread takes the
// default stack, as large as `ulimit -s` says (64 MiB under `ulimit -s 65536`), which
// may not fit in what is left: the thread would not even be made.
constexpr size_t SmallStackBytes = 512 * 1024;
// The status of the child whose thread could not be made all the same.
constexpr int NoThreadStatus = 43;

// Runs `body` on a thread of its own with a stack of SmallStackBytes and waits for it.
// What escapes `body` reaches std::terminate on that thread as it would from a
// std::thread, with the thread's stack as it was.
template <typename Body>
void runOnSmallStack(Body body)
{
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, SmallStackBytes);
    pthread_t thread;
    const int made = pthread_create(
        &thread, &attributes,
        [](void* argument) -> void* {
            (*static_cast<Body*>(argument))();
            return nullptr;
        },
        &body);
    pthread_attr_destroy(&attributes);
    if (made != 0) std::_Exit(NoThreadStatus);
    pthread_join(thread, nullptr);
}

} // namespace

// When the memory runs out on a fatal path, the game still ends with status 1 and a
// line: never a hang on a lock the failing thread holds itself. The errors escape the
// top of a thread, so the terminate handler runs with that thread's stack as it was.
TEST(FatalEnd, RunningOutOfMemoryStillEndsWithStatusOne)
{
    if (!AddressSpaceLimitWorks) GTEST_SKIP() << "an address space limit does not work under the sanitizers";
    constexpr u64 LineBytes = 64 * FileLimits::MiB;
    constexpr u64 Headroom = 32 * FileLimits::MiB; // a small thread's stack, not another copy of the line
    struct Case {
        const char* name;
        void (*body)(const std::string& line);
        u64 printed; // bytes
    };
    const Case cases[] = {
        {"a fatal line with no memory for a copy of it",
         [](const std::string& line) {
             runOnSmallStack([&line] {
                 printFatalLine(line);
                 throwFatalError(); // as fatalError goes on once its line is out
             });
         },
         1024 + 1}, // cut to a kilobyte, then its line end
        {"a fatal error whose line cannot be made",
         [](const std::string& line) { runOnSmallStack([&line] { fatalError(line, "Test", 1); }); },
         sizeof("ERROR: std::bad_alloc")},
    };
    for (const Case& test : cases) {
        const auto [status, printed] = statusWhenMemoryRunsOut(test.body, LineBytes, Headroom);
        EXPECT_EQ(status, FatalHandoff::ExitStatus)
            << test.name << (status == -1 ? ": hung" : status == NoThreadStatus ? ": its thread was not made" : "");
        EXPECT_EQ(printed, test.printed) << test.name;
    }
}

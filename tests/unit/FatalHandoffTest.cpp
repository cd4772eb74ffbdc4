#include "Engine/Helper/Fatal.h"
#include "Engine/Helper/FatalHandoff.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

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

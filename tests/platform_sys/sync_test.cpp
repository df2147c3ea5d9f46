// Events, handles, threads and sleeps of the platform.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/win32api.h"

namespace {

using Clock = std::chrono::steady_clock;

// Polls until the condition holds or about five seconds have passed.
template <class Condition>
bool Eventually(Condition condition) {
    for (int i = 0; i < 500; ++i) {
        if (condition()) return true;
        Sleep(10);
    }
    return condition();
}

TEST(Event, AutoResetReleasesOneWaiterPerSignal) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i)
        waiters.emplace_back([&] {
            if (WaitForSingleObject(event, INFINITE) == WAIT_OBJECT_0) ++released;
        });
    // A signal that woke more than one waiter shows in the next round, whose count it overshoots.
    for (int round = 1; round <= 4; ++round) {
        ASSERT_TRUE(SetEvent(event));
        ASSERT_TRUE(Eventually([&] { return released.load() == round; })) << "round " << round;
    }
    for (auto& waiter : waiters) waiter.join();
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << "the last waiter took the signal";
    EXPECT_TRUE(CloseHandle(event));
}

TEST(Event, AutoResetSignalWaitsForTheNextWaiter) {
    HANDLE event = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    SetEvent(event);
    SetEvent(event);  // no count: a second set of a signalled event is lost
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    SetEvent(event);
    ResetEvent(event);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);
}

TEST(Event, ManualResetReleasesAllAndStaysSignalled) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back([&] {
            if (WaitForSingleObject(event, 5000) == WAIT_OBJECT_0) ++released;
        });
    SetEvent(event);
    for (auto& waiter : waiters) waiter.join();
    EXPECT_EQ(released.load(), 3);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    ResetEvent(event);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);
}

TEST(Event, WaitTimesOutAfterRoughlyTheTimeAsked) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    const auto start = Clock::now();
    EXPECT_EQ(WaitForSingleObject(event, 120), WAIT_TIMEOUT);
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_GE(waited, 115);
    EXPECT_LT(waited, 5000);
    CloseHandle(event);
}

TEST(Event, NamedEventsAreSharedWithinTheProcess) {
    HANDLE first = CreateEventA(nullptr, TRUE, FALSE, "qp-test-event");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE second = CreateEventA(nullptr, FALSE, FALSE, "qp-test-event");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    ASSERT_NE(first, second);
    SetEvent(second);
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0) << "the first creation's manual reset holds";
    CloseHandle(first);
    CloseHandle(second);
    HANDLE fresh = CreateEventA(nullptr, FALSE, FALSE, "qp-test-event");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS)) << "the name goes with its last handle";
    EXPECT_EQ(WaitForSingleObject(fresh, 0), WAIT_TIMEOUT);
    CloseHandle(fresh);
}

TEST(Handle, ClosedAndBogusHandlesFail) {
    HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    EXPECT_TRUE(CloseHandle(event));
    EXPECT_FALSE(CloseHandle(event));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
    EXPECT_FALSE(SetEvent(event));
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_TRUE(CloseHandle(GetCurrentProcess())) << "pseudo handles close as a no-op";

    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    EXPECT_EQ(WaitForSingleObject(token, 0), WAIT_FAILED) << "a token cannot be waited on";
    EXPECT_FALSE(SetEvent(token));
    EXPECT_TRUE(CloseHandle(token));
    EXPECT_FALSE(OpenProcessToken(nullptr, TOKEN_QUERY, &token));
}

struct ThreadArgs {
    HANDLE go;
    std::atomic<DWORD> seenId{0};
    std::atomic<bool> finished{false};
};

DWORD WINAPI WaitThenReturn(LPVOID parameter) {
    auto* args = static_cast<ThreadArgs*>(parameter);
    args->seenId = GetCurrentThreadId();
    WaitForSingleObject(args->go, INFINITE);
    args->finished = true;
    return 42;
}

TEST(Thread, HandleIsSignalledWhenTheThreadEnds) {
    ThreadArgs args;
    args.go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, WaitThenReturn, &args, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_NE(id, GetCurrentThreadId());

    EXPECT_EQ(WaitForSingleObject(thread, 50), WAIT_TIMEOUT);

    SetEvent(args.go);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0) << "stays signalled";
    EXPECT_EQ(args.seenId.load(), id);
    EXPECT_TRUE(CloseHandle(thread));
    CloseHandle(args.go);
}

TEST(Thread, SuspendedThreadRunsOnlyAfterResume) {
    ThreadArgs args;
    args.go = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    HANDLE thread = CreateThread(nullptr, 64 * 1024, WaitThenReturn, &args, CREATE_SUSPENDED, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 50), WAIT_TIMEOUT);
    EXPECT_EQ(args.seenId.load(), 0u);
    EXPECT_EQ(ResumeThread(thread), 1u);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_NE(args.seenId.load(), 0u);
    EXPECT_EQ(ResumeThread(thread), 0u);
    CloseHandle(thread);
    CloseHandle(args.go);
}

TEST(Thread, ClosingTheHandleLeavesTheThreadRunning) {
    ThreadArgs args;
    args.go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, WaitThenReturn, &args, 0, nullptr);
    EXPECT_TRUE(CloseHandle(thread));
    SetEvent(args.go);
    EXPECT_TRUE(Eventually([&] { return args.finished.load(); }));
    CloseHandle(args.go);
}

TEST(Time, SleepWaitsRoughlyTheTimeAsked) {
    const auto start = Clock::now();
    Sleep(60);
    const auto slept = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_GE(slept, 55);
    EXPECT_LT(slept, 5000);
}

}  // namespace

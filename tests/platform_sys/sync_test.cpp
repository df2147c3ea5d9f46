// Events, handles, threads, sleeps, tick counts and interlocked counters of the platform.
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
    for (int round = 1; round <= 4; ++round) {
        ASSERT_TRUE(SetEvent(event));
        ASSERT_TRUE(Eventually([&] { return released.load() == round; })) << "round " << round;
        Sleep(30);  // a second waiter would have woken by now
        EXPECT_EQ(released.load(), round);
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

TEST(Event, PulseReleasesCurrentWaitersAndLeavesItUnsignalled) {
    for (BOOL manual : {TRUE, FALSE}) {
        HANDLE event = CreateEventA(nullptr, manual, FALSE, nullptr);
        std::atomic<int> released{0};
        std::atomic<int> started{0};
        std::vector<std::thread> waiters;
        for (int i = 0; i < 3; ++i)
            waiters.emplace_back([&] {
                ++started;
                if (WaitForSingleObject(event, 1500) == WAIT_OBJECT_0) ++released;
            });
        ASSERT_TRUE(Eventually([&] { return started.load() == 3; }));
        Sleep(200);  // let them block
        PulseEvent(event);
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
        for (auto& waiter : waiters) waiter.join();
        EXPECT_EQ(released.load(), manual ? 3 : 1) << "manual " << manual;
        CloseHandle(event);
    }
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

TEST(Handle, DuplicateSharesTheObject) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE copy = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS));
    CloseHandle(event);
    EXPECT_EQ(WaitForSingleObject(copy, 0), WAIT_TIMEOUT);
    EXPECT_FALSE(SetEvent(event));
    EXPECT_TRUE(SetEvent(copy));
    EXPECT_EQ(WaitForSingleObject(copy, 0), WAIT_OBJECT_0);
    CloseHandle(copy);
}

struct ThreadArgs {
    HANDLE go;
    std::atomic<DWORD> seenId{0};
};

DWORD WINAPI WaitThenReturn(LPVOID parameter) {
    auto* args = static_cast<ThreadArgs*>(parameter);
    args->seenId = GetCurrentThreadId();
    WaitForSingleObject(args->go, INFINITE);
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
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);

    SetEvent(args.go);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0) << "stays signalled";
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
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
    HANDLE watch = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &watch, 0, FALSE, 0));
    EXPECT_TRUE(CloseHandle(thread));
    SetEvent(args.go);
    EXPECT_EQ(WaitForSingleObject(watch, 5000), WAIT_OBJECT_0);
    CloseHandle(watch);
    CloseHandle(args.go);
}

TEST(Time, SleepAndTickCountAgree) {
    const ULONGLONG before = GetTickCount64();
    const DWORD before32 = GetTickCount();
    Sleep(60);
    const ULONGLONG elapsed = GetTickCount64() - before;
    EXPECT_GE(elapsed, 55u);
    EXPECT_LT(elapsed, 5000u);
    EXPECT_GE(static_cast<DWORD>(GetTickCount() - before32), 55u);
}

TEST(Interlocked, CountersAreExactUnderContention) {
    volatile LONG counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                InterlockedIncrement(&counter);
                InterlockedIncrement(&counter);
                InterlockedDecrement(&counter);
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(InterlockedExchangeAdd(&counter, 0), 40000);
    EXPECT_EQ(InterlockedCompareExchange(&counter, 7, 1), 40000) << "no exchange when the comparand differs";
    EXPECT_EQ(InterlockedCompareExchange(&counter, 7, 40000), 40000);
    EXPECT_EQ(InterlockedExchange(&counter, 3), 7);
    EXPECT_EQ(InterlockedDecrement(&counter), 2);
}

}  // namespace

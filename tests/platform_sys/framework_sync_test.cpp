// CEvent and AfxBeginThread: reset modes, handle ownership, and who deletes the thread object.
#include <gtest/gtest.h>

#include <atomic>

#include "framework/afxmt.h"
#include "framework/afxthread.h"

namespace {

bool Signalled(const CEvent& event, DWORD timeout) { return WaitForSingleObject(event, timeout) == WAIT_OBJECT_0; }

TEST(CEvent, DefaultsToAutoResetAndNotSignalled) {
    CEvent event;
    EXPECT_FALSE(Signalled(event, 0));
    EXPECT_TRUE(event.SetEvent());
    EXPECT_TRUE(Signalled(event, 0));
    EXPECT_FALSE(Signalled(event, 0)) << "the wait took the signal";
    EXPECT_EQ(static_cast<HANDLE>(event), event.m_hObject);
}

TEST(CEvent, ManualResetAndInitiallySignalled) {
    CEvent event(TRUE, TRUE);
    EXPECT_TRUE(Signalled(event, 0));
    EXPECT_TRUE(Signalled(event, 0));
    EXPECT_TRUE(event.ResetEvent());
    EXPECT_FALSE(Signalled(event, 20));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
}

TEST(CEvent, ClosesItsHandle) {
    HANDLE handle;
    {
        CEvent event;
        handle = event.m_hObject;
        EXPECT_TRUE(SetEvent(handle));
    }
    EXPECT_FALSE(SetEvent(handle));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

struct Work {
    CEvent done{FALSE, TRUE};
    std::atomic<int> calls{0};
    LPVOID seen = nullptr;
};

UINT DoWork(LPVOID parameter) {
    auto* work = static_cast<Work*>(parameter);
    work->seen = parameter;
    ++work->calls;
    work->done.SetEvent();
    return 17;
}

TEST(AfxBeginThread, RunsTheFunctionAndDeletesItsObject) {
    Work work;
    CWinThread* thread = AfxBeginThread(DoWork, &work, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(thread->m_bAutoDelete);
    EXPECT_NE(thread->m_nThreadID, 0u);
    const HANDLE original = thread->m_hThread;
    EXPECT_EQ(thread->ResumeThread(), 1u);
    thread = nullptr;  // may be gone from here on

    ASSERT_TRUE(Signalled(work.done, 5000));
    EXPECT_EQ(work.calls.load(), 1);
    EXPECT_EQ(work.seen, &work);
    // The object's destructor closes its handle once the function has returned.
    bool closed = false;
    for (int i = 0; i < 500 && !closed; ++i) {
        closed = WaitForSingleObject(original, 0) == WAIT_FAILED;
        if (!closed) Sleep(10);
    }
    EXPECT_TRUE(closed);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(AfxBeginThread, RunsAtOnceWithoutFlags) {
    Work work;
    ASSERT_NE(AfxBeginThread(DoWork, &work), nullptr);
    EXPECT_TRUE(Signalled(work.done, 5000));
    EXPECT_EQ(work.calls.load(), 1);
}

TEST(AfxBeginThread, ObjectKeptWhenAutoDeleteIsOff) {
    Work work;
    CWinThread* thread = AfxBeginThread(DoWork, &work, THREAD_PRIORITY_ABOVE_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(thread, nullptr);
    thread->m_bAutoDelete = FALSE;
    thread->ResumeThread();
    EXPECT_EQ(WaitForSingleObject(*thread, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(*thread, 0), WAIT_OBJECT_0) << "the handle stays open with the object";
    delete thread;
}

}  // namespace

// Worker threads of the class library.
#pragma once

#include "platform/win32api.h"

typedef UINT (*AFX_THREADPROC)(LPVOID parameter);

class CWinThread {
public:
    CWinThread(AFX_THREADPROC proc, LPVOID parameter);
    virtual ~CWinThread();
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    // Starts the thread on this object. The members are set before the thread runs; unless flags
    // holds CREATE_SUSPENDED it runs at once, and from then on an auto-deleting object may be gone
    // at any moment.
    BOOL CreateThread(DWORD flags = 0, UINT stackSize = 0, LPSECURITY_ATTRIBUTES security = nullptr);
    DWORD ResumeThread();
    BOOL SetThreadPriority(int priority);
    // Called on the thread when its function has returned: deletes the object if m_bAutoDelete.
    virtual void Delete();

    operator HANDLE() const { return m_hThread; }

    HANDLE m_hThread;
    DWORD m_nThreadID;
    BOOL m_bAutoDelete;
    AFX_THREADPROC m_pfnThreadProc;
    LPVOID m_pThreadParams;
};

// Runs proc(parameter) on a new thread. The returned object deletes itself (closing its handle)
// when proc returns, so the caller may use it only while the thread is known to run, or with
// CREATE_SUSPENDED until it calls ResumeThread. Null when the thread cannot be started.
CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID parameter, int priority = THREAD_PRIORITY_NORMAL,
                           UINT stackSize = 0, DWORD flags = 0, LPSECURITY_ATTRIBUTES security = nullptr);

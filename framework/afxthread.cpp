// CWinThread and AfxBeginThread: the class library's worker threads.
#include "framework/afxthread.h"

namespace {

DWORD WINAPI ThreadEntry(LPVOID parameter) {
    CWinThread* thread = static_cast<CWinThread*>(parameter);
    const UINT code = thread->m_pfnThreadProc(thread->m_pThreadParams);
    thread->Delete();
    return code;
}

}  // namespace

CWinThread::CWinThread(AFX_THREADPROC proc, LPVOID parameter)
    : m_hThread(nullptr), m_nThreadID(0), m_bAutoDelete(TRUE), m_pfnThreadProc(proc), m_pThreadParams(parameter) {}

CWinThread::~CWinThread() {
    if (m_hThread) CloseHandle(m_hThread);
}

BOOL CWinThread::CreateThread(DWORD flags, UINT stackSize, LPSECURITY_ATTRIBUTES security) {
    // Always made suspended, so that m_hThread and m_nThreadID are written before the thread can
    // reach Delete.
    DWORD id = 0;
    HANDLE handle = ::CreateThread(security, stackSize, ThreadEntry, this, flags | CREATE_SUSPENDED, &id);
    if (!handle) return FALSE;
    m_hThread = handle;
    m_nThreadID = id;
    if (!(flags & CREATE_SUSPENDED)) ::ResumeThread(handle);
    return TRUE;
}

DWORD CWinThread::ResumeThread() { return ::ResumeThread(m_hThread); }
BOOL CWinThread::SetThreadPriority(int priority) { return ::SetThreadPriority(m_hThread, priority); }

void CWinThread::Delete() {
    if (m_bAutoDelete) delete this;
}

CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID parameter, int priority, UINT stackSize, DWORD flags,
                           LPSECURITY_ATTRIBUTES security) {
    CWinThread* thread = new CWinThread(proc, parameter);
    if (!thread->CreateThread(flags | CREATE_SUSPENDED, stackSize, security)) {
        delete thread;
        return nullptr;
    }
    thread->SetThreadPriority(priority);
    if (!(flags & CREATE_SUSPENDED)) thread->ResumeThread();
    return thread;
}

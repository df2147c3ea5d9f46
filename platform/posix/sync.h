// Kernel objects behind HANDLEs: events, threads, process tokens; waits and sleeps. Handle values
// are process-local and never reused.
#pragma once

#include "wintypes.h"

typedef struct _SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *PSECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

typedef DWORD(WINAPI* PTHREAD_START_ROUTINE)(LPVOID parameter);
typedef PTHREAD_START_ROUTINE LPTHREAD_START_ROUTINE;

#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu

#define CREATE_SUSPENDED 0x00000004u
#define STACK_SIZE_PARAM_IS_A_RESERVATION 0x00010000u

#define THREAD_PRIORITY_LOWEST (-2)
#define THREAD_PRIORITY_BELOW_NORMAL (-1)
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_ABOVE_NORMAL 1
#define THREAD_PRIORITY_HIGHEST 2
#define THREAD_PRIORITY_IDLE (-15)
#define THREAD_PRIORITY_TIME_CRITICAL 15

#define TOKEN_QUERY 0x0008u

QP_BEGIN_C
// The pseudo handle: valid only in the calling process; CloseHandle accepts and ignores it.
QP_API HANDLE GetCurrentProcess(void);
// The kernel's thread id of the caller.
QP_API DWORD GetCurrentThreadId(void);

// A name makes the event shared within this process: a second creation with the same name returns
// a new handle to the first event and sets ERROR_ALREADY_EXISTS.
QP_API HANDLE CreateEventA(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCSTR name);
QP_API BOOL SetEvent(HANDLE event);
QP_API BOOL ResetEvent(HANDLE event);

// Waits for an event or for a thread's end. WAIT_FAILED with ERROR_INVALID_HANDLE for a handle
// that is not open or cannot be waited on.
QP_API DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
// Closes any handle made here (events, threads, tokens).
QP_API BOOL CloseHandle(HANDLE handle);

// The thread handle is signalled when the thread has ended. Flags: CREATE_SUSPENDED (the routine
// waits for ResumeThread) and STACK_SIZE_PARAM_IS_A_RESERVATION.
QP_API HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                           LPVOID parameter, DWORD flags, LPDWORD threadId);
// Returns the suspend count before the call; (DWORD)-1 on failure.
QP_API DWORD ResumeThread(HANDLE thread);
// Priorities are checked but not applied: raising one needs privileges on this system.
QP_API BOOL SetThreadPriority(HANDLE thread, int priority);

QP_API void Sleep(DWORD milliseconds);

// A handle to the calling process's token; closed with CloseHandle.
QP_API BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, PHANDLE token);
QP_END_C

// Kernel objects behind HANDLEs: events, threads, process tokens; waits, sleeps, tick counts and the
// interlocked operations. Handle values are process-local and never reused.
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

#define STILL_ACTIVE 259u
#define CREATE_SUSPENDED 0x00000004u
#define STACK_SIZE_PARAM_IS_A_RESERVATION 0x00010000u

#define THREAD_PRIORITY_LOWEST (-2)
#define THREAD_PRIORITY_BELOW_NORMAL (-1)
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_ABOVE_NORMAL 1
#define THREAD_PRIORITY_HIGHEST 2
#define THREAD_PRIORITY_IDLE (-15)
#define THREAD_PRIORITY_TIME_CRITICAL 15
#define THREAD_PRIORITY_ERROR_RETURN 0x7FFFFFFF

#define TOKEN_QUERY 0x0008u
#define DUPLICATE_CLOSE_SOURCE 0x00000001u
#define DUPLICATE_SAME_ACCESS 0x00000002u

QP_BEGIN_C
// The pseudo handle: valid only in the calling process; CloseHandle accepts and ignores it.
QP_API HANDLE GetCurrentProcess(void);
QP_API DWORD GetCurrentProcessId(void);
// The kernel's thread id of the caller.
QP_API DWORD GetCurrentThreadId(void);

// A name makes the event shared within this process: a second creation with the same name returns
// a new handle to the first event and sets ERROR_ALREADY_EXISTS.
QP_API HANDLE CreateEventA(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCSTR name);
QP_API BOOL SetEvent(HANDLE event);
QP_API BOOL ResetEvent(HANDLE event);
QP_API BOOL PulseEvent(HANDLE event);

// Waits for an event or for a thread's end. WAIT_FAILED with ERROR_INVALID_HANDLE for a handle
// that is not open or cannot be waited on.
QP_API DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
// Closes any handle made here (events, threads, tokens).
QP_API BOOL CloseHandle(HANDLE handle);
// Only within this process: both process handles must be GetCurrentProcess().
QP_API BOOL DuplicateHandle(HANDLE sourceProcess, HANDLE source, HANDLE targetProcess, PHANDLE target,
                            DWORD desiredAccess, BOOL inheritHandle, DWORD options);

// The thread handle is signalled when the thread has ended. Flags: CREATE_SUSPENDED (the routine
// waits for ResumeThread) and STACK_SIZE_PARAM_IS_A_RESERVATION.
QP_API HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                           LPVOID parameter, DWORD flags, LPDWORD threadId);
// Returns the suspend count before the call; (DWORD)-1 on failure.
QP_API DWORD ResumeThread(HANDLE thread);
QP_API BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
// Priorities are recorded but not applied: raising one needs privileges on this system.
QP_API BOOL SetThreadPriority(HANDLE thread, int priority);
QP_API int GetThreadPriority(HANDLE thread);

QP_API void Sleep(DWORD milliseconds);
// Milliseconds since the system started, suspended time included.
QP_API DWORD GetTickCount(void);
QP_API ULONGLONG GetTickCount64(void);

// A handle to the calling process's token; closed with CloseHandle.
QP_API BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, PHANDLE token);

QP_API LONG InterlockedIncrement(LONG volatile* target);
QP_API LONG InterlockedDecrement(LONG volatile* target);
QP_API LONG InterlockedExchange(LONG volatile* target, LONG value);
QP_API LONG InterlockedCompareExchange(LONG volatile* target, LONG exchange, LONG comparand);
QP_API LONG InterlockedExchangeAdd(LONG volatile* target, LONG value);
QP_END_C

// Win32 critical sections: recursive locks that the owning thread may enter again.
#pragma once

#include "wintypes.h"

typedef struct _RTL_CRITICAL_SECTION {
    void* impl;  // owned recursive mutex; null until initialized
    LONG LockCount;
    LONG RecursionCount;
    ULONG_PTR SpinCount;
} CRITICAL_SECTION, *LPCRITICAL_SECTION;

QP_BEGIN_C
QP_API BOOL InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION cs, DWORD spinCount);
QP_API void InitializeCriticalSection(LPCRITICAL_SECTION cs);
QP_API void EnterCriticalSection(LPCRITICAL_SECTION cs);
QP_API void LeaveCriticalSection(LPCRITICAL_SECTION cs);
QP_API void DeleteCriticalSection(LPCRITICAL_SECTION cs);
QP_END_C

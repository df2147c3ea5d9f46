// Critical sections over recursive mutexes.
#include "critsec.h"

#include <mutex>
#include <new>

namespace {
std::recursive_mutex* MutexOf(LPCRITICAL_SECTION cs) { return static_cast<std::recursive_mutex*>(cs->impl); }
}  // namespace

extern "C" BOOL InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION cs, DWORD spinCount) {
    cs->impl = new (std::nothrow) std::recursive_mutex();
    cs->LockCount = -1;
    cs->RecursionCount = 0;
    cs->SpinCount = spinCount;
    if (!cs->impl) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    return TRUE;
}

extern "C" void InitializeCriticalSection(LPCRITICAL_SECTION cs) { InitializeCriticalSectionAndSpinCount(cs, 0); }

extern "C" void EnterCriticalSection(LPCRITICAL_SECTION cs) {
    MutexOf(cs)->lock();
    ++cs->RecursionCount;
}

extern "C" void LeaveCriticalSection(LPCRITICAL_SECTION cs) {
    --cs->RecursionCount;
    MutexOf(cs)->unlock();
}

extern "C" void DeleteCriticalSection(LPCRITICAL_SECTION cs) {
    delete MutexOf(cs);
    cs->impl = nullptr;
}

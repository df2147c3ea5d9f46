// Threads that hold the module of their code until they exit, so that freeing it cannot unmap them.
#include <new>

#include "platform/win32api.h"

#undef CreateThread

namespace {

struct ThreadStart {
    LPTHREAD_START_ROUTINE routine;
    LPVOID parameter;
    HMODULE module;  // the reference the thread holds; null when the routine lies in no module
};

// Runs in the module it holds: the reference goes with the thread's exit, which never comes back
// into that module's code.
DWORD WINAPI RunHoldingModule(LPVOID param) {
    const ThreadStart start = *static_cast<ThreadStart*>(param);
    delete static_cast<ThreadStart*>(param);
    const DWORD code = start.routine(start.parameter);
    if (start.module) FreeLibraryAndExitThread(start.module, code);
    return code;
}

}  // namespace

extern "C" HANDLE WINAPI QpCreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize, LPTHREAD_START_ROUTINE routine,
                                        LPVOID parameter, DWORD flags, LPDWORD threadId) {
    auto* start = new (std::nothrow) ThreadStart{routine, parameter, nullptr};
    if (!start) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    // Taken here, before the thread exists, so that no free in between can come first.
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(routine),
                            &start->module)) {
        start->module = nullptr;
    }
    HANDLE thread = CreateThread(security, stackSize, &RunHoldingModule, start, flags, threadId);
    if (!thread) {
        const DWORD error = GetLastError();
        if (start->module) FreeLibrary(start->module);
        delete start;
        SetLastError(error);
    }
    return thread;
}

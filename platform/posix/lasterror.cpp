// The calling thread's last error code.
#include "wintypes.h"

namespace {
thread_local DWORD t_lastError = 0;
}

extern "C" DWORD GetLastError(void) { return t_lastError; }
extern "C" void SetLastError(DWORD error) { t_lastError = error; }

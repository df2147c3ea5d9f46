// The module functions of our own on Windows.
#include "platform/win32api.h"

#include <string.h>

extern "C" HMODULE QpModuleFromAddress(const void* address) {
    HMODULE module = nullptr;
    const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    if (!GetModuleHandleExA(flags, static_cast<LPCSTR>(address), &module)) return nullptr;
    return module;
}

extern "C" DWORD QpModuleBaseName(HMODULE module, LPSTR name, DWORD size) {
    if (!name || size == 0) return 0;
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    const char* base = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/') base = p + 1;
    size_t length = strcspn(base, ".");
    if (length >= size) length = size - 1;
    memcpy(name, base, length);
    name[length] = 0;
    return DWORD(length);
}

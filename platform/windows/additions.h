// What the Windows side of the platform seam adds to the real Windows headers: the few names of our
// own that the code uses on every platform (QP_API, QP_MODULE_EXPORT, QpModuleFromAddress,
// QpModuleBaseName; the Linux side has them in platform/posix/), the places where the toolchain or
// Wine differ from Windows, and where the seam behaves as its Linux side does (threads hold their
// module).
#pragma once

#include <windows.h>

// The Windows headers leave a few names defined as macros that code written against the Windows API
// (with Microsoft's compiler) uses as ordinary words: mingw spells the type keyword __int64 as a
// macro for "long long", which breaks a functional cast such as __int64(5), and defines the 16-bit
// pointer qualifiers far and near as nothing, which swallows variables of those names. A typedef
// behaves as the keyword does; the qualifiers are long obsolete (FAR and NEAR stay).
#ifdef __int64
#  undef __int64
typedef long long __int64;
#endif
#undef far
#undef near

// Functions of the seam are plain Windows functions here: the platform is linked into each module.
#ifndef QP_API
#  define QP_API
#endif

// Exports are named by the module's .def file, so nothing marks them in the code.
#ifndef QP_MODULE_EXPORT
#  define QP_MODULE_EXPORT
#endif

#include <string.h>

#ifdef __cplusplus
extern "C" {
#endif

// _stricmp of the "C" locale as Windows has it: A-Z fold to a-z, every byte compares as an unsigned
// value. The built-in tables are sorted by that order. Wine's C runtime compares bytes above 0x7F
// as signed values, which would lose the names that sort after them, so the comparison is ours.
QP_API int QpStricmp(const char* a, const char* b);
#define _stricmp QpStricmp

// The module that contains the given address (the module's handle), or null. The module's reference
// count is not changed.
QP_API HMODULE QpModuleFromAddress(const void* address);
// The module's file name without folder and extension ("Quarnels64" for "C:\q\Quarnels64.dll"), the
// name an application is named after. A null module names the program. Returns the characters
// copied without the NUL; a longer name is cut to fit the buffer.
QP_API DWORD QpModuleBaseName(HMODULE module, LPSTR name, DWORD size);

// CreateThread whose thread holds a reference on the module that contains its start routine, from
// before it runs until it exits, as threads of the Linux side do: a host that frees a library right
// after a call into it returns cannot unmap code that one of the library's threads is still leaving.
// Every CreateThread below this header means this one (members of that name are renamed alike).
QP_API HANDLE WINAPI QpCreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                                    LPVOID parameter, DWORD flags, LPDWORD threadId);
#define CreateThread QpCreateThread

#ifdef __cplusplus
}
#endif

#include "../dialog_result.h"

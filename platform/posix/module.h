// Loading modules at run time and naming them, over the dynamic linker.
#pragma once

#include "wintypes.h"

QP_BEGIN_C
// Loads a shared object. A bare file name is searched like the dynamic linker searches, and then in
// the folder of the calling program.
QP_API HMODULE LoadLibraryA(LPCSTR fileName);
QP_API FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
QP_API BOOL FreeLibrary(HMODULE module);
// The path of a loaded module; a null module names the program itself. Returns the characters
// copied without the NUL; a buffer too small gets the truncated path and ERROR_INSUFFICIENT_BUFFER.
QP_API DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);
// The module that contains the given address (the module's handle), or null.
QP_API HMODULE QpModuleFromAddress(const void* address);
// The module's name as an application is named after it: its file name without folder and
// extension, and for a shared object without the "lib" prefix of this platform, so that
// "/opt/q/libQuarnels64.so" gives "Quarnels64" as "C:\q\Quarnels64.dll" does on Windows. A null
// module names the program. Returns the characters copied without the NUL; a longer name is cut to
// fit the buffer.
QP_API DWORD QpModuleBaseName(HMODULE module, LPSTR name, DWORD size);
QP_END_C

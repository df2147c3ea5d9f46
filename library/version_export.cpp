// GetDLLVersion: the product version from the library file's own version resource.
#include <cstdio>
#include <cstdlib>

#include "framework/afxapp.h"
#include "framework/afxstr.h"
#include "library/export_support.h"
#include "library/exports.h"
#include "library/version_info.h"

namespace {
CString FormatVersion(DWORD mostSignificant, DWORD leastSignificant) {
    CString text;
    text.Format("%u,%u,%u,%u", unsigned(HIWORD(mostSignificant)), unsigned(LOWORD(mostSignificant)),
                unsigned(HIWORD(leastSignificant)), unsigned(LOWORD(leastSignificant)));
    return text;
}
}  // namespace

void ReadVersionInfo(version_info& record, const char* path) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0) return;
    void* buffer = std::malloc(size);
    if (!buffer) return;
    if (GetFileVersionInfoA(path, handle, size, buffer)) {
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        if (VerQueryValueA(buffer, "\\", reinterpret_cast<LPVOID*>(&fixed), &length) && fixed &&
            length >= sizeof(VS_FIXEDFILEINFO)) {
            record.productVersion = FormatVersion(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
            record.fileVersion = FormatVersion(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
        }
    }
    std::free(buffer);
}

QUARNELS_EXPORT BSTR GetDLLVersion() {
    const BSTR version = RunExport<BSTR>(nullptr, [] {
        version_info record;
        HINSTANCE module = AfxGetInstanceHandle();
        if (module) {
            char path[MAX_PATH] = {};
            GetModuleFileNameA(module, path, MAX_PATH);
            ReadVersionInfo(record, path);
        }
        return SysAllocStringByteLen(record.productVersion, UINT(record.productVersion.GetLength()));
    });
    // Whatever failed on the way, the host gets a text, empty at worst: a version check in macro
    // code compares it as a string and must not meet a missing one.
    return version ? version : SysAllocStringByteLen("", 0);
}

QUARNELS_EXPORT int QuarnelsDecoratedTestExport(char** text) {
    // An empty text keeps its terminator: overwriting it would leave the host an unterminated string.
    char* first = text ? *text : nullptr;
    if (first && *first) *first = 'x';
    return 0;
}

// Redirects a loaded module's calls of an imported function to a function of the test, through
// the module's import address table, so that a test can act at a point inside the module's code.
#pragma once

#include <cstring>

#include "platform/win32api.h"

namespace wintest {

// Points every import of the named function (by name, from whichever DLL) of the module at the
// replacement. Lasts as long as this mapping of the module: a new load imports afresh. False when
// the module imports no function of that name.
inline bool ReplaceImport(HMODULE module, const char* function, const void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return false;
    bool replaced = false;
    for (auto* dll = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); dll->Name;
         ++dll) {
        // The names stay in the lookup table; the address table holds the bound addresses.
        const DWORD lookup = dll->OriginalFirstThunk ? dll->OriginalFirstThunk : dll->FirstThunk;
        const auto* name = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + lookup);
        auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
        for (; name->u1.AddressOfData; ++name, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
            DWORD protection = 0;
            if (!VirtualProtect(&slot->u1.Function, sizeof(slot->u1.Function), PAGE_READWRITE, &protection))
                return false;
            slot->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slot->u1.Function, sizeof(slot->u1.Function), protection, &protection);
            replaced = true;
        }
    }
    return replaced;
}

}  // namespace wintest

// What every export shares: reading the host's arguments, making BSTRs, holding the exports' lock,
// and keeping exceptions from crossing into the host.
#pragma once

#include <cstring>
#include <exception>

#include "framework/afxexcept.h"
#include "framework/afxmt.h"
#include "platform/win32api.h"

extern CCriticalSection g_ExportLock;

// A text argument is missing when the pointer or the string pointer it points to is null.
inline const char* TextArgument(char** text) { return text ? *text : nullptr; }

// A new BSTR holding the text's ANSI bytes; the caller of the export frees it.
inline BSTR MakeAnsiBstr(const char* text) { return SysAllocStringByteLen(text, UINT(std::strlen(text))); }

// Holds g_ExportLock for a scope, so that no path out of an export, an exception included, leaves
// it held.
class ExportLockScope {
public:
    ExportLockScope() { EnterCriticalSection(&g_ExportLock.m_sect); }
    ~ExportLockScope() { LeaveCriticalSection(&g_ExportLock.m_sect); }
    ExportLockScope(const ExportLockScope&) = delete;
    ExportLockScope& operator=(const ExportLockScope&) = delete;
};

// Runs an export's body; an exception that escapes it gives the export's empty result instead of
// unwinding into the host, which cannot handle it.
template <typename Result, typename Body>
Result RunExport(Result emptyResult, Body&& body) {
    try {
        return body();
    } catch (CException* exception) {
        exception->Delete();
    } catch (const std::exception&) {
    } catch (...) {
    }
    return emptyResult;
}

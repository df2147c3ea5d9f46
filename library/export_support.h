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
//
// The lock is recursive, and an export that waits in a modal window (a download, a sign-in) keeps
// dispatching its thread's messages: host code run from one of them (a timer macro, say) can call
// an export again on that thread, while a worker writes the caches. Such a call is told by
// Reentered() and must answer its empty result at once, touching nothing. Other threads wait for
// the lock as before.
class ExportLockScope {
public:
    ExportLockScope() {
        EnterCriticalSection(&g_ExportLock.m_sect);
        m_reentered = s_depth > 0;
        ++s_depth;
    }
    ~ExportLockScope() {
        --s_depth;
        LeaveCriticalSection(&g_ExportLock.m_sect);
    }
    ExportLockScope(const ExportLockScope&) = delete;
    ExportLockScope& operator=(const ExportLockScope&) = delete;

    bool Reentered() const { return m_reentered; }

private:
    // Exports running under the lock; only its holder reads or writes it.
    static inline int s_depth = 0;
    bool m_reentered = false;
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

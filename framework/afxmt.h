// Synchronisation objects of the class library.
#pragma once

#include "platform/win32api.h"
#include "framework/afxexcept.h"

// A Win32 critical section made with spin count 0. A failure to make it is thrown as the
// HRESULT of the Win32 error: a memory exception for E_OUTOFMEMORY, an OLE exception otherwise.
class CCriticalSection {
public:
    CCriticalSection() {
        if (!InitializeCriticalSectionAndSpinCount(&m_sect, 0)) {
            const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
            if (hr == E_OUTOFMEMORY) AfxThrowMemoryException();
            AfxThrowOleException(hr);
        }
    }
    ~CCriticalSection() { DeleteCriticalSection(&m_sect); }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    CRITICAL_SECTION m_sect;
};

// A Win32 event. Auto-reset unless asked otherwise: a wait that succeeds takes the signal with it.
// Named events are shared within the process. A failure to make the event is thrown as a memory
// exception.
class CEvent {
public:
    explicit CEvent(BOOL initiallyOwn = FALSE, BOOL manualReset = FALSE, LPCSTR name = nullptr,
                    LPSECURITY_ATTRIBUTES security = nullptr)
        : m_hObject(CreateEventA(security, manualReset, initiallyOwn, name)) {
        if (!m_hObject) AfxThrowMemoryException();
    }
    ~CEvent() { CloseHandle(m_hObject); }
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    operator HANDLE() const { return m_hObject; }
    BOOL SetEvent() { return ::SetEvent(m_hObject); }
    BOOL ResetEvent() { return ::ResetEvent(m_hObject); }

    HANDLE m_hObject;
};

// The class library's exceptions. They are thrown as pointers to heap objects and deleted by the
// catcher with Delete(), as the class library does.
#pragma once

#include <cstddef>

#include "platform/win32api.h"

class CException {
public:
    explicit CException(BOOL autoDelete = TRUE) : m_bAutoDelete(autoDelete) {}
    virtual ~CException() = default;
    CException(const CException&) = delete;
    CException& operator=(const CException&) = delete;

    // Writes the message text into the buffer (NUL-terminated, cut to maxChars - 1); FALSE when the
    // exception has no text.
    virtual BOOL GetErrorMessage(LPSTR buffer, UINT maxChars, UINT* helpContext = nullptr) const;
    // Frees a heap exception after it was caught.
    void Delete();

protected:
    static BOOL CopyMessage(const char* text, LPSTR buffer, UINT maxChars);

    BOOL m_bAutoDelete;
};

class CSimpleException : public CException {
public:
    explicit CSimpleException(const char* message) : CException(TRUE), m_message(message) {}
    BOOL GetErrorMessage(LPSTR buffer, UINT maxChars, UINT* helpContext = nullptr) const override;

private:
    const char* m_message;
};

class CMemoryException : public CSimpleException {
public:
    CMemoryException() : CSimpleException("Out of memory.") {}
};

class CInvalidArgException : public CSimpleException {
public:
    CInvalidArgException() : CSimpleException("Invalid argument.") {}
};

class COleException : public CException {
public:
    explicit COleException(HRESULT sc) : m_sc(sc) {}
    BOOL GetErrorMessage(LPSTR buffer, UINT maxChars, UINT* helpContext = nullptr) const override;

    HRESULT m_sc;
};

[[noreturn]] void AfxThrowMemoryException();
[[noreturn]] void AfxThrowInvalidArgException();
[[noreturn]] void AfxThrowOleException(HRESULT sc);

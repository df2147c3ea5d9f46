// The class library's exceptions: their error messages and the functions that throw them.
#include "framework/afxexcept.h"

#include <cstdio>
#include <cstring>

BOOL CException::CopyMessage(const char* text, LPSTR buffer, UINT maxChars) {
    if (!buffer || maxChars == 0) return FALSE;
    const size_t length = std::strlen(text);
    const size_t copied = length < maxChars - 1 ? length : maxChars - 1;
    std::memcpy(buffer, text, copied);
    buffer[copied] = 0;
    return TRUE;
}

BOOL CException::GetErrorMessage(LPSTR buffer, UINT maxChars, UINT* helpContext) const {
    if (helpContext) *helpContext = 0;
    if (buffer && maxChars > 0) buffer[0] = 0;
    return FALSE;
}

void CException::Delete() {
    if (m_bAutoDelete) delete this;
}

BOOL CSimpleException::GetErrorMessage(LPSTR buffer, UINT maxChars, UINT* helpContext) const {
    if (helpContext) *helpContext = 0;
    return CopyMessage(m_message, buffer, maxChars);
}

BOOL COleException::GetErrorMessage(LPSTR buffer, UINT maxChars, UINT* helpContext) const {
    if (helpContext) *helpContext = 0;
    char text[64];
    std::snprintf(text, sizeof(text), "OLE error 0x%08X.", static_cast<unsigned>(m_sc));
    return CopyMessage(text, buffer, maxChars);
}

void AfxThrowMemoryException() { throw new CMemoryException(); }
void AfxThrowInvalidArgException() { throw new CInvalidArgException(); }
void AfxThrowOleException(HRESULT sc) { throw new COleException(sc); }

// The class library's internet classes (session, HTTP connection, HTTP file) over WinINet.
#include "framework/afxinet.h"

#include <cstring>

// ---- CInternetException ----

CInternetException::CInternetException(DWORD error) : CException(TRUE), m_dwError(error) {}

BOOL CInternetException::GetErrorMessage(LPSTR buffer, UINT maxChars, UINT* helpContext) const {
    if (helpContext) *helpContext = 0;
    if (!buffer || maxChars == 0) return FALSE;
    buffer[0] = 0;
    // The WinINet messages live in its own module on Windows; the system's table serves the rest.
    HMODULE wininet = LoadLibraryA("wininet.dll");
    char text[1024];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  wininet, m_dwError, 0, text, sizeof(text), nullptr);
    if (wininet) FreeLibrary(wininet);
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' ')) --length;
    if (length == 0) return FALSE;
    text[length] = 0;
    return CopyMessage(text, buffer, maxChars);
}

void AfxThrowInternetException(DWORD_PTR context, DWORD error) {
    if (error == 0) error = GetLastError();
    CInternetException* exception = new CInternetException(error);
    exception->m_dwContext = context;
    throw exception;
}

// ---- CInternetSession ----

CInternetSession::CInternetSession(LPCSTR agent, DWORD_PTR context, DWORD accessType, LPCSTR proxyName,
                                   LPCSTR proxyBypass, DWORD flags)
    : m_dwContext(context) {
    m_hSession = InternetOpenA(agent, accessType, proxyName, proxyBypass, flags);
    if (!m_hSession) AfxThrowInternetException(m_dwContext);
}

CInternetSession::~CInternetSession() { Close(); }

void CInternetSession::Close() {
    if (m_hSession) {
        InternetCloseHandle(m_hSession);
        m_hSession = nullptr;
    }
}

CHttpConnection* CInternetSession::GetHttpConnection(LPCSTR server, INTERNET_PORT port, LPCSTR userName,
                                                     LPCSTR password) {
    return new CHttpConnection(this, server, port, userName, password, 0);
}

CHttpConnection* CInternetSession::GetHttpConnection(LPCSTR server, DWORD flags, INTERNET_PORT port,
                                                     LPCSTR userName, LPCSTR password) {
    return new CHttpConnection(this, server, port, userName, password, flags);
}

BOOL CInternetSession::SetOption(DWORD option, LPVOID buffer, DWORD length, DWORD) {
    return InternetSetOptionA(m_hSession, option, buffer, length);
}

BOOL CInternetSession::SetOption(DWORD option, DWORD value, DWORD flags) {
    return SetOption(option, &value, sizeof(value), flags);
}

// ---- CInternetConnection, CHttpConnection ----

CInternetConnection::CInternetConnection(DWORD_PTR context) : m_dwContext(context) {}

CInternetConnection::~CInternetConnection() { Close(); }

void CInternetConnection::Close() {
    if (m_hConnection) {
        InternetCloseHandle(m_hConnection);
        m_hConnection = nullptr;
    }
}

BOOL CInternetConnection::SetOption(DWORD option, LPVOID buffer, DWORD length, DWORD) {
    return InternetSetOptionA(m_hConnection, option, buffer, length);
}

BOOL CInternetConnection::SetOption(DWORD option, DWORD value, DWORD flags) {
    return SetOption(option, &value, sizeof(value), flags);
}

CHttpConnection::CHttpConnection(CInternetSession* session, LPCSTR server, INTERNET_PORT port, LPCSTR userName,
                                 LPCSTR password, DWORD flags)
    : CInternetConnection(session->GetContext()), m_dwFlags(flags) {
    m_hConnection = InternetConnectA(*session, server, port, userName, password, INTERNET_SERVICE_HTTP, flags,
                                     m_dwContext);
    if (!m_hConnection) AfxThrowInternetException(m_dwContext);
}

LPCSTR CHttpConnection::VerbText(int verb) {
    static const char* const kVerbs[] = {"POST", "GET", "HEAD", "PUT", "LINK", "DELETE", "UNLINK"};
    return verb >= HTTP_VERB_MIN && verb <= HTTP_VERB_MAX ? kVerbs[verb] : "";
}

CHttpFile* CHttpConnection::OpenRequest(LPCSTR verb, LPCSTR objectName, LPCSTR referer, DWORD_PTR context,
                                        LPCSTR* acceptTypes, LPCSTR version, DWORD flags) {
    HINTERNET request = HttpOpenRequestA(m_hConnection, verb, objectName, version, referer, acceptTypes,
                                         flags, context);
    return new CHttpFile(request, context);
}

CHttpFile* CHttpConnection::OpenRequest(int verb, LPCSTR objectName, LPCSTR referer, DWORD_PTR context,
                                        LPCSTR* acceptTypes, LPCSTR version, DWORD flags) {
    return OpenRequest(VerbText(verb), objectName, referer, context, acceptTypes, version, flags);
}

// ---- CHttpFile ----

CHttpFile::CHttpFile(HINTERNET request, DWORD_PTR context) : m_hFile(request), m_dwContext(context) {}

CHttpFile::~CHttpFile() { Close(); }

void CHttpFile::Close() {
    if (m_hFile) {
        InternetCloseHandle(m_hFile);
        m_hFile = nullptr;
    }
}

BOOL CHttpFile::SendRequest(LPCSTR headers, DWORD headersLength, LPVOID optional, DWORD optionalLength) {
    if (!HttpSendRequestA(m_hFile, headers, headersLength, optional, optionalLength)) {
        AfxThrowInternetException(m_dwContext);
    }
    return TRUE;
}

BOOL CHttpFile::SendRequest(const CString& headers, LPVOID optional, DWORD optionalLength) {
    return SendRequest(headers.GetString(), DWORD(headers.GetLength()), optional, optionalLength);
}

BOOL CHttpFile::QueryInfo(DWORD infoLevel, LPVOID buffer, LPDWORD bufferLength, LPDWORD index) const {
    return HttpQueryInfoA(m_hFile, infoLevel, buffer, bufferLength, index);
}

BOOL CHttpFile::QueryInfo(DWORD infoLevel, CString& text, LPDWORD index) const {
    // For HTTP_QUERY_CUSTOM the text names the header on the way in.
    const bool custom = (infoLevel & HTTP_QUERY_HEADER_MASK) == HTTP_QUERY_CUSTOM;
    const CString name = custom ? text : CString();
    DWORD length = DWORD(name.GetLength()) + 256;
    for (;;) {
        const DWORD room = length;
        char* buffer = text.GetBuffer(int(room));
        if (custom) std::memcpy(buffer, name.GetString(), size_t(name.GetLength()) + 1);
        const BOOL ok = HttpQueryInfoA(m_hFile, infoLevel, buffer, &length, index);
        if (ok) {
            // Raw headers come NUL-separated; as a text they stand one per line.
            if ((infoLevel & HTTP_QUERY_HEADER_MASK) == HTTP_QUERY_RAW_HEADERS) {
                for (DWORD i = 0; i < length; ++i) {
                    if (buffer[i] == 0) buffer[i] = '\n';
                }
            }
            text.ReleaseBuffer(int(length));
            return TRUE;
        }
        const DWORD error = GetLastError();
        text.ReleaseBuffer(0);
        if (error != ERROR_INSUFFICIENT_BUFFER || length <= room) return FALSE;
    }
}

BOOL CHttpFile::QueryInfo(DWORD infoLevel, DWORD& value, LPDWORD index) const {
    DWORD length = sizeof(value);
    return HttpQueryInfoA(m_hFile, infoLevel | HTTP_QUERY_FLAG_NUMBER, &value, &length, index);
}

UINT CHttpFile::Read(void* buffer, UINT count) {
    DWORD got = 0;
    if (!InternetReadFile(m_hFile, buffer, count, &got)) AfxThrowInternetException(m_dwContext);
    return UINT(got);
}

BOOL CHttpFile::SetOption(DWORD option, LPVOID buffer, DWORD length, DWORD) {
    return InternetSetOptionA(m_hFile, option, buffer, length);
}

BOOL CHttpFile::SetOption(DWORD option, DWORD value, DWORD flags) {
    return SetOption(option, &value, sizeof(value), flags);
}

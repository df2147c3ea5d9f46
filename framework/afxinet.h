// The class library's internet classes over WinINet: a session, an HTTP connection to one server and
// the requests made on it. Every WinINet failure that the classes raise arrives as a
// CInternetException thrown by pointer; the catcher calls Delete() on it.
//
// Ownership: GetHttpConnection and OpenRequest return objects made with new, which the caller
// deletes; deleting one closes its handle. Close the objects in the reverse order of their making
// (request, connection, session).
#pragma once

#include "framework/afxexcept.h"
#include "framework/afxstr.h"
#include "platform/win32api.h"

// Older names of the access types (WinINet's own header may have them already).
#ifndef PRE_CONFIG_INTERNET_ACCESS
#  define PRE_CONFIG_INTERNET_ACCESS INTERNET_OPEN_TYPE_PRECONFIG
#endif
#ifndef LOCAL_INTERNET_ACCESS
#  define LOCAL_INTERNET_ACCESS INTERNET_OPEN_TYPE_DIRECT
#endif
#ifndef CERN_PROXY_INTERNET_ACCESS
#  define CERN_PROXY_INTERNET_ACCESS INTERNET_OPEN_TYPE_PROXY
#endif

class CInternetException : public CException {
public:
    explicit CInternetException(DWORD error);

    // The platform's message text for the error number, without its line end; FALSE and an empty
    // text when the platform has none.
    BOOL GetErrorMessage(LPSTR buffer, UINT maxChars, UINT* helpContext = nullptr) const override;

    DWORD_PTR m_dwContext = 0;
    DWORD m_dwError;
};

// Throws a new CInternetException; an error of 0 takes the thread's last error.
[[noreturn]] void AfxThrowInternetException(DWORD_PTR context, DWORD error = 0);

class CHttpConnection;
class CHttpFile;

class CInternetSession {
public:
    // Opens the session; raises CInternetException when it cannot.
    explicit CInternetSession(LPCSTR agent = nullptr, DWORD_PTR context = 1,
                              DWORD accessType = PRE_CONFIG_INTERNET_ACCESS, LPCSTR proxyName = nullptr,
                              LPCSTR proxyBypass = nullptr, DWORD flags = 0);
    virtual ~CInternetSession();
    CInternetSession(const CInternetSession&) = delete;
    CInternetSession& operator=(const CInternetSession&) = delete;

    // A connection to the server; port INTERNET_INVALID_PORT_NUMBER takes the scheme's default.
    // Raises CInternetException when it cannot be made.
    CHttpConnection* GetHttpConnection(LPCSTR server, INTERNET_PORT port = INTERNET_INVALID_PORT_NUMBER,
                                       LPCSTR userName = nullptr, LPCSTR password = nullptr);
    CHttpConnection* GetHttpConnection(LPCSTR server, DWORD flags, INTERNET_PORT port = INTERNET_INVALID_PORT_NUMBER,
                                       LPCSTR userName = nullptr, LPCSTR password = nullptr);

    BOOL SetOption(DWORD option, LPVOID buffer, DWORD length, DWORD flags = 0);
    BOOL SetOption(DWORD option, DWORD value, DWORD flags = 0);

    virtual void Close();
    DWORD_PTR GetContext() const { return m_dwContext; }
    operator HINTERNET() const { return m_hSession; }

protected:
    HINTERNET m_hSession = nullptr;
    DWORD_PTR m_dwContext;
};

class CInternetConnection {
public:
    virtual ~CInternetConnection();
    CInternetConnection(const CInternetConnection&) = delete;
    CInternetConnection& operator=(const CInternetConnection&) = delete;

    BOOL SetOption(DWORD option, LPVOID buffer, DWORD length, DWORD flags = 0);
    BOOL SetOption(DWORD option, DWORD value, DWORD flags = 0);

    virtual void Close();
    DWORD_PTR GetContext() const { return m_dwContext; }
    operator HINTERNET() const { return m_hConnection; }

protected:
    explicit CInternetConnection(DWORD_PTR context);

    HINTERNET m_hConnection = nullptr;
    DWORD_PTR m_dwContext;
};

class CHttpConnection : public CInternetConnection {
public:
    enum {
        HTTP_VERB_MIN = 0,
        HTTP_VERB_POST = 0,
        HTTP_VERB_GET = 1,
        HTTP_VERB_HEAD = 2,
        HTTP_VERB_PUT = 3,
        HTTP_VERB_LINK = 4,
        HTTP_VERB_DELETE = 5,
        HTTP_VERB_UNLINK = 6,
        HTTP_VERB_MAX = 6,
    };

    // Made by CInternetSession::GetHttpConnection; raises CInternetException when the connection
    // cannot be made.
    CHttpConnection(CInternetSession* session, LPCSTR server, INTERNET_PORT port, LPCSTR userName,
                    LPCSTR password, DWORD flags);

    // A new request. One that cannot be opened is still returned, without a handle: its first send
    // then fails with an internet error. A verb index outside the table gives an empty verb text.
    CHttpFile* OpenRequest(LPCSTR verb, LPCSTR objectName, LPCSTR referer = nullptr, DWORD_PTR context = 1,
                           LPCSTR* acceptTypes = nullptr, LPCSTR version = nullptr,
                           DWORD flags = INTERNET_FLAG_EXISTING_CONNECT);
    CHttpFile* OpenRequest(int verb, LPCSTR objectName, LPCSTR referer = nullptr, DWORD_PTR context = 1,
                           LPCSTR* acceptTypes = nullptr, LPCSTR version = nullptr,
                           DWORD flags = INTERNET_FLAG_EXISTING_CONNECT);

    // The verb text of an index of the table above; empty for any other index.
    static LPCSTR VerbText(int verb);

protected:
    DWORD m_dwFlags;  // the connection's flags (INTERNET_FLAG_SECURE makes its requests use https)
};

class CHttpFile {
public:
    CHttpFile(HINTERNET request, DWORD_PTR context);
    virtual ~CHttpFile();
    CHttpFile(const CHttpFile&) = delete;
    CHttpFile& operator=(const CHttpFile&) = delete;

    // Sends the request with extra header text and a body; raises CInternetException on failure.
    BOOL SendRequest(LPCSTR headers = nullptr, DWORD headersLength = 0, LPVOID optional = nullptr,
                     DWORD optionalLength = 0);
    BOOL SendRequest(const CString& headers, LPVOID optional = nullptr, DWORD optionalLength = 0);

    // Queries of the answer; they raise nothing and return FALSE on failure.
    BOOL QueryInfo(DWORD infoLevel, LPVOID buffer, LPDWORD bufferLength, LPDWORD index = nullptr) const;
    BOOL QueryInfo(DWORD infoLevel, CString& text, LPDWORD index = nullptr) const;
    BOOL QueryInfo(DWORD infoLevel, DWORD& value, LPDWORD index = nullptr) const;

    // Reads up to `count` body bytes; 0 at the end. Raises CInternetException on failure.
    UINT Read(void* buffer, UINT count);

    BOOL SetOption(DWORD option, LPVOID buffer, DWORD length, DWORD flags = 0);
    BOOL SetOption(DWORD option, DWORD value, DWORD flags = 0);

    virtual void Close();
    DWORD_PTR GetContext() const { return m_dwContext; }
    operator HINTERNET() const { return m_hFile; }

protected:
    HINTERNET m_hFile;
    DWORD_PTR m_dwContext;
};

// The one HTTP(S) request function of the library, and the splitting of its URLs.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "framework/afxinet.h"
#include "library/sso/oauth2.h"

namespace {
const DWORD kBufferSize = 30000;
const UINT kChunkSize = kBufferSize - 1;  // room for the NUL behind a body chunk
const int kSends = 3;                      // a proxy asking for credentials gets them twice more

// Certificates are verified fully: nothing here asks to accept a wrong host name or date, since that
// would hand the client secret and the tokens to anyone in the path.
const DWORD kHttpsConnectionFlags = INTERNET_FLAG_SECURE;
const DWORD kHttpsRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_NO_CACHE_WRITE |
                                 INTERNET_FLAG_SECURE | INTERNET_FLAG_CACHE_IF_NET_FAIL |
                                 INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS |
                                 INTERNET_FLAG_NO_UI | INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_CACHE_ASYNC;
const DWORD kHttpRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_NO_CACHE_WRITE;

// What one request opens. Released in the reverse order, the request, the connection, the session,
// on every way out.
struct OpenedRequest {
    std::unique_ptr<CInternetSession> session;
    std::unique_ptr<CHttpConnection> connection;
    std::unique_ptr<CHttpFile> request;
};

// The body's last chunk read, kept for the box that tells of a failed status.
struct ReadBuffer {
    std::vector<char> bytes = std::vector<char>(kBufferSize, 0);
    DWORD lastChunk = 0;
};

void AppendBasicCredentials(CString& headers, const char* user, const char* password) {
    CString credentials;
    credentials.Format("%s:%s", user, password);
    const CString encoded = Base64Encode(credentials.GetString(), uint32_t(std::strlen(credentials)));
    // The token requests send both their content type and the credentials: a header line before
    // this one must be ended. No blank after the colon, as the service has always received it.
    if (!headers.IsEmpty() && headers.Right(2) != "\r\n") headers += "\r\n";
    headers.AppendFormat("Authorization:Basic %s", encoded.GetString());
}

// Sends the request, and again with the proxy's credentials while a proxy asks for them (407),
// three sends at most. True once a send was answered otherwise; the status and its text are those
// of the last answered send.
bool SendWithProxyRetry(CHttpFile& request, const CString& headers, const CString& body, const CString& proxyUser,
                        const CString& proxyPassword, int* status, CString& statusText, ReadBuffer& buffer) {
    for (int attempt = 1; attempt <= kSends; ++attempt) {
        const BOOL sent = request.SendRequest(headers.GetString(), DWORD(std::strlen(headers)),
                                              body.IsEmpty() ? nullptr : const_cast<char*>(body.GetString()),
                                              DWORD(body.GetLength()));
        if (!sent) continue;
        DWORD length = 4;
        request.QueryInfo(HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, status, &length);
        request.QueryInfo(HTTP_QUERY_STATUS_TEXT, statusText);
        if (*status != 407) return true;
        request.SetOption(INTERNET_OPTION_PROXY_USERNAME, const_cast<char*>(proxyUser.GetString()),
                          DWORD(proxyUser.GetLength()));
        request.SetOption(INTERNET_OPTION_PROXY_PASSWORD, const_cast<char*>(proxyPassword.GetString()),
                          DWORD(proxyPassword.GetLength()));
        // The proxy's own page is read away before the request goes out again.
        while (const UINT got = request.Read(buffer.bytes.data(), kBufferSize)) buffer.lastChunk = got;
    }
    return false;
}

// The answer's header lines, lower-cased: header names are matched without regard to case.
CString ReadAnswerHeaders(CHttpFile& request) {
    CString rawHeaders;
    request.QueryInfo(HTTP_QUERY_RAW_HEADERS_CRLF, rawHeaders);
    rawHeaders.MakeLower();
    return rawHeaders;
}

// The page count of the answer's "x-pages:" header, when it has one.
void ReadPageCount(const CString& headers, int* pages) {
    CString pageText;
    if (FindAnswerHeader(headers, "x-pages", &pageText) && pages) *pages = std::atoi(pageText);
}

void ReadBody(CHttpFile& request, CString* response, ReadBuffer& buffer) {
    while (const UINT got = request.Read(buffer.bytes.data(), kChunkSize)) {
        buffer.bytes[got] = '\0';
        buffer.lastChunk = got;
        response->Append(buffer.bytes.data());
    }
}

// Tells the user of a failed status: a box with the last chunk read, the whole body when it was short.
void ReportFailedStatus(int status, OAuth2::FailureBox failureBox, const ReadBuffer& buffer) {
    if (unsigned(status) < 300 || failureBox == OAuth2::kNoBox) return;
    if (status == 403 && failureBox == OAuth2::kNoBoxFor403) return;
    ShowWebAccessFailed(status, CString(buffer.bytes.data(), int(strnlen(buffer.bytes.data(), buffer.lastChunk))));
}
}  // namespace

void ShowWebAccessFailed(int status, const CString& answer) {
    // Text and caption are kept word for word: users know this box by them.
    CString message;
    message.Format("Web Access failed: %d\n%s", status, answer.Right(int(kChunkSize)).GetString());
    MessageBoxA(nullptr, message, "EveOnline", MB_OK | MB_ICONINFORMATION);
}

BOOL OAuth2::WebAccess(int verb, const CString& url, const CString& body, int* status, CString* response,
                       const char* basicUser, const char* basicPassword, const char* extraHeaders, int* pages,
                       FailureBox failureBox, CString* answerHeaders) {
    OpenedRequest opened;
    ReadBuffer buffer;
    response->Empty();
    if (answerHeaders) answerHeaders->Empty();
    CString headers = extraHeaders ? extraHeaders : "";
    int isHttps = 0;
    int serverPort = 80;
    CString server;
    CString object;
    SplitUrl(url, &isHttps, &server, &serverPort, &object);

    BOOL result = FALSE;
    try {
        opened.session.reset(new CInternetSession("Quarnels", 1, accessType,
                                                  proxy.IsEmpty() ? nullptr : proxy.GetString(), nullptr, 0));
        opened.connection.reset(opened.session->GetHttpConnection(server, isHttps ? kHttpsConnectionFlags : 0,
                                                                  INTERNET_PORT(serverPort & 0xFFFF)));
        if (basicUser && basicPassword) AppendBasicCredentials(headers, basicUser, basicPassword);
        opened.request.reset(opened.connection->OpenRequest(verb, object, nullptr, 1, nullptr, "HTTP/1.0",
                                                            isHttps ? kHttpsRequestFlags : kHttpRequestFlags));

        if (SendWithProxyRetry(*opened.request, headers, body, proxyUser, proxyPassword, status, errorText, buffer)) {
            result = TRUE;
            const CString lines = ReadAnswerHeaders(*opened.request);
            ReadPageCount(lines, pages);
            if (answerHeaders) *answerHeaders = lines;
            ReadBody(*opened.request, response, buffer);
        }
        ReportFailedStatus(*status, failureBox, buffer);
    } catch (CInternetException* error) {
        char text[256];
        std::memset(text, 0, sizeof(text));
        error->GetErrorMessage(text, 255);
        error->Delete();
        errorText = text;
        result = FALSE;
    }
    return result;
}

bool FindAnswerHeader(const CString& headers, const char* name, CString* value) {
    // A header line starts after a line end: the status line comes first.
    const CString wanted = CString("\n") + name + ":";
    const int found = headers.Find(wanted);
    if (found < 0) return false;
    const int start = found + wanted.GetLength();
    const int end = headers.Find('\r', start);
    *value = end < 0 ? headers.Mid(start) : headers.Mid(start, end - start);
    value->Trim();
    return true;
}

void OAuth2::SplitUrl(const CString& url, int* isHttps, CString* server, int* serverPort, CString* object) {
    *isHttps = 0;
    server->Empty();
    *serverPort = 80;
    object->Empty();

    const int separator = url.Find("://");
    if (separator < 0) return;
    if (url.Left(separator).CompareNoCase("https") == 0) {
        *isHttps = 1;
        *serverPort = 443;
    }
    const int hostStart = separator + 3;
    const int slash = url.Find('/', hostStart);
    CString host;
    if (slash >= 0) {
        host = url.Mid(hostStart, slash - hostStart);
        *object = url.Mid(slash);
    } else {
        host = url.Mid(hostStart);
    }
    const int colon = host.Find(':');
    if (!host.IsEmpty() && colon >= 0) {
        *server = host.Left(colon);
        *serverPort = std::atoi(host.Mid(colon + 1));
    } else {
        *server = host;
    }
}

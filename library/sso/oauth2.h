// The single sign-on client and web client: client settings, tokens, the login state shared by the
// loopback listener and the sign-in dialog, and the signed-in character. One global object exists.
#pragma once

#include <atomic>
#include <cstdint>

#include "framework/afxcoll.h"
#include "framework/afxmt.h"
#include "framework/afxstr.h"
#include "framework/afxtime.h"
#include "platform/win32api.h"

class OAuth2 {
public:
    // One name and value pair of a browser query or a token answer.
    struct FIELD {
        CString name;
        CString value;
    };
    using FieldList = CArray<FIELD, FIELD&>;

    // Login states.
    enum : int32_t { kIdle = 0, kListening = 1, kSignedIn = 2, kNoTokens = 3, kFailed = 4 };

    OAuth2();
    virtual ~OAuth2();
    OAuth2(const OAuth2&) = delete;
    OAuth2& operator=(const OAuth2&) = delete;

    // Loopback listener.
    int Login();
    void StopListener();
    virtual int Listen();
    static UINT ListenThread(LPVOID param);
    void HandleConnection(SOCKET client);
    static BOOL IsRequestComplete(const char* data, int length);
    static CString ExtractText(const char* data, int first, int last);
    void ParseRequest(const char* data, int length);

    // Redirect handling and the code-for-token exchange.
    void OnRedirect(const FieldList& fields);
    void SendAnswer(SOCKET client);

    // Endpoint URLs, the form-encoded bodies of the two token requests (posted to tokenUrl), and
    // the encoders. The builders, like Listen, stay virtual although the library overrides none of
    // them: callers, the tests among them, derive from OAuth2 and replace them.
    virtual CString GetAuthorizeUrl();
    virtual CString GetRedirectUri();
    virtual CString GetTokenBody(const CString& code);
    virtual CString GetRefreshBody();
    static CString UrlEncode(const CString& text);
    static CString UrlDecode(const CString& text);
    // A token from the service's answer: a JSON writer may escape any character ("+" as "\u002B",
    // "/" as "\/"), which the flat splitting keeps as text.
    static CString GetTokenValue(const FieldList& fields, const char* name);

    // Query and flat-JSON splitting.
    static void SplitQuery(const CString& query, FieldList& fields);
    static void SplitFlatJson(const CString& json, FieldList& fields);
    static CString GetFieldValue(const FieldList& fields, CString name);

    // HTTP(S) requests. `verb` is one of CHttpConnection's HTTP_VERB_* values; `failureBox` says which
    // failed statuses (300 and more) the request tells the user of in its box. `answerHeaders` (may be
    // null) receives the answer's header lines, lower-cased.
    enum FailureBox { kBoxForFailures, kNoBoxFor403, kNoBox };
    BOOL WebAccess(int verb, const CString& url, const CString& body, int* status, CString* response,
                   const char* basicUser, const char* basicPassword, const char* extraHeaders, int* pages,
                   FailureBox failureBox, CString* answerHeaders = nullptr);
    static void SplitUrl(const CString& url, int* isHttps, CString* server, int* serverPort, CString* object);

    // Access token lifecycle. After a sign-in that ended without a token (aborted, refused, no
    // browser, the host closing) GetAccessToken asks for none for a while: no refresh, no sign-in,
    // no warning; it answers with the token as it stands. EndSignInHold ends that at once (the
    // explicit sign-in) and says whether a hold was on.
    CString GetAccessToken();
    bool IsSignInHeld() const;
    bool EndSignInHold();
    // Takes the refresh token stored in the ini file when it is another than the one held, and then
    // learns the character anew; whether it did.
    bool AdoptStoredRefreshToken();
    void RefreshAccessToken();
    // One refresh request with refreshToken, showing no box; FALSE, with state kFailed, when it was
    // not completed.
    BOOL SendRefreshRequest(int* status, CString* answer);
    void VerifyToken();
    int GetCharacterId(CString* name);

    // Web API request. `status` (may be null) receives the answer's HTTP status, or 0 when no answer
    // came (no token, the web API held, or the request failed), so that a download can tell an error
    // answer from data.
    CString EsiRequest(const CString& method, const CString& path, const CString& body, int* pages,
                       BOOL tolerate403, int* status = nullptr);
    // The web API as a whole is left alone for a while after it failed (no answer, or an answer that
    // it is down or overloaded) and while its error budget is nearly spent: no request of any
    // download, and no token asked for one. The sign-on service is not part of this.
    bool IsWebApiHeld() const;
    void HoldWebApi(int64_t seconds);
    // Whether the last web API request failed for the web API as a whole: not sent for its hold, no
    // answer, or an answer that holds it. A download that failed so is held with the web API, not on
    // its own.
    bool lastRequestFailedWithWebApi = false;

    static CString GetIniPath();
    static CString ReadStoredRefreshToken();

    CString clientId;
    CString clientSecret;
    CString scope;
    CString authorizeUrl;
    CString tokenUrl;
    CString accessToken;
    CString refreshToken;
    // Polled by the listener, the sign-in dialog's wait thread and the dialog's thread.
    std::atomic<int32_t> state{kIdle};
    CString errorText;
    CEvent stopEvent;
    CEvent doneEvent;
    std::atomic<SOCKET> listenSocket{INVALID_SOCKET};
    int32_t port = 3017;
    int32_t stateNonce = 0;
    int32_t useBasicAuth = 1;
    CTime tokenTime;
    CTime signInTime;
    CTime signInFailedTime;  // when the last sign-in ended without a token
    CTime webApiHeldSince;   // when the web API's hold began, and its length in seconds
    int64_t webApiHoldSeconds = 0;
    int32_t characterId = 0;
    CString characterName;
    uint32_t accessType = 0;
    CString proxy;
    CString proxyUser;
    CString proxyPassword;
    const char* pageSuccess = nullptr;
    const char* pageFailed = nullptr;
    const char* pageDenied = nullptr;

    // The single sign-on service's verify endpoint and the web API's root ("…/"), fixed at
    // construction (see the endpoints' file for the testing override).
    CString verifyUrl;
    CString esiBaseUrl;
};

extern OAuth2 g_OAuth;

// The header of the token requests, whose parameters travel form-encoded in the body.
extern const char kFormContentHeader[];

// The text with its JSON escapes decoded: \" \\ \/ \b \f \n \r \t, and \uXXXX written as UTF-8 (a
// surrogate pair as the one character it stands for). An escape that is none of these stays as it
// stands.
CString DecodeJsonEscapes(const CString& text);

// The box that tells the user of a failed status: "Web Access failed: <status>" and the answer's text
// (its last 29,999 bytes).
void ShowWebAccessFailed(int status, const CString& answer);

// How long the web API is to be left alone after a request to it that failed for the web API as a
// whole: `answered` is false when no answer came, `headers` are the answer's lower-cased header lines;
// 0 for an answer that is no such failure.
int64_t WebApiFailureHold(BOOL answered, int status, const CString& headers);
// How long the web API is to be left alone, whatever the answer's status, because it says that only
// the last few errors of its window are left; 0 when more are left.
int64_t ErrorBudgetHold(const CString& headers);

// The value of the header line `name` (lower-case, without the colon) in lower-cased header lines,
// without surrounding blanks; false when there is no such line.
bool FindAnswerHeader(const CString& headers, const char* name, CString* value);

// Base64 of RFC 4648 with "=" padding and no line breaks.
CString Base64Encode(const void* data, uint32_t count);
// The bytes of base64url text (RFC 4648, section 5; "=" padding optional); FALSE for text that is
// not such.
BOOL Base64UrlDecode(const CString& text, CString* bytes);

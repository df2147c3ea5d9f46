// The browser's redirect: the code-for-token exchange and the page that answers the browser.
#include <cstdlib>

#include "framework/afxinet.h"
#include "library/sso/oauth2.h"
#include "library/text_compare.h"

namespace {
// Kept word for word, like the pages of the sign-on object: callers that read it depend on it.
const char kPageMismatch[] = "<html><body>Request does not match authentication request</body></html>";

// The text with the characters that HTML gives a meaning written as entities, so that a server's
// reason phrase or a network message shows as text on the page.
CString HtmlEscape(const CString& text) {
    CString escaped;
    for (int i = 0; i < text.GetLength(); ++i) {
        switch (text[i]) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&#39;"; break;
        default: escaped.AppendChar(text[i]); break;
        }
    }
    return escaped;
}
}  // namespace

void OAuth2::OnRedirect(const FieldList& fields) {
    CString code;
    CString stateText;
    for (INT_PTR i = 0; i < fields.GetSize(); ++i) {
        const FIELD& field = fields[i];
        if (SameTextNoCase(field.name, "code"))
            code = field.value;
        else if (SameTextNoCase(field.name, "state"))
            stateText = field.value;
    }
    // Not the answer to this sign-in: keep waiting for the right one. The state is compared as a
    // number, as it always was ("0123" and "123abc" match 123); callers depend on that reading.
    if (code.IsEmpty() || std::atoi(stateText) != stateNonce) return;

    const char* user = useBasicAuth ? static_cast<LPCSTR>(clientId) : nullptr;
    const char* password = useBasicAuth ? static_cast<LPCSTR>(clientSecret) : nullptr;
    int status = 0;
    CString answer;
    if (!WebAccess(CHttpConnection::HTTP_VERB_POST, tokenUrl, GetTokenBody(code), &status, &answer, user, password,
                   kFormContentHeader, nullptr, kBoxForFailures)) {
        state = kFailed;
        return;
    }
    if (status != 200) {
        const CString statusText = errorText;
        errorText.Format("%d %s", status, static_cast<LPCSTR>(statusText));
        state = kFailed;
        return;
    }

    FieldList tokens;
    SplitFlatJson(answer, tokens);
    accessToken = GetTokenValue(tokens, "access_token");
    refreshToken = GetTokenValue(tokens, "refresh_token");
    if (!refreshToken.IsEmpty()) WritePrivateProfileStringA("Quarnel", "RefreshKey", refreshToken, GetIniPath());
    // The state is what the other threads poll: it is written after the tokens it announces.
    if (accessToken.IsEmpty() || refreshToken.IsEmpty()) {
        state = kNoTokens;
    } else {
        state = kSignedIn;
        const CTime now(_time64(nullptr));
        tokenTime = now;
        signInTime = now;
    }
}

void OAuth2::SendAnswer(SOCKET client) {
    CString page;
    switch (state) {
    case kListening: page = kPageMismatch; break;
    case kSignedIn: page = pageSuccess; break;
    case kNoTokens: page = pageDenied; break;
    case kFailed:
        if (pageFailed) page.Format(pageFailed, HtmlEscape(errorText).GetString());
        break;
    default: break;
    }
    // Status 200 whatever the outcome, and no Content-Type: the answer stays exactly as callers know it.
    CString answer;
    answer.Format("HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n%s", page.GetLength(), static_cast<LPCSTR>(page));
    send(client, static_cast<LPCSTR>(answer), answer.GetLength(), 0);
}

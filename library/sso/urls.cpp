// The authorize URL and the token request bodies of the authorization-code flow, and the
// percent-encoding of their parts.
#include "library/sso/hex_digit.h"
#include "library/sso/oauth2.h"

namespace {
const char kHexDigits[] = "0123456789ABCDEF";

bool IsAsciiAlphanumeric(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9');
}
}  // namespace

const char kFormContentHeader[] = "Content-Type: application/x-www-form-urlencoded\r\n";

CString OAuth2::GetAuthorizeUrl() {
    CString url;
    url.Format("%s?response_type=code&client_id=%s&redirect_uri=%s&state=%d", authorizeUrl.GetString(),
               clientId.GetString(), UrlEncode(GetRedirectUri()).GetString(), stateNonce);
    // The service expects the scopes blank-separated, as they are.
    if (!scope.IsEmpty()) url.AppendFormat("&scope=%s", scope.GetString());
    return url;
}

CString OAuth2::GetRedirectUri() {
    // The host name, not the address the listener binds: it is what the application is registered with.
    CString uri;
    uri.Format("http://localhost:%d/", port);
    return uri;
}

namespace {
// The client credentials go in the body only for a service that takes no Basic authorization.
void AppendClientParts(CString& body, const OAuth2& client) {
    if (client.useBasicAuth != 0) return;
    body.AppendFormat("&client_id=%s", OAuth2::UrlEncode(client.clientId).GetString());
    if (!client.clientSecret.IsEmpty())
        body.AppendFormat("&client_secret=%s", OAuth2::UrlEncode(client.clientSecret).GetString());
}
}  // namespace

// The token requests carry their parameters form-encoded in the body, never in the URL, where
// proxies and servers would log them; the service takes them no other way.
CString OAuth2::GetTokenBody(const CString& code) {
    CString body;
    body.Format("grant_type=authorization_code&code=%s", UrlEncode(code).GetString());
    AppendClientParts(body, *this);
    return body;
}

CString OAuth2::GetRefreshBody() {
    CString body;
    body.Format("grant_type=refresh_token&refresh_token=%s", UrlEncode(refreshToken).GetString());
    AppendClientParts(body, *this);
    return body;
}

// Only ASCII letters and digits stay as they are; "-", ".", "_" and "~" are escaped too, although
// they need not be. The encoding is kept exactly: callers compare the URLs and bodies it makes.
CString OAuth2::UrlEncode(const CString& text) {
    CString encoded;
    const int length = text.GetLength();
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.GetString());
    for (int i = 0; i < length; ++i) {
        const unsigned char byte = bytes[i];
        if (IsAsciiAlphanumeric(byte)) {
            encoded.AppendChar(char(byte));
        } else {
            encoded.AppendChar('%');
            encoded.AppendChar(kHexDigits[byte >> 4]);
            encoded.AppendChar(kHexDigits[byte & 15]);
        }
    }
    return encoded;
}

// A "+" stays a "+", not a blank: callers depend on values decoded exactly as they always were.
CString OAuth2::UrlDecode(const CString& text) {
    CString decoded;
    const int length = text.GetLength();
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.GetString());
    for (int i = 0; i < length; ++i) {
        if (bytes[i] != '%') {
            decoded.AppendChar(char(bytes[i]));
            continue;
        }
        // A "%" too near the end is dropped together with what little follows it.
        if (i + 2 >= length) break;
        const int high = HexValue(bytes[i + 1]);
        const int low = HexValue(bytes[i + 2]);
        if (high < 0 || low < 0) {
            // Not an escape: the "%" stands for itself and the bytes behind it are read as usual.
            decoded.AppendChar('%');
            continue;
        }
        decoded.AppendChar(char(high * 16 + low));
        i += 2;
    }
    return decoded;
}

// The sign-on and web API addresses, overridable only towards this machine, and the client's id and secret.
#include "library/sso/endpoints.h"

#include <cstdlib>

#include "platform/win32api.h"

#ifndef QUARNELS_CLIENT_ID
#define QUARNELS_CLIENT_ID "3f7c21d09ab84e56b0c4e8a21d5f9b07"
#endif
#ifndef QUARNELS_CLIENT_SECRET
#define QUARNELS_CLIENT_SECRET "Kq7RmV2xTb9LpW4nZc6HsY1dFg8JtE3uAo5NiQ0w"
#endif

namespace {
bool AllDigits(const CString& text, int maxLength) {
    if (text.IsEmpty() || text.GetLength() > maxLength) return false;
    for (int i = 0; i < text.GetLength(); ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    return true;
}

// 127.0.0.0/8 in dotted decimal.
bool IsLoopbackAddress(const CString& host) {
    int start = 0;
    for (int part = 0; part < 4; ++part) {
        const int dot = host.Find('.', start);
        if ((part < 3) != (dot >= 0)) return false;
        const CString number = part < 3 ? host.Mid(start, dot - start) : host.Mid(start);
        if (!AllDigits(number, 3) || std::atoi(number) > 255) return false;
        if (part == 0 && std::atoi(number) != 127) return false;
        start = dot + 1;
    }
    return true;
}

// Whether an http or https URL names this machine: a host of 127.0.0.0/8 or "localhost", with an
// optional port. A bracketed IPv6 host is refused: the URL splitter of the web requests cannot read it.
bool NamesLoopbackHost(const CString& url) {
    const int separator = url.Find("://");
    if (separator < 0) return false;
    const CString scheme = url.Left(separator);
    if (scheme.CompareNoCase("http") != 0 && scheme.CompareNoCase("https") != 0) return false;
    CString authority = url.Mid(separator + 3);
    const int end = authority.FindOneOf("/?#");
    if (end >= 0) authority = authority.Left(end);

    CString host = authority;
    const int portStart = authority.ReverseFind(':');
    if (portStart >= 0) {
        if (!AllDigits(authority.Mid(portStart + 1), 5)) return false;
        host = authority.Left(portStart);
    }
    return host.CompareNoCase("localhost") == 0 || IsLoopbackAddress(host);
}

// The testing override in the variable, or the fallback. The override may point only at this
// machine: the client secret and the tokens go wherever it points.
CString Endpoint(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    if (!value || !*value) return CString(fallback);
    if (NamesLoopbackHost(value)) return CString(value);
    CString note;
    note.Format("Quarnels: %s ignored, it does not name a loopback host\n", variable);
    OutputDebugStringA(note);
    return CString(fallback);
}
}  // namespace

service_endpoints ReadServiceEndpoints() {
    service_endpoints endpoints;
    endpoints.signOnBase = Endpoint("QUARNELS_SSO_URL", "https://login.eveonline.com");
    while (!endpoints.signOnBase.IsEmpty() && endpoints.signOnBase[endpoints.signOnBase.GetLength() - 1] == '/')
        endpoints.signOnBase = endpoints.signOnBase.Left(endpoints.signOnBase.GetLength() - 1);
    endpoints.webApiBase = Endpoint("QUARNELS_ESI_URL", "https://esi.evetech.net/");
    return endpoints;
}

const char* ClientIdSetting() { return QUARNELS_CLIENT_ID; }
const char* ClientSecretSetting() { return QUARNELS_CLIENT_SECRET; }

// The sign-on object's construction, destruction and its one stored setting.
#include "library/sso/oauth2.h"

#include <cstring>
#include <ctime>

#include "library/dates_and_hubs.h"
#include "library/lifecycle_trace.h"
#include "library/sso/endpoints.h"

namespace {
// The browser's pages are kept word for word, the "max" for "may" and the German words included:
// users' pages and callers that read them depend on the exact texts.
const char kPageSuccess[] = "<html><body><h1>Success</h1>You max close this window now</body></html>";
const char kPageFailed[] = "<html><body>Fehlgeschlagen: %s</body></html>";
const char kPageDenied[] = "<html><body>Abgelehnt</body></html>";
const char kScopes[] =
    "esi-skills.read_skills.v1 esi-wallet.read_character_wallet.v1 esi-assets.read_assets.v1 "
    "esi-industry.read_character_jobs.v1 esi-markets.read_character_orders.v1 "
    "esi-assets.read_corporation_assets.v1";

// A state value for the authorize request that nobody can guess: positive, 31 bits, from the
// operating system's random source.
int32_t DrawStateNonce() {
    uint32_t value = 0;
    while (value == 0) {
        if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, reinterpret_cast<UCHAR*>(&value), sizeof(value),
                                            BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
            value = static_cast<uint32_t>(std::time(nullptr)) ^ 0x5bd1e995u;
        }
        value &= 0x7fffffffu;
    }
    return static_cast<int32_t>(value);
}
}  // namespace

OAuth2::OAuth2() : stopEvent(FALSE, FALSE), doneEvent(FALSE, FALSE) {
    tokenTime = StartOfTimeStamps();
    signInTime = StartOfTimeStamps();
    signInFailedTime = StartOfTimeStamps();
    webApiHeldSince = StartOfTimeStamps();
    // No listener has run yet: a stop before the first login must not wait for one.
    doneEvent.SetEvent();
    stateNonce = DrawStateNonce();

    pageSuccess = kPageSuccess;
    pageFailed = kPageFailed;
    pageDenied = kPageDenied;
    clientId = ClientIdSetting();
    clientSecret = ClientSecretSetting();
    useBasicAuth = 1;
    scope = kScopes;
    const service_endpoints endpoints = ReadServiceEndpoints();
    // The second generation of the service's endpoints: only their tokens open the web API.
    authorizeUrl = endpoints.signOnBase + "/v2/oauth/authorize";
    tokenUrl = endpoints.signOnBase + "/v2/oauth/token";
    // Asked only about a token that does not name its character itself.
    verifyUrl = endpoints.signOnBase + "/oauth/verify";
    esiBaseUrl = endpoints.webApiBase;

    refreshToken = ReadStoredRefreshToken();
    TraceLifecycle("OAuth2 made");
}

CString OAuth2::ReadStoredRefreshToken() {
    // Section, key and the 355-byte buffer (a longer token arrives cut to 354 characters) are kept
    // exactly as they are: users' stored ini files and the check program depend on them.
    char stored[355];
    std::memset(stored, 0, sizeof(stored));
    GetPrivateProfileStringA("Quarnel", "RefreshKey", "", stored, sizeof(stored), GetIniPath());
    return CString(stored);
}

OAuth2::~OAuth2() {
    TraceLifecycle("OAuth2 destroyed");
    StopListener();
}

CString OAuth2::GetIniPath() {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    char path[255];
    std::memset(path, 0, sizeof(path));
    DWORD size = sizeof(path);
    GetUserProfileDirectoryA(token, path, &size);
    // A profile folder too long for the name leaves the path empty rather than cut. The file's place
    // and name stay as they are: users' stored refresh tokens are there.
    strcat_s(path, sizeof(path), "\\AppData\\Local\\Quarnels.ini");
    if (token) CloseHandle(token);
    return CString(path);
}

#include "library/sso/endpoints.h"

#include <cstdlib>

#ifndef QUARNELS_CLIENT_ID
#define QUARNELS_CLIENT_ID "3f7c21d09ab84e56b0c4e8a21d5f9b07"
#endif
#ifndef QUARNELS_CLIENT_SECRET
#define QUARNELS_CLIENT_SECRET "Kq7RmV2xTb9LpW4nZc6HsY1dFg8JtE3uAo5NiQ0w"
#endif

namespace {
CString FromEnvironment(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return CString(value && *value ? value : fallback);
}
}  // namespace

service_endpoints ReadServiceEndpoints() {
    service_endpoints endpoints;
    endpoints.signOnBase = FromEnvironment("QUARNELS_SSO_URL", "https://login.eveonline.com");
    while (!endpoints.signOnBase.IsEmpty() && endpoints.signOnBase[endpoints.signOnBase.GetLength() - 1] == '/')
        endpoints.signOnBase = endpoints.signOnBase.Left(endpoints.signOnBase.GetLength() - 1);
    endpoints.webApiBase = FromEnvironment("QUARNELS_ESI_URL", "https://esi.evetech.net/");
    return endpoints;
}

const char* ClientIdSetting() { return QUARNELS_CLIENT_ID; }
const char* ClientSecretSetting() { return QUARNELS_CLIENT_SECRET; }

// Where the single sign-on service and the web API are, and which application signs in.
#pragma once

#include "framework/afxstr.h"

struct service_endpoints {
    CString signOnBase;  // scheme and host, no trailing "/"
    CString webApiBase;  // the web API's root, ending in "/"
};

// The game's public services. As a testing aid, the environment variables QUARNELS_SSO_URL and
// QUARNELS_ESI_URL replace them when they name a loopback host; any other value is ignored with a
// line to the debugger output (read when the sign-on object is made, once per load).
service_endpoints ReadServiceEndpoints();

// The application's OAuth2 client id and secret, chosen when the library is built.
const char* ClientIdSetting();
const char* ClientSecretSetting();

// Fuzzes what the loopback listener does with a browser's bytes: the completeness test over every
// prefix a connection could deliver, then the parse of the request line and the query.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "library/sso/oauth2.h"

namespace {
// A redirect whose state happens to match would exchange the code: send that to a port nobody
// listens on, so it fails at once without leaving the machine.
OAuth2& Listener() {
    static OAuth2* oauth = [] {
        setenv("QUARNELS_SSO_URL", "http://127.0.0.1:9", 1);
        setenv("HOME", "/nonexistent-quarnels-fuzz", 1);
        return new OAuth2;
    }();
    return *oauth;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 70000) return 0;  // the listener never looks at more than 64 KiB
    const char* bytes = reinterpret_cast<const char*>(data);
    const int length = static_cast<int>(size);
    // A connection sees the request grow chunk by chunk; a prefix may be complete before the whole.
    int whole = -1;
    for (int n = 0; n <= length; n += 1 + n / 4) {
        if (OAuth2::IsRequestComplete(bytes, n)) {
            whole = n;
            break;
        }
    }
    if (OAuth2::IsRequestComplete(bytes, length) && whole < 0) whole = length;
    OAuth2& oauth = Listener();
    oauth.state = OAuth2::kListening;
    oauth.ParseRequest(bytes, whole < 0 ? length : whole);
    return 0;
}

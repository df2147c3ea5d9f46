// The hold of the web API as a whole. Its error limit counts every error answer of an address, time-outs
// during the daily downtime included, and after too many within a minute it refuses everything from
// that address, other programs' requests too: a sheet with hundreds of cells must not keep asking a
// web API that is down, nor spend the last errors the address has left.
#include <cstdlib>
#include <ctime>

#include "library/retry_hold.h"
#include "library/sso/oauth2.h"

namespace {
// Below this many errors left in the window the library asks nothing more until the window resets.
const long kLowestErrorBudget = 10;

// The whole number a header line holds; false when there is no such line or it holds anything else.
bool ReadHeaderNumber(const CString& headers, const char* name, long* number) {
    CString text;
    if (!FindAnswerHeader(headers, name, &text) || text.IsEmpty()) return false;
    char* end = nullptr;
    *number = std::strtol(text, &end, 10);
    return *end == '\0';
}

// The seconds a header asks to wait, within a second and the usual hold; the usual hold when it
// says nothing usable.
int64_t SecondsToWait(const CString& headers, const char* name) {
    long seconds = 0;
    if (!ReadHeaderNumber(headers, name, &seconds)) return kRetryHoldSeconds;
    if (seconds < 1) return 1;
    return seconds < kRetryHoldSeconds ? seconds : kRetryHoldSeconds;
}
}  // namespace

int64_t WebApiFailureHold(BOOL answered, int status, const CString& headers) {
    // No answer at all (no connection, a time limit): the next request would wait just as long.
    if (!answered) return kRetryHoldSeconds;
    switch (status) {
        case 420:  // the error limit was passed: nothing passes until its window resets
            return SecondsToWait(headers, "x-esi-error-limit-reset");
        case 429:  // too many requests: the answer says when one would pass
            return SecondsToWait(headers, "retry-after");
        case 500:
        case 502:
        case 503:
        case 504:
            return kRetryHoldSeconds;
        default:
            return 0;
    }
}

int64_t ErrorBudgetHold(const CString& headers) {
    long errorsLeft = 0;
    if (!ReadHeaderNumber(headers, "x-esi-error-limit-remain", &errorsLeft) || errorsLeft > kLowestErrorBudget) return 0;
    return SecondsToWait(headers, "x-esi-error-limit-reset");
}

bool OAuth2::IsWebApiHeld() const {
    return WithinHold(webApiHeldSince.GetTime(), webApiHoldSeconds, std::time(nullptr));
}

void OAuth2::HoldWebApi(int64_t seconds) {
    webApiHeldSince = CTime(std::time(nullptr));
    webApiHoldSeconds = seconds;
}

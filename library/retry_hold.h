// How long something that has just failed is left alone: a download, a sign-in that ended without
// a token, and the web API as a whole. A sheet asks for the same data once per cell, so without a
// pause one failure turns into a request, a box or a browser tab per cell; the web API, too, asks its
// clients to back off after errors and refuses everything once too many error answers came within a
// minute.
#pragma once

#include <cstdint>

constexpr int64_t kRetryHoldSeconds = 60;

// Whether a hold of `seconds` that began at `since` still holds at `now`. A start in the future (the
// clock was set back) holds nothing, so that no hold outlasts its length.
inline bool WithinHold(int64_t since, int64_t seconds, int64_t now) {
    const int64_t age = now - since;
    return age >= 0 && age < seconds;
}

inline bool WithinRetryHold(int64_t failedAt, int64_t now) { return WithinHold(failedAt, kRetryHoldSeconds, now); }

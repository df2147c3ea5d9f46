// How long something that has just failed is left alone: a download, and a sign-in that ended
// without a token. A sheet asks for the same data once per cell, so without a pause one failure
// turns into a request, a box or a browser tab per cell; the web API, too, asks its clients to back
// off after errors and refuses everything once too many error answers came within a minute.
#pragma once

#include <cstdint>

constexpr int64_t kRetryHoldSeconds = 60;

// Whether a failure at `failedAt` still holds at `now`. A failure time in the future (the clock was
// set back) holds nothing, so that no hold outlasts its minute.
inline bool WithinRetryHold(int64_t failedAt, int64_t now) {
    const int64_t age = now - failedAt;
    return age >= 0 && age < kRetryHoldSeconds;
}

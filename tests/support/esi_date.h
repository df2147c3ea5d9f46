// The web API's way of writing a moment ("2023-05-17T12:34:56Z", UTC), for the answers the tests
// feed the library (POSIX tests only).
#pragma once

#include <time.h>

#include <cstdio>
#include <string>

namespace testsupport {

inline std::string EsiDate(time_t moment) {
    struct tm parts {};
    gmtime_r(&moment, &parts);
    char text[96];
    std::snprintf(text, sizeof(text), "%04d-%02d-%02dT%02d:%02d:%02dZ", parts.tm_year + 1900, parts.tm_mon + 1,
                  parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return text;
}

}  // namespace testsupport

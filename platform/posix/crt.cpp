// The C runtime's case-blind comparisons, 64-bit UTC times and strcat_s.
#include "crt.h"

#include <cerrno>
#include <cstring>
#include <ctime>

namespace {
inline unsigned char FoldAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

// Days since 1970-01-01 of a proleptic Gregorian date (month 1-12).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = yoe + era * 400 + (m <= 2);
}

// The range the Microsoft runtime accepts: 1970-01-01 00:00:00 to 3000-12-31 23:59:59 UTC.
constexpr __time64_t kMaxTime64 = 32535215999LL;
}  // namespace

extern "C" int _stricmp(const char* a, const char* b) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(a);
    const unsigned char* q = reinterpret_cast<const unsigned char*>(b);
    for (;; ++p, ++q) {
        const int x = FoldAscii(*p), y = FoldAscii(*q);
        if (x != y) return x - y;
        if (x == 0) return 0;
    }
}

extern "C" int _mbsicmp(const unsigned char* a, const unsigned char* b) {
    const int r = _stricmp(reinterpret_cast<const char*>(a), reinterpret_cast<const char*>(b));
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

extern "C" __time64_t _mkgmtime64(struct tm* tm) {
    if (!tm) return -1;
    // Carry out-of-range fields over the way the runtime does: months into years, then seconds.
    int64_t year = int64_t(tm->tm_year) + 1900;
    int64_t month = tm->tm_mon;
    year += month / 12;
    month %= 12;
    if (month < 0) {
        month += 12;
        --year;
    }
    const int64_t days = DaysFromCivil(year, month + 1, 1) + (int64_t(tm->tm_mday) - 1);
    const int64_t seconds = days * 86400 + int64_t(tm->tm_hour) * 3600 + int64_t(tm->tm_min) * 60 + tm->tm_sec;
    if (seconds < 0 || seconds > kMaxTime64) {
        errno = EINVAL;
        return -1;
    }
    // Normalize the caller's record, as the runtime does.
    int64_t y;
    int m, d;
    CivilFromDays(seconds / 86400, y, m, d);
    const int64_t rest = seconds % 86400;
    tm->tm_year = int(y - 1900);
    tm->tm_mon = m - 1;
    tm->tm_mday = d;
    tm->tm_hour = int(rest / 3600);
    tm->tm_min = int(rest / 60 % 60);
    tm->tm_sec = int(rest % 60);
    tm->tm_wday = int((seconds / 86400 + 4) % 7);
    tm->tm_yday = int(seconds / 86400 - DaysFromCivil(y, 1, 1));
    tm->tm_isdst = 0;
    return seconds;
}

extern "C" __time64_t _time64(__time64_t* out) {
    const __time64_t now = static_cast<__time64_t>(std::time(nullptr));
    if (out) *out = now;
    return now;
}

extern "C" errno_t strcat_s(char* dest, size_t size, const char* src) {
    if (!dest || size == 0) return EINVAL;
    if (!src) {
        dest[0] = 0;
        return EINVAL;
    }
    const size_t used = strnlen(dest, size);
    if (used == size) {
        dest[0] = 0;
        return EINVAL;
    }
    const size_t add = std::strlen(src);
    if (used + add >= size) {
        dest[0] = 0;
        return ERANGE;
    }
    std::memcpy(dest + used, src, add + 1);
    return 0;
}

// CTime: made from local date parts, taken apart and formatted in local time under one lock.
#include "framework/afxtime.h"

#include <ctime>
#include <cstdlib>

static_assert(sizeof(time_t) == 8, "CTime needs a 64-bit time_t from the C runtime");

namespace {

// The range of the Windows runtime's 64-bit time functions (up to 3000-12-31 23:59:59 UTC); kept on
// every platform so a time converts the same everywhere.
constexpr __time64_t kMaxTime = 32535215999LL;

bool InRange(__time64_t t) { return t >= 0 && t <= kMaxTime; }

// localtime hands out one shared buffer on some runtimes, so the copy is made under a lock; mktime
// takes it too, as both read the runtime's time-zone state.
CRITICAL_SECTION* TimeLock() {
    struct Lock {
        Lock() { InitializeCriticalSection(&cs); }
        ~Lock() { DeleteCriticalSection(&cs); }
        CRITICAL_SECTION cs;
    };
    // Made on first use, which comes before any global time stamp is made, so it outlives them.
    static Lock lock;
    return &lock.cs;
}

struct tm* ConvertLocalTime(__time64_t t, struct tm* out) {
    if (!out || !InRange(t)) return nullptr;
    const time_t value = static_cast<time_t>(t);
    CRITICAL_SECTION* cs = TimeLock();
    EnterCriticalSection(cs);
    const struct tm* shared = std::localtime(&value);
    if (shared) *out = *shared;
    LeaveCriticalSection(cs);
    return shared ? out : nullptr;
}

CString FormatTm(const struct tm* tm, const char* format) {
    CString result;
    if (!tm || !format || !*format) return result;
    // strftime gives 0 both for "too small" and for an empty result, so the buffer grows a few times.
    for (int size = 128; size <= 8192; size *= 4) {
        char* buffer = result.GetBuffer(size);
        const size_t n = std::strftime(buffer, static_cast<size_t>(size) + 1, format, tm);
        if (n > 0) {
            result.ReleaseBuffer(static_cast<int>(n));
            return result;
        }
        result.ReleaseBuffer(0);
    }
    return result;
}

}  // namespace

CTime::CTime(int year, int month, int day, int hour, int minute, int second, int dst) noexcept {
    struct tm tm = {};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = dst;
    CRITICAL_SECTION* cs = TimeLock();
    EnterCriticalSection(cs);
    const __time64_t t = static_cast<__time64_t>(std::mktime(&tm));
    LeaveCriticalSection(cs);
    m_time = InRange(t) ? t : -1;
}

struct tm* CTime::GetLocalTm(struct tm* tm) const noexcept { return ConvertLocalTime(m_time, tm); }

CString CTime::Format(const char* format) const {
    struct tm tm;
    return FormatTm(GetLocalTm(&tm), format);
}

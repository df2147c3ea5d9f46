// CTime and CTimeSpan: local time, arithmetic, formatting, and reads from several threads.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "framework/afxtime.h"

namespace {

// Year, month, day, hour, minute and second in local time; empty when not convertible.
std::vector<int> Fields(const CTime& time) {
    struct tm tm;
    if (!time.GetLocalTm(&tm)) return {};
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

TEST(CTimeLocal, StartOfTheCenturyRoundTrips) {
    const CTime start(2000, 1, 1, 0, 0, 0);
    // The moment kept is the one the C runtime reads back as that local time.
    const time_t kept = static_cast<time_t>(start.GetTime());
    const struct tm* local = std::localtime(&kept);
    ASSERT_NE(local, nullptr);
    EXPECT_EQ((std::vector<int>{local->tm_year + 1900, local->tm_mon + 1, local->tm_mday, local->tm_hour, local->tm_min,
                                local->tm_sec}),
              (std::vector<int>{2000, 1, 1, 0, 0, 0}));
    EXPECT_EQ(Fields(start), (std::vector<int>{2000, 1, 1, 0, 0, 0}));
    EXPECT_STREQ(start.Format("%Y-%m-%d %H:%M:%S"), "2000-01-01 00:00:00");

    // Midsummer noon reads back as noon whatever daylight saving the zone has.
    const CTime summer(2023, 7, 15, 12, 34, 56);
    EXPECT_EQ(Fields(summer), (std::vector<int>{2023, 7, 15, 12, 34, 56}));
}

TEST(CTimeLocal, FieldsOutOfRangeCarryOver) {
    EXPECT_EQ(Fields(CTime(2000, 13, 1, 0, 0, 0)), (std::vector<int>{2001, 1, 1, 0, 0, 0}));
    EXPECT_EQ(Fields(CTime(2000, 2, 30, 24, 0, 0)), (std::vector<int>{2000, 3, 2, 0, 0, 0}));
}

TEST(CTimeLocal, MomentsOutsideTheRuntimeRangeAreMinusOne) {
    EXPECT_EQ(CTime(1960, 1, 1, 0, 0, 0).GetTime(), -1);
    EXPECT_EQ(CTime(3001, 1, 2, 0, 0, 0).GetTime(), -1);
    const CTime bad(-1);
    EXPECT_STREQ(bad.Format("%Y"), "");
    struct tm tm;
    EXPECT_EQ(bad.GetLocalTm(&tm), nullptr);
}

TEST(CTimeArithmetic, DifferencesAreSignedSeconds) {
    const CTime a(2000, 1, 1, 0, 0, 0);
    const CTime b(2000, 1, 2, 0, 0, 0);
    EXPECT_EQ((b - a).GetTimeSpan(), 86400);
    EXPECT_EQ((a - b).GetTimeSpan(), -86400);
    EXPECT_TRUE(a < b);
    EXPECT_TRUE(b >= a);
    EXPECT_FALSE(a == b);

    const CTime later = a + CTimeSpan(1, 2, 3, 4);
    EXPECT_EQ(Fields(later), (std::vector<int>{2000, 1, 2, 2, 3, 4}));
    EXPECT_EQ(later - CTimeSpan(1, 2, 3, 4), a);

    const CTimeSpan span = later - a;
    EXPECT_EQ(span.GetTimeSpan(), ((24 + 2) * 60 + 3) * 60 + 4);

    // Age tests compare 64-bit differences far beyond 32 bits.
    const CTime epoch(static_cast<__time64_t>(0));
    const CTime far(static_cast<__time64_t>(32503680000LL));
    EXPECT_EQ((far - epoch).GetTimeSpan(), 32503680000LL);
}

TEST(CTimeFormat, LongResultsAndThreads) {
    std::string format, expected;
    for (int i = 0; i < 200; ++i) {
        format += "%Y.";
        expected += "2000.";
    }
    EXPECT_EQ(std::string(CTime(2000, 6, 1, 12, 0, 0).Format(format.c_str())), expected);

    // Field reads on several threads at once (the runtime's conversion buffer is shared on some).
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &wrong] {
            for (int i = 0; i < 200; ++i) {
                const CTime moment(2000 + t, 6, 1 + t, 12, 0, 0);
                if (Fields(moment) != std::vector<int>{2000 + t, 6, 1 + t, 12, 0, 0}) ++wrong[static_cast<size_t>(t)];
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(wrong, std::vector<int>(4, 0));
}

}  // namespace

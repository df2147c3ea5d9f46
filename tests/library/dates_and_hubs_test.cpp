// The web API's date-times read as UTC in every time zone, and the trade hubs' stations by name.
#include <gtest/gtest.h>

#include <memory>

#include "library/dates_and_hubs.h"
#include "tests/support/scoped_env.h"

namespace {

// The conversion must not depend on the machine's time zone.
class EsiDates : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override { tzset(); }
    void TearDown() override {
        zone_.reset();
        tzset();
    }
    std::unique_ptr<testsupport::ScopedEnv> zone_ = std::make_unique<testsupport::ScopedEnv>("TZ", GetParam());
};

TEST_P(EsiDates, ReadAsUtcByFixedPositions) {
    EXPECT_EQ(ParseEsiDateTime("2023-05-17T12:34:56Z").GetTime(), 1684326896);
    EXPECT_EQ(ParseEsiDateTime("2023-05-17").GetTime(), 1684281600);
    EXPECT_EQ(ParseEsiDateTime("").GetTime(), -1);
    // Fields out of range carry over: month 13 is January of the next year.
    EXPECT_EQ(ParseEsiDateTime("2022-13-01T00:00:00Z").GetTime(), ParseEsiDateTime("2023-01-01T00:00:00Z").GetTime());
    // Separators are not looked at.
    EXPECT_EQ(ParseEsiDateTime("2023/05/17 12:34:56").GetTime(), 1684326896);
    EXPECT_EQ(ParseEsiDateTime("1970-01-01T00:00:00Z").GetTime(), 0);
}

INSTANTIATE_TEST_SUITE_P(TimeZones, EsiDates, ::testing::Values("UTC0", "CET-1CEST,M3.5.0,M10.5.0/3", "EST5EDT"));

TEST(TradeHubs, StationIdsByNameWithoutRegardToCase) {
    EXPECT_EQ(GetHubStationId("Jita"), 60003760);
    EXPECT_EQ(GetHubStationId("jita"), 60003760);
    EXPECT_EQ(GetHubStationId("JITA"), 60003760);
    EXPECT_EQ(GetHubStationId("Amarr"), 60008494);
    EXPECT_EQ(GetHubStationId("dodixie"), 60011866);
    EXPECT_EQ(GetHubStationId("RENS"), 60004588);
    EXPECT_EQ(GetHubStationId("Hek"), 60005686);
    EXPECT_EQ(GetHubStationId("Other"), -1);
    EXPECT_EQ(GetHubStationId("Jita "), 0);
    EXPECT_EQ(GetHubStationId(""), 0);
    EXPECT_EQ(GetHubStationId("Perimeter"), 0);
}

}  // namespace

// The web API's date-times read as UTC, and the trade hubs' stations.
#include "library/dates_and_hubs.h"

#include <cstdlib>
#include <ctime>

#include "library/text_compare.h"
#include "platform/win32api.h"

namespace {
struct hub_station {
    const char* name;
    int64_t station;
};

constexpr hub_station kHubStations[] = {
    {"Amarr", 60008494}, {"Jita", 60003760}, {"Dodixie", 60011866}, {"Rens", 60004588},
    {"Hek", 60005686},   {"other", -1},
};

// The field of at most `length` characters from `first`, shortened where the text ends.
int Field(const CString& text, int first, int length) {
    if (first >= text.GetLength()) return 0;
    return std::atoi(text.Mid(first, length));
}
}  // namespace

CTime ParseEsiDateTime(const CString& text) {
    struct tm fields = {};
    fields.tm_year = Field(text, 0, 4) - 1900;
    fields.tm_mon = Field(text, 5, 2) - 1;
    fields.tm_mday = Field(text, 8, 2);
    fields.tm_hour = Field(text, 11, 2);
    fields.tm_min = Field(text, 14, 2);
    fields.tm_sec = Field(text, 17, 2);
    fields.tm_isdst = 0;
    return CTime(_mkgmtime64(&fields));
}

CTime StartOfTimeStamps() { return CTime(2000, 1, 1, 0, 0, 0); }

int64_t GetHubStationId(const CString& hub) {
    for (const hub_station& entry : kHubStations)
        if (SameTextNoCase(hub, entry.name)) return entry.station;
    return 0;
}

bool LocationSelected(int64_t station, int64_t locationId) {
    if (station == 0) return true;
    if (station != -1) return locationId == station;
    for (const hub_station& entry : kHubStations)
        if (entry.station > 0 && entry.station == locationId) return false;
    return true;
}

// Small helpers of the downloads and queries: the web API's date texts and the trade hubs.
#pragma once

#include <cstdint>

#include "framework/afxstr.h"
#include "framework/afxtime.h"

// The instant a web API date-time text "YYYY-MM-DDThh:mm:ssZ" stands for, read as UTC by fixed
// character positions; -1 when the date is outside what the conversion accepts.
CTime ParseEsiDateTime(const CString& text);

// 2000-01-01 00:00:00 local time: where every cache time stamp and token time starts, so that the
// first use after loading always downloads.
CTime StartOfTimeStamps();

// The station id of a trade hub named without regard to case; -1 for "other" (every location but
// the five hubs); 0 for any other text (any location).
int64_t GetHubStationId(const CString& hub);

// The location rule of the order and transaction queries: a hub's station selects that station,
// 0 every location, -1 every location but the five hub stations.
bool LocationSelected(int64_t station, int64_t locationId);

// Small helpers of the downloads and queries: the web API's date texts and the trade hubs.
#pragma once

#include <cstdint>

#include "framework/afxstr.h"
#include "framework/afxtime.h"

// The instant a web API date-time text "YYYY-MM-DDThh:mm:ssZ" stands for, read as UTC by fixed
// character positions; -1 when the date is outside what the conversion accepts.
CTime ParseEsiDateTime(const CString& text);

// The station id of a trade hub named without regard to case; -1 for "other" (every location but
// the five hubs); 0 for any other text (any location).
int64_t GetHubStationId(const CString& hub);

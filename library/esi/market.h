// Market prices at the trade hubs, against order books downloaded from the web API.
#pragma once

#include <cstdint>

#include "framework/afxstr.h"
#include "library/sso/oauth2.h"

// What `quantity` units of the item cost bought from the sell orders (`sell` nonzero) or earn sold
// into the buy orders at the hub; 0.0 for an unknown hub or item or a book that cannot cover it.
double GetMarketPrice(const CString& hub, const CString& item, int sell, int quantity);

// The download of one book: the region's orders of one type and side, page by page, keeping those
// at the station. Run on the download dialog's worker thread.
void DownloadMarketOrders(int64_t station, CString* regionId, int typeId, int sell, OAuth2* oauth);

// The character's wallet transactions: market purchases and sales.
#pragma once

#include <cstdint>

#include "framework/afxcoll.h"
#include "framework/afxstr.h"
#include "framework/afxtime.h"
#include "library/sso/oauth2.h"

struct transaction_entry {
    CTime date;
    uint32_t is_buy;
    int64_t location_id;
    int32_t quantity;
    uint32_t type_id;
    double unit_price;
};

extern CArray<transaction_entry, const transaction_entry&> g_Transactions;
extern CTime g_TransactionsTime;

// Units of the item sold (`sold` nonzero) or bought at the location the hub selects within the last
// `days` days; downloads first when the cache is older than kCacheLifetime.
int GetTransactionQuantity(const CString& item, const CString& hub, int days, int sold);

// The download, run on the download dialog's worker thread.
void DownloadTransactions(OAuth2* oauth);

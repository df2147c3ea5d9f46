// The wallet transactions download and the query of the units bought or sold in the last days.
#include "library/esi/transactions.h"

#include "library/database/database.h"
#include "library/dates_and_hubs.h"
#include "library/esi/cache_lifetime.h"
#include "library/esi/download_dialog.h"
#include "library/esi/esi_answer.h"
#include "library/esi/quantity_sum.h"
#include "library/sso/json_document.h"

namespace {
const char kTransactionsDownload[] = "Transactions";
}

void DownloadTransactions(OAuth2* oauth) {
    g_Transactions.RemoveAll();
    JsonDocument document;
    // An error is not data: stamped, it would answer 0 for a whole cache lifetime.
    if (!DownloadList(oauth, "v1/characters/&user&/wallet/transactions/", kTransactionsDownload, document)) return;
    // An empty list is a complete answer and is stamped too.
    g_TransactionsTime = CTime(_time64(nullptr));
    for (const cJSON* element : JsonChildren(document.root)) {
        transaction_entry entry;
        entry.date = ParseEsiDateTime(JsonText(element, "date"));
        entry.is_buy = static_cast<uint32_t>(JsonFlag(element, "is_buy"));
        entry.location_id = JsonInt64(element, "location_id");
        entry.quantity = JsonInt(element, "quantity");
        entry.type_id = static_cast<uint32_t>(JsonInt(element, "type_id"));
        entry.unit_price = JsonDouble(element, "unit_price");
        g_Transactions.Add(entry);
    }
}

int GetTransactionQuantity(const CString& item, const CString& hub, int days, int sold) {
    // Old transactions that a hold keeps from being downloaded again are not answered as current.
    if (_time64(nullptr) - g_TransactionsTime.GetTime() > kCacheLifetime &&
        !RunDownload(kTransactionsDownload, &DownloadTransactions))
        g_Transactions.RemoveAll();
    const int64_t station = GetHubStationId(hub);
    const int64_t cutoff = _time64(nullptr) - static_cast<int64_t>(days) * 86400;
    const item_entry* record = FindItemByName(item);
    const uint32_t typeId = record ? record->type_id : 0;

    int64_t sum = 0;
    for (INT_PTR i = 0; i < g_Transactions.GetSize(); ++i) {
        const transaction_entry& entry = g_Transactions[i];
        const bool sideMatches = sold ? entry.is_buy == 0 : entry.is_buy != 0;
        if (sideMatches && LocationSelected(station, entry.location_id) && entry.date.GetTime() >= cutoff &&
            entry.type_id == typeId)
            sum += entry.quantity;
    }
    return ClampQuantity(sum);
}

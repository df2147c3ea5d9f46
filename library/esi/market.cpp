// The market order download and the price query at a trade hub.
#include "library/esi/market.h"

#include "library/database/database.h"
#include "library/esi/download_dialog.h"
#include "library/esi/download_holds.h"
#include "library/esi/esi_answer.h"
#include "library/esi/market_book.h"
#include "library/sso/json_document.h"
#include "library/text_compare.h"

namespace {
struct market_hub {
    const char* name;
    int64_t station;
    const char* region;
};

constexpr market_hub kMarketHubs[] = {
    {"Amarr", 60008494, "10000043"}, {"Jita", 60003760, "10000002"}, {"Dodixie", 60011866, "10000032"},
    {"Rens", 60004588, "10000030"},  {"Hek", 60005686, "10000042"},
};

// Each book is a download of its own: a failed one holds only itself.
CString BookDownload(int64_t station, int32_t typeId, int sell) { return "Market " + BookKey(station, typeId, sell); }
}  // namespace

double GetMarketPrice(const CString& hub, const CString& item, int sell, int quantity) {
    int64_t station = 0;
    const char* region = "";
    for (const market_hub& entry : kMarketHubs) {
        if (SameTextNoCase(hub, entry.name)) {
            station = entry.station;
            region = entry.region;
            break;
        }
    }
    const item_entry* record = FindItemByName(item);
    if (!record || record->type_id == 0 || station == 0) return 0.0;
    // A negative count has no price. Taken as an unsigned count it would be priced as four billion
    // units, which the deepest books at a hub can cover.
    if (quantity < 0) return 0.0;
    const int32_t typeId = static_cast<int32_t>(record->type_id);

    if (!IsMarketFresh(station, typeId, sell)) {
        if (MayDownload(BookDownload(station, typeId, sell))) {
            CEsiDownloadDlg dialog;
            // The title shows item and hub as the caller typed them, "Market Tritanium (jita)".
            dialog.m_strTitle.Format("Market %s (%s)", static_cast<LPCSTR>(item), static_cast<LPCSTR>(hub));
            dialog.m_nMode = 1;
            dialog.m_pfnWorkerArgs = &DownloadMarketOrders;
            dialog.m_nArg = station;
            dialog.m_strArg = region;
            dialog.m_nArg1 = typeId;
            dialog.m_nArg2 = sell;
            dialog.m_pSession = &g_OAuth;
            dialog.DoModal();
        } else {
            // An old book that a hold keeps from being downloaded again is not priced as current.
            RemoveMarketOrders(station, typeId, sell);
        }
    }
    return GetMarketCost(station, typeId, sell, static_cast<uint32_t>(quantity));
}

void DownloadMarketOrders(int64_t station, CString* regionId, int typeId, int sell, OAuth2* oauth) {
    int pageCount = 1;
    int page = 0;
    const char* side = sell ? "sell" : "buy";
    RemoveMarketOrders(station, typeId, sell);
    JsonDocument document;
    do {
        ++page;
        CString path;
        path.Format("v1/markets/%s/orders/?datasource=tranquility&order_type=%s&page=%d&type_id=%d",
                    static_cast<LPCSTR>(*regionId), side, page, typeId);
        int status = 0;
        const CString answer = oauth->EsiRequest("GET", path, "", &pageCount, FALSE, &status);
        if (!ParseSuccessfulAnswer(document, answer, status)) {
            // Part of a book would price from the wrong orders and count as fresh: keep none, so
            // the query answers 0.0 and a query downloads again once the hold is over.
            RemoveMarketOrders(station, typeId, sell);
            HoldDownload(BookDownload(station, typeId, sell));
            return;
        }
        if (JsonArraySize(document.root) == 0) break;
        for (const cJSON* order : JsonChildren(document.root)) {
            const double price = JsonDouble(order, "price");
            const uint32_t volume = static_cast<uint32_t>(JsonInt(order, "volume_remain"));
            if (JsonInt64(order, "location_id") == station) AddMarketOrder(station, typeId, sell, volume, price);
        }
    } while (page < pageCount);
    EndDownloadHold(BookDownload(station, typeId, sell));
}

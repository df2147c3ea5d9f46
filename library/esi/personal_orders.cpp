// The character's own market orders download and the query of their remaining volume.
#include "library/esi/personal_orders.h"

#include "library/database/database.h"
#include "library/dates_and_hubs.h"
#include "library/esi/download_dialog.h"
#include "library/esi/esi_answer.h"
#include "library/esi/quantity_sum.h"
#include "library/sso/json_document.h"

namespace {
const char kPersonalOrdersDownload[] = "Personal Orders";
}

void DownloadPersonalOrders(OAuth2* oauth) {
    g_PersonalOrders.RemoveAll();
    JsonDocument document;
    // Only a list of orders is an answer. Anything else leaves the list empty, so that a query asks
    // again once the hold is over instead of answering 0 until the library is loaded anew.
    if (!DownloadList(oauth, "v2/characters/&user&/orders/", kPersonalOrdersDownload, document)) return;
    for (const cJSON* element : JsonChildren(document.root)) {
        charorder order;
        order.location_id = JsonInt64(element, "location_id");
        order.type_id = static_cast<uint32_t>(JsonInt(element, "type_id"));
        order.is_buy = static_cast<uint32_t>(JsonFlag(element, "is_buy_order"));
        order.volume_remain = static_cast<uint32_t>(JsonInt(element, "volume_remain"));
        g_PersonalOrders.AddTail(order);
    }
    // The closing record keeps the list from being empty, so the orders are downloaded once per
    // load; no item has type id 0, so it adds nothing to any sum.
    g_PersonalOrders.AddTail(charorder{0, 0, 0, 0});
}

int GetPersonalOrderVolume(const CString& hub, const CString& item, int sell) {
    const int64_t station = GetHubStationId(hub);
    const item_entry* record = FindItemByName(item);
    if (!record || record->type_id == 0) return 0;
    if (g_PersonalOrders.IsEmpty()) RunDownload(kPersonalOrdersDownload, &DownloadPersonalOrders);

    const uint32_t wantedSide = sell ? 0 : 1;
    int64_t sum = 0;
    POSITION position = g_PersonalOrders.GetHeadPosition();
    while (position) {
        const charorder& order = g_PersonalOrders.GetNext(position);
        if (order.type_id == record->type_id && order.is_buy == wantedSide &&
            LocationSelected(station, order.location_id))
            sum += order.volume_remain;
    }
    return ClampQuantity(sum);
}

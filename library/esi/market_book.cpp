// The cached order books, one price-ordered chain per station, item and side, and their prices.
#include "library/esi/market_book.h"

#include "library/esi/cache_lifetime.h"
#include "platform/win32api.h"

CString BookKey(int64_t station, int32_t typeId, int sell) {
    CString key;
    key.Format("%lld-%d-%c", static_cast<long long>(station), typeId, sell ? 'S' : 'B');
    return key;
}

market_order_map::~market_order_map() {
    POSITION position = GetStartPosition();
    while (position) {
        CString key;
        order_header book{};
        GetNextAssoc(position, key, book);
        FreeOrderChain(book.chain);
    }
    RemoveAll();
}

void FreeOrderChain(order_node* node) {
    while (node) {
        order_node* next = node->next;
        delete node;
        node = next;
    }
}

void RemoveMarketOrders(int64_t station, int32_t typeId, int sell) {
    const CString key = BookKey(station, typeId, sell);
    order_header book{};
    if (!g_MarketOrders.Lookup(key, book)) return;
    FreeOrderChain(book.chain);
    g_MarketOrders.RemoveKey(key);
}

void AddMarketOrder(int64_t station, int32_t typeId, int sell, uint32_t volume, double price) {
    const CString key = BookKey(station, typeId, sell);
    order_header book{};
    if (g_MarketOrders.Lookup(key, book)) {
        // A new order stands before every order of the same price.
        order_node* before = book.chain;
        order_node* at = before->next;
        while (at && (sell ? price > at->price : at->price > price)) {
            before = at;
            at = at->next;
        }
        before->next = new order_node{volume, price, at};
        return;
    }
    book.created = _time64(nullptr);
    book.chain = new order_node{0, 0.0, nullptr};
    book.chain->next = new order_node{volume, price, nullptr};
    g_MarketOrders.SetAt(key, book);
}

// A book that cannot cover the whole quantity prices it at 0.0, not at what it could cover; callers
// take 0.0 as "no price" and depend on that.
double GetMarketCost(int64_t station, int32_t typeId, int sell, uint32_t quantity) {
    uint32_t remaining = quantity;
    double cost = 0.0;
    if (remaining == 0) return 0.0;
    order_header book{};
    const order_node* node = g_MarketOrders.Lookup(BookKey(station, typeId, sell), book) ? book.chain->next : nullptr;
    for (;;) {
        if (!node) return 0.0;
        const uint32_t taken = remaining < node->volume ? remaining : node->volume;
        cost += static_cast<double>(taken) * node->price;
        remaining -= taken;
        node = node->next;
        if (remaining == 0) return cost;
    }
}

BOOL IsMarketFresh(int64_t station, int32_t typeId, int sell) {
    const int64_t now = _time64(nullptr);
    order_header book{};
    if (!g_MarketOrders.Lookup(BookKey(station, typeId, sell), book)) return FALSE;
    return now - book.created < kCacheLifetime ? TRUE : FALSE;
}

// The market order book: per station, item type and side, the orders sorted from the best price for
// whoever takes them (sell orders cheapest first, buy orders dearest first).
#pragma once

#include <cstdint>

#include "framework/afxcoll.h"
#include "framework/afxstr.h"

struct order_node {
    uint32_t volume;
    double price;
    order_node* next;
};

// One book. Its chain starts with a sentinel node that holds no order; the entry owns the chain.
struct order_header {
    int64_t created;  // when the book's first order was added
    order_node* chain;
};

// The books by "station-type-side" key; destroying it frees every chain.
class market_order_map : public CMap<CString, LPCSTR, order_header, order_header&> {
public:
    market_order_map() = default;
    ~market_order_map();
};

extern market_order_map g_MarketOrders;

// The book's key, "station-type-side" with the side S or B and the type printed signed.
CString BookKey(int64_t station, int32_t typeId, int sell);

void RemoveMarketOrders(int64_t station, int32_t typeId, int sell);
void AddMarketOrder(int64_t station, int32_t typeId, int sell, uint32_t volume, double price);
// What `quantity` units cost taken from the best orders in turn; 0.0 when the book cannot cover it.
double GetMarketCost(int64_t station, int32_t typeId, int sell, uint32_t quantity);
// The book exists and is younger than kCacheLifetime.
BOOL IsMarketFresh(int64_t station, int32_t typeId, int sell);
void FreeOrderChain(order_node* node);

// The order books, their download from the web API and the price query over them.
#include <cstdint>
#include <string>
#include <vector>

#include "library/esi/market.h"
#include "library/esi/market_book.h"
#include "tests/esi/esi_test_support.h"

namespace {

using esitest::DownloadDialogs;
using esitest::DownloadTitles;
using esitest::kJita;

constexpr int32_t kTritanium = 34;

std::string OrdersTarget(const char* region, const char* side, int page, int typeId = kTritanium) {
    return "/v1/markets/" + std::string(region) + "/orders/?datasource=tranquility&order_type=" + side +
           "&page=" + std::to_string(page) + "&type_id=" + std::to_string(typeId);
}

std::string Order(int64_t location, int volume, double price) {
    char text[160];
    std::snprintf(text, sizeof(text),
                  "{\"duration\":90,\"is_buy_order\":false,\"location_id\":%lld,\"price\":%.2f,\"volume_remain\":%d}",
                  static_cast<long long>(location), price, volume);
    return text;
}

std::string Orders(const std::vector<std::string>& orders) {
    std::string text = "[";
    for (size_t i = 0; i < orders.size(); ++i) text += (i ? "," : "") + orders[i];
    return text + "]";
}

// The book's orders after the sentinel, as (volume, price) pairs; empty when there is no book.
std::vector<std::pair<uint32_t, double>> Book(int64_t station, int32_t typeId, int sell) {
    const CString key = BookKey(station, typeId, sell);
    order_header book{};
    std::vector<std::pair<uint32_t, double>> orders;
    if (!g_MarketOrders.Lookup(key, book)) return orders;
    EXPECT_EQ(book.chain->volume, 0u);
    EXPECT_EQ(book.chain->price, 0.0);
    for (const order_node* node = book.chain->next; node; node = node->next)
        orders.emplace_back(node->volume, node->price);
    return orders;
}

// Moves a book's making time to `created`.
void SetCreated(int64_t station, int32_t typeId, int sell, int64_t created) {
    const CString key = BookKey(station, typeId, sell);
    order_header book{};
    ASSERT_TRUE(g_MarketOrders.Lookup(key, book));
    book.created = created;
    g_MarketOrders.SetAt(key, book);
}

using Pairs = std::vector<std::pair<uint32_t, double>>;

class MarketBookTest : public esitest::EsiTest {};

TEST_F(MarketBookTest, KeepsEachSideSortedFromTheBestPriceNewestFirstAmongEquals) {
    for (double price : {7.0, 5.0, 6.0}) {
        AddMarketOrder(kJita, kTritanium, 1, 1, price);
        AddMarketOrder(kJita, kTritanium, 0, 1, price);
    }
    EXPECT_EQ(Book(kJita, kTritanium, 1), (Pairs{{1, 5.0}, {1, 6.0}, {1, 7.0}}));
    EXPECT_EQ(Book(kJita, kTritanium, 0), (Pairs{{1, 7.0}, {1, 6.0}, {1, 5.0}}));

    AddMarketOrder(kJita, kTritanium, 1, 2, 6.0);
    AddMarketOrder(kJita, kTritanium, 0, 2, 6.0);
    AddMarketOrder(kJita, kTritanium, 1, 3, 9.0);
    AddMarketOrder(kJita, kTritanium, 0, 3, 1.0);
    EXPECT_EQ(Book(kJita, kTritanium, 1), (Pairs{{1, 5.0}, {2, 6.0}, {1, 6.0}, {1, 7.0}, {3, 9.0}}));
    EXPECT_EQ(Book(kJita, kTritanium, 0), (Pairs{{1, 7.0}, {2, 6.0}, {1, 6.0}, {1, 5.0}, {3, 1.0}}));
}

TEST_F(MarketBookTest, StationTypeAndSideMakeOneKey) {
    AddMarketOrder(kJita, kTritanium, 1, 10, 5.0);
    AddMarketOrder(kJita, kTritanium, 0, 10, 4.0);
    AddMarketOrder(kJita, 35, 1, 10, 9.0);
    AddMarketOrder(esitest::kAmarr, kTritanium, 1, 10, 6.0);
    AddMarketOrder(-5, -7, 7, 1, 1.0);  // any nonzero flag is the sell side
    EXPECT_EQ(g_MarketOrders.GetCount(), 5);
    order_header book{};
    EXPECT_TRUE(g_MarketOrders.Lookup("60003760-34-S", book));
    EXPECT_TRUE(g_MarketOrders.Lookup("60003760-34-B", book));
    EXPECT_TRUE(g_MarketOrders.Lookup("60003760-35-S", book));
    EXPECT_TRUE(g_MarketOrders.Lookup("60008494-34-S", book));
    EXPECT_TRUE(g_MarketOrders.Lookup("-5--7-S", book));
    EXPECT_DOUBLE_EQ(GetMarketCost(kJita, kTritanium, 1, 2), 10.0);
    EXPECT_DOUBLE_EQ(GetMarketCost(kJita, kTritanium, 0, 2), 8.0);
    EXPECT_DOUBLE_EQ(GetMarketCost(kJita, 35, 1, 2), 18.0);
    EXPECT_DOUBLE_EQ(GetMarketCost(esitest::kAmarr, kTritanium, 1, 2), 12.0);
}

TEST_F(MarketBookTest, CostWalksTheBestOrdersInTurn) {
    AddMarketOrder(kJita, kTritanium, 1, 10, 5.0);
    EXPECT_DOUBLE_EQ(GetMarketCost(kJita, kTritanium, 1, 4), 20.0);
    EXPECT_DOUBLE_EQ(GetMarketCost(kJita, kTritanium, 1, 10), 50.0);
    EXPECT_EQ(GetMarketCost(kJita, kTritanium, 1, 11), 0.0);
    EXPECT_EQ(GetMarketCost(kJita, kTritanium, 1, 0), 0.0);
    EXPECT_EQ(GetMarketCost(kJita, kTritanium, 0, 1), 0.0);  // no buy book
    EXPECT_EQ(GetMarketCost(kJita, 35, 1, 0), 0.0);

    AddMarketOrder(kJita, kTritanium, 1, 0, 1.0);  // offers nothing: passed over
    AddMarketOrder(kJita, kTritanium, 1, 5, 7.0);
    AddMarketOrder(kJita, kTritanium, 1, 3, 4.0);
    EXPECT_DOUBLE_EQ(GetMarketCost(kJita, kTritanium, 1, 3), 12.0);
    EXPECT_DOUBLE_EQ(GetMarketCost(kJita, kTritanium, 1, 14), 12.0 + 50.0 + 7.0);
    EXPECT_DOUBLE_EQ(GetMarketCost(kJita, kTritanium, 1, 18), 12.0 + 50.0 + 35.0);
    EXPECT_EQ(GetMarketCost(kJita, kTritanium, 1, 19), 0.0);
    // A negative quantity is a count of more than two billion units.
    AddMarketOrder(kJita, kTritanium, 1, 2000000000u, 1.0);
    EXPECT_EQ(GetMarketCost(kJita, kTritanium, 1, static_cast<uint32_t>(-1)), 0.0);
    AddMarketOrder(kJita, kTritanium, 1, 4000000000u, 1.0);
    EXPECT_GT(GetMarketCost(kJita, kTritanium, 1, static_cast<uint32_t>(-1)), 4e9);
}

TEST_F(MarketBookTest, FreshForJustUnder900Seconds) {
    EXPECT_FALSE(IsMarketFresh(kJita, kTritanium, 1));
    AddMarketOrder(kJita, kTritanium, 1, 10, 5.0);
    EXPECT_TRUE(IsMarketFresh(kJita, kTritanium, 1));
    EXPECT_FALSE(IsMarketFresh(kJita, kTritanium, 0));

    bool at899 = false, at900 = true;
    ASSERT_TRUE(esitest::WithinOneSecond([&](time_t now) {
        SetCreated(kJita, kTritanium, 1, now - 899);
        at899 = IsMarketFresh(kJita, kTritanium, 1);
        SetCreated(kJita, kTritanium, 1, now - 900);
        at900 = IsMarketFresh(kJita, kTritanium, 1);
    }));
    EXPECT_TRUE(at899);
    EXPECT_FALSE(at900);

    // A book made "in the future" (the clock was set back) is fresh.
    SetCreated(kJita, kTritanium, 1, time(nullptr) + 100000);
    EXPECT_TRUE(IsMarketFresh(kJita, kTritanium, 1));
    // Adding to a book does not make it younger.
    SetCreated(kJita, kTritanium, 1, time(nullptr) - 5000);
    AddMarketOrder(kJita, kTritanium, 1, 1, 1.0);
    EXPECT_FALSE(IsMarketFresh(kJita, kTritanium, 1));
}

TEST_F(MarketBookTest, RemovingIsHarmlessForMissingKeysAndLeavesAUsableMap) {
    RemoveMarketOrders(kJita, kTritanium, 1);
    AddMarketOrder(kJita, kTritanium, 1, 10, 5.0);
    AddMarketOrder(kJita, kTritanium, 1, 10, 6.0);
    RemoveMarketOrders(kJita, kTritanium, 0);
    EXPECT_EQ(g_MarketOrders.GetCount(), 1);
    RemoveMarketOrders(kJita, kTritanium, 1);
    EXPECT_EQ(g_MarketOrders.GetCount(), 0);
    EXPECT_FALSE(IsMarketFresh(kJita, kTritanium, 1));
    EXPECT_EQ(GetMarketCost(kJita, kTritanium, 1, 1), 0.0);
    AddMarketOrder(kJita, kTritanium, 1, 1, 8.0);
    EXPECT_EQ(Book(kJita, kTritanium, 1), (Pairs{{1, 8.0}}));
}

class MarketDownloadTest : public esitest::EsiTest {};

TEST_F(MarketDownloadTest, DownloadsTheHubsSideAndKeepsOnlyOrdersAtTheStation) {
    api.Set(OrdersTarget("10000002", "sell", 1), 200,
            Orders({Order(kJita, 10, 5.0), Order(1022734985679, 100, 1.0), Order(60003466, 100, 1.0),
                    Order(kJita, 5, 4.5), "{\"price\":1.0,\"volume_remain\":100,\"location_id\":\"60003760\"}"}));
    EXPECT_DOUBLE_EQ(GetMarketPrice("jita", "Tritanium", 1, 7), 5 * 4.5 + 2 * 5.0);
    EXPECT_EQ(Targets(), std::vector<std::string>{OrdersTarget("10000002", "sell", 1)});
    EXPECT_EQ(Book(kJita, kTritanium, 1), (Pairs{{5, 4.5}, {10, 5.0}}));
    EXPECT_EQ(DownloadTitles(), std::vector<std::string>{"Market Tritanium (jita)"});
    const auto requests = api.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].Header("authorization"), "Bearer x");
    EXPECT_TRUE(esitest::BoxTexts().empty());
}

TEST_F(MarketDownloadTest, TheTitleShowsItemAndHubAsTyped) {
    api.Set("/v1/markets/10000002/orders/", 200, "[]");
    GetMarketPrice("JITA", "tRITANIUM", 0, 1);
    EXPECT_EQ(DownloadTitles(), std::vector<std::string>{"Market tRITANIUM (JITA)"});
    EXPECT_EQ(Targets(), std::vector<std::string>{OrdersTarget("10000002", "buy", 1)});
}

TEST_F(MarketDownloadTest, EveryHubHasItsRegionAndStation) {
    struct Hub {
        const char* name;
        const char* region;
        int64_t station;
    };
    const Hub hubs[] = {{"Amarr", "10000043", esitest::kAmarr},
                        {"Jita", "10000002", kJita},
                        {"Dodixie", "10000032", esitest::kDodixie},
                        {"Rens", "10000030", esitest::kRens},
                        {"Hek", "10000042", esitest::kHek}};
    // Every region answers with one order at each hub; only the asked hub's order counts.
    std::vector<std::string> everywhere;
    for (size_t i = 0; i < 5; ++i) everywhere.push_back(Order(hubs[i].station, 1, 10.0 * double(i + 1)));
    for (const Hub& hub : hubs) api.Set(OrdersTarget(hub.region, "sell", 1), 200, Orders(everywhere));
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_DOUBLE_EQ(GetMarketPrice(hubs[i].name, "Tritanium", 1, 1), 10.0 * double(i + 1)) << hubs[i].name;
        EXPECT_EQ(GetMarketPrice(hubs[i].name, "Tritanium", 1, 2), 0.0) << hubs[i].name;  // fresh: no download
        EXPECT_EQ(api.Requests().back().target, OrdersTarget(hubs[i].region, "sell", 1));
    }
    EXPECT_EQ(api.RequestCount(), 5u);
}

TEST_F(MarketDownloadTest, UnknownHubsAndItemsCostNothingAndDownloadNothing) {
    api.Set("/v1/markets/10000002/orders/", 200, Orders({Order(kJita, 10, 5.0)}));
    EXPECT_EQ(GetMarketPrice("other", "Tritanium", 1, 1), 0.0);
    EXPECT_EQ(GetMarketPrice("", "Tritanium", 1, 1), 0.0);
    EXPECT_EQ(GetMarketPrice("Jita ", "Tritanium", 1, 1), 0.0);
    EXPECT_EQ(GetMarketPrice("Perimeter", "Tritanium", 1, 1), 0.0);
    EXPECT_EQ(GetMarketPrice("Jita", "Not An Item", 1, 1), 0.0);
    EXPECT_EQ(GetMarketPrice("Jita", "", 1, 1), 0.0);
    EXPECT_EQ(api.RequestCount(), 0u);
    EXPECT_TRUE(DownloadDialogs().empty());
}

TEST_F(MarketDownloadTest, BuyAndSellSidesAreSeparateBooksWithSeparateDownloads) {
    api.Set(OrdersTarget("10000002", "sell", 1), 200, Orders({Order(kJita, 10, 5.0), Order(kJita, 10, 6.0)}));
    api.Set(OrdersTarget("10000002", "buy", 1), 200, Orders({Order(kJita, 10, 4.0), Order(kJita, 10, 4.5)}));
    EXPECT_DOUBLE_EQ(GetMarketPrice("Jita", "Tritanium", 1, 12), 50.0 + 12.0);
    EXPECT_DOUBLE_EQ(GetMarketPrice("Jita", "Tritanium", 0, 12), 45.0 + 8.0);
    EXPECT_DOUBLE_EQ(GetMarketPrice("Jita", "Tritanium", 1, 1), 5.0);
    EXPECT_DOUBLE_EQ(GetMarketPrice("Jita", "Tritanium", 0, 1), 4.5);
    EXPECT_EQ(Targets(), (std::vector<std::string>{OrdersTarget("10000002", "sell", 1),
                                                   OrdersTarget("10000002", "buy", 1)}));
    EXPECT_EQ(DownloadDialogs().size(), 2u);
}

TEST_F(MarketDownloadTest, AFreshBookIsUsedAndAStaleOneDownloadedAgain) {
    api.Set(OrdersTarget("10000002", "sell", 1), 200, Orders({Order(kJita, 10, 5.0)}));
    EXPECT_DOUBLE_EQ(GetMarketPrice("Jita", "Tritanium", 1, 1), 5.0);
    EXPECT_DOUBLE_EQ(GetMarketPrice("jita", "Tritanium", 1, 2), 10.0);
    EXPECT_EQ(api.RequestCount(), 1u);

    size_t requests899 = 0, requests900 = 0;
    ASSERT_TRUE(esitest::WithinOneSecond([&](time_t now) {
        const size_t before = api.RequestCount();
        SetCreated(kJita, kTritanium, 1, now - 899);
        GetMarketPrice("Jita", "Tritanium", 1, 1);
        requests899 = api.RequestCount() - before;
    }));
    EXPECT_EQ(requests899, 0u);

    // The book of the new download replaces the old one.
    api.Set(OrdersTarget("10000002", "sell", 1), 200, Orders({Order(kJita, 3, 7.0)}));
    const size_t before = api.RequestCount();
    SetCreated(kJita, kTritanium, 1, time(nullptr) - 900);
    EXPECT_EQ(GetMarketPrice("Jita", "Tritanium", 1, 4), 0.0);
    requests900 = api.RequestCount() - before;
    EXPECT_EQ(requests900, 1u);
    EXPECT_EQ(Book(kJita, kTritanium, 1), (Pairs{{3, 7.0}}));

    // A quantity of 0 costs nothing, but a stale book is still downloaded first.
    SetCreated(kJita, kTritanium, 1, time(nullptr) - 901);
    EXPECT_EQ(GetMarketPrice("Jita", "Tritanium", 1, 0), 0.0);
    EXPECT_EQ(api.RequestCount(), before + 2);
}

TEST_F(MarketDownloadTest, ANegativeQuantityCostsNothing) {
    // Six billion units on offer: more than any 32-bit count, negative ones read as unsigned included.
    api.Set(OrdersTarget("10000002", "sell", 1), 200,
            Orders({Order(kJita, 2000000000, 5.0), Order(kJita, 2000000000, 5.0), Order(kJita, 2000000000, 5.0)}));
    EXPECT_EQ(GetMarketPrice("Jita", "Tritanium", 1, -1), 0.0);
    EXPECT_DOUBLE_EQ(GetMarketPrice("Jita", "Tritanium", 1, 2), 10.0);
    EXPECT_EQ(GetMarketPrice("Jita", "Tritanium", 1, -1), 0.0);
    EXPECT_EQ(api.RequestCount(), 1u);
}

TEST_F(MarketDownloadTest, NoOrderAtTheStationLeavesNoBookSoEveryQueryDownloads) {
    api.Set(OrdersTarget("10000002", "sell", 1), 200, Orders({Order(60003466, 10, 5.0)}));
    EXPECT_EQ(GetMarketPrice("Jita", "Tritanium", 1, 1), 0.0);
    EXPECT_EQ(GetMarketPrice("Jita", "Tritanium", 1, 1), 0.0);
    EXPECT_EQ(api.RequestCount(), 2u);
    EXPECT_EQ(g_MarketOrders.GetCount(), 0);
}

TEST_F(MarketDownloadTest, PagesAreReadAsTheAnswersAnnounce) {
    const fakes::HeaderList three = {{"X-Pages", "3"}};
    api.Set(OrdersTarget("10000002", "sell", 1), 200, Orders({Order(kJita, 1, 5.0)}), three);
    api.Set(OrdersTarget("10000002", "sell", 2), 200, Orders({Order(kJita, 1, 4.0)}), three);
    api.Set(OrdersTarget("10000002", "sell", 3), 200, Orders({Order(kJita, 1, 6.0)}), three);
    EXPECT_DOUBLE_EQ(GetMarketPrice("Jita", "Tritanium", 1, 3), 15.0);
    EXPECT_EQ(Targets(), (std::vector<std::string>{OrdersTarget("10000002", "sell", 1),
                                                   OrdersTarget("10000002", "sell", 2),
                                                   OrdersTarget("10000002", "sell", 3)}));
    EXPECT_EQ(Book(kJita, kTritanium, 1), (Pairs{{1, 4.0}, {1, 5.0}, {1, 6.0}}));
}

TEST_F(MarketDownloadTest, AnEmptyPageEndsTheDownloadAndKeepsTheEarlierOrders) {
    const fakes::HeaderList three = {{"X-Pages", "3"}};
    api.Set(OrdersTarget("10000002", "sell", 1), 200, Orders({Order(kJita, 1, 5.0)}), three);
    api.Set(OrdersTarget("10000002", "sell", 2), 200, "[]", three);
    api.Set(OrdersTarget("10000002", "sell", 3), 200, Orders({Order(kJita, 1, 6.0)}), three);
    EXPECT_DOUBLE_EQ(GetMarketPrice("Jita", "Tritanium", 1, 1), 5.0);
    EXPECT_EQ(api.RequestCount(), 2u);
    EXPECT_EQ(CountTarget(OrdersTarget("10000002", "sell", 3)), 0u);
    EXPECT_TRUE(IsMarketFresh(kJita, kTritanium, 1));
}

// A page fails when its request fails, its status is 300 or more, or its text is not JSON. Part of
// a book is no book: the price is not taken from the first page's orders, and nothing stays fresh.
TEST_F(MarketDownloadTest, AFailedLaterPageLeavesNoBookAndIsDownloadedAgainAfterTheHold) {
    const fakes::HeaderList two = {{"X-Pages", "2"}};
    api.Set(OrdersTarget("10000002", "sell", 1), 200, Orders({Order(kJita, 100, 5.0)}), two);
    const std::vector<fakes::HttpResponse> failures = {
        fakes::HttpResponse::Text(502, "{\"error\":\"Bad gateway\"}", "application/json"),
        fakes::HttpResponse::Text(200, "<html>busy</html>"), fakes::HttpResponse::CloseWithoutAnswer()};
    for (const fakes::HttpResponse& failure : failures) {
        api.Set(OrdersTarget("10000002", "sell", 2), failure);
        EXPECT_EQ(GetMarketPrice("Jita", "Tritanium", 1, 100), 0.0) << failure.body;
        EXPECT_EQ(g_MarketOrders.GetCount(), 0) << failure.body;
        esitest::LetHoldsPass();
    }
    EXPECT_EQ(api.RequestCount(), 6u);
    EXPECT_EQ(esitest::BoxTexts(), std::vector<std::string>{"Web Access failed: 502\n{\"error\":\"Bad gateway\"}"});

    api.Set(OrdersTarget("10000002", "sell", 2), 200, Orders({Order(kJita, 100, 1.0)}), two);
    EXPECT_DOUBLE_EQ(GetMarketPrice("Jita", "Tritanium", 1, 100), 100.0);
    EXPECT_DOUBLE_EQ(GetMarketPrice("Jita", "Tritanium", 1, 200), 600.0);
    EXPECT_EQ(api.RequestCount(), 8u);
}

TEST_F(MarketDownloadTest, AFailedFirstPageLeavesNoBook) {
    AddMarketOrder(kJita, kTritanium, 1, 100, 1.0);
    SetCreated(kJita, kTritanium, 1, time(nullptr) - 1000);
    api.Set(OrdersTarget("10000002", "sell", 1), 200, "");
    EXPECT_EQ(GetMarketPrice("Jita", "Tritanium", 1, 1), 0.0);
    EXPECT_EQ(g_MarketOrders.GetCount(), 0);  // the old book went before the request
    EXPECT_EQ(api.RequestCount(), 1u);
}

}  // namespace

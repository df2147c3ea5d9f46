// The downloads' parsing and the queries over the caches, each beside a baseline where one exists:
// - an asset page of 1,000 elements: the whole character download over loopback (two requests to a
//   fake web API in this process: the page and the names of its containers), a parse followed by
//   the downloads' own page step KeepUnlockedAssets, the document parse alone, the indexed element
//   access alone, and a bare cJSON_Parse of the same text;
// - GetAssetQuantity over 100,000 cached assets;
// - GetMarketCost and GetMarketPrice against a fresh book of 10,000 orders;
// - building a book with AddMarketOrder from random, rising and falling prices.
#include <benchmark/benchmark.h>
#include <cjson/cJSON.h>

#include <cstdio>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "library/esi/assets.h"
#include "library/esi/market.h"
#include "library/esi/market_book.h"
#include "library/sso/json_document.h"
#include "library/sso/oauth2.h"
#include "tests/fakes/fake_services.h"

namespace {

constexpr int kCharacter = 90000001;
constexpr int64_t kJita = 60003760;
constexpr int32_t kTritanium = 34;

// One page as the web API gives it: 1,000 items, all in unlocked containers, spread over 50 of them.
const std::string& AssetPage() {
    static const std::string page = [] {
        std::string text = "[";
        char element[320];
        for (int i = 0; i < 1000; ++i) {
            std::snprintf(element, sizeof(element),
                          "%s{\"is_singleton\":false,\"item_id\":%lld,\"location_flag\":\"Unlocked\","
                          "\"location_id\":%lld,\"location_type\":\"item\",\"quantity\":%d,\"type_id\":%d}",
                          i ? "," : "", 1030000000000LL + i, 1020000000000LL + i % 50, 1 + i % 977,
                          34 + i % 40);
            text += element;
        }
        return text + "]";
    }();
    return page;
}

void PointAt(const fakes::FakeWebApi& api) {
    g_OAuth.accessToken = "bench";
    g_OAuth.tokenTime = CTime(time(nullptr) + 100000);  // young for the whole run
    g_OAuth.characterId = kCharacter;
    g_OAuth.esiBaseUrl = api.BaseUrl().c_str();
}

// The character download as the worker runs it: request, parse, keep, stamp, names request.
void AssetPage_DownloadOverLoopback(benchmark::State& state) {
    fakes::FakeWebApi api;
    const std::string base = "/v5/characters/" + std::to_string(kCharacter);
    api.Set(base + "/assets/", 200, AssetPage());
    api.Set("/v1/characters/" + std::to_string(kCharacter) + "/assets/names/", 200, "[]");
    PointAt(api);
    for (auto _ : state) {
        DownloadCharacterAssets(&g_OAuth);
        benchmark::DoNotOptimize(g_CharAssets.GetSize());
    }
    if (g_CharAssets.GetSize() != 1000 || g_CharAssetNames.GetCount() != 50) state.SkipWithError("wrong result");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(AssetPage().size()));
    g_CharAssets.RemoveAll();
    g_CharAssetNames.RemoveAll();
}
BENCHMARK(AssetPage_DownloadOverLoopback)->Unit(benchmark::kMicrosecond);

// The download's page step without the request: empty the caches, parse the page into a
// JsonDocument and run the downloads' own KeepUnlockedAssets over it.
void AssetPage_ParseAndKeep(benchmark::State& state) {
    const CString page(AssetPage().c_str());
    for (auto _ : state) {
        g_CharAssets.RemoveAll();
        g_CharAssetNames.RemoveAll();
        JsonDocument document;
        if (!document.Parse(page)) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(KeepUnlockedAssets(document, g_CharAssets, g_CharAssetNames));
    }
    if (g_CharAssets.GetSize() != 1000) state.SkipWithError("wrong result");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(AssetPage().size()));
    g_CharAssets.RemoveAll();
    g_CharAssetNames.RemoveAll();
}
BENCHMARK(AssetPage_ParseAndKeep)->Unit(benchmark::kMicrosecond);

// JsonDocument::Parse alone (cJSON_Parse of the CString's text, and freeing the tree before).
void AssetPage_JsonDocumentParse(benchmark::State& state) {
    const CString page(AssetPage().c_str());
    JsonDocument document;
    for (auto _ : state) benchmark::DoNotOptimize(document.Parse(page));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(AssetPage().size()));
}
BENCHMARK(AssetPage_JsonDocumentParse)->Unit(benchmark::kMicrosecond);

// The baseline: a bare cJSON_Parse of the same text and the freeing of its tree.
void AssetPage_BareCJsonParse(benchmark::State& state) {
    const std::string& page = AssetPage();
    for (auto _ : state) {
        cJSON* root = cJSON_Parse(page.c_str());
        benchmark::DoNotOptimize(root);
        cJSON_Delete(root);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(page.size()));
}
BENCHMARK(AssetPage_BareCJsonParse)->Unit(benchmark::kMicrosecond);

// The readers' walk over a page's elements, along their links.
void AssetPage_ElementWalk(benchmark::State& state) {
    cJSON* root = cJSON_Parse(AssetPage().c_str());
    for (auto _ : state)
        for (const cJSON* child : JsonChildren(root)) benchmark::DoNotOptimize(child);
    cJSON_Delete(root);
}
BENCHMARK(AssetPage_ElementWalk)->Unit(benchmark::kMicrosecond);

// 100,000 cached assets of 40 types (three quarters the character's, a quarter the corporation's)
// in 1,000 containers named "Box 0" to "Box 499"; the stamp is fresh, so the query only walks.
void FillAssets() {
    g_CharAssets.RemoveAll();
    g_CharAssetNames.RemoveAll();
    g_CorpAssets.RemoveAll();
    g_CorpAssetNames.RemoveAll();
    for (int i = 0; i < 100000; ++i) {
        asset_entry entry{34 + i % 40, 1 + i % 100, 1020000000000LL + i % 1000};
        (i % 4 == 3 ? g_CorpAssets : g_CharAssets).Add(entry);
    }
    for (int i = 0; i < 1000; ++i) {
        CString name;
        name.Format("Box %d", i % 500);
        g_CharAssetNames.SetAt(1020000000000LL + i, name);
        g_CorpAssetNames.SetAt(1020000000000LL + i, name);
    }
    g_AssetsTime = CTime(time(nullptr) + 100000);
}

void GetAssetQuantity_100k(benchmark::State& state, const char* item, const char* container) {
    FillAssets();
    const CString itemName(item), containerName(container);
    for (auto _ : state) benchmark::DoNotOptimize(GetAssetQuantity(itemName, containerName));
    state.SetItemsProcessed(int64_t(state.iterations()) * 100000);
}
BENCHMARK_CAPTURE(GetAssetQuantity_100k, AnyContainer, "Tritanium", "")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(GetAssetQuantity_100k, NamedContainer, "Tritanium", "box 7")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(GetAssetQuantity_100k, TypeNotHeld, "Raven", "")->Unit(benchmark::kMicrosecond);

// A book of `count` sell orders of 10 units at prices from 4.0 to 6.0.
void FillBook(int count) {
    RemoveMarketOrders(kJita, kTritanium, 1);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> price(4.0, 6.0);
    for (int i = 0; i < count; ++i) AddMarketOrder(kJita, kTritanium, 1, 10, price(random));
}

void GetMarketCost_10k(benchmark::State& state) {
    FillBook(10000);
    const uint32_t quantity = uint32_t(state.range(0));
    double cost = 0.0;
    for (auto _ : state) benchmark::DoNotOptimize(cost = GetMarketCost(kJita, kTritanium, 1, quantity));
    if (cost == 0.0) state.SkipWithError("not covered");
    state.counters["orders_walked"] = double((quantity + 9) / 10);
    RemoveMarketOrders(kJita, kTritanium, 1);
}
BENCHMARK(GetMarketCost_10k)->Arg(1)->Arg(50000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// The price query on a fresh book: hub and name lookups, the freshness test and the walk.
void GetMarketPrice_10kFresh(benchmark::State& state) {
    FillBook(10000);
    const CString hub("Jita"), item("Tritanium");
    const int quantity = int(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(GetMarketPrice(hub, item, 1, quantity));
    RemoveMarketOrders(kJita, kTritanium, 1);
}
BENCHMARK(GetMarketPrice_10kFresh)->Arg(1)->Arg(100000)->Unit(benchmark::kMicrosecond);

// Building a book order by order. Each insert walks the sorted chain from the best price, so random
// prices cost about n^2/4 steps, rising sell prices (each the worst so far) n^2/2, falling ones n.
enum class Prices { Random, Rising, Falling };

void AddMarketOrder_Build(benchmark::State& state, Prices prices) {
    const int count = int(state.range(0));
    std::vector<double> values(static_cast<size_t>(count));
    std::mt19937 random(11);
    std::uniform_real_distribution<double> price(1.0, 1000.0);
    for (int i = 0; i < count; ++i)
        values[size_t(i)] = prices == Prices::Random ? price(random)
                            : prices == Prices::Rising ? 1.0 + i * 0.01
                                                       : 1.0 + (count - i) * 0.01;
    for (auto _ : state) {
        for (double value : values) AddMarketOrder(kJita, kTritanium, 1, 10, value);
        state.PauseTiming();
        RemoveMarketOrders(kJita, kTritanium, 1);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * count);
}
BENCHMARK_CAPTURE(AddMarketOrder_Build, Random, Prices::Random)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(AddMarketOrder_Build, Rising, Prices::Rising)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(AddMarketOrder_Build, Falling, Prices::Falling)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

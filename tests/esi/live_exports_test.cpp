// The live-data exports and GetInventionChance as a macro host calls them: the built library loaded
// by file name, a stored sign-in that the fake sign-on service refreshes, the fake web API behind
// every download. The library is loaded once for the program; each test asks for data of its own.
#include <chrono>
#include <ctime>
#include <future>
#include <string>
#include <vector>

#include "tests/esi/live_host_suite.h"
#include "tests/support/esi_date.h"

namespace {

using livetest::Array;
using LiveExports = livetest::LiveDataHost;

TEST_F(LiveExports, MissingArgumentsGiveZeroAndStartNothing) {
    ExpectZeroForMissingLiveDataArguments();
    HostText jita("Jita"), item("Tritanium"), container("Box");
    HostText missing = HostText::Missing();
    short sell = 1;
    int quantity = 10;
    EXPECT_EQ(x.GetMarket(nullptr, item.Arg(), &sell, &quantity), 0.0);
    EXPECT_EQ(x.GetMarket(jita.Arg(), missing.Arg(), &sell, &quantity), 0.0);
    EXPECT_EQ(x.GetAssets(nullptr, container.Arg()), 0);
    EXPECT_EQ(x.GetAssets(item.Arg(), missing.Arg()), 0);
    // A missing item is an empty name, which no item has: no download either.
    EXPECT_EQ(x.GetPersonalOrders(jita.Arg(), missing.Arg(), &sell), 0);
    EXPECT_EQ(x.GetPersonalOrders(jita.Arg(), nullptr, &sell), 0);
    EXPECT_EQ(x.GetInventionChance(missing.Arg(), nullptr), 0.0);
    EXPECT_EQ(x.GetInventionChance(nullptr, nullptr), 0.0);
    HostText unknown("Not An Item");
    EXPECT_EQ(x.GetInventionChance(unknown.Arg(), nullptr), 0.0);
    HostText tritanium("Tritanium");  // an item without invention
    EXPECT_EQ(x.GetInventionChance(tritanium.Arg(), nullptr), 0.0);
    ExpectNothingStarted();
}

TEST_F(LiveExports, MarketPricesTheHubsBookOfTheAskedSide) {
    const std::string sellTarget =
        "/v1/markets/10000002/orders/?datasource=tranquility&order_type=sell&page=1&type_id=34";
    const std::string buyTarget =
        "/v1/markets/10000002/orders/?datasource=tranquility&order_type=buy&page=1&type_id=34";
    api.Set(sellTarget, 200,
            Array({"{\"location_id\":60003760,\"price\":5.0,\"volume_remain\":10}",
                   "{\"location_id\":60003760,\"price\":4.0,\"volume_remain\":10}",
                   "{\"location_id\":60003466,\"price\":1.0,\"volume_remain\":1000}"}));
    api.Set(buyTarget, 200, Array({"{\"location_id\":60003760,\"price\":3.5,\"volume_remain\":100}"}));
    HostText hub("jita"), item("Tritanium");
    short sell = -1;  // any nonzero value is the sell side
    int quantity = 15;
    EXPECT_DOUBLE_EQ(x.GetMarket(hub.Arg(), item.Arg(), &sell, &quantity), 10 * 4.0 + 5 * 5.0);
    sell = 0;
    quantity = 100;
    EXPECT_DOUBLE_EQ(x.GetMarket(hub.Arg(), item.Arg(), &sell, &quantity), 350.0);
    quantity = 101;
    EXPECT_EQ(x.GetMarket(hub.Arg(), item.Arg(), &sell, &quantity), 0.0);
    EXPECT_EQ(Requests(), 2u);
    EXPECT_EQ(DownloadTitles(), (std::vector<std::string>{"Market Tritanium (jita)", "Market Tritanium (jita)"}));
    ExpectSignedInByRefresh();
}

// The host closing: a WM_QUIT ends the download dialog's loop while the download still runs. The
// query waits for it, and the quit message stays for the host's own loop.
TEST_F(LiveExports, AQuitMessageDuringADownloadWaitsForIt) {
    const unsigned before = firstRecord_;
    // Answers only once the dialog is gone, so the download outlasts the modal loop.
    api.SetHandler(
        "/v1/markets/10000043/orders/?datasource=tranquility&order_type=sell&page=1&type_id=34",
        [before](const fakes::HttpRequest&) {
            const unsigned dialog = qp::observer::WaitDialog("ESI Download", 10000, before, false);
            EXPECT_TRUE(dialog && QpObserverWaitEnded(dialog, 10000));
            return fakes::HttpResponse::Text(200, "[{\"location_id\":60008494,\"price\":2.5,\"volume_remain\":8}]",
                                             "application/json");
        });
    HostText hub("Amarr"), item("Tritanium");
    short sell = 1;
    int quantity = 8;
    ExpectQuitMessageKeptThrough(
        [&] { EXPECT_DOUBLE_EQ(x.GetMarket(hub.Arg(), item.Arg(), &sell, &quantity), 20.0); });
    EXPECT_EQ(DownloadTitles(), std::vector<std::string>{"Market Tritanium (Amarr)"});
}

// Host code that runs while an export waits in the download window: the window's loop dispatches a
// message of the host's (a timer macro, say) on the same thread, and the handler calls exports.
struct ReentryProbe {
    static inline QuarnelsExports* exports = nullptr;
    static inline DLGPROC windowProc = nullptr;
    static inline std::vector<double> answers;
    static inline std::promise<void> done;

    static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != WM_APP) return windowProc(window, message, wParam, lParam);
        HostText hub("Jita"), item("Tritanium"), container("");
        short sell = 1, days = 30, sold = 1;
        int quantity = 1;
        BSTR name = nullptr;
        answers = {exports->GetMarket(hub.Arg(), item.Arg(), &sell, &quantity),
                   double(exports->GetAssets(item.Arg(), container.Arg())),
                   double(exports->GetPersonalOrders(hub.Arg(), item.Arg(), &sell)),
                   double(exports->GetTransactionAmount(item.Arg(), hub.Arg(), &days, &sold)),
                   double(exports->GetProduction(item.Arg())),
                   double(exports->GetUser(&name)),
                   exports->GetInventionChance(HostText("Small Shield Extender II").Arg(), nullptr)};
        EXPECT_EQ(name, nullptr);
        done.set_value();
        return TRUE;
    }
};

TEST_F(LiveExports, AnExportCalledAgainDuringADownloadAnswersEmptyAndStartsNothing) {
    const unsigned before = firstRecord_;
    ReentryProbe::exports = &x;
    std::future<void> called = ReentryProbe::done.get_future();
    api.SetHandler(
        "/v1/markets/10000042/orders/?datasource=tranquility&order_type=sell&page=1&type_id=34",
        [before, &called](const fakes::HttpRequest&) {
            const unsigned dialog = qp::observer::WaitDialog("ESI Download", 10000, before, true);
            const HWND window = dialog ? qp::observer::Record(dialog).window : nullptr;
            if (window) {
                ReentryProbe::windowProc =
                    reinterpret_cast<DLGPROC>(SetWindowLongPtrA(window, DWLP_DLGPROC, LONG_PTR(&ReentryProbe::Proc)));
                PostMessageA(window, WM_APP, 0, 0);
                called.wait_for(std::chrono::seconds(10));
            }
            return fakes::HttpResponse::Text(200, "[{\"location_id\":60005686,\"price\":3.0,\"volume_remain\":5}]",
                                             "application/json");
        });
    HostText hub("Hek"), item("Tritanium");
    short sell = 1;
    int quantity = 5;
    EXPECT_DOUBLE_EQ(x.GetMarket(hub.Arg(), item.Arg(), &sell, &quantity), 15.0);
    ASSERT_EQ(called.wait_for(std::chrono::seconds(0)), std::future_status::ready) << "the host's message never came";
    EXPECT_EQ(ReentryProbe::answers, std::vector<double>(7, 0.0));
    EXPECT_EQ(Requests(), 1u);
    EXPECT_EQ(DownloadTitles(), std::vector<std::string>{"Market Tritanium (Hek)"});
    EXPECT_EQ(Boxes(), 0u);
}

TEST_F(LiveExports, ProductionCountsTheJobsOfTheItem) {
    api.Set("/v1/characters/90000001/industry/jobs/", 200,
            Array({"{\"blueprint_type_id\":1000,\"product_type_id\":34,\"runs\":12}",
                   "{\"blueprint_type_id\":1000,\"product_type_id\":35,\"runs\":5}"}));
    HostText item("TRITANIUM");
    EXPECT_EQ(x.GetProduction(item.Arg()), 12);
    EXPECT_EQ(x.GetProduction(item.Arg()), 12);
    EXPECT_EQ(Requests(), 1u);
    EXPECT_EQ(DownloadTitles(), std::vector<std::string>{"Industry jobs"});
    ExpectSignedInByRefresh();
}

TEST_F(LiveExports, AssetsOfCharacterAndCorporationInNamedContainers) {
    api.Set("/v5/characters/90000001/assets/", 200,
            Array({"{\"location_flag\":\"Unlocked\",\"location_id\":1001,\"quantity\":100,\"type_id\":34}",
                   "{\"location_flag\":\"Hangar\",\"location_id\":60003760,\"quantity\":999,\"type_id\":34}"}));
    api.Set("/v1/characters/90000001/assets/names/", 200, "[{\"item_id\":1001,\"name\":\"Box\"}]");
    api.Set("/v5/characters/90000001/", 200, "{\"corporation_id\":98000001}");
    api.Set("/v5/corporations/98000001/assets/", 403, "{\"error\":\"Character does not have required role(s)\"}");
    HostText item("Tritanium"), box("box"), all("");
    EXPECT_EQ(x.GetAssets(item.Arg(), box.Arg()), 100);
    EXPECT_EQ(x.GetAssets(item.Arg(), all.Arg()), 100);
    EXPECT_EQ(Requests(), 4u);
    EXPECT_EQ(Boxes(), 0u);  // the corporation's 403 is tolerated
    EXPECT_EQ(DownloadTitles(), std::vector<std::string>{"Assets"});
    ExpectSignedInByRefresh();
}

TEST_F(LiveExports, PersonalOrdersOfOneSideAtTheChosenHub) {
    HostText jita("Jita"), item("Tritanium");
    short sell = 0;
    api.Set("/v2/characters/90000001/orders/", 200,
            Array({"{\"is_buy_order\":true,\"location_id\":60003760,\"type_id\":34,\"volume_remain\":40}",
                   "{\"location_id\":60003760,\"type_id\":34,\"volume_remain\":7}",
                   "{\"location_id\":60008494,\"type_id\":34,\"volume_remain\":3}"}));
    HostText anyHub = HostText::Missing();  // a missing hub is any location
    EXPECT_EQ(x.GetPersonalOrders(jita.Arg(), item.Arg(), &sell), 40);
    sell = 2;
    EXPECT_EQ(x.GetPersonalOrders(jita.Arg(), item.Arg(), &sell), 7);
    EXPECT_EQ(x.GetPersonalOrders(anyHub.Arg(), item.Arg(), &sell), 10);
    EXPECT_EQ(x.GetPersonalOrders(nullptr, item.Arg(), &sell), 10);
    EXPECT_EQ(Requests(), 1u);
    EXPECT_EQ(DownloadTitles(), std::vector<std::string>{"Personal Orders"});
    ExpectSignedInByRefresh();
}

TEST_F(LiveExports, TransactionsCountSalesOnlyWhenSoldIsOne) {
    const std::string date = testsupport::EsiDate(time(nullptr) - 86400);
    api.Set("/v1/characters/90000001/wallet/transactions/", 200,
            Array({"{\"date\":\"" + date + "\",\"is_buy\":false,\"location_id\":60003760,\"quantity\":5,\"type_id\":34}",
                   "{\"date\":\"" + date + "\",\"is_buy\":true,\"location_id\":60003760,\"quantity\":8,\"type_id\":34}",
                   "{\"date\":\"2015-01-01T00:00:00Z\",\"is_buy\":false,\"location_id\":60003760,\"quantity\":100,"
                   "\"type_id\":34}"}));
    HostText item("Tritanium"), jita("Jita");
    short days = 2, sold = 1;
    EXPECT_EQ(x.GetTransactionAmount(item.Arg(), jita.Arg(), &days, &sold), 5);
    for (short purchases : {0, -1, 2}) {
        sold = purchases;
        EXPECT_EQ(x.GetTransactionAmount(item.Arg(), jita.Arg(), &days, &sold), 8) << purchases;
    }
    sold = 1;
    days = 32767;
    EXPECT_EQ(x.GetTransactionAmount(item.Arg(), jita.Arg(), &days, &sold), 105);
    EXPECT_EQ(Requests(), 1u);
    EXPECT_EQ(DownloadTitles(), std::vector<std::string>{"Transactions"});
    ExpectSignedInByRefresh();
}

TEST_F(LiveExports, UserIsTheRefreshedCharacter) {
    const char old[] = "None";
    BSTR name = SysAllocStringByteLen(old, 4);
    EXPECT_EQ(x.GetUser(&name), 90000001);
    EXPECT_EQ(TakeBstr(name), "Fake Pilot");
    EXPECT_EQ(x.GetUser(nullptr), 90000001);
    EXPECT_TRUE(Dialogs().empty());
    ExpectSignedInByRefresh();
}

TEST_F(LiveExports, InventionChanceWithTheCharactersSkillsAndADecryptor) {
    // Small Shield Extender II is invented at a base chance of 0.34 with Hydromagnetic Physics (11443)
    // and Quantum Physics (11455), the science skills, and Caldari Encryption Methods (21790). Gunnery
    // (3300) has no part in it.
    api.Set("/v4/characters/90000001/skills/", 200,
            "{\"skills\":[{\"skill_id\":11443,\"active_skill_level\":4},"
            "{\"skill_id\":11455,\"active_skill_level\":3},{\"skill_id\":21790,\"active_skill_level\":2},"
            "{\"skill_id\":3300,\"active_skill_level\":5}]}");
    // 0.34 * (1 + (4 + 3) / 30 + 2 / 40) = 0.34 * 77 / 60 = 0.436333...
    const double expected = 0.4363333333333333;
    // With the Augmentation Decryptor's factor 0.6: 0.436333... * 0.6 = 0.2618.
    const double augmented = 0.2618;

    HostText blueprint("small shield extender ii"), augmentation("Augmentation Decryptor"),
        symmetry("Symmetry Decryptor"), none("Tritanium");
    EXPECT_NEAR(x.GetInventionChance(blueprint.Arg(), nullptr), expected, 1e-12);
    EXPECT_NEAR(x.GetInventionChance(blueprint.Arg(), augmentation.Arg()), augmented, 1e-12);
    EXPECT_NEAR(x.GetInventionChance(blueprint.Arg(), symmetry.Arg()), expected, 1e-12);
    EXPECT_NEAR(x.GetInventionChance(blueprint.Arg(), none.Arg()), expected, 1e-12);
    EXPECT_EQ(Requests(), 1u);
    EXPECT_EQ(DownloadTitles(), std::vector<std::string>{"Skills"});
    ExpectSignedInByRefresh();
}

}  // namespace

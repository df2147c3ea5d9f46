// The live-data exports and GetInventionChance as a macro host calls them: the built library loaded
// by file name, a stored sign-in that the fake sign-on service refreshes, the fake web API behind
// every download. The library is loaded once for the program; each test asks for data of its own.
#include <ctime>
#include <string>
#include <vector>

#include "tests/fakes/fake_services.h"
#include "tests/support/esi_date.h"
#include "tests/support/host_library.h"
#include "tests/support/host_user.h"
#include "tests/support/sign_in_aborter.h"

namespace {

std::string Array(const std::vector<std::string>& elements) {
    std::string text = "[";
    for (size_t i = 0; i < elements.size(); ++i) text += (i ? "," : "") + elements[i];
    return text + "]";
}

class LiveExports : public HostSuite {
protected:
    static void SetUpTestSuite() {
        signOn_ = new fakes::FakeSignOn;
        api_ = new fakes::FakeWebApi;
        user_ = new testsupport::HostUser(signOn_->BaseUrl(), api_->BaseUrl());
        ASSERT_FALSE(user_->Home().empty());
        // A user who signed in before: the library refreshes the stored token before its first request.
        ASSERT_TRUE(WritePrivateProfileStringA("Quarnel", "RefreshKey", "fake-refresh", LibraryIniPath().c_str()));
        aborter_ = new SignInAborter;
        LoadOnce(QUARNELS_LIBRARY_PATH);
    }
    static void TearDownTestSuite() {
        FreeOnce();
        delete aborter_;
        delete user_;
        delete api_;
        delete signOn_;
        aborter_ = nullptr;
        user_ = nullptr;
        api_ = nullptr;
        signOn_ = nullptr;
    }

    // The library stays loaded for the whole program (a library that ran threads may not unload),
    // so each test works on caches of its own and looks only at what happened since it began.
    void SetUp() override {
        HostSuite::SetUp();
        firstRecord_ = QpObserverRecordCount();
        firstRequest_ = api_->RequestCount();
    }

    std::vector<unsigned> Dialogs() const {
        std::vector<unsigned> dialogs;
        for (unsigned serial = firstRecord_ + 1; serial <= QpObserverRecordCount(); ++serial)
            if (qp::observer::Record(serial).kind == QP_UI_DIALOG) dialogs.push_back(serial);
        return dialogs;
    }
    std::vector<std::string> DownloadTitles() const {
        std::vector<std::string> titles;
        for (unsigned serial : Dialogs())
            if (qp::observer::Caption(serial) == "ESI Download") titles.push_back(qp::observer::ControlText(serial, 1000));
        return titles;
    }
    size_t Boxes() const {
        size_t boxes = 0;
        for (unsigned serial = firstRecord_ + 1; serial <= QpObserverRecordCount(); ++serial)
            boxes += qp::observer::Record(serial).kind == QP_UI_MESSAGEBOX ? 1 : 0;
        return boxes;
    }
    // Requests to the web API since the test began.
    size_t Requests() const { return api_->RequestCount() - firstRequest_; }

    // Nothing happened: no dialog, no box, no request to the web API.
    void ExpectNothingStarted() const {
        EXPECT_TRUE(Dialogs().empty());
        EXPECT_EQ(Boxes(), 0u);
        EXPECT_EQ(Requests(), 0u);
    }
    // The one sign-in of the load was a refresh and a verify, before the first web API request, and
    // every request carried the refreshed token.
    static void ExpectSignedInByRefresh() {
        const auto requests = signOn_->Requests();
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(requests[0].Path(), "/v2/oauth/token");
        EXPECT_EQ(fakes::FormOf(requests[0].body)["grant_type"], "refresh_token");
        EXPECT_EQ(requests[1].Path(), "/oauth/verify");
        const auto calls = api_->Requests();
        for (const auto& request : calls) EXPECT_EQ(request.Header("authorization"), "Bearer fake-access");
        EXPECT_EQ(aborter_->Aborted(), 0);
    }

    static inline fakes::FakeSignOn* signOn_ = nullptr;
    static inline fakes::FakeWebApi* api_ = nullptr;
    static inline testsupport::HostUser* user_ = nullptr;
    // Should a sign-in dialog open after all, it is aborted rather than left waiting.
    static inline SignInAborter* aborter_ = nullptr;
    fakes::FakeWebApi& api = *api_;
    unsigned firstRecord_ = 0;
    size_t firstRequest_ = 0;
};

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
    // An error answer is no list of orders: the next query asks again.
    api.Set("/v2/characters/90000001/orders/", 502, "{\"error\":\"Bad gateway\"}");
    HostText jita("Jita"), item("Tritanium");
    short sell = 0;
    EXPECT_EQ(x.GetPersonalOrders(jita.Arg(), item.Arg(), &sell), 0);
    EXPECT_EQ(Boxes(), 1u);

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
    EXPECT_EQ(Requests(), 2u);
    EXPECT_EQ(DownloadTitles(), (std::vector<std::string>{"Personal Orders", "Personal Orders"}));
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

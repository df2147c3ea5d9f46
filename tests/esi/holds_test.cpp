// What a failure leaves behind: a failed download is not tried again for a minute, and neither is a
// sign-in that ended without a token, so that a sheet's cells do not turn one failure into a request,
// a box or a browser tab each.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "library/esi/assets.h"
#include "library/esi/cache_lifetime.h"
#include "library/esi/download_holds.h"
#include "library/esi/industry_jobs.h"
#include "library/esi/market.h"
#include "library/esi/market_book.h"
#include "library/esi/personal_orders.h"
#include "library/esi/skills.h"
#include "library/esi/transactions.h"
#include "library/exports.h"
#include "library/retry_hold.h"
#include "tests/esi/esi_test_support.h"
#include "tests/support/esi_date.h"
#include "tests/support/sign_in_watch.h"

namespace {

using esitest::BoxTexts;
using esitest::DownloadDialogs;

const std::string kBook = "/v1/markets/10000002/orders/?datasource=tranquility&order_type=sell&page=1&type_id=34";
const std::string kOtherBook =
    "/v1/markets/10000002/orders/?datasource=tranquility&order_type=sell&page=1&type_id=35";
const std::string kCharacterAssets = "/v5/characters/90000001/assets/";
const std::string kOrders = "/v2/characters/90000001/orders/";
const std::string kTransactions = "/v1/characters/90000001/wallet/transactions/";
const std::string kJobs = "/v1/characters/90000001/industry/jobs/";
const std::string kSkills = "/v4/characters/90000001/skills/";
const std::string kNotFound = "{\"error\":\"Not found\"}";

class HoldsTest : public esitest::EsiTest {
protected:
    // Small Shield Extender II's invention: base chance 0.34, its first science skill 11443.
    invention_entry Invention() const {
        invention_entry entry{};
        entry.probability = 0.34;
        entry.skill_id[0] = 11443;
        return entry;
    }

    // One query of every download: a market book, assets, personal orders, transactions, jobs, skills.
    std::vector<double> QueryEverything() {
        const invention_entry invention = Invention();
        return {GetMarketPrice("Jita", "Tritanium", 1, 10),
                double(GetAssetQuantity("Tritanium", "")),
                double(GetPersonalOrderVolume("Jita", "Tritanium", 1)),
                double(GetTransactionQuantity("Tritanium", "Jita", 30, 1)),
                double(GetProductionAmount("Tritanium")),
                GetInventionChanceWithSkills(&invention)};
    }
    const std::vector<double> kNoData = {0.0, 0.0, 0.0, 0.0, 0.0, 0.34};

    // Every download finds data: 100 units at 2.0 in the book, 7 in the box "Box" (the corporation's
    // assets are not readable), 9 on sale, 5 sold an hour ago, 3 runs, science skill level 3.
    void AnswerWithData() {
        api.Set(kBook, 200, "[{\"location_id\":60003760,\"price\":2.0,\"volume_remain\":100}]");
        api.Set(kCharacterAssets, 200,
                "[{\"location_flag\":\"Unlocked\",\"location_id\":1001,\"quantity\":7,\"type_id\":34}]");
        api.Set("/v1/characters/90000001/assets/names/", 200, "[{\"item_id\":1001,\"name\":\"Box\"}]");
        api.Set("/v5/characters/90000001/", 200, "{\"corporation_id\":98000001}");
        api.Set("/v5/corporations/98000001/assets/", 403, "{\"error\":\"Character does not have required role(s)\"}");
        api.Set(kOrders, 200, "[{\"location_id\":60003760,\"type_id\":34,\"volume_remain\":9}]");
        api.Set(kTransactions, 200,
                "[{\"date\":\"" + testsupport::EsiDate(time(nullptr) - 3600) +
                    "\",\"is_buy\":false,\"location_id\":60003760,\"quantity\":5,\"type_id\":34}]");
        api.Set(kJobs, 200, "[{\"product_type_id\":34,\"runs\":3}]");
        api.Set(kSkills, 200, "{\"skills\":[{\"skill_id\":11443,\"active_skill_level\":3}]}");
    }

    void AnswerEverything(int status, const std::string& body) {
        for (const std::string& target : {kBook, kCharacterAssets, kOrders, kTransactions, kJobs, kSkills})
            api.Set(target, status, body);
    }
};

TEST_F(HoldsTest, AFailedDownloadIsHeldForAMinuteAndOnlyItself) {
    // A resource that fails (here each one, alone) holds its own download only.
    AnswerEverything(404, kNotFound);
    EXPECT_EQ(QueryEverything(), kNoData);
    EXPECT_EQ(api.RequestCount(), 6u);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>(6, "Web Access failed: 404\n" + kNotFound));

    // Within the hold: no request, no window, no box, even once the web API is back.
    AnswerEverything(200, "[]");
    EXPECT_EQ(QueryEverything(), kNoData);
    esitest::AgeHolds(kRetryHoldSeconds - 2);
    EXPECT_EQ(QueryEverything(), kNoData);
    EXPECT_EQ(api.RequestCount(), 6u);
    EXPECT_EQ(DownloadDialogs().size(), 6u);
    EXPECT_EQ(BoxTexts().size(), 6u);

    // Another item's book is a download of its own.
    api.Set(kOtherBook, 200, "[{\"location_id\":60003760,\"price\":4.0,\"volume_remain\":10}]");
    EXPECT_DOUBLE_EQ(GetMarketPrice("Jita", "Pyerite", 1, 10), 40.0);
    EXPECT_EQ(api.RequestCount(), 7u);

    // Once the minute has passed the next query downloads, and its success ends the hold.
    AnswerWithData();
    esitest::AgeHolds(2);
    // 10 x 2.0; 7 in the box; 9 on sale; 5 sold; 3 runs; 0.34 x (1 + 3 / 30) = 0.374.
    const std::vector<double> answers = QueryEverything();
    EXPECT_DOUBLE_EQ(answers[0], 20.0);
    EXPECT_EQ(std::vector<double>(answers.begin() + 1, answers.end() - 1), (std::vector<double>{7, 9, 5, 3}));
    EXPECT_NEAR(answers[5], 0.374, 1e-12);
    EXPECT_EQ(api.RequestCount(), 7u + 9u);
    EXPECT_TRUE(g_DownloadHolds.IsEmpty());
    EXPECT_EQ(BoxTexts().size(), 6u);
}

// The process-wide receive time limit of new requests, put back at the end of the scope.
class ReceiveTimeLimit {
public:
    explicit ReceiveTimeLimit(DWORD milliseconds) { Set(milliseconds); }
    ~ReceiveTimeLimit() { Set(60000); }

private:
    static void Set(DWORD milliseconds) {
        EXPECT_TRUE(InternetSetOptionA(nullptr, INTERNET_OPTION_RECEIVE_TIMEOUT, &milliseconds, sizeof(milliseconds)));
    }
};

// A failure of the web API as a whole holds every download, so that a sheet during the downtime sends
// one request and shows one box instead of one per cell; so does an error budget that runs low.
TEST_F(HoldsTest, OneFailureOfTheWebApiHoldsEveryDownloadAndTheLastErrorsAreLeftAlone) {
    const std::string kUnavailable = "{\"error\":\"The datasource tranquility is temporarily unavailable\"}";
    const std::string kBooks = "/v1/markets/10000002/orders/";
    const std::vector<std::string> kItems = {"Tritanium", "Pyerite", "Mexallon", "Isogen", "Nocxium"};
    // Ten downloads: five books, then the assets, orders, transactions, jobs and skills.
    const auto queryTen = [&] {
        std::vector<double> answers;
        for (const std::string& item : kItems) answers.push_back(GetMarketPrice("Jita", item.c_str(), 1, 10));
        for (double answer : QueryEverything()) answers.push_back(answer);
        answers.erase(answers.begin() + 5);  // the Tritanium book asked for twice
        return answers;
    };
    std::vector<double> noData(10, 0.0);
    noData.back() = 0.34;

    // The downtime: the first download meets it, the nine others send nothing and show nothing.
    AnswerEverything(503, kUnavailable);
    api.Set(kBooks, 503, kUnavailable);
    EXPECT_EQ(queryTen(), noData);
    EXPECT_EQ(api.RequestCount(), 1u);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Web Access failed: 503\n" + kUnavailable});
    EXPECT_EQ(DownloadDialogs().size(), 1u);

    // A minute later they download.
    const std::string kOffer = "[{\"location_id\":60003760,\"price\":2.0,\"volume_remain\":100}]";
    AnswerEverything(200, "[]");
    api.Set(kBook, 200, kOffer);
    api.Set(kBooks, 200, kOffer);
    api.Set(kSkills, 200, "{\"skills\":[]}");
    api.Set("/v5/characters/90000001/", 200, "{\"corporation_id\":98000001}");
    api.Set("/v5/corporations/98000001/assets/", 200, "[]");
    esitest::AgeHolds(kRetryHoldSeconds - 2);
    EXPECT_EQ(queryTen(), noData);
    EXPECT_EQ(api.RequestCount(), 1u);
    esitest::AgeHolds(2);
    std::vector<double> booksPriced = noData;
    std::fill(booksPriced.begin(), booksPriced.begin() + 5, 20.0);
    EXPECT_EQ(queryTen(), booksPriced);
    EXPECT_EQ(api.RequestCount(), 1u + 5u + 7u);  // the assets ask for the character's record and corporation too

    // A web API that takes the connection and never answers: the first download waits out its
    // time limit, the next one answers at once.
    esitest::ResetCaches();
    {
        ReceiveTimeLimit oneSecond(1000);
        api.Set(kBook, fakes::HttpResponse::NoAnswer());
        EXPECT_EQ(GetMarketPrice("Jita", "Tritanium", 1, 10), 0.0);
        EXPECT_EQ(GetProductionAmount("Tritanium"), 0);
        EXPECT_EQ(api.RequestCount(), 14u);
        EXPECT_EQ(BoxTexts().size(), 1u);
    }

    // An answer that leaves 3 errors in a window resetting in 12 s counts as usual, then holds
    // every download for those 12 s, the rest of a download under way too.
    const fakes::HeaderList kLastErrors = {{"X-ESI-Error-Limit-Remain", "3"}, {"X-ESI-Error-Limit-Reset", "12"}};
    esitest::ResetCaches();
    api.Set(kJobs, 200, "[{\"product_type_id\":34,\"runs\":3}]", kLastErrors);
    EXPECT_EQ(GetProductionAmount("Tritanium"), 3);
    EXPECT_EQ(GetMarketPrice("Jita", "Tritanium", 1, 10), 0.0);
    esitest::AgeHolds(10);
    EXPECT_EQ(GetMarketPrice("Jita", "Tritanium", 1, 10), 0.0);
    EXPECT_EQ(api.RequestCount(), 15u);
    esitest::AgeHolds(2);
    fakes::HeaderList twoPages = kLastErrors;
    twoPages.push_back({"X-Pages", "2"});
    api.Set(kBook, 200, kOffer, twoPages);
    EXPECT_EQ(GetMarketPrice("Jita", "Tritanium", 1, 10), 0.0);
    EXPECT_EQ(api.RequestCount(), 16u);

    // Too many requests: held for as long as the answer asks, here 5 s; a clock set back, which puts
    // the hold's start in the future, does not lengthen it.
    esitest::ResetCaches();
    api.Set(kJobs, 429, "{\"error\":\"Too many requests\"}", {{"Retry-After", "5"}});
    EXPECT_EQ(GetProductionAmount("Tritanium"), 0);
    api.Set(kJobs, 200, "[{\"product_type_id\":34,\"runs\":3}]");
    esitest::AgeHolds(3);
    EXPECT_EQ(GetMarketPrice("Jita", "Pyerite", 1, 10), 0.0);
    EXPECT_EQ(api.RequestCount(), 17u);
    esitest::AgeHolds(-3600);
    EXPECT_EQ(GetProductionAmount("Tritanium"), 3);
    EXPECT_EQ(api.RequestCount(), 18u);

    // Containers whose names the downtime kept back would count as unnamed for a whole cache lifetime:
    // no assets are kept, and they are downloaded again after the hold.
    esitest::ResetCaches();
    const std::string kCorporationNames = "/v1/corporations/98000001/assets/names/";
    api.Set("/v5/corporations/98000001/assets/", 200,
            "[{\"location_flag\":\"Unlocked\",\"location_id\":2001,\"quantity\":5,\"type_id\":34}]");
    api.Set(kCorporationNames, 503, kUnavailable);
    EXPECT_EQ(GetAssetQuantity("Tritanium", ""), 0);
    api.Set(kCorporationNames, 200, "[{\"item_id\":2001,\"name\":\"Box\"}]");
    esitest::LetHoldsPass();
    EXPECT_EQ(GetAssetQuantity("Tritanium", "Box"), 5);
    EXPECT_EQ(api.RequestCount(), 18u + 4u + 4u);

    // A book that is not found is that book's failure alone, held for its minute even when its answer
    // says the errors run low: the others download once those 12 s have passed.
    esitest::ResetCaches();
    api.Set(kBook, 404, kNotFound, kLastErrors);
    EXPECT_EQ(GetMarketPrice("Jita", "Tritanium", 1, 10), 0.0);
    esitest::AgeHolds(12);
    EXPECT_DOUBLE_EQ(GetMarketPrice("Jita", "Pyerite", 1, 10), 20.0);
    EXPECT_EQ(GetMarketPrice("Jita", "Tritanium", 1, 10), 0.0);
    EXPECT_EQ(api.RequestCount(), 28u);

    // How long each answer holds the web API.
    const struct {
        int status;
        fakes::HeaderList headers;
        int64_t seconds;
    } kHolds[] = {{500, {}, 60},
                  {502, {}, 60},
                  {504, {}, 60},
                  {420, {{"X-ESI-Error-Limit-Reset", "7"}}, 7},
                  {429, {{"Retry-After", "600"}}, 60},
                  {200, {{"X-ESI-Error-Limit-Remain", "10"}, {"X-ESI-Error-Limit-Reset", "30"}}, 30},
                  {200, {{"X-ESI-Error-Limit-Remain", "11"}, {"X-ESI-Error-Limit-Reset", "30"}}, 0},
                  {404, {}, 0}};
    for (const auto& answer : kHolds) {
        esitest::ResetCaches();
        api.Set(kJobs, answer.status, "[]", answer.headers);
        GetProductionAmount("Tritanium");
        EXPECT_EQ(g_OAuth.IsWebApiHeld() ? g_OAuth.webApiHoldSeconds : 0, answer.seconds) << answer.status;
    }
}

// While the web API or the sign-in is held, data past their lifetime are no longer answered as
// current: their queries answer as a failed download would have left them. Data within their
// lifetime, and those downloaded once per load, are answered as they are.
TEST_F(HoldsTest, DuringAHoldDataPastTheirLifetimeAreNotAnswered) {
    AnswerWithData();
    const auto query = [] {
        return std::vector<double>{GetMarketPrice("Jita", "Tritanium", 1, 10),
                                   double(GetAssetQuantity("Tritanium", "Box")),
                                   double(GetPersonalOrderVolume("Jita", "Tritanium", 1)),
                                   double(GetTransactionQuantity("Tritanium", "Jita", 30, 1)),
                                   double(GetProductionAmount("Tritanium"))};
    };
    const std::vector<double> data = {20, 7, 9, 5, 3};
    const auto ageEveryCache = [](int64_t seconds) {
        const CString key = BookKey(esitest::kJita, 34, 1);
        order_header book{};
        if (g_MarketOrders.Lookup(key, book)) {
            book.created -= seconds;
            g_MarketOrders.SetAt(key, book);
        }
        for (CTime* stamp : {&g_AssetsTime, &g_TransactionsTime, &g_IndustryJobsTime})
            *stamp = CTime(stamp->GetTime() - seconds);
    };
    const std::vector<std::function<void()>> holds = {[] { g_OAuth.HoldWebApi(kRetryHoldSeconds); },
                                                      [] { g_OAuth.signInFailedTime = CTime(time(nullptr)); }};
    for (const auto& hold : holds) {
        esitest::ResetCaches();
        EXPECT_EQ(query(), data);
        const size_t downloaded = api.RequestCount();
        hold();
        EXPECT_EQ(query(), data);
        ageEveryCache(kCacheLifetime + 1);
        EXPECT_EQ(query(), (std::vector<double>{0, 0, 9, 0, 0}));
        EXPECT_EQ(api.RequestCount(), downloaded);
        // Once the hold is over they are downloaded again.
        esitest::LetHoldsPass();
        EXPECT_EQ(query(), data);
        EXPECT_EQ(api.RequestCount(), downloaded + 7u);
    }
}

TEST_F(HoldsTest, ASignInThatGaveNoTokenIsOfferedOnceUntilGetUserAsksForIt) {
    fakes::FakeSignOn signOn;
    g_OAuth.authorizeUrl = signOn.AuthorizeUrl().c_str();
    g_OAuth.tokenUrl = signOn.TokenUrl().c_str();
    g_OAuth.accessToken.Empty();
    g_OAuth.characterId = 0;
    // The service refuses the code the browser brings back.
    signOn.SetTokenAnswer(400, "{\"error\":\"invalid_grant\"}");
    // The user's browser: whenever a sign-in window opens, it comes back to the listener with the
    // service's code and the sign-in's state.
    SignInWatch browser([](unsigned) {
        ssotest::VisitLoopback(g_OAuth.port, "/?code=fake-code&state=" + std::to_string(g_OAuth.stateNonce));
    });

    // The first download offers the sign-in once, though it asks for a token twice.
    EXPECT_EQ(GetAssetQuantity("Tritanium", ""), 0);
    EXPECT_EQ(browser.Seen(), 1);
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Web Access failed: 400\n{\"error\":\"invalid_grant\"}",
                                                    "Authentication failed - No access to the ESI-API possible"}));
    // The next exports answer as without a token: no browser, no window, no box.
    EXPECT_EQ(QueryEverything(), kNoData);
    EXPECT_EQ(browser.Seen(), 1);
    EXPECT_EQ(DownloadDialogs().size(), 1u);
    EXPECT_EQ(BoxTexts().size(), 2u);
    EXPECT_EQ(signOn.RequestsTo("/v2/oauth/token").size(), 1u);
    EXPECT_EQ(api.RequestCount(), 0u);

    // The hold ends by itself after a minute, and a clock set back, which puts the failure in the
    // future, does not lengthen it: each time the next download offers the sign-in again.
    esitest::AgeHolds(kRetryHoldSeconds - 2);
    EXPECT_EQ(GetProductionAmount("Tritanium"), 0);
    EXPECT_EQ(browser.Seen(), 1);
    esitest::AgeHolds(2);
    EXPECT_EQ(GetProductionAmount("Tritanium"), 0);
    EXPECT_EQ(browser.Seen(), 2);
    esitest::AgeHolds(-3600);
    EXPECT_EQ(GetProductionAmount("Tritanium"), 0);
    EXPECT_EQ(browser.Seen(), 3);
    EXPECT_EQ(BoxTexts().size(), 6u);

    // GetUser, the explicit sign-in, offers it at once; this time the service takes the code, and the
    // downloads that failed for want of it go at once.
    signOn.SetTokenAnswer(200, fakes::FakeSignOn::TokenAnswer(fakes::FakeSignOn::Jwt(90000001, "Fake Pilot"), "kept"));
    BSTR name = nullptr;
    EXPECT_EQ(GetUser(&name), 90000001);
    SysFreeString(name);
    EXPECT_EQ(browser.Seen(), 4);
    api.Set(kJobs, 200, "[{\"product_type_id\":34,\"runs\":3}]");
    EXPECT_EQ(GetProductionAmount("Tritanium"), 3);
    EXPECT_EQ(api.RequestCount(), 1u);
    EXPECT_EQ(BoxTexts().size(), 6u);
}

}  // namespace

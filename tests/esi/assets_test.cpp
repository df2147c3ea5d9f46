// The asset download (character and corporation pages, container names) and the query over it.
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "library/dates_and_hubs.h"
#include "library/esi/assets.h"
#include "tests/esi/esi_test_support.h"
#include "tests/support/sign_in_watch.h"

// Found by the standard algorithms through the record's own (global) namespace.
static bool operator==(const asset_entry& a, const asset_entry& b) {
    return a.type_id == b.type_id && a.quantity == b.quantity && a.location_id == b.location_id;
}

namespace {

using esitest::BoxTexts;
using esitest::DownloadTitles;
using esitest::UserPath;

constexpr int32_t kTritanium = 34;
constexpr int32_t kPyerite = 35;
constexpr int kCorporation = 98000001;

std::string CharPage(int page) { return UserPath("v5/characters/&user&/assets/?page=") + std::to_string(page); }
std::string CorpPage(int corporation, int page) {
    return "/v5/corporations/" + std::to_string(corporation) + "/assets/?page=" + std::to_string(page);
}
const std::string kCharNames = UserPath("v1/characters/&user&/assets/names/");
const std::string kCharRecord = UserPath("v5/characters/&user&/");
std::string CorpNames(int corporation) {
    return "/v1/corporations/" + std::to_string(corporation) + "/assets/names/";
}

std::string Asset(int typeId, int quantity, long long location, const char* flag = "Unlocked") {
    return "{\"is_singleton\":false,\"item_id\":1,\"location_flag\":\"" + std::string(flag) +
           "\",\"location_id\":" + std::to_string(location) + ",\"location_type\":\"item\",\"quantity\":" +
           std::to_string(quantity) + ",\"type_id\":" + std::to_string(typeId) + "}";
}

std::string Array(const std::vector<std::string>& elements) {
    std::string text = "[";
    for (size_t i = 0; i < elements.size(); ++i) text += (i ? "," : "") + elements[i];
    return text + "]";
}

std::string Name(long long id, const std::string& name) {
    return "{\"item_id\":" + std::to_string(id) + ",\"name\":\"" + name + "\"}";
}

class AssetsTest : public esitest::EsiTest {
protected:
    void SetUp() override {
        EsiTest::SetUp();
        // By default: a character of a known corporation, nothing stored anywhere.
        api.Set(kCharRecord, 200, "{\"corporation_id\":98000001,\"name\":\"Fake Pilot\"}");
        api.Set(CharPage(1), 200, "[]");
        api.Set(CorpPage(kCorporation, 1), 200, "[]");
        api.Set(kCharNames, 200, "[]");
        api.Set(CorpNames(kCorporation), 200, "[]");
    }

    std::vector<fakes::HttpRequest> RequestsTo(const std::string& target) const {
        std::vector<fakes::HttpRequest> found;
        for (const auto& request : api.Requests())
            if (request.target == target) found.push_back(request);
        return found;
    }

    static std::vector<asset_entry> Entries(const asset_array& assets) {
        std::vector<asset_entry> entries;
        for (INT_PTR i = 0; i < assets.GetSize(); ++i) entries.push_back(assets[i]);
        return entries;
    }

    static std::string NameOf(const container_name_map& names, long long id) {
        CString name;
        if (!names.Lookup(id, name)) return "<none>";
        return name.GetString();
    }

    // Sets the stamp to `age` seconds ago and runs a query; the requests it made.
    size_t RequestsOfQueryAtAge(int age) {
        size_t made = 0;
        EXPECT_TRUE(esitest::WithinOneSecond([&](time_t now) {
            const size_t before = api.RequestCount();
            g_AssetsTime = CTime(now - age);
            GetAssetQuantity("Tritanium", "");
            made = api.RequestCount() - before;
        }));
        return made;
    }
};

TEST_F(AssetsTest, AFullDownloadAsksForPagesNamesRecordAndCorporationInOrder) {
    api.Set(CharPage(1), 200, Array({Asset(kTritanium, 100, 1001), Asset(kPyerite, 5, 1002)}));
    api.Set(kCharNames, 200, Array({Name(1001, "Minerals"), Name(1002, "Spare")}));
    api.Set(CorpPage(kCorporation, 1), 200, Array({Asset(kTritanium, 40, 2001)}));
    api.Set(CorpNames(kCorporation), 200, Array({Name(2001, "Corp Minerals")}));

    EXPECT_EQ(GetAssetQuantity("Tritanium", ""), 140);
    EXPECT_EQ(Targets(), (std::vector<std::string>{CharPage(1), kCharNames, kCharRecord, CorpPage(kCorporation, 1),
                                                   CorpNames(kCorporation)}));
    const auto requests = api.Requests();
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[1].method, "POST");
    EXPECT_EQ(requests[4].method, "POST");
    EXPECT_EQ(esitest::IdsOfBody(requests[1].body), (std::multiset<long long>{1001, 1002}));
    EXPECT_EQ(requests[4].body, "[2001]");
    EXPECT_EQ(DownloadTitles(), std::vector<std::string>{"Assets"});

    EXPECT_EQ(NameOf(g_CharAssetNames, 1001), "Minerals");
    EXPECT_EQ(NameOf(g_CorpAssetNames, 2001), "Corp Minerals");
    EXPECT_EQ(GetAssetQuantity("Tritanium", "minerals"), 100);
    EXPECT_EQ(GetAssetQuantity("tritanium", "CORP MINERALS"), 40);
    EXPECT_EQ(GetAssetQuantity("Pyerite", "Spare"), 5);
    EXPECT_EQ(GetAssetQuantity("Pyerite", "Minerals"), 0);
    EXPECT_EQ(GetAssetQuantity("Tritanium", "Minerals "), 0);
    EXPECT_EQ(api.RequestCount(), 5u);  // fresh: the queries after the first download nothing
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(AssetsTest, WithoutAPageCountOnePageIsRead) {
    api.Set(CharPage(1), 200, Array({Asset(kTritanium, 1, 1001)}));
    DownloadCharacterAssets(&g_OAuth);
    EXPECT_EQ(CountTarget(CharPage(1)), 1u);
    EXPECT_EQ(CountTarget(CharPage(2)), 0u);
}

TEST_F(AssetsTest, EveryAnnouncedPageIsReadAndTheLastAnnouncementDecides) {
    api.Set(CharPage(1), 200, Array({Asset(kTritanium, 1, 1001)}), {{"X-Pages", "2"}});
    api.Set(CharPage(2), 200, Array({Asset(kTritanium, 2, 1001)}), {{"X-Pages", "4"}});
    api.Set(CharPage(3), 200, Array({Asset(kTritanium, 4, 1003)}), {{"X-Pages", "3"}});
    api.Set(CharPage(4), 200, Array({Asset(kTritanium, 8, 1004)}), {{"X-Pages", "3"}});
    DownloadCharacterAssets(&g_OAuth);
    EXPECT_EQ(Targets(), (std::vector<std::string>{CharPage(1), CharPage(2), CharPage(3), kCharNames}));
    EXPECT_EQ(Entries(g_CharAssets),
              (std::vector<asset_entry>{{kTritanium, 1, 1001}, {kTritanium, 2, 1001}, {kTritanium, 4, 1003}}));
    // Two items in one container give one key.
    EXPECT_EQ(g_CharAssetNames.GetCount(), 2);
}

TEST_F(AssetsTest, AnEmptyPageEndsTheWalkAndKeepsWhatCameBefore) {
    api.Set(CharPage(1), 200, Array({Asset(kTritanium, 7, 1001)}), {{"X-Pages", "3"}});
    api.Set(CharPage(2), 200, "[]", {{"X-Pages", "3"}});
    api.Set(CharPage(3), 200, Array({Asset(kTritanium, 9, 1001)}), {{"X-Pages", "3"}});
    EXPECT_EQ(GetAssetQuantity("Tritanium", ""), 7);
    EXPECT_EQ(CountTarget(CharPage(3)), 0u);
}

// A page fails when its request fails, its status is 300 or more, or its text is not JSON: the pages
// before it are only part of the assets. Every cache stays empty and the stamp where it was, so a
// query downloads again once the hold has passed.
TEST_F(AssetsTest, AFailedPageKeepsNoAssetsAndIsDownloadedAgainAfterTheHold) {
    api.Set(CharPage(1), 200, Array({Asset(kTritanium, 7, 1001)}), {{"X-Pages", "2"}});
    api.Set(CorpPage(kCorporation, 1), 200, Array({Asset(kTritanium, 5, 2001)}), {{"X-Pages", "2"}});
    api.Set(CorpPage(kCorporation, 2), 200, "[]");
    const std::vector<fakes::HttpResponse> failures = {
        fakes::HttpResponse::Text(502, "{\"error\":\"Bad gateway\"}", "application/json"),
        fakes::HttpResponse::Text(200, "Service Unavailable"), fakes::HttpResponse::CloseWithoutAnswer()};
    const CTime stale(time(nullptr) - 901);
    for (const std::string& failing : {CharPage(2), CorpPage(kCorporation, 2)}) {
        api.Set(CharPage(2), 200, "[]");
        api.Set(CorpPage(kCorporation, 2), 200, "[]");
        for (const fakes::HttpResponse& failure : failures) {
            api.Set(failing, failure);
            g_AssetsTime = stale;
            esitest::LetHoldsPass();
            const size_t before = api.RequestCount();
            EXPECT_EQ(GetAssetQuantity("Tritanium", ""), 0) << failing << " " << failure.body;
            EXPECT_EQ(g_AssetsTime, stale);
            EXPECT_EQ(g_CharAssets.GetSize() + g_CharAssetNames.GetCount(), 0);
            EXPECT_EQ(g_CorpAssets.GetSize() + g_CorpAssetNames.GetCount(), 0);
            // The character's failure ends the run; the corporation's comes after all its requests.
            EXPECT_EQ(api.RequestCount() - before, failing == CharPage(2) ? 2u : 6u) << failing;
        }
    }
    EXPECT_EQ(BoxTexts(), std::vector<std::string>(2, "Web Access failed: 502\n{\"error\":\"Bad gateway\"}"));

    api.Set(CorpPage(kCorporation, 2), 200, Array({Asset(kTritanium, 9, 2001)}));
    g_AssetsTime = stale;
    esitest::LetHoldsPass();
    EXPECT_EQ(GetAssetQuantity("Tritanium", ""), 21);
    EXPECT_GT(g_AssetsTime, stale);
}

TEST_F(AssetsTest, OnlyUnlockedContainersInAnyLetterCaseAreKept) {
    api.Set(CharPage(1), 200,
            Array({Asset(kTritanium, 1, 1001, "Unlocked"), Asset(kTritanium, 2, 1002, "unlocked"),
                   Asset(kTritanium, 4, 1003, "UNLOCKED"), Asset(kTritanium, 8, 1004, "Locked"),
                   Asset(kTritanium, 16, 1005, "Hangar"), Asset(kTritanium, 32, 1006, ""),
                   Asset(kTritanium, 64, 1007, "Unlocked "),
                   "{\"location_id\":1008,\"quantity\":128,\"type_id\":34}",
                   "{\"location_flag\":1,\"location_id\":1009,\"quantity\":256,\"type_id\":34}"}));
    DownloadCharacterAssets(&g_OAuth);
    EXPECT_EQ(g_CharAssets.GetSize(), 3);
    EXPECT_EQ(esitest::IdsOfBody(RequestsTo(kCharNames).at(0).body), (std::multiset<long long>{1001, 1002, 1003}));
    g_AssetsTime = CTime(time(nullptr));
    EXPECT_EQ(GetAssetQuantity("Tritanium", ""), 7);
}

TEST_F(AssetsTest, MembersAreReadByTheJsonRules) {
    api.Set(CharPage(1), 200,
            Array({"{\"LOCATION_FLAG\":\"Unlocked\",\"Location_ID\":1099511627776,\"Quantity\":3,\"TYPE_ID\":34}",
                   "{\"location_flag\":\"Unlocked\",\"location_id\":1001.9,\"quantity\":\"12\",\"type_id\":34}",
                   "{\"location_flag\":\"Unlocked\",\"location_id\":1002,\"quantity\":5}",
                   "{\"location_flag\":\"Unlocked\",\"location_id\":1002,\"location_id\":1003,\"quantity\":6,"
                   "\"type_id\":35}"}));
    DownloadCharacterAssets(&g_OAuth);
    EXPECT_EQ(Entries(g_CharAssets), (std::vector<asset_entry>{{kTritanium, 3, 1099511627776LL},
                                                               {kTritanium, 0, 1001},
                                                               {0, 5, 1002},
                                                               {kPyerite, 6, 1002}}));
    // An item name the database lacks is type id 0: it counts the items stored without a type.
    g_AssetsTime = CTime(time(nullptr));
    EXPECT_EQ(GetAssetQuantity("Not An Item", ""), 5);
}

TEST_F(AssetsTest, NamesComeFromOnePostOfEveryContainerAndMayNameOthers) {
    std::vector<std::string> page;
    for (long long id = 5000; id < 5030; ++id) page.push_back(Asset(kTritanium, 1, id));
    page.push_back(Asset(kTritanium, 1, 5000));
    api.Set(CharPage(1), 200, Array(page));
    api.Set(kCharNames, 200,
            Array({Name(5001, "One"), Name(7777, "Stranger"), "{\"item_id\":5002}",
                   "{\"item_id\":5003,\"name\":17}", Name(5004, "Caf\xc3\xa9")}));
    DownloadCharacterAssets(&g_OAuth);

    const auto posts = RequestsTo(kCharNames);
    ASSERT_EQ(posts.size(), 1u);
    std::multiset<long long> expected;
    for (long long id = 5000; id < 5030; ++id) expected.insert(id);
    EXPECT_EQ(esitest::IdsOfBody(posts[0].body), expected);
    EXPECT_EQ(posts[0].body.find(' '), std::string::npos);

    EXPECT_EQ(g_CharAssetNames.GetCount(), 31);
    EXPECT_EQ(NameOf(g_CharAssetNames, 5001), "One");
    EXPECT_EQ(NameOf(g_CharAssetNames, 7777), "Stranger");
    EXPECT_EQ(NameOf(g_CharAssetNames, 5002), "");
    EXPECT_EQ(NameOf(g_CharAssetNames, 5003), "");
    EXPECT_EQ(NameOf(g_CharAssetNames, 5004), "Caf\xc3\xa9");
    EXPECT_EQ(NameOf(g_CharAssetNames, 5029), "");
}

// The names endpoint takes at most 1000 ids a request: more containers go in batches, in the order
// the items recorded them, and a batch that fails costs only its own names.
TEST_F(AssetsTest, NamesAreAskedForInBatchesOfAtMost1000) {
    const long long top = 9000000;
    std::vector<std::string> page;
    std::string batches[2] = {"[", "["};
    for (long long i = 0; i < 1500; ++i) {
        page.push_back(Asset(kTritanium, 1, top - i));
        std::string& body = batches[i < 1000 ? 0 : 1];
        body += (body.size() > 1 ? "," : "") + std::to_string(top - i);
    }
    page.push_back(Asset(kTritanium, 1, top));  // a container met again is not asked for twice
    for (std::string& body : batches) body += "]";
    api.Set(CharPage(1), 200, Array(page));
    api.SetHandler(kCharNames, [&batches](const fakes::HttpRequest& request) {
        if (request.body == batches[0])
            return fakes::HttpResponse::Text(404, "{\"error\":\"Invalid IDs in the request\"}", "application/json");
        return fakes::HttpResponse::Text(200, Array({Name(top - 1000, "Late"), Name(top - 1499, "Late")}),
                                         "application/json");
    });
    EXPECT_EQ(GetAssetQuantity("Tritanium", "Late"), 2);
    EXPECT_EQ(GetAssetQuantity("Tritanium", ""), 1501);
    const auto posts = RequestsTo(kCharNames);
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(posts[0].body, batches[0]);
    EXPECT_EQ(posts[1].body, batches[1]);
    EXPECT_EQ(NameOf(g_CharAssetNames, top), "");
    EXPECT_EQ(BoxTexts().size(), 1u);
}

TEST_F(AssetsTest, AFailedNamesRequestKeepsTheItemsWithEmptyNames) {
    api.Set(CharPage(1), 200, Array({Asset(kTritanium, 3, 1001), Asset(kTritanium, 4, 1002)}));
    api.Set(kCharNames, 404, "{\"error\":\"Invalid IDs in the request\"}");
    EXPECT_EQ(GetAssetQuantity("Tritanium", "Box"), 0);
    EXPECT_EQ(GetAssetQuantity("Tritanium", ""), 7);
    EXPECT_EQ(NameOf(g_CharAssetNames, 1001), "");
    EXPECT_EQ(BoxTexts().size(), 1u);

    // A names answer that is not JSON changes nothing either.
    api.Set(kCharNames, 200, "<html/>");
    DownloadCharacterAssets(&g_OAuth);
    EXPECT_EQ(NameOf(g_CharAssetNames, 1002), "");
    EXPECT_EQ(g_CharAssets.GetSize(), 2);
}

TEST_F(AssetsTest, AForbiddenCorporationIsToleratedWithoutABox) {
    api.Set(CorpPage(kCorporation, 1), 403, "{\"error\":\"Character does not have required role(s)\"}");
    api.Set(CharPage(1), 200, Array({Asset(kTritanium, 3, 1001)}));
    EXPECT_EQ(GetAssetQuantity("Tritanium", ""), 3);
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_EQ(g_CorpAssets.GetSize(), 0);
    EXPECT_EQ(RequestsTo(CorpNames(kCorporation)).size(), 0u);

    // Whatever a 403 page holds, the corporation has no assets for this download.
    api.Set(CorpPage(kCorporation, 1), 200, Array({Asset(kTritanium, 11, 2001)}), {{"X-Pages", "2"}});
    api.Set(CorpPage(kCorporation, 2), 403, Array({Asset(kTritanium, 11, 2002)}));
    g_AssetsTime = CTime(time(nullptr) - 901);
    EXPECT_EQ(GetAssetQuantity("Tritanium", ""), 3);
    EXPECT_EQ(g_CorpAssetNames.GetCount(), 0);
    EXPECT_TRUE(BoxTexts().empty());

    // Only the corporation's pages tolerate it: on the character's it is a failed page.
    api.Set(CharPage(1), 403, "{\"error\":\"token not valid for scope\"}");
    g_AssetsTime = CTime(time(nullptr) - 901);
    EXPECT_EQ(GetAssetQuantity("Tritanium", ""), 0);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Web Access failed: 403\n{\"error\":\"token not valid for scope\"}"});
}

// The corporation comes from the character's record: without it the corporation is unknown, and the
// download fails like one with a failed page.
TEST_F(AssetsTest, AnUnreadableCharacterRecordFailsTheDownload) {
    api.Set(kCharRecord, 200, "");
    api.Set(CorpPage(0, 1), 403, "{\"error\":\"Character does not have required role(s)\"}");
    EXPECT_EQ(GetAssetQuantity("Tritanium", ""), 0);
    EXPECT_EQ(CountTarget(CorpPage(0, 1)), 0u);
    EXPECT_EQ(g_CharAssets.GetSize() + g_CorpAssets.GetSize(), 0);
    EXPECT_EQ(g_AssetsTime, StartOfTimeStamps());
}

TEST_F(AssetsTest, CorporationPagesFollowTheSameRules) {
    api.Set(CorpPage(kCorporation, 1), 200, Array({Asset(kTritanium, 1, 2001)}), {{"X-Pages", "3"}});
    api.Set(CorpPage(kCorporation, 2), 200, Array({Asset(kTritanium, 2, 2002)}), {{"X-Pages", "3"}});
    api.Set(CorpPage(kCorporation, 3), 200, "[]", {{"X-Pages", "3"}});
    EXPECT_TRUE(DownloadCorporationAssets(&g_OAuth));
    EXPECT_EQ(Targets(), (std::vector<std::string>{kCharRecord, CorpPage(kCorporation, 1), CorpPage(kCorporation, 2),
                                                   CorpPage(kCorporation, 3), CorpNames(kCorporation)}));
    EXPECT_EQ(g_CorpAssets.GetSize(), 2);
    EXPECT_EQ(g_CorpAssetNames.GetCount(), 2);
    EXPECT_EQ(g_CharAssets.GetSize(), 0);
}

// Without a token the first request offers the sign-in once: the second ask, for the character, finds
// it held. Nothing is sent; that page failed, and the caches stay empty.
TEST_F(AssetsTest, AnAbortedSignInLeavesEmptyCaches) {
    g_OAuth.accessToken.Empty();
    g_OAuth.characterId = 0;
    asset_entry earlier{kTritanium, 1, 1};
    g_CharAssets.Add(earlier);
    const CTime stale = g_AssetsTime;
    SignInWatch user([](unsigned dialog) { QpObserverPress(dialog, IDCANCEL); });
    ssotest::Worker<int> query([] { return GetAssetQuantity("Tritanium", ""); });
    EXPECT_EQ(query.Get(), 0);
    EXPECT_EQ(user.Seen(), 1);
    EXPECT_EQ(api.RequestCount(), 0u);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Authentication failed - No access to the ESI-API possible"});
    EXPECT_EQ(g_CharAssets.GetSize(), 0);
    EXPECT_EQ(g_CharAssetNames.GetCount(), 0);
    EXPECT_EQ(g_CorpAssets.GetSize(), 0);
    EXPECT_EQ(g_CorpAssetNames.GetCount(), 0);
    EXPECT_EQ(g_AssetsTime, stale);
}

TEST_F(AssetsTest, EveryRunStartsFromEmptyCaches) {
    api.Set(CharPage(1), 200, Array({Asset(kTritanium, 3, 1001)}));
    api.Set(CorpPage(kCorporation, 1), 200, Array({Asset(kTritanium, 5, 2001)}));
    EXPECT_EQ(GetAssetQuantity("Tritanium", ""), 8);
    api.Set(CharPage(1), 200, Array({Asset(kPyerite, 1, 1009)}));
    api.Set(CorpPage(kCorporation, 1), 200, "[]");
    g_AssetsTime = CTime(time(nullptr) - 901);
    EXPECT_EQ(GetAssetQuantity("Tritanium", ""), 0);
    EXPECT_EQ(g_CharAssetNames.GetCount(), 1);
    EXPECT_EQ(g_CorpAssetNames.GetCount(), 0);
}

TEST_F(AssetsTest, StaleAfter900SecondsNotAt900) {
    EXPECT_EQ(RequestsOfQueryAtAge(900), 0u);
    EXPECT_EQ(RequestsOfQueryAtAge(901), 3u);  // character page, record, corporation page
    EXPECT_EQ(RequestsOfQueryAtAge(-100000), 0u);  // a stamp in the future
    EXPECT_EQ(RequestsOfQueryAtAge(100000), 3u);
    // The first query after loading downloads.
    g_AssetsTime = CTime(2000, 1, 1, 0, 0, 0);
    const size_t before = api.RequestCount();
    GetAssetQuantity("Not An Item", "");
    EXPECT_EQ(api.RequestCount(), before + 3);
}

// The query over caches filled by hand.
class AssetQueryTest : public esitest::EsiTest {
protected:
    void SetUp() override {
        EsiTest::SetUp();
        g_AssetsTime = CTime(time(nullptr) + 3600);  // fresh for the whole test
    }
    static void Add(asset_array& assets, int32_t typeId, int32_t quantity, int64_t location) {
        asset_entry entry{typeId, quantity, location};
        assets.Add(entry);
    }
    static void NameIt(container_name_map& names, int64_t id, const char* name) {
        CString text(name);
        names.SetAt(id, text);
    }
};

TEST_F(AssetQueryTest, ContainersOfOneNameCountEverywhereAndUnnamedOnlyWithoutAName) {
    Add(g_CharAssets, kTritanium, 1, 1);
    Add(g_CharAssets, kTritanium, 2, 2);
    Add(g_CharAssets, kTritanium, 4, 3);  // a container the names map lacks
    Add(g_CharAssets, kPyerite, 8, 1);
    Add(g_CorpAssets, kTritanium, 16, 1);  // the corporation's container 1 is another one
    Add(g_CorpAssets, kTritanium, 32, 4);
    NameIt(g_CharAssetNames, 1, "Ore");
    NameIt(g_CharAssetNames, 2, "ore");
    NameIt(g_CorpAssetNames, 1, "Loot");
    NameIt(g_CorpAssetNames, 4, "ORE");

    EXPECT_EQ(GetAssetQuantity("Tritanium", ""), 1 + 2 + 4 + 16 + 32);
    EXPECT_EQ(GetAssetQuantity("Tritanium", "oRe"), 1 + 2 + 32);
    EXPECT_EQ(GetAssetQuantity("Tritanium", "Loot"), 16);
    EXPECT_EQ(GetAssetQuantity("TRITANIUM", "Nowhere"), 0);
    EXPECT_EQ(GetAssetQuantity("Pyerite", "Ore"), 8);
    EXPECT_EQ(GetAssetQuantity("Mexallon", ""), 0);
    EXPECT_EQ(GetAssetQuantity("Not An Item", ""), 0);
    EXPECT_TRUE(esitest::DownloadDialogs().empty());
}

// The unnamed container after a named one keeps the empty name.
TEST_F(AssetQueryTest, ANameIsNeverCarriedOverFromTheEntryBefore) {
    Add(g_CharAssets, kTritanium, 1, 1);
    Add(g_CharAssets, kTritanium, 2, 99);
    NameIt(g_CharAssetNames, 1, "Ore");
    EXPECT_EQ(GetAssetQuantity("Tritanium", "Ore"), 1);
}

TEST_F(AssetQueryTest, TheSumStopsAtTheLargestCount) {
    Add(g_CharAssets, kTritanium, 2000000000, 1);
    Add(g_CorpAssets, kTritanium, 2000000000, 1);
    EXPECT_EQ(GetAssetQuantity("Tritanium", ""), INT_MAX);
    Add(g_CharAssets, kPyerite, -5, 1);
    EXPECT_EQ(GetAssetQuantity("Pyerite", ""), 0);
}

}  // namespace

// Skills and the invention chance, personal orders, wallet transactions and industry jobs: each a
// download into a cache with its own freshness rule, and a query over the cache.
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "library/database/database.h"
#include "library/esi/industry_jobs.h"
#include "library/esi/personal_orders.h"
#include "library/esi/skills.h"
#include "library/esi/transactions.h"
#include "tests/esi/esi_test_support.h"
#include "tests/support/esi_date.h"

namespace {

using esitest::DownloadDialogs;
using esitest::DownloadTitles;
using esitest::kJita;
using esitest::UserPath;

constexpr uint32_t kTritanium = 34;

std::string Array(const std::vector<std::string>& elements) {
    std::string text = "[";
    for (size_t i = 0; i < elements.size(); ++i) text += (i ? "," : "") + elements[i];
    return text + "]";
}

// ---- skills ----

const std::string kSkills = UserPath("v4/characters/&user&/skills/");

std::string Skill(int id, int level) {
    return "{\"active_skill_level\":" + std::to_string(level) + ",\"skill_id\":" + std::to_string(id) +
           ",\"skillpoints_in_skill\":1000,\"trained_skill_level\":5}";
}

std::string SkillsAnswer(const std::vector<std::string>& skills) {
    return "{\"skills\":" + Array(skills) + ",\"total_sp\":5000000}";
}

invention_entry Record(double probability, std::vector<uint32_t> skills) {
    invention_entry entry{};
    entry.probability = probability;
    for (size_t i = 0; i < skills.size() && i < kInventionSkills; ++i) entry.skill_id[i] = skills[i];
    return entry;
}

class SkillsTest : public esitest::EsiTest {};

TEST_F(SkillsTest, ScienceAndEncryptionLevelsRaiseTheBaseChance) {
    api.Set(kSkills, 200, SkillsAnswer({Skill(11433, 4), Skill(11442, 3), Skill(21791, 4), Skill(3300, 5)}));
    const invention_entry entry = Record(0.34, {11433, 11442, 21791});
    // 0.34 x (1 + (4 + 3) / 30 + 4 / 40) = 0.34 x 4/3.
    EXPECT_NEAR(GetInventionChanceWithSkills(&entry), 0.4533333333333333, 1e-12);
    EXPECT_EQ(api.RequestCount(), 1u);
    EXPECT_EQ(api.Requests()[0].method, "GET");
    EXPECT_EQ(DownloadTitles(), std::vector<std::string>{"Skills"});
    // Slot order does not matter.
    const invention_entry shuffled = Record(0.34, {21791, 11442, 11433});
    EXPECT_NEAR(GetInventionChanceWithSkills(&shuffled), 0.4533333333333333, 1e-12);
}

TEST_F(SkillsTest, EverySkillOfTheTwoListsCounts) {
    // The game's science skills that invention asks for, and its encryption skills.
    const uint32_t science[] = {11433, 11441, 11442, 11443, 11444, 11445, 11446, 11447, 11448,
                                11449, 11450, 11451, 11452, 11453, 11454, 11455, 11529};
    const uint32_t encryption[] = {3408, 21790, 21791, 23087, 23121, 52308, 55025};
    std::vector<std::string> skills;
    for (uint32_t id : science) skills.push_back(Skill(int(id), 3));
    for (uint32_t id : encryption) skills.push_back(Skill(int(id), 2));
    api.Set(kSkills, 200, SkillsAnswer(skills));
    // A science skill at level 3: 0.3 * (1 + 3 / 30) = 0.3 * 1.1 = 0.33.
    for (uint32_t id : science) {
        const invention_entry entry = Record(0.3, {id});
        EXPECT_NEAR(GetInventionChanceWithSkills(&entry), 0.33, 1e-12) << id;
    }
    // An encryption skill at level 2: 0.3 * (1 + 2 / 40) = 0.3 * 1.05 = 0.315.
    for (uint32_t id : encryption) {
        const invention_entry entry = Record(0.3, {id});
        EXPECT_NEAR(GetInventionChanceWithSkills(&entry), 0.315, 1e-12) << id;
    }
    // Trained skills of neither list add nothing.
    const invention_entry others = Record(0.3, {3300, 11432, 11456, 0, 3402});
    api.Set(kSkills, 200, SkillsAnswer({Skill(3300, 5), Skill(11432, 5), Skill(11456, 5), Skill(3402, 5)}));
    g_Skills.RemoveAll();
    EXPECT_DOUBLE_EQ(GetInventionChanceWithSkills(&others), 0.3);
}

TEST_F(SkillsTest, AMissingScienceSkillLeavesTheOtherAloneWhicheverSlotItHas) {
    api.Set(kSkills, 200, SkillsAnswer({Skill(11442, 3), Skill(21791, 4)}));
    const invention_entry firstMissing = Record(0.34, {11433, 11442, 21791});
    const invention_entry secondMissing = Record(0.34, {11442, 11433, 21791});
    // 0.34 x (1 + 3 / 30 + 4 / 40) = 0.34 x 1.2.
    EXPECT_NEAR(GetInventionChanceWithSkills(&firstMissing), 0.408, 1e-12);
    EXPECT_NEAR(GetInventionChanceWithSkills(&secondMissing), 0.408, 1e-12);
}

// Levels go into two slots: the second is taken once the first is not 0, so a third science skill
// overwrites the second, and a first one at level 0 leaves its slot to the next.
TEST_F(SkillsTest, AThirdScienceSkillOverwritesTheSecondLevel) {
    api.Set(kSkills, 200, SkillsAnswer({Skill(11433, 4), Skill(11441, 3), Skill(11442, 1), Skill(11443, 0)}));
    const invention_entry three = Record(0.3, {11433, 11441, 11442});
    // 0.3 x (1 + (4 + 1) / 30) = 0.3 x 7/6.
    EXPECT_NEAR(GetInventionChanceWithSkills(&three), 0.35, 1e-12);
    const invention_entry zeroFirst = Record(0.3, {11443, 11441, 11442});
    // 0.3 x (1 + (0 + 3 + 1) / 30): the third skill's level replaces the second's.
    EXPECT_NEAR(GetInventionChanceWithSkills(&zeroFirst), 0.34, 1e-12);
    // The last encryption skill found decides.
    api.Set(kSkills, 200, SkillsAnswer({Skill(3408, 1), Skill(21790, 5)}));
    g_Skills.RemoveAll();
    const invention_entry twoEncryptions = Record(0.4, {21790, 3408});
    // 0.4 x (1 + 1 / 40).
    EXPECT_NEAR(GetInventionChanceWithSkills(&twoEncryptions), 0.41, 1e-12);
}

// A character without skills is an answer, asked for again on the next call; anything else failed
// and is asked for again once its hold has passed.
TEST_F(SkillsTest, NoSkillsGiveTheBaseChanceAndAreAskedForAgain) {
    const invention_entry entry = Record(0.34, {11433, 11442, 21791});
    api.Set(kSkills, 200, SkillsAnswer({}));
    EXPECT_DOUBLE_EQ(GetInventionChanceWithSkills(&entry), 0.34);
    api.Set(kSkills, 200, "{\"total_sp\":0}");
    EXPECT_DOUBLE_EQ(GetInventionChanceWithSkills(&entry), 0.34);
    esitest::LetHoldsPass();
    api.Set(kSkills, 200, "not json");
    EXPECT_DOUBLE_EQ(GetInventionChanceWithSkills(&entry), 0.34);
    esitest::LetHoldsPass();
    api.Set(kSkills, 500, "{\"error\":\"Internal Server Error\"}");
    EXPECT_DOUBLE_EQ(GetInventionChanceWithSkills(&entry), 0.34);
    EXPECT_EQ(api.RequestCount(), 4u);
    EXPECT_EQ(DownloadDialogs().size(), 4u);
    EXPECT_EQ(esitest::BoxTexts().size(), 1u);
}

TEST_F(SkillsTest, AFilledMapIsNeverDownloadedAgainAndANullRecordGivesZero) {
    api.Set(kSkills, 200, SkillsAnswer({Skill(11433, 2)}));
    EXPECT_EQ(GetInventionChanceWithSkills(nullptr), 0.0);  // downloads all the same
    EXPECT_EQ(api.RequestCount(), 1u);
    EXPECT_EQ(GetInventionChanceWithSkills(nullptr), 0.0);
    const invention_entry entry = Record(0.5, {11433});
    // 0.5 x (1 + 2 / 30).
    EXPECT_NEAR(GetInventionChanceWithSkills(&entry), 0.5333333333333333, 1e-12);
    EXPECT_EQ(api.RequestCount(), 1u);
    EXPECT_EQ(DownloadDialogs().size(), 1u);
}

TEST_F(SkillsTest, TheLastLevelOfARepeatedSkillCountsAndAnIdlessOneGoesUnderZero) {
    api.Set(kSkills, 200,
            SkillsAnswer({Skill(11433, 1), Skill(11433, 5), "{\"active_skill_level\":3}",
                          "{\"SKILL_ID\":21791,\"Active_Skill_Level\":2}",
                          "{\"skill_id\":11442,\"active_skill_level\":\"4\"}"}));
    const invention_entry entry = Record(0.2, {11433});
    // 0.2 x (1 + 5 / 30).
    EXPECT_NEAR(GetInventionChanceWithSkills(&entry), 0.2333333333333333, 1e-12);
    DWORD level = 99;
    EXPECT_TRUE(g_Skills.Lookup(0, level));
    EXPECT_EQ(level, 3u);
    EXPECT_TRUE(g_Skills.Lookup(21791, level));
    EXPECT_EQ(level, 2u);
    EXPECT_TRUE(g_Skills.Lookup(11442, level));
    EXPECT_EQ(level, 0u);
    EXPECT_EQ(g_Skills.GetCount(), 4);
}

// ---- personal orders ----

const std::string kOrders = UserPath("v2/characters/&user&/orders/");

std::string PersonalOrder(uint32_t typeId, bool buy, int volume, long long location) {
    return "{\"duration\":90,\"is_buy_order\":" + std::string(buy ? "true" : "false") +
           ",\"location_id\":" + std::to_string(location) + ",\"price\":5.5,\"type_id\":" + std::to_string(typeId) +
           ",\"volume_remain\":" + std::to_string(volume) + ",\"volume_total\":1000}";
}

class PersonalOrdersTest : public esitest::EsiTest {};

// The cached orders, from the head.
std::vector<charorder> CachedOrders() {
    std::vector<charorder> orders;
    for (POSITION position = g_PersonalOrders.GetHeadPosition(); position;)
        orders.push_back(g_PersonalOrders.GetNext(position));
    return orders;
}

TEST_F(PersonalOrdersTest, DownloadedOnceWithAClosingZeroRecord) {
    api.Set(kOrders, 200, Array({PersonalOrder(kTritanium, false, 100, kJita), PersonalOrder(35, true, 7, kJita)}));
    EXPECT_EQ(GetPersonalOrderVolume("Jita", "Tritanium", 1), 100);
    const std::vector<charorder> orders = CachedOrders();
    ASSERT_EQ(orders.size(), 3u);
    const charorder& last = orders.back();
    EXPECT_EQ(last.type_id, 0u);
    EXPECT_EQ(last.is_buy, 0u);
    EXPECT_EQ(last.volume_remain, 0u);
    EXPECT_EQ(last.location_id, 0);
    EXPECT_EQ(DownloadTitles(), std::vector<std::string>{"Personal Orders"});

    api.Set(kOrders, 200, Array({PersonalOrder(kTritanium, false, 5, kJita)}));
    EXPECT_EQ(GetPersonalOrderVolume("Jita", "Tritanium", 1), 100);
    EXPECT_EQ(GetPersonalOrderVolume("", "Pyerite", 0), 7);
    EXPECT_EQ(api.RequestCount(), 1u);
    EXPECT_EQ(DownloadDialogs().size(), 1u);
}

TEST_F(PersonalOrdersTest, NoOpenOrdersLeaveOnlyTheZeroRecordAndNoFurtherDownload) {
    api.Set(kOrders, 200, "[]");
    EXPECT_EQ(GetPersonalOrderVolume("Jita", "Tritanium", 1), 0);
    EXPECT_EQ(CachedOrders().size(), 1u);
    EXPECT_EQ(GetPersonalOrderVolume("Jita", "Tritanium", 0), 0);
    EXPECT_EQ(api.RequestCount(), 1u);
}

// Only a list of orders is an answer; anything else is asked for again once its hold has passed.
TEST_F(PersonalOrdersTest, AnAnswerThatIsNotAListIsAskedForAgainAfterTheHold) {
    for (const char* answer : {"", "{\"a\":{\"location_id\":60003760,\"type_id\":34,\"volume_remain\":9}}"}) {
        api.Set(kOrders, 200, answer);
        EXPECT_EQ(GetPersonalOrderVolume("Jita", "Tritanium", 1), 0) << answer;
        EXPECT_TRUE(g_PersonalOrders.IsEmpty()) << answer;
        esitest::LetHoldsPass();
    }
    api.Set(kOrders, 200, Array({PersonalOrder(kTritanium, false, 3, kJita)}));
    EXPECT_EQ(GetPersonalOrderVolume("Jita", "Tritanium", 1), 3);
    EXPECT_EQ(api.RequestCount(), 3u);
}

TEST_F(PersonalOrdersTest, AnUnknownItemAnswersZeroWithoutDownloading) {
    api.Set(kOrders, 200, "[]");
    EXPECT_EQ(GetPersonalOrderVolume("Jita", "Not An Item", 1), 0);
    EXPECT_EQ(GetPersonalOrderVolume("Jita", "", 0), 0);
    EXPECT_EQ(api.RequestCount(), 0u);
    EXPECT_TRUE(DownloadDialogs().empty());
}

TEST_F(PersonalOrdersTest, SidesAndLocations) {
    api.Set(kOrders, 200,
            Array({PersonalOrder(kTritanium, false, 1, kJita), PersonalOrder(kTritanium, false, 2, kJita),
                   PersonalOrder(kTritanium, true, 4, kJita), PersonalOrder(kTritanium, false, 8, esitest::kAmarr),
                   PersonalOrder(kTritanium, false, 16, esitest::kHek),
                   PersonalOrder(kTritanium, false, 32, esitest::kRens),
                   PersonalOrder(kTritanium, false, 64, esitest::kDodixie),
                   PersonalOrder(kTritanium, false, 128, 1022734985679),
                   PersonalOrder(kTritanium, true, 256, 60003466),
                   "{\"location_id\":60003760,\"type_id\":34,\"volume_remain\":512}",
                   "{\"is_buy_order\":1,\"location_id\":60003760,\"type_id\":34,\"volume_remain\":1024}",
                   PersonalOrder(35, false, 2048, kJita)}));
    EXPECT_EQ(GetPersonalOrderVolume("Jita", "Tritanium", 1), 1 + 2 + 512 + 1024);
    EXPECT_EQ(GetPersonalOrderVolume("jita", "tritanium", 0), 4);
    EXPECT_EQ(GetPersonalOrderVolume("AMARR", "Tritanium", 1), 8);
    EXPECT_EQ(GetPersonalOrderVolume("other", "Tritanium", 1), 128);
    EXPECT_EQ(GetPersonalOrderVolume("Other", "Tritanium", 0), 256);
    EXPECT_EQ(GetPersonalOrderVolume("", "Tritanium", 1), 1 + 2 + 8 + 16 + 32 + 64 + 128 + 512 + 1024);
    EXPECT_EQ(GetPersonalOrderVolume("Perimeter", "Tritanium", 0), 4 + 256);
    EXPECT_EQ(GetPersonalOrderVolume("Jita ", "Tritanium", 0), 4 + 256);
    EXPECT_EQ(GetPersonalOrderVolume("Jita", "Pyerite", 1), 2048);
    EXPECT_EQ(api.RequestCount(), 1u);
}

TEST_F(PersonalOrdersTest, TheSumStopsAtTheLargestCount) {
    api.Set(kOrders, 200,
            Array({PersonalOrder(kTritanium, false, 2000000000, kJita),
                   PersonalOrder(kTritanium, false, 2000000000, kJita),
                   PersonalOrder(kTritanium, true, 2000000000, kJita),
                   PersonalOrder(kTritanium, true, 147483647, kJita)}));
    EXPECT_EQ(GetPersonalOrderVolume("Jita", "Tritanium", 1), INT_MAX);
    EXPECT_EQ(GetPersonalOrderVolume("Jita", "Tritanium", 0), INT_MAX);
}

// ---- wallet transactions ----

const std::string kTransactions = UserPath("v1/characters/&user&/wallet/transactions/");

std::string Transaction(uint32_t typeId, bool buy, int quantity, long long location, const std::string& date) {
    return "{\"client_id\":1,\"date\":\"" + date + "\",\"is_buy\":" + (buy ? "true" : "false") +
           ",\"is_personal\":true,\"journal_ref_id\":1,\"location_id\":" + std::to_string(location) +
           ",\"quantity\":" + std::to_string(quantity) + ",\"transaction_id\":1,\"type_id\":" +
           std::to_string(typeId) + ",\"unit_price\":4.25}";
}

class TransactionsTest : public esitest::EsiTest {
protected:
    std::string Recent() const { return testsupport::EsiDate(time(nullptr) - 3600); }
    size_t RequestsOfQueryAtAge(int age) {
        size_t made = 0;
        EXPECT_TRUE(esitest::WithinOneSecond([&](time_t now) {
            const size_t before = api.RequestCount();
            g_TransactionsTime = CTime(now - age);
            GetTransactionQuantity("Tritanium", "", 1, 1);
            made = api.RequestCount() - before;
        }));
        return made;
    }
};

TEST_F(TransactionsTest, DownloadsWhenOlderThan900Seconds) {
    api.Set(kTransactions, 200, Array({Transaction(kTritanium, false, 5, kJita, Recent())}));
    const time_t before = time(nullptr);
    EXPECT_EQ(GetTransactionQuantity("Tritanium", "Jita", 1, 1), 5);
    EXPECT_GE(g_TransactionsTime.GetTime(), before);
    EXPECT_EQ(DownloadTitles(), std::vector<std::string>{"Transactions"});
    EXPECT_EQ(GetTransactionQuantity("Tritanium", "Jita", 1, 1), 5);
    EXPECT_EQ(api.RequestCount(), 1u);
    EXPECT_EQ(RequestsOfQueryAtAge(900), 0u);
    EXPECT_EQ(RequestsOfQueryAtAge(901), 1u);
    EXPECT_EQ(RequestsOfQueryAtAge(-5000), 0u);
}

TEST_F(TransactionsTest, AnEmptyAnswerStampsAndAnUnparsableOneDoesNot) {
    api.Set(kTransactions, 200, "[]");
    EXPECT_EQ(GetTransactionQuantity("Tritanium", "", 30, 0), 0);
    EXPECT_EQ(GetTransactionQuantity("Tritanium", "", 30, 0), 0);
    EXPECT_EQ(api.RequestCount(), 1u);

    g_TransactionsTime = CTime(time(nullptr) - 1000);
    const CTime old = g_TransactionsTime;
    api.Set(kTransactions, 200, "<html><body>502 Bad Gateway</body></html>");
    EXPECT_EQ(GetTransactionQuantity("Tritanium", "", 30, 0), 0);
    EXPECT_EQ(g_TransactionsTime, old);
    EXPECT_EQ(g_Transactions.GetSize(), 0);
    esitest::LetHoldsPass();
    api.Set(kTransactions, 200, Array({Transaction(kTritanium, true, 5, kJita, Recent())}));
    EXPECT_EQ(GetTransactionQuantity("Tritanium", "", 30, 0), 5);
    EXPECT_EQ(api.RequestCount(), 3u);
}

TEST_F(TransactionsTest, SidesLocationsAndItems) {
    const std::string date = Recent();
    api.Set(kTransactions, 200,
            Array({Transaction(kTritanium, false, 1, kJita, date), Transaction(kTritanium, true, 2, kJita, date),
                   Transaction(kTritanium, false, 4, esitest::kAmarr, date),
                   Transaction(kTritanium, false, 8, 1022734985679, date),
                   Transaction(kTritanium, true, 16, 60003466, date),
                   "{\"date\":\"" + date + "\",\"location_id\":60003760,\"quantity\":32,\"type_id\":34}",
                   "{\"date\":\"" + date + "\",\"is_buy\":true,\"location_id\":60003760,\"quantity\":64}",
                   Transaction(35, false, 128, kJita, date)}));
    EXPECT_EQ(GetTransactionQuantity("Tritanium", "Jita", 1, 1), 1 + 32);
    EXPECT_EQ(GetTransactionQuantity("Tritanium", "JITA", 1, 0), 2);
    EXPECT_EQ(GetTransactionQuantity("Tritanium", "other", 1, 1), 8);
    EXPECT_EQ(GetTransactionQuantity("Tritanium", "OTHER", 1, 0), 16);
    EXPECT_EQ(GetTransactionQuantity("Tritanium", "", 1, 1), 1 + 4 + 8 + 32);
    EXPECT_EQ(GetTransactionQuantity("Tritanium", "Somewhere", 1, 0), 2 + 16);
    EXPECT_EQ(GetTransactionQuantity("Tritanium", "Amarr", 1, 7), 4);
    EXPECT_EQ(GetTransactionQuantity("Pyerite", "Jita", 1, 1), 128);
    // A name the database lacks is type id 0: it matches the entries without a type.
    EXPECT_EQ(GetTransactionQuantity("Not An Item", "", 1, 0), 64);
    EXPECT_EQ(api.RequestCount(), 1u);
}

TEST_F(TransactionsTest, ExactlyDaysOldCountsOneSecondOlderDoesNot) {
    int counted = -1, countedToday = -1, countedTomorrow = -1;
    ASSERT_TRUE(esitest::WithinOneSecond([&](time_t now) {
        esitest::ResetCaches();
        api.Set(kTransactions, 200,
                Array({Transaction(kTritanium, false, 1, kJita, testsupport::EsiDate(now - 3 * 86400)),
                       Transaction(kTritanium, false, 2, kJita, testsupport::EsiDate(now - 3 * 86400 - 1)),
                       Transaction(kTritanium, false, 4, kJita, testsupport::EsiDate(now)),
                       Transaction(kTritanium, false, 8, kJita, testsupport::EsiDate(now - 1)),
                       Transaction(kTritanium, false, 16, kJita, testsupport::EsiDate(now + 86400))}));
        counted = GetTransactionQuantity("Tritanium", "Jita", 3, 1);
        countedToday = GetTransactionQuantity("Tritanium", "Jita", 0, 1);
        countedTomorrow = GetTransactionQuantity("Tritanium", "Jita", -1, 1);
    }));
    EXPECT_EQ(counted, 1 + 4 + 8 + 16);
    EXPECT_EQ(countedToday, 4 + 16);
    // A negative count of days moves the cutoff into the future.
    EXPECT_EQ(countedTomorrow, 16);
}

TEST_F(TransactionsTest, AMissingDateIsTheConvertersFailureValue) {
    api.Set(kTransactions, 200,
            Array({"{\"location_id\":60003760,\"quantity\":5,\"type_id\":34}",
                   "{\"date\":20230517,\"location_id\":60003760,\"quantity\":6,\"type_id\":34}"}));
    EXPECT_EQ(GetTransactionQuantity("Tritanium", "Jita", 365, 1), 0);
    ASSERT_EQ(g_Transactions.GetSize(), 2);
    EXPECT_EQ(g_Transactions[0].date.GetTime(), -1);
    EXPECT_EQ(g_Transactions[1].date.GetTime(), -1);
    // Only a cutoff before 1970 lets them count: 32767 days reach back to 1880.
    EXPECT_EQ(GetTransactionQuantity("Tritanium", "Jita", 32767, 1), 11);
}

// Only a list is an answer: an object is not walked as one, and nothing is stamped.
TEST_F(TransactionsTest, ARootObjectIsNoAnswer) {
    const std::string date = Recent();
    api.Set(kTransactions, 200,
            "{\"x\":{\"date\":\"" + date + "\",\"location_id\":60003760,\"quantity\":3,\"type_id\":34,"
            "\"unit_price\":2.5},\"y\":\"error\"}");
    const CTime start = g_TransactionsTime;
    EXPECT_EQ(GetTransactionQuantity("Tritanium", "Jita", 1, 1), 0);
    EXPECT_EQ(g_TransactionsTime, start);
    EXPECT_EQ(g_Transactions.GetSize(), 0);
}

TEST_F(TransactionsTest, TheSumStopsAtTheLargestCount) {
    const std::string date = Recent();
    api.Set(kTransactions, 200,
            Array({Transaction(kTritanium, false, 2000000000, kJita, date),
                   Transaction(kTritanium, false, 2000000000, kJita, date),
                   Transaction(kTritanium, true, -5, kJita, date)}));
    EXPECT_EQ(GetTransactionQuantity("Tritanium", "Jita", 1, 1), INT_MAX);
    EXPECT_EQ(GetTransactionQuantity("Tritanium", "Jita", 1, 0), 0);
}

// ---- industry jobs ----

const std::string kJobs = UserPath("v1/characters/&user&/industry/jobs/");

std::string Job(uint32_t blueprint, uint32_t product, long long runs) {
    return "{\"activity_id\":1,\"blueprint_type_id\":" + std::to_string(blueprint) + ",\"product_type_id\":" +
           std::to_string(product) + ",\"runs\":" + std::to_string(runs) + ",\"status\":\"active\"}";
}

// A product whose one run yields more than one unit: a run makes 40 Nitrogen Fuel Blocks.
constexpr uint32_t kFuelBlock = 4051;

class IndustryJobsTest : public esitest::EsiTest {
protected:
    size_t RequestsOfQueryAtAge(int age) {
        size_t made = 0;
        EXPECT_TRUE(esitest::WithinOneSecond([&](time_t now) {
            const size_t before = api.RequestCount();
            g_IndustryJobsTime = CTime(now - age);
            GetProductionAmount("Tritanium");
            made = api.RequestCount() - before;
        }));
        return made;
    }
};

TEST_F(IndustryJobsTest, RunsTimesTheUnitsOfOneRun) {
    api.Set(kJobs, 200,
            Array({Job(1000, kFuelBlock, 3), Job(1000, kFuelBlock, 2), Job(1000, kTritanium, 7), Job(1000, 35, 11),
                   Job(1001, 36, 13)}));
    EXPECT_EQ(GetProductionAmount("Nitrogen Fuel Block"), 200);
    EXPECT_EQ(GetProductionAmount("tritanium"), 7);
    EXPECT_EQ(GetProductionAmount("Mexallon"), 13);
    EXPECT_EQ(GetProductionAmount("Isogen"), 0);
    EXPECT_EQ(api.RequestCount(), 1u);
    EXPECT_EQ(DownloadTitles(), std::vector<std::string>{"Industry jobs"});
    ASSERT_EQ(g_IndustryJobs.GetSize(), 5);
    EXPECT_EQ(g_IndustryJobs[0].blueprint_type_id, 1000u);
    EXPECT_EQ(g_IndustryJobs[0].output_per_run, 40u);
    EXPECT_EQ(g_IndustryJobs[2].output_per_run, 1u);
}

// An empty list is a complete answer, kept like any other; a text that is no list is not.
TEST_F(IndustryJobsTest, ACharacterWithoutJobsIsAskedOncePerCacheLifetime) {
    api.Set(kJobs, 200, "[]");
    const time_t before = time(nullptr);
    EXPECT_EQ(GetProductionAmount("Tritanium"), 0);
    EXPECT_EQ(GetProductionAmount("Tritanium"), 0);
    EXPECT_GE(g_IndustryJobsTime.GetTime(), before);
    EXPECT_EQ(api.RequestCount(), 1u);
    EXPECT_EQ(DownloadDialogs().size(), 1u);

    api.Set(kJobs, 200, "{not json");
    g_IndustryJobsTime = CTime(before - 1000);
    const CTime stale = g_IndustryJobsTime;
    EXPECT_EQ(GetProductionAmount("Tritanium"), 0);
    EXPECT_EQ(g_IndustryJobsTime, stale);
    EXPECT_EQ(api.RequestCount(), 2u);
}

TEST_F(IndustryJobsTest, FreshFor900SecondsOnceAJobWasStored) {
    api.Set(kJobs, 200, Array({Job(1000, kTritanium, 2)}));
    const time_t before = time(nullptr);
    EXPECT_EQ(GetProductionAmount("Tritanium"), 2);
    EXPECT_GE(g_IndustryJobsTime.GetTime(), before);
    EXPECT_EQ(RequestsOfQueryAtAge(900), 0u);
    EXPECT_EQ(RequestsOfQueryAtAge(901), 1u);
    EXPECT_EQ(RequestsOfQueryAtAge(-10), 0u);

    // A later download without jobs empties the cache and is stamped.
    api.Set(kJobs, 200, "[]");
    g_IndustryJobsTime = CTime(time(nullptr) - 1000);
    const CTime old = g_IndustryJobsTime;
    EXPECT_EQ(GetProductionAmount("Tritanium"), 0);
    EXPECT_GT(g_IndustryJobsTime, old);
    EXPECT_EQ(g_IndustryJobs.GetSize(), 0);
}

TEST_F(IndustryJobsTest, AnUnknownItemCountsTheRunsOfJobsWithoutAProduct) {
    api.Set(kJobs, 200,
            Array({"{\"blueprint_type_id\":1000,\"runs\":4}", "{\"product_type_id\":\"34\",\"runs\":5}",
                   Job(1000, kTritanium, 6)}));
    EXPECT_EQ(GetProductionAmount("Not An Item"), 9);
    EXPECT_EQ(GetProductionAmount(""), 9);
}

// An error object walked as a list would give a job per member.
TEST_F(IndustryJobsTest, ARootObjectIsNoAnswer) {
    api.Set(kJobs, 200, "{\"first\":{\"product_type_id\":34,\"runs\":3},\"second\":[1,2]}");
    const CTime start = g_IndustryJobsTime;
    EXPECT_EQ(GetProductionAmount("Tritanium"), 0);
    EXPECT_EQ(g_IndustryJobs.GetSize(), 0);
    EXPECT_EQ(g_IndustryJobsTime, start);
}

TEST_F(IndustryJobsTest, ProductsAndSumsStopAtTheLargestCount) {
    // Each job of 50,000,000 runs makes 2,000,000,000 blocks, below 2^31; the two together pass it.
    api.Set(kJobs, 200, Array({Job(1000, kFuelBlock, 50000000), Job(1000, kFuelBlock, 50000000)}));
    EXPECT_EQ(GetProductionAmount("Nitrogen Fuel Block"), INT_MAX);

    // Runs read as an unsigned count: one job of 2^32 - 1 runs passes even 2^32 units.
    api.Set(kJobs, 200, Array({Job(1000, kFuelBlock, -1), Job(1000, kTritanium, 2000000000),
                               Job(1000, kTritanium, 2000000000)}));
    g_IndustryJobsTime = CTime(time(nullptr) - 901);
    EXPECT_EQ(GetProductionAmount("Nitrogen Fuel Block"), INT_MAX);
    EXPECT_EQ(GetProductionAmount("Tritanium"), INT_MAX);
}

}  // namespace

// The search rule and the two comparisons, on small tables made here.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "library/database/database.h"

namespace {

struct Record {
    uint32_t key;
    int tag;
};

std::vector<int> g_probed;  // tags of the records compared, in order

int CountingCompare(const void* key, const void* record) {
    g_probed.push_back(static_cast<const Record*>(record)->tag);
    return CompareTypeId(key, record);
}

const Record* Search(const std::vector<Record>& table, uint32_t key) {
    g_probed.clear();
    return static_cast<const Record*>(
        SearchTable(&key, table.data(), table.size(), sizeof(Record), CountingCompare));
}

std::vector<Record> Table(const std::vector<uint32_t>& keys) {
    std::vector<Record> table;
    for (std::size_t i = 0; i < keys.size(); ++i) table.push_back({keys[i], static_cast<int>(i)});
    return table;
}

TEST(SearchTable, ProbesTheLowerMiddleAndNarrowsAsDescribed) {
    const auto table = Table({10, 20, 30, 40, 50, 60, 70, 80, 90, 100});
    EXPECT_EQ(Search(table, 5), nullptr);
    EXPECT_EQ(g_probed, (std::vector<int>{4, 1, 0}));
    EXPECT_EQ(Search(table, 500), nullptr);
    EXPECT_EQ(g_probed, (std::vector<int>{4, 7, 8, 9}));
    ASSERT_NE(Search(table, 70), nullptr);
    EXPECT_EQ(g_probed, (std::vector<int>{4, 7, 5, 6}));
    EXPECT_EQ(Search(table, 65), nullptr);
    EXPECT_EQ(g_probed, (std::vector<int>{4, 7, 5, 6}));

    const auto odd = Table({1, 2, 3, 4, 5, 6, 7});
    ASSERT_NE(Search(odd, 2), nullptr);
    EXPECT_EQ(g_probed, (std::vector<int>{3, 1}));
}

TEST(SearchTable, ReturnsTheDuplicateThatAProbeMeetsFirst) {
    // Even count: the probe is the lower middle, so of four equal keys the second one.
    EXPECT_EQ(Search(Table({7, 7, 7, 7}), 7)->tag, 1);
    EXPECT_EQ(Search(Table({7, 7}), 7)->tag, 0);
    EXPECT_EQ(Search(Table({7, 7, 7}), 7)->tag, 1);
    // The run of equal keys lies after the first probe: the second probe lands on its middle.
    const auto table = Table({1, 1, 1, 1, 1, 1, 5, 5, 5, 5});
    EXPECT_EQ(Search(table, 1)->tag, 4);
    EXPECT_EQ(Search(table, 5)->tag, 7);
    // Three equal records just past the middle of eleven: the first probe misses them all.
    const auto tail = Table({1, 2, 3, 4, 5, 6, 9, 9, 9, 10, 11});
    EXPECT_EQ(Search(tail, 9)->tag, 8);
}

TEST(SearchTable, EmptyAndSingleRecordTables) {
    const std::vector<Record> none;
    EXPECT_EQ(Search(none, 1), nullptr);
    EXPECT_TRUE(g_probed.empty());
    const auto one = Table({42});
    EXPECT_EQ(Search(one, 42)->tag, 0);
    EXPECT_EQ(Search(one, 41), nullptr);
}

TEST(CompareTypeId, ComparesUnsignedAndAnswersOnlyMinusOneZeroOne) {
    const Record small{1, 0}, large{0x80000000u, 0};
    const uint32_t big = 0xFFFFFFFFu, one = 1, zero = 0;
    EXPECT_EQ(CompareTypeId(&big, &small), 1);
    EXPECT_EQ(CompareTypeId(&zero, &large), -1);
    EXPECT_EQ(CompareTypeId(&one, &small), 0);
    EXPECT_EQ(CompareTypeId(&big, &large), 1);
}

TEST(CompareItemName, FoldsOnlyAsciiLetters) {
    const item_entry raven{638, "Raven", 1.0};
    EXPECT_EQ(CompareItemName("RAVEN", &raven), 0);
    EXPECT_EQ(CompareItemName("rAvEn", &raven), 0);
    EXPECT_LT(CompareItemName("Rave", &raven), 0);
    EXPECT_GT(CompareItemName("Ravens", &raven), 0);

    // '_' sits between the upper and lower case letters: folding puts it before every letter.
    const item_entry underscore{1, "_", 1.0};
    EXPECT_GT(CompareItemName("Z", &underscore), 0);
    EXPECT_GT(CompareItemName("z", &underscore), 0);
    const item_entry bracket{2, "[", 1.0};  // '[' follows 'Z' and precedes 'a'
    EXPECT_GT(CompareItemName("A", &bracket), 0);

    // Bytes above 0x7F compare unsigned and never fold: \xC3\xA9 (e acute) is not \xC3\x89 (E acute).
    const item_entry accented{3, "Caf\xC3\xA9", 1.0};
    EXPECT_NE(CompareItemName("CAF\xC3\x89", &accented), 0);
    EXPECT_EQ(CompareItemName("CAF\xC3\xA9", &accented), 0);
    EXPECT_LT(CompareItemName("Caf\xC3", &accented), 0);
    EXPECT_GT(CompareItemName("Caf\xFF", &accented), 0);
    EXPECT_LT(CompareItemName("Caf~", &accented), 0);
}

}  // namespace

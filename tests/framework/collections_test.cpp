// CMap, CArray and CList: walk order, storage lifetime, and arguments taken from the container itself.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "framework/afxcoll.h"
#include "throws.h"

namespace {

template <class K, class AK, class V, class AV>
std::vector<K> KeysInWalkOrder(const CMap<K, AK, V, AV>& map) {
    std::vector<K> keys;
    POSITION pos = map.GetStartPosition();
    while (pos) {
        K key;
        V value;
        map.GetNextAssoc(pos, key, value);
        keys.push_back(key);
    }
    return keys;
}

std::vector<std::string> StringKeys(const CMap<CString, LPCSTR, CString, CString&>& map) {
    std::vector<std::string> out;
    for (const CString& k : KeysInWalkOrder(map)) out.emplace_back(k.GetString());
    return out;
}

TEST(CMapOrder, BucketByBucketNewestFirstWithinABucket) {
    CMap<DWORD, DWORD, DWORD, DWORD> map;
    // 17 buckets: 0 and 17 share bucket 0; 1, 18 and 35 bucket 1; 2 is alone in bucket 2.
    for (DWORD key : {1u, 0u, 18u, 2u, 17u, 35u}) map.SetAt(key, key * 10);
    EXPECT_EQ(KeysInWalkOrder(map), (std::vector<DWORD>{17, 0, 35, 18, 1, 2}));

    // Replacing a value keeps the association where it is.
    map[1] = 7;
    map.SetAt(17, 8);
    EXPECT_EQ(KeysInWalkOrder(map), (std::vector<DWORD>{17, 0, 35, 18, 1, 2}));
    DWORD value = 0;
    EXPECT_TRUE(map.Lookup(1, value));
    EXPECT_EQ(value, 7u);
    EXPECT_EQ(map.GetCount(), 6);

    // Another table size moves the buckets.
    CMap<DWORD, DWORD, DWORD, DWORD> small;
    small.InitHashTable(7);
    for (DWORD key : {1u, 8u, 7u, 3u}) small[key] = 0;
    EXPECT_EQ(KeysInWalkOrder(small), (std::vector<DWORD>{7, 8, 1, 3}));
}

TEST(CMapOrder, SixtyFourBitKeysFoldTheirHighHalf) {
    CMap<__int64, __int64, CString, CString&> names;
    // 0x100000000 folds to 1, -1 to 0, 0x500000003 to 6, 23 is bucket 6 too.
    for (__int64 key : {__int64(0x100000000LL), __int64(-1), __int64(23), __int64(0x500000003LL), __int64(5)}) names[key];
    EXPECT_EQ(KeysInWalkOrder(names), (std::vector<__int64>{-1, 0x100000000LL, 5, 0x500000003LL, 23}));
    CString name;
    EXPECT_TRUE(names.Lookup(23, name));
    EXPECT_TRUE(name.IsEmpty());  // operator[] made an empty text
}

TEST(CMapOrder, TextKeysHashOverTheirBytes) {
    CMap<CString, LPCSTR, CString, CString&> map;
    // "a" = 97 -> bucket 12, "b" = 98 -> 13, "ab" = 97*33+98 = 3299 -> 1, "" -> 0, "ba" = 3331 -> 16.
    for (const char* key : {"a", "b", "ab", "", "ba"}) {
        CString value(key);
        value += "!";
        map.SetAt(key, value);
    }
    EXPECT_EQ(StringKeys(map), (std::vector<std::string>{"", "ab", "a", "b", "ba"}));

    // Looked up by text, not by pointer.
    char buffer[3] = {'a', 'b', 0};
    CString value;
    ASSERT_TRUE(map.Lookup(buffer, value));
    EXPECT_STREQ(value, "ab!");
    EXPECT_FALSE(map.Lookup("AB", value));
}

TEST(CMapLifetime, TableIsMadeOnFirstInsertionAndFreedWithTheLastAssociation) {
    CMap<DWORD, DWORD, DWORD, DWORD> map;
    // Every read of a map without a table.
    DWORD value = 5;
    EXPECT_FALSE(map.Lookup(3, value));
    EXPECT_EQ(value, 5u);
    EXPECT_FALSE(map.RemoveKey(3));
    EXPECT_EQ(map.GetStartPosition(), nullptr);
    EXPECT_TRUE(map.IsEmpty());

    map[3] = 4;
    map[20] = 5;
    EXPECT_TRUE(map.RemoveKey(3));
    EXPECT_FALSE(map.RemoveKey(3));
    EXPECT_TRUE(map.RemoveKey(20));  // the last one: table and blocks go
    EXPECT_TRUE(map.IsEmpty());
    EXPECT_EQ(map.GetStartPosition(), nullptr);
    EXPECT_FALSE(map.Lookup(20, value));
    map[37] = 1;
    map[3] = 2;
    EXPECT_EQ(KeysInWalkOrder(map), (std::vector<DWORD>{3, 37}));  // both in bucket 3
}

TEST(CMapLifetime, RemoveAllThenReuse) {
    CMap<CString, LPCSTR, CString, CString&> map;
    for (int round = 0; round < 3; ++round) {
        for (const char* key : {"a", "b", "ab", "", "ba"}) {
            CString value(key);
            map.SetAt(key, value);
        }
        EXPECT_EQ(map.GetCount(), 5);
        EXPECT_EQ(StringKeys(map), (std::vector<std::string>{"", "ab", "a", "b", "ba"}));
        map.RemoveAll();
        EXPECT_EQ(map.GetCount(), 0);
        EXPECT_EQ(map.GetStartPosition(), nullptr);
    }
}

struct Counts {
    int volume;
    double price;
    CString label;
};

TEST(CMapLifetime, ReusedAssociationsStartZeroed) {
    CMap<DWORD, DWORD, Counts, Counts&> map(4);
    for (DWORD k = 0; k < 9; ++k) map[k] = Counts{int(k) + 1, 2.5, CString("label")};
    for (DWORD k = 0; k < 9; k += 2) map.RemoveKey(k);
    for (DWORD k = 100; k < 105; ++k) {
        Counts& fresh = map[k];  // takes a slot an old association used
        EXPECT_EQ(fresh.volume, 0);
        EXPECT_EQ(fresh.price, 0.0);
        EXPECT_TRUE(fresh.label.IsEmpty());
    }
    EXPECT_EQ(map.GetCount(), 9);
}

TEST(CMapWalk, RemovingKeysOfAnotherMapAndTheCurrentKey) {
    CMap<DWORD, DWORD, DWORD, DWORD> a, b;
    for (DWORD k = 0; k < 200; ++k) {
        a[k] = k;
        b[k * 3] = k;
    }
    POSITION pos = a.GetStartPosition();
    while (pos) {
        DWORD key, value;
        a.GetNextAssoc(pos, key, value);
        b.RemoveKey(key);
    }
    EXPECT_EQ(b.GetCount(), 133);  // multiples of 3 from 201 to 597
    DWORD v;
    EXPECT_FALSE(b.Lookup(198, v));
    EXPECT_TRUE(b.Lookup(201, v));

    // The key just returned may be removed: the position already points past it.
    int visited = 0;
    pos = a.GetStartPosition();
    while (pos) {
        DWORD key, value;
        a.GetNextAssoc(pos, key, value);
        ++visited;
        if (key % 2) a.RemoveKey(key);
    }
    EXPECT_EQ(visited, 200);
    EXPECT_EQ(a.GetCount(), 100);
}

TEST(CMapWalk, AgreesWithAReferenceMapAcrossManyBlocks) {
    CMap<CString, LPCSTR, CString, CString&> map;
    std::map<std::string, std::string> expected;
    for (int i = 0; i < 2000; ++i) {
        CString key, value;
        key.Format("key%d", (i * 7919) % 1500);
        value.Format("value%d", i);
        map.SetAt(key, value);
        expected[key.GetString()] = value.GetString();
        if (i % 3 == 0) {
            CString gone;
            gone.Format("key%d", i % 1500);
            EXPECT_EQ(map.RemoveKey(gone) != FALSE, expected.erase(gone.GetString()) == 1);
        }
    }
    ASSERT_EQ(map.GetCount(), static_cast<INT_PTR>(expected.size()));
    std::map<std::string, std::string> walked;
    for (POSITION pos = map.GetStartPosition(); pos;) {
        CString key, value;
        map.GetNextAssoc(pos, key, value);
        walked[key.GetString()] = value.GetString();
    }
    EXPECT_EQ(walked, expected);
}

TEST(CArrayOfText, GrowthKeepsTheElements) {
    CArray<CString, CString&> arr;
    for (int i = 0; i < 300; ++i) {
        CString s;
        s.Format("item %d with enough text to live on the heap", i);
        EXPECT_EQ(arr.Add(s), i);
    }
    EXPECT_EQ(arr.GetSize(), 300);
    EXPECT_STREQ(arr[9].Left(7), "item 9 ");
    EXPECT_STREQ(arr[299].Left(8), "item 299");
    arr.RemoveAll();
    EXPECT_EQ(arr.GetSize(), 0);
    EXPECT_TRUE(arr.IsEmpty());
}

TEST(CArrayOfText, ElementsOfTheArrayItselfAsArguments) {
    // Each call passes a reference into the array's own storage, which the call may move.
    CArray<CString, CString&> arr;
    CString seed("seed text long enough to live on the heap");
    arr.Add(seed);
    for (int i = 0; i < 40; ++i) arr.Add(arr[i]);
    for (int i = 0; i < 41; ++i) EXPECT_STREQ(arr[i], seed) << i;
}

struct Field {
    CString name;
    CString value;
};

TEST(CArrayOfRecords, OutOfRangeAccess) {
    CArray<Field, Field&> fields;
    Field f{"code", "abc"};
    fields.Add(f);
    f.name = "state";
    fields.Add(f);

    EXPECT_TRUE(ThrowsAndFrees<CInvalidArgException>([&] { fields[-1]; }));
    const CArray<Field, Field&>& view = fields;
    EXPECT_TRUE(ThrowsAndFrees<CInvalidArgException>([&] { view[5]; }));
    EXPECT_EQ(fields.GetSize(), 2);
    EXPECT_STREQ(fields[1].name, "state");
}

struct Order {
    int type;
    int volume;
    CString where;
};

std::string Walk(const CList<Order, const Order&>& list) {
    std::string out;
    for (POSITION pos = list.GetHeadPosition(); pos;) out += std::to_string(list.GetNext(pos).type);
    return out;
}

TEST(CListPositions, AddedAtTheTailAndWalkedFromTheHead) {
    CList<Order, const Order&> list;
    EXPECT_EQ(list.GetHeadPosition(), nullptr);
    list.AddTail(Order{3, 30, "Jita"});
    list.AddTail(Order{1, 10, "Amarr"});
    list.AddTail(Order{5, 50, "Rens"});
    EXPECT_EQ(Walk(list), "315");
    POSITION pos = list.GetHeadPosition();
    list.GetNext(pos).volume = 31;  // the element itself, not a copy
    EXPECT_EQ(list.GetNext(pos).volume, 10);
    pos = list.GetHeadPosition();
    EXPECT_EQ(list.GetNext(pos).volume, 31);

    list.RemoveAll();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.GetHeadPosition(), nullptr);
    list.AddTail(Order{8, 0, ""});
    EXPECT_EQ(Walk(list), "8");
}

}  // namespace

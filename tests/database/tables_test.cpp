// The committed tables: their orders, that every record is found the way callers look it up, and
// records of the present data that the exports depend on.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "library/database/database.h"
#include "platform/win32api.h"

namespace {

std::string Upper(std::string s) {
    for (char& c : s) if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string Lower(std::string s) {
    for (char& c : s) if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

uint32_t IdOf(const char* name) {
    const item_entry* item = FindItemByName(name);
    return item ? item->type_id : 0;
}

TEST(DatabaseTables, OrdersAreThoseTheLookupsNeed) {
    ASSERT_GT(g_ItemCount, 0u);
    for (std::size_t i = 1; i < g_ItemCount; ++i) {
        EXPECT_LT(g_ItemsById[i - 1].type_id, g_ItemsById[i].type_id) << i;
        const int order = _stricmp(g_ItemsByName[i - 1].name, g_ItemsByName[i].name);
        EXPECT_LE(order, 0) << g_ItemsByName[i].name;
    }
    for (std::size_t i = 1; i < g_BlueprintCount; ++i)
        EXPECT_LT(g_BlueprintTable[i - 1].product_id, g_BlueprintTable[i].product_id) << i;
    for (std::size_t i = 1; i < g_InventionCount; ++i)
        EXPECT_LE(g_InventionTable[i - 1].product_id, g_InventionTable[i].product_id) << i;
}

TEST(DatabaseTables, BothItemTablesHoldTheSameRecordsSharingTheirTexts) {
    std::set<uint32_t> seen;
    for (std::size_t i = 0; i < g_ItemCount; ++i) {
        const item_entry& byName = g_ItemsByName[i];
        ASSERT_NE(byName.type_id, 0u);
        ASSERT_NE(byName.name, nullptr);
        EXPECT_TRUE(seen.insert(byName.type_id).second) << byName.type_id;
        const item_entry* byId = FindItemById(byName.type_id);
        ASSERT_NE(byId, nullptr) << byName.type_id;
        EXPECT_EQ(byId->name, byName.name) << "text stored twice for " << byName.type_id;
        EXPECT_EQ(byId->volume, byName.volume);
    }
}

TEST(DatabaseTables, EveryItemIsFoundByItsNameInAnyLetterCase) {
    std::size_t doubled = 0;
    for (std::size_t i = 0; i < g_ItemCount; ++i) {
        const item_entry& item = g_ItemsByName[i];
        const bool shared = (i > 0 && _stricmp(g_ItemsByName[i - 1].name, item.name) == 0) ||
                            (i + 1 < g_ItemCount && _stricmp(g_ItemsByName[i + 1].name, item.name) == 0);
        doubled += shared;
        const std::string name = item.name;
        const item_entry* own = FindItemByName(name.c_str());
        ASSERT_NE(own, nullptr) << name;
        EXPECT_EQ(_stricmp(own->name, item.name), 0) << name;
        if (!shared) {
            EXPECT_EQ(own, &item) << name;
        }
        for (const std::string& key : {Upper(name), Lower(name)}) EXPECT_EQ(FindItemByName(key.c_str()), own) << key;
    }
    EXPECT_EQ(doubled, 4u);

    // A name that two items share finds the one with the higher id, by its text and in any case.
    EXPECT_EQ(IdOf("Expired Basic 'Radiance' Cerebral Accelerator"), 52807u);
    EXPECT_EQ(IdOf("EXPIRED BASIC 'RADIANCE' CEREBRAL ACCELERATOR"), 52807u);
    EXPECT_EQ(IdOf("Expired Extended 'Radiance' Cerebral Accelerator"), 52809u);
    EXPECT_EQ(IdOf("expired extended 'radiance' cerebral accelerator"), 52809u);
    EXPECT_EQ(FindItemById(48605)->name, std::string("Expired Basic 'Radiance' Cerebral Accelerator"));
    EXPECT_EQ(FindItemById(52809)->name, std::string("Expired Extended 'Radiance' Cerebral Accelerator"));
}

TEST(DatabaseTables, NonAsciiNamesAreFoundOnlyByTheirExactBytes) {
    // "乌鸦级YC117年特别版", the Raven special edition.
    const char* name = "\344\271\214\351\270\246\347\272\247YC117\345\271\264\347\211\271\345\210\253\347\211\210";
    ASSERT_EQ(IdOf(name), 34469u);
    std::string key = name;
    EXPECT_EQ(IdOf(Lower(key).c_str()), 34469u);  // only its ASCII letters fold
    key[1] ^= 0x20;  // the bit that would change an ASCII letter's case
    EXPECT_EQ(FindItemByName(key.c_str()), nullptr);
    EXPECT_EQ(FindItemByName(std::string(name, 6).c_str()), nullptr);
    // Latin-1 bytes for "Raven" with an accent find nothing either.
    EXPECT_EQ(FindItemByName("R\xE2ven"), nullptr);
}

TEST(DatabaseTables, NameLookupsOfNamedItems) {
    EXPECT_EQ(IdOf("Raven"), 638u);
    EXPECT_EQ(IdOf("raven"), 638u);
    EXPECT_EQ(IdOf("RAVEN"), 638u);
    EXPECT_EQ(IdOf("Abaddon"), 24692u);
    EXPECT_EQ(IdOf("Zydrine"), 39u);
    EXPECT_EQ(IdOf("Electronic Parts"), 3687u);
    EXPECT_EQ(IdOf("Large Module, Consumable, Drone Research I"), 37196u);
    const char* decryptors[] = {"Accelerant Decryptor",           "Attainment Decryptor",
                                "Augmentation Decryptor",         "Parity Decryptor",
                                "Process Decryptor",              "Symmetry Decryptor",
                                "Optimized Attainment Decryptor", "Optimized Augmentation Decryptor"};
    for (uint32_t i = 0; i < 8; ++i) EXPECT_EQ(IdOf(decryptors[i]), 34201u + i) << decryptors[i];

    EXPECT_EQ(FindItemByName(""), nullptr);
    EXPECT_EQ(FindItemByName(nullptr), nullptr);
    EXPECT_EQ(FindItemById(0), nullptr);
    EXPECT_EQ(FindItemById(0xFFFFFFFFu), nullptr);

    const item_entry* tritanium = FindItemById(34);
    ASSERT_NE(tritanium, nullptr);
    EXPECT_STREQ(tritanium->name, "Tritanium");
    EXPECT_DOUBLE_EQ(tritanium->volume, 0.01);
    EXPECT_DOUBLE_EQ(FindItemByName("Raven")->volume, 470000.0);
    EXPECT_DOUBLE_EQ(FindItemByName("Tengu")->volume, 92000.0);
}

TEST(DatabaseTables, ReferencedIdsWithoutATypeRowAreNamedUnknown) {
    const item_entry* item = FindItemById(37236);
    ASSERT_NE(item, nullptr);
    EXPECT_STREQ(item->name, "unknown 37236");
    EXPECT_EQ(item->volume, 1.0);
    EXPECT_EQ(IdOf("UNKNOWN 3924"), 3924u);
    std::size_t unknown = 0;
    for (std::size_t i = 0; i < g_ItemCount; ++i)
        if (std::strncmp(g_ItemsById[i].name, "unknown ", 8) == 0) {
            ++unknown;
            EXPECT_EQ(g_ItemsById[i].name, "unknown " + std::to_string(g_ItemsById[i].type_id));
        }
    EXPECT_EQ(unknown, 25u);
    // The product of the only invention whose manufactured item once lacked a name has one now.
    ASSERT_NE(FindItemById(27023), nullptr);
    EXPECT_STREQ(FindItemById(27023)->name, "Perpetual Motion Unit II");
    ASSERT_NE(FindInvention(27023), nullptr);
}

TEST(DatabaseTables, RecordsAreWellFormedAndTheirIdsHaveItems) {
    for (std::size_t i = 0; i < g_BlueprintCount; ++i) {
        const blueprint_entry& bp = g_BlueprintTable[i];
        EXPECT_NE(FindItemById(bp.product_id), nullptr) << bp.product_id;
        EXPECT_NE(bp.quantity_per_run, 0u) << bp.product_id;
        bool ended = false;
        for (std::size_t k = 0; k < kBlueprintMaterials; ++k) {
            const bool empty = bp.material_id[k] == 0;
            EXPECT_EQ(empty, bp.material_quantity[k] == 0) << bp.product_id << " slot " << k;
            if (ended) {
                EXPECT_TRUE(empty) << bp.product_id << " slot " << k;
            }
            ended = ended || empty;
            if (!empty) {
                EXPECT_NE(FindItemById(bp.material_id[k]), nullptr) << bp.material_id[k];
            }
        }
    }
    for (std::size_t i = 0; i < g_InventionCount; ++i) {
        const invention_entry& inv = g_InventionTable[i];
        EXPECT_NE(FindItemById(inv.product_id), nullptr) << inv.product_id;
        EXPECT_NE(FindBlueprint(inv.product_id), nullptr) << inv.product_id;
        EXPECT_NE(inv.datacore_id[0], inv.datacore_id[1]) << inv.product_id;
        for (std::size_t k = 0; k < kInventionDatacores; ++k) {
            EXPECT_NE(FindItemById(inv.datacore_id[k]), nullptr) << inv.product_id;
            EXPECT_NE(inv.datacore_quantity[k], 0u) << inv.product_id;
        }
        EXPECT_GT(inv.probability, 0.0);
        EXPECT_LE(inv.probability, 1.0);
        EXPECT_NE(inv.skill_id[0], 0u) << inv.product_id;
        bool ended = false;
        for (std::size_t k = 0; k < kInventionSkills; ++k) {
            if (ended) {
                EXPECT_EQ(inv.skill_id[k], 0u) << inv.product_id;
            }
            ended = ended || inv.skill_id[k] == 0;
            for (std::size_t j = 0; j < k && inv.skill_id[k]; ++j) EXPECT_NE(inv.skill_id[j], inv.skill_id[k]);
        }
    }
}

TEST(DatabaseTables, RavenBillOfMaterials) {
    const blueprint_entry* raven = FindBlueprint(638);
    ASSERT_NE(raven, nullptr);
    EXPECT_EQ(raven->quantity_per_run, 1u);
    const uint32_t ids[] = {34, 35, 36, 37, 38, 39, 40, 57478, 57479, 57486};
    const uint32_t quantities[] = {5200000, 2600000, 390000, 130000, 15600, 3900, 1950, 150, 1, 75};
    for (std::size_t k = 0; k < 10; ++k) {
        EXPECT_EQ(raven->material_id[k], ids[k]) << k;
        EXPECT_EQ(raven->material_quantity[k], quantities[k]) << k;
    }
    for (std::size_t k = 10; k < kBlueprintMaterials; ++k) EXPECT_EQ(raven->material_id[k], 0u);
    EXPECT_STREQ(FindItemById(raven->material_id[0])->name, "Tritanium");

    EXPECT_EQ(FindBlueprint(34), nullptr);  // Tritanium is mined, not built
    EXPECT_EQ(FindBlueprint(0), nullptr);
    // Batch sizes: ammunition by the hundred, torpedoes by five thousand.
    ASSERT_NE(FindBlueprint(IdOf("Nuclear S")), nullptr);
    EXPECT_EQ(FindBlueprint(IdOf("Nuclear S"))->quantity_per_run, 100u);
    ASSERT_NE(FindBlueprint(IdOf("Nova Javelin Torpedo")), nullptr);
    EXPECT_EQ(FindBlueprint(IdOf("Nova Javelin Torpedo"))->quantity_per_run, 5000u);
}

TEST(DatabaseTables, ReactionBillsPublishedMakersAndSlotsInTypeIdOrder) {
    // A reaction formula's product has a bill, made by the ten thousand.
    const blueprint_entry* titanium = FindBlueprint(IdOf("Titanium Carbide"));
    ASSERT_NE(titanium, nullptr);
    EXPECT_EQ(titanium->quantity_per_run, 10000u);
    const uint32_t titaniumInputs[] = {4312, 16654, 16658, 0};
    const uint32_t titaniumQuantities[] = {5, 100, 100, 0};
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(titanium->material_id[k], titaniumInputs[k]) << k;
        EXPECT_EQ(titanium->material_quantity[k], titaniumQuantities[k]) << k;
    }

    // Several makers: the published one wins. Tungsten Carbide's formula 46207 makes 10000 a run,
    // the unpublished test formula 45732 only 20 from other inputs.
    const blueprint_entry* tungsten = FindBlueprint(16672);
    ASSERT_NE(tungsten, nullptr);
    EXPECT_EQ(tungsten->quantity_per_run, 10000u);
    EXPECT_EQ(tungsten->material_id[0], 4051u);
    // 21527 has five makers; the published 21528 is neither the first nor the last of them.
    const blueprint_entry* amplifier = FindBlueprint(21527);
    ASSERT_NE(amplifier, nullptr);
    EXPECT_EQ(amplifier->material_id[7], 21722u);
    EXPECT_EQ(amplifier->material_quantity[7], 3u);

    // Slots stand in type id order, whatever the order of the source's rows (Raven's and Small
    // Shield Extender II's are pinned in their own tests).
    for (std::size_t i = 0; i < g_BlueprintCount; ++i) {
        const blueprint_entry& bp = g_BlueprintTable[i];
        for (std::size_t k = 1; k < kBlueprintMaterials && bp.material_id[k] != 0; ++k)
            EXPECT_LT(bp.material_id[k - 1], bp.material_id[k]) << bp.product_id << " slot " << k;
    }
    for (std::size_t i = 0; i < g_InventionCount; ++i)
        EXPECT_LT(g_InventionTable[i].datacore_id[0], g_InventionTable[i].datacore_id[1])
            << g_InventionTable[i].product_id;
}

TEST(DatabaseTables, InventionLookups) {
    const invention_entry* shield = FindInvention(IdOf("Small Shield Extender II"));
    ASSERT_NE(shield, nullptr);
    EXPECT_EQ(shield->runs, 10u);
    EXPECT_STREQ(FindItemById(shield->datacore_id[0])->name, "Datacore - Hydromagnetic Physics");
    EXPECT_STREQ(FindItemById(shield->datacore_id[1])->name, "Datacore - Quantum Physics");
    EXPECT_EQ(shield->datacore_quantity[0], 1u);
    EXPECT_EQ(shield->datacore_quantity[1], 1u);
    EXPECT_DOUBLE_EQ(shield->probability, 0.34);

    // Three Tengu records stand together; the probes meet the 20-run one.
    const invention_entry* tengu = FindInvention(29984);
    ASSERT_NE(tengu, nullptr);
    EXPECT_EQ(tengu->runs, 20u);
    EXPECT_DOUBLE_EQ(tengu->probability, 0.26);
    std::size_t first = 0, count = 0;
    for (std::size_t i = 0; i < g_InventionCount; ++i)
        if (g_InventionTable[i].product_id == 29984u && count++ == 0) first = i;
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(tengu, &g_InventionTable[first]) << "the probes meet the first of the three";

    EXPECT_EQ(FindInvention(34), nullptr);
    EXPECT_EQ(FindInvention(IdOf("Raven")), nullptr);
}

TEST(DatabaseTables, CountsOfThePresentData) {
    EXPECT_EQ(g_ItemCount, 5651u);  // 5626 type rows and 25 referenced ids without one
    EXPECT_EQ(g_BlueprintCount, 4936u);
    EXPECT_EQ(g_InventionCount, 1346u);
}

}  // namespace

// The built-in game data: item types, bills of materials and invention results, compiled in as
// constant tables sorted for binary search. Nothing is loaded or written at run time, so every
// table and lookup may be used from any thread without a lock.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::size_t kBlueprintMaterials = 25;
constexpr std::size_t kInventionDatacores = 2;
constexpr std::size_t kInventionSkills = 5;

struct item_entry {
    uint32_t type_id;  // never 0
    const char* name;  // UTF-8
    double volume;     // cubic metres per unit, ships assembled
};

struct blueprint_entry {
    uint32_t product_id;
    uint32_t quantity_per_run;
    // Packed from slot 0; the first 0 id ends the list, and its quantity is 0 too.
    uint32_t material_id[kBlueprintMaterials];
    uint32_t material_quantity[kBlueprintMaterials];
};

struct invention_entry {
    uint32_t product_id;  // the item that the invented blueprint copy manufactures
    uint32_t runs;        // runs of the invented copy
    uint32_t datacore_id[kInventionDatacores];
    uint32_t datacore_quantity[kInventionDatacores];
    double probability;  // base chance of success, 0.34 = 34 %
    uint32_t skill_id[kInventionSkills];  // packed from slot 0, 0 = empty
};

// The same items twice: in name order (under CompareItemName, equal names the higher type id
// first) and in type id order. Both share the name texts.
extern const item_entry g_ItemsByName[];
extern const item_entry g_ItemsById[];
extern const std::size_t g_ItemCount;

// product_id ascending, one record per product.
extern const blueprint_entry g_BlueprintTable[];
extern const std::size_t g_BlueprintCount;

// product_id ascending; a product may have several records.
extern const invention_entry g_InventionTable[];
extern const std::size_t g_InventionCount;

// key -> uint32_t type id; record -> any record whose first field is its uint32_t key.
// -1, 0 or 1, comparing unsigned.
int CompareTypeId(const void* key, const void* record);

// key -> the name text (const char*); record -> an item_entry. _stricmp of the two: only A-Z fold.
int CompareItemName(const void* key, const void* record);

// Binary search with a fixed probe order, so that among several records equal to the key the
// one returned is always the same: while two or more records remain, the probe is the middle one
// (the lower middle of an even count); a smaller key keeps the records before it, a larger key
// the records after it. Returns the first equal record that a probe meets, or null.
const void* SearchTable(const void* key, const void* base, std::size_t count, std::size_t size,
                        int (*compare)(const void* key, const void* record));

// Null when nothing matches; a null name finds nothing.
const item_entry* FindItemByName(const char* name);
const item_entry* FindItemById(uint32_t typeId);
const blueprint_entry* FindBlueprint(uint32_t productId);
const invention_entry* FindInvention(uint32_t productId);

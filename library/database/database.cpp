// Lookups in the built-in game tables: items by name or id, bills and inventions by product.
#include "library/database/database.h"

#include "platform/win32api.h"

int CompareTypeId(const void* key, const void* record) {
    const uint32_t a = *static_cast<const uint32_t*>(key);
    const uint32_t b = *static_cast<const uint32_t*>(record);
    return a < b ? -1 : (a > b ? 1 : 0);
}

int CompareItemName(const void* key, const void* record) {
    return _stricmp(static_cast<const char*>(key), static_cast<const item_entry*>(record)->name);
}

const void* SearchTable(const void* key, const void* base, std::size_t count, std::size_t size,
                        int (*compare)(const void* key, const void* record)) {
    const char* first = static_cast<const char*>(base);
    std::size_t n = count;
    while (n >= 2) {
        const std::size_t half = n / 2;
        const std::size_t before = (n & 1) ? half : half - 1;  // records ahead of the probe
        const char* probe = first + before * size;
        const int order = compare(key, probe);
        if (order == 0) return probe;
        if (order < 0) {
            n = before;
        } else {
            first = probe + size;
            n = half;  // n - before - 1 for either parity
        }
    }
    if (n == 1 && compare(key, first) == 0) return first;
    return nullptr;
}

const item_entry* FindItemByName(const char* name) {
    if (!name) return nullptr;
    return static_cast<const item_entry*>(
        SearchTable(name, g_ItemsByName, g_ItemCount, sizeof(item_entry), CompareItemName));
}

const item_entry* FindItemById(uint32_t typeId) {
    return static_cast<const item_entry*>(
        SearchTable(&typeId, g_ItemsById, g_ItemCount, sizeof(item_entry), CompareTypeId));
}

const blueprint_entry* FindBlueprint(uint32_t productId) {
    return static_cast<const blueprint_entry*>(
        SearchTable(&productId, g_BlueprintTable, g_BlueprintCount, sizeof(blueprint_entry), CompareTypeId));
}

const invention_entry* FindInvention(uint32_t productId) {
    return static_cast<const invention_entry*>(
        SearchTable(&productId, g_InventionTable, g_InventionCount, sizeof(invention_entry), CompareTypeId));
}

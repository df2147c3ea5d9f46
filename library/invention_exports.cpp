// Invention answers: datacores, runs, material efficiency and chance, changed by a decryptor.
#include <cstdint>

#include "library/database/database.h"
#include "library/decryptors.h"
#include "library/esi/skills.h"
#include "library/export_support.h"
#include "library/exports.h"

namespace {

// A null name counts as an empty one, which no item has.
const decryptor_effect& DecryptorNamed(const char* name) {
    const item_entry* item = FindItemByName(name ? name : "");
    return DecryptorEffect(item ? item->type_id : 0);
}

const invention_entry* InventionOf(const char* blueprint) {
    if (!blueprint) return nullptr;
    const item_entry* item = FindItemByName(blueprint);
    return item ? FindInvention(item->type_id) : nullptr;
}

}  // namespace

QUARNELS_EXPORT BSTR GetInventionItem(char** blueprint, short* index) {
    const invention_entry* record = InventionOf(TextArgument(blueprint));
    if (!record || !index) return nullptr;
    const uint16_t slot = static_cast<uint16_t>(*index - 1);
    if (slot > 1 || record->datacore_id[slot] == 0) return nullptr;
    const item_entry* datacore = FindItemById(record->datacore_id[slot]);
    if (!datacore || !datacore->name) return nullptr;
    return MakeAnsiBstr(datacore->name);
}

QUARNELS_EXPORT int GetInventionAmount(char** blueprint, char** datacore) {
    const char* blueprintName = TextArgument(blueprint);
    const char* datacoreName = TextArgument(datacore);
    const item_entry* blueprintItem = blueprintName ? FindItemByName(blueprintName) : nullptr;
    const item_entry* datacoreItem = datacoreName ? FindItemByName(datacoreName) : nullptr;
    if (!blueprintItem || blueprintItem->type_id == 0) return 0;
    const invention_entry* record = FindInvention(blueprintItem->type_id);
    if (!record || !datacoreItem) return 0;
    int amount = 0;
    for (int k = 0; k < 2; ++k)
        if (record->datacore_id[k] == datacoreItem->type_id) amount += int(record->datacore_quantity[k]);
    return amount;
}

QUARNELS_EXPORT int GetInventionRuns(char** blueprint, char** decryptor) {
    const invention_entry* record = InventionOf(TextArgument(blueprint));
    if (!record) return 0;
    const int runs = int(record->runs);
    if (!decryptor) return runs;
    return runs + DecryptorNamed(*decryptor).runs;
}

QUARNELS_EXPORT int GetInventionME(char** blueprint, char** decryptor) {
    const invention_entry* record = InventionOf(TextArgument(blueprint));
    if (!record || !decryptor) return DecryptorEffect(0).materialEfficiency;
    return DecryptorNamed(*decryptor).materialEfficiency;
}

QUARNELS_EXPORT double GetInventionChance(char** blueprint, char** decryptor) {
    return RunExport<double>(0.0, [&] {
        const invention_entry* record = InventionOf(TextArgument(blueprint));
        if (!record) return 0.0;
        double chance;
        {
            ExportLockScope lock;
            if (lock.Reentered()) return 0.0;
            chance = GetInventionChanceWithSkills(record);
        }
        if (!decryptor) return chance;
        const decryptor_effect& effect = DecryptorNamed(*decryptor);
        if (effect.chanceFactor != 0.0) chance *= effect.chanceFactor;
        return chance;
    });
}

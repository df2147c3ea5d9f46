// Manufacturing answers from the built-in database: volumes and bills of materials.
#include <climits>
#include <cmath>
#include <cstdint>

#include "library/database/database.h"
#include "library/export_support.h"
#include "library/exports.h"

namespace {
constexpr int kMaterialSlots = 25;

// The product's bill of materials, or null when the name is missing, unknown or not manufactured.
const blueprint_entry* BillOfMaterials(const char* product) {
    if (!product) return nullptr;
    const item_entry* item = FindItemByName(product);
    return item ? FindBlueprint(item->type_id) : nullptr;
}

// How many elements of an array a host passed may be written: all of its dimensions' elements, at
// most kMaterialSlots; 0 when the array cannot hold elements of the expected size.
int WritableSlots(const SAFEARRAY* array, ULONG elementSize, bool exactSize) {
    if (!array || !array->pvData || array->cDims == 0) return 0;
    if (exactSize ? array->cbElements != elementSize : array->cbElements < elementSize) return 0;
    uint64_t elements = 1;
    for (USHORT d = 0; d < array->cDims && elements > 0; ++d) elements *= array->rgsabound[d].cElements;
    return elements < uint64_t(kMaterialSlots) ? int(elements) : kMaterialSlots;
}

char* Slot(SAFEARRAY* array, int index) { return static_cast<char*>(array->pvData) + size_t(index) * array->cbElements; }

void StoreBstr(SAFEARRAY* array, int index, BSTR value) {
    BSTR* slot = reinterpret_cast<BSTR*>(Slot(array, index));
    if (*slot) SysFreeString(*slot);
    *slot = value;
}

void StoreInt(SAFEARRAY* array, int index, int32_t value) { *reinterpret_cast<int32_t*>(Slot(array, index)) = value; }
}  // namespace

QUARNELS_EXPORT double GetVolume(char** item) {
    const char* name = TextArgument(item);
    const item_entry* entry = name ? FindItemByName(name) : nullptr;
    return entry ? entry->volume : 0.0;
}

QUARNELS_EXPORT int Blueprint(char** product, SAFEARRAY** names, SAFEARRAY** amounts, short* portion) {
    if (!names || !amounts || !portion) return 0;
    SAFEARRAY* nameArray = *names;
    SAFEARRAY* amountArray = *amounts;
    // Arrays that are missing or too small for the elements are never written past their end.
    const int nameSlots = WritableSlots(nameArray, sizeof(BSTR), true);
    const int amountSlots = WritableSlots(amountArray, sizeof(int32_t), false);
    if (nameSlots == 0 || amountSlots == 0) return 0;

    for (int i = 0; i < nameSlots; ++i) StoreBstr(nameArray, i, nullptr);
    for (int i = 0; i < amountSlots; ++i) StoreInt(amountArray, i, 0);

    const char* name = TextArgument(product);
    const item_entry* item = name ? FindItemByName(name) : nullptr;
    if (!item) return 0;
    const blueprint_entry* bill = FindBlueprint(item->type_id);
    if (!bill) return 1;

    *portion = static_cast<short>(static_cast<uint16_t>(bill->quantity_per_run));
    for (int i = 0; i < kMaterialSlots; ++i) {
        if (bill->material_id[i] == 0) continue;
        if (i < nameSlots) {
            const item_entry* material = FindItemById(bill->material_id[i]);
            StoreBstr(nameArray, i, MakeAnsiBstr(material ? material->name : "???"));
        }
        if (i < amountSlots) StoreInt(amountArray, i, static_cast<int32_t>(bill->material_quantity[i]));
    }
    return 1;
}

QUARNELS_EXPORT BSTR GetMaterialName(char** product, short* index) {
    const blueprint_entry* bill = BillOfMaterials(TextArgument(product));
    if (!bill || !index) return nullptr;
    const uint16_t slot = static_cast<uint16_t>(*index - 1);
    if (slot > kMaterialSlots - 1 || bill->material_id[slot] == 0) return nullptr;
    const item_entry* material = FindItemById(bill->material_id[slot]);
    if (!material || !material->name) return nullptr;
    return MakeAnsiBstr(material->name);
}

QUARNELS_EXPORT int GetMaterialAmount(char** product, char** material, int* quantity, double* mePercent) {
    const blueprint_entry* bill = BillOfMaterials(TextArgument(product));
    if (!bill || !quantity) return 0;
    const char* materialName = TextArgument(material);
    const item_entry* materialItem = materialName ? FindItemByName(materialName) : nullptr;
    if (!materialItem) return 0;
    int slot = -1;
    for (int i = 0; i < kMaterialSlots; ++i) {
        if (bill->material_id[i] == materialItem->type_id) {
            slot = i;
            break;
        }
    }
    if (slot < 0) return 0;

    // A negative quantity or an ME above 100 (a negative factor) has no meaningful answer.
    const int wanted = *quantity;
    if (wanted < 0) return 0;
    double factor = 1.0;
    if (mePercent) {
        if (!(*mePercent <= 100.0)) return 0;
        factor = (100.0 - *mePercent) / 100.0;
    }
    const int64_t perRun = bill->quantity_per_run;
    const int64_t runs = wanted / perRun + (wanted % perRun != 0 ? 1 : 0);
    // 64-bit product and a saturated result: large orders must not wrap around.
    const double need = std::ceil(static_cast<double>(runs * int64_t(bill->material_quantity[slot])) * factor);
    const double result = need > double(runs) ? need : double(runs);
    return result >= double(INT_MAX) ? INT_MAX : static_cast<int>(result);
}

QUARNELS_EXPORT int GetMaterialTypes(char** product) {
    const blueprint_entry* bill = BillOfMaterials(TextArgument(product));
    if (!bill) return 0;
    int count = 0;
    for (int i = 0; i < kMaterialSlots; ++i)
        if (bill->material_id[i] != 0) ++count;
    return count;
}

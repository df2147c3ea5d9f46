// The static data export joined into items, bills of materials and inventions, and written as C++.
#include "builder.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>

namespace dbgen {
namespace {

constexpr uint32_t kManufacturing = 1;
constexpr uint32_t kInvention = 8;
constexpr uint32_t kReaction = 11;

// A reaction formula gives a bill just as a manufacturing blueprint does.
bool MakesProduct(uint32_t activity) { return activity == kManufacturing || activity == kReaction; }

uint32_t ParseId(const CsvTable& table, std::size_t row, const std::string& text) {
    uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (text.empty() || result.ec != std::errc() || result.ptr != end)
        throw std::runtime_error(table.Source() + ": record " + std::to_string(row + 1) + ": bad number \"" +
                                 text + "\"");
    return value;
}

double ParseReal(const CsvTable& table, std::size_t row, const std::string& text) {
    // strtod in the "C" locale, which a program has until it calls setlocale.
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || errno != 0 || end != text.c_str() + text.size() || !std::isfinite(value))
        throw std::runtime_error(table.Source() + ": record " + std::to_string(row + 1) + ": bad number \"" +
                                 text + "\"");
    return value;
}

// Reads one column of a table as unsigned integers.
class Columns {
public:
    Columns(const CsvTable& table, std::initializer_list<const char*> names) : table_(table) {
        for (const char* name : names) index_.push_back(table.Column(name));
    }
    uint32_t Id(std::size_t row, std::size_t column) const {
        return ParseId(table_, row, table_.Rows()[row][index_[column]]);
    }
    double Real(std::size_t row, std::size_t column) const {
        return ParseReal(table_, row, table_.Rows()[row][index_[column]]);
    }
    const std::string& Text(std::size_t row, std::size_t column) const { return table_.Rows()[row][index_[column]]; }
    std::size_t Size() const { return table_.Rows().size(); }

private:
    const CsvTable& table_;
    std::vector<std::size_t> index_;
};

unsigned char Fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c; }

}  // namespace

int CompareNames(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int x = Fold(static_cast<unsigned char>(a[i]));
        const int y = Fold(static_cast<unsigned char>(b[i]));
        if (x != y) return x - y;
    }
    // The shorter text ends with NUL, which is below every other byte.
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

SdeInput LoadSde(const std::string& folder) {
    const std::string base = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    return SdeInput{CsvTable::Load(base + "invTypes.csv"), CsvTable::Load(base + "industryActivityProducts.csv"),
                    CsvTable::Load(base + "industryActivityMaterials.csv"),
                    CsvTable::Load(base + "industryActivityProbabilities.csv"),
                    CsvTable::Load(base + "industryActivitySkills.csv"), CsvTable::Load(base + "blueprintTypes.csv")};
}

namespace {

// The position of `nameOrder` that the name lookup's probes meet first for `key` (the same probe
// order as the library's lookup), or the table's size when nothing matches.
std::size_t ProbedPosition(const Database& db, const std::string& key) {
    std::size_t first = 0, n = db.nameOrder.size();
    while (n >= 2) {
        const std::size_t half = n / 2;
        const std::size_t offset = (n % 2) ? half : half - 1;
        const int c = CompareNames(key, db.items[db.nameOrder[first + offset]].name);
        if (c == 0) return first + offset;
        if (c < 0) {
            n = offset;
        } else {
            first += offset + 1;
            n = half;
        }
    }
    if (n == 1 && CompareNames(key, db.items[db.nameOrder[first]].name) == 0) return first;
    return db.nameOrder.size();
}

// A name that several items share finds the one with the highest type id, the current one: within
// each run of equal names that item moves to the place the probes meet first. Which record of a
// run the probes meet depends only on the records around it, so the move does not change it.
void PutHighestIdWhereTheLookupLands(Database& db) {
    for (std::size_t start = 0; start < db.nameOrder.size();) {
        std::size_t end = start + 1;
        while (end < db.nameOrder.size() &&
               CompareNames(db.items[db.nameOrder[start]].name, db.items[db.nameOrder[end]].name) == 0)
            ++end;
        if (end - start > 1) {
            const std::size_t landed = ProbedPosition(db, db.items[db.nameOrder[start]].name);
            if (landed > start && landed < end) std::swap(db.nameOrder[start], db.nameOrder[landed]);
        }
        start = end;
    }
}

using MaterialList = std::vector<std::pair<uint32_t, uint32_t>>;  // type id, quantity

// A blueprint's (or formula's) manufactured or reacted product.
struct Output {
    uint32_t product;
    uint32_t quantity;
    uint32_t activity;
};

// One invention row of the products file: the source blueprint and the blueprint it invents.
struct InventionRow {
    uint32_t source;
    uint32_t invented;
    uint32_t runs;
};

// The industry files read into lookups, before bills and inventions are derived from them.
struct IndustryData {
    std::map<uint32_t, Output> manufactures;  // blueprint or formula -> its activity-1 or -11 product
    std::vector<InventionRow> inventionRows;  // file order
    std::map<std::pair<uint32_t, uint32_t>, MaterialList> buildMaterials;  // (blueprint, activity)
    std::map<uint32_t, MaterialList> inventMaterials;                       // blueprint -> datacores
    std::set<uint32_t> publishedMakers;
    std::map<std::pair<uint32_t, uint32_t>, double> probabilities;  // (source, invented) -> chance
    std::map<uint32_t, std::vector<uint32_t>> inventSkills;
};

// The export's row order changes between releases; type id order keeps every slot where a macro
// that reads slots by position expects it.
void SortByTypeId(MaterialList& list) {
    std::stable_sort(list.begin(), list.end(),
                     [](const std::pair<uint32_t, uint32_t>& a, const std::pair<uint32_t, uint32_t>& b) {
                         return a.first < b.first;
                     });
}

// Item types as the file gives them.
std::map<uint32_t, Item> ReadItems(const CsvTable& types, Database& db) {
    std::map<uint32_t, Item> items;
    const Columns c(types, {"typeID", "typeName", "volume"});
    for (std::size_t r = 0; r < c.Size(); ++r) {
        Item item{c.Id(r, 0), c.Text(r, 1), c.Real(r, 2)};
        if (item.typeId == 0) throw std::runtime_error(types.Source() + ": type id 0");
        if (item.name.find('\0') != std::string::npos)
            throw std::runtime_error(types.Source() + ": NUL in the name of " + std::to_string(item.typeId));
        if (item.name.empty()) db.warnings.push_back("type " + std::to_string(item.typeId) + " has an empty name");
        if (!items.emplace(item.typeId, item).second)
            throw std::runtime_error(types.Source() + ": type id " + std::to_string(item.typeId) + " twice");
    }
    return items;
}

// Products by blueprint: its manufactured (or reacted) item and the blueprints its invention makes.
void ReadProducts(const CsvTable& products, IndustryData& data, Database& db) {
    const Columns c(products, {"typeID", "activityID", "productTypeID", "quantity"});
    for (std::size_t r = 0; r < c.Size(); ++r) {
        const uint32_t activity = c.Id(r, 1);
        if (MakesProduct(activity)) {
            const Output out{c.Id(r, 2), c.Id(r, 3), activity};
            if (!data.manufactures.emplace(c.Id(r, 0), out).second)
                db.warnings.push_back("blueprint " + std::to_string(c.Id(r, 0)) +
                                      " makes several products; the first is kept");
        } else if (activity == kInvention) {
            data.inventionRows.push_back({c.Id(r, 0), c.Id(r, 2), c.Id(r, 3)});
        }
    }
}

void ReadMaterials(const CsvTable& materials, IndustryData& data) {
    const Columns c(materials, {"typeID", "activityID", "materialTypeID", "quantity"});
    for (std::size_t r = 0; r < c.Size(); ++r) {
        const uint32_t activity = c.Id(r, 1);
        if (MakesProduct(activity))
            data.buildMaterials[{c.Id(r, 0), activity}].emplace_back(c.Id(r, 2), c.Id(r, 3));
        else if (activity == kInvention)
            data.inventMaterials[c.Id(r, 0)].emplace_back(c.Id(r, 2), c.Id(r, 3));
    }
}

void ReadPublishedMakers(const CsvTable& makers, IndustryData& data) {
    const Columns c(makers, {"typeID", "published"});
    for (std::size_t r = 0; r < c.Size(); ++r)
        if (c.Id(r, 1) != 0) data.publishedMakers.insert(c.Id(r, 0));
}

void ReadProbabilities(const CsvTable& probabilities, IndustryData& data) {
    const Columns c(probabilities, {"typeID", "activityID", "productTypeID", "probability"});
    for (std::size_t r = 0; r < c.Size(); ++r)
        if (c.Id(r, 1) == kInvention) data.probabilities[{c.Id(r, 0), c.Id(r, 2)}] = c.Real(r, 3);
}

void ReadInventionSkills(const CsvTable& skills, IndustryData& data) {
    const Columns c(skills, {"typeID", "activityID", "skillID"});
    for (std::size_t r = 0; r < c.Size(); ++r) {
        if (c.Id(r, 1) != kInvention) continue;
        std::vector<uint32_t>& list = data.inventSkills[c.Id(r, 0)];
        const uint32_t skill = c.Id(r, 2);
        // The export repeats some skill rows; a skill counts once.
        if (std::find(list.begin(), list.end(), skill) == list.end()) list.push_back(skill);
    }
}

// The bill that one blueprint gives: its product, the units of a run and at most 25 materials.
Blueprint BillOf(uint32_t blueprintId, const Output& out, const IndustryData& data, Database& db) {
    Blueprint bp;
    bp.productId = out.product;
    bp.quantityPerRun = out.quantity;
    if (bp.productId == 0 || bp.quantityPerRun == 0)
        throw std::runtime_error("blueprint " + std::to_string(blueprintId) + ": product or quantity 0");
    const auto found = data.buildMaterials.find({blueprintId, out.activity});
    if (found != data.buildMaterials.end()) bp.materials = found->second;
    SortByTypeId(bp.materials);
    if (bp.materials.size() > kMaxMaterials) {
        db.warnings.push_back("blueprint " + std::to_string(blueprintId) + " has " +
                              std::to_string(bp.materials.size()) + " materials; 25 are kept");
        bp.materials.resize(kMaxMaterials);
    }
    for (const auto& m : bp.materials)
        if (m.first == 0 || m.second == 0)
            throw std::runtime_error("blueprint " + std::to_string(blueprintId) + ": material id or quantity 0");
    return bp;
}

// One bill of materials per product. Where several blueprints make the same product, a published
// one wins over the unpublished test and event ones, then the lowest blueprint type id: the map
// iterates in blueprint id order, so a later maker replaces the kept one only when it alone is
// published.
void KeepOneBillPerProduct(const IndustryData& data, Database& db) {
    struct Kept {
        Blueprint bill;
        bool published;
        bool reaction;
    };
    std::map<uint32_t, Kept> byProduct;
    std::set<uint32_t> duplicated;
    for (const auto& [blueprintId, out] : data.manufactures) {
        Blueprint bp = BillOf(blueprintId, out, data, db);
        const bool published = data.publishedMakers.count(blueprintId) != 0;
        const uint32_t productId = bp.productId;
        const auto [kept, added] = byProduct.emplace(productId, Kept{bp, published, out.activity == kReaction});
        if (added) continue;
        duplicated.insert(productId);
        if (published && !kept->second.published)
            kept->second = Kept{std::move(bp), published, out.activity == kReaction};
    }
    db.duplicateProducts = duplicated.size();
    for (auto& entry : byProduct) {
        db.reactionProducts += entry.second.reaction;
        db.blueprints.push_back(std::move(entry.second.bill));
    }
}

// The invention of one row: its datacores in type id order, its chance and at most 5 skills.
Invention InventionOf(const InventionRow& row, uint32_t productId, const IndustryData& data, Database& db) {
    Invention inv;
    inv.productId = productId;
    inv.runs = row.runs;
    const auto found = data.inventMaterials.find(row.source);
    MaterialList cores;
    if (found != data.inventMaterials.end()) cores = found->second;
    SortByTypeId(cores);
    if (cores.size() != kDatacores)
        db.warnings.push_back("invention from " + std::to_string(row.source) + " takes " +
                              std::to_string(cores.size()) + " datacores");
    for (std::size_t k = 0; k < kDatacores && k < cores.size(); ++k) {
        inv.datacoreId[k] = cores[k].first;
        inv.datacoreQuantity[k] = cores[k].second;
    }
    // Without a probability row the invention cannot fail.
    const auto chance = data.probabilities.find({row.source, row.invented});
    if (chance != data.probabilities.end()) {
        inv.probability = chance->second;
    } else {
        inv.probability = 1.0;
        ++db.inventionsWithoutProbability;
    }
    const auto skills = data.inventSkills.find(row.source);
    if (skills != data.inventSkills.end()) {
        inv.skills = skills->second;
        if (inv.skills.size() > kMaxSkills) {
            db.warnings.push_back("invention from " + std::to_string(row.source) + " names " +
                                  std::to_string(inv.skills.size()) + " skills; 5 are kept");
            inv.skills.resize(kMaxSkills);
        }
    }
    return inv;
}

// One invention result per invention row, keyed by what the invented blueprint manufactures.
void BuildInventions(const IndustryData& data, Database& db) {
    for (const InventionRow& row : data.inventionRows) {
        const auto made = data.manufactures.find(row.invented);
        if (made == data.manufactures.end()) {
            ++db.inventionsWithoutProduct;
            continue;
        }
        db.inventions.push_back(InventionOf(row, made->second.product, data, db));
    }
    std::stable_sort(db.inventions.begin(), db.inventions.end(),
                     [](const Invention& a, const Invention& b) { return a.productId < b.productId; });
}

// Every id the tables refer to gets an item, so a lookup by id never comes back empty.
void AddPlaceholderItems(std::map<uint32_t, Item>& items, Database& db) {
    std::set<uint32_t> referenced;
    for (const Blueprint& bp : db.blueprints) {
        referenced.insert(bp.productId);
        for (const auto& m : bp.materials) referenced.insert(m.first);
    }
    for (const Invention& inv : db.inventions) {
        referenced.insert(inv.productId);
        for (uint32_t id : inv.datacoreId) referenced.insert(id);
        for (uint32_t id : inv.skills) referenced.insert(id);
    }
    referenced.erase(0);
    for (uint32_t id : referenced) {
        if (items.count(id)) continue;
        items.emplace(id, Item{id, "unknown " + std::to_string(id), 1.0});
        db.placeholderIds.push_back(id);
    }
}

void OrderItemsByName(Database& db) {
    db.nameOrder.resize(db.items.size());
    for (std::size_t i = 0; i < db.nameOrder.size(); ++i) db.nameOrder[i] = i;
    // Names equal without regard to case stand together, the higher type id first.
    std::sort(db.nameOrder.begin(), db.nameOrder.end(), [&db](std::size_t a, std::size_t b) {
        const int c = CompareNames(db.items[a].name, db.items[b].name);
        if (c != 0) return c < 0;
        return db.items[a].typeId > db.items[b].typeId;
    });
    PutHighestIdWhereTheLookupLands(db);
}

}  // namespace

Database BuildDatabase(const SdeInput& input) {
    Database db;
    std::map<uint32_t, Item> items = ReadItems(input.types, db);
    IndustryData data;
    ReadProducts(input.products, data, db);
    ReadMaterials(input.materials, data);
    ReadPublishedMakers(input.makers, data);
    ReadProbabilities(input.probabilities, data);
    ReadInventionSkills(input.skills, data);

    KeepOneBillPerProduct(data, db);
    BuildInventions(data, db);
    AddPlaceholderItems(items, db);
    for (auto& entry : items) db.items.push_back(std::move(entry.second));
    OrderItemsByName(db);
    return db;
}

namespace {

std::string Literal(const std::string& text) {
    std::string out = "\"";
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c == '?') {
            out += "\\?";  // never part of a trigraph
        } else if (c >= 0x20 && c < 0x7f) {
            out += ch;
        } else {
            // Three octal digits always, so a following digit cannot extend the escape.
            const char digits[] = {'\\', char('0' + (c >> 6)), char('0' + ((c >> 3) & 7)), char('0' + (c & 7)), 0};
            out += digits;
        }
    }
    return out + "\"";
}

// The shortest fixed-point text that reads back as the same double, always with a fraction.
std::string Real(double value) {
    char buffer[400];  // the longest fixed-point double fits
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    std::string text(buffer, result.ptr);
    if (text.find('.') == std::string::npos) text += ".0";
    return text;
}

// A name made safe for a line comment: one '?' for each character that is not plain ASCII.
std::string CommentText(const std::string& text) {
    std::string out;
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c >= 0x80 && c < 0xC0) continue;  // UTF-8 continuation byte
        out += (c >= 0x20 && c < 0x7f && c != '\\') ? ch : '?';
    }
    return out;
}

template <typename T>
std::string List(const std::vector<T>& values) {
    std::string out = "{";
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i) out += ", ";
        out += std::to_string(values[i]);
    }
    return out + "}";
}

}  // namespace

std::string WriteTablesSource(const Database& db) {
    std::map<uint32_t, std::size_t> indexOf;
    for (std::size_t i = 0; i < db.items.size(); ++i) indexOf[db.items[i].typeId] = i;
    auto nameOf = [&](uint32_t id) {
        const auto found = indexOf.find(id);
        return found == indexOf.end() ? std::string("?") : CommentText(db.items[found->second].name);
    };

    std::ostringstream out;
    out << "// Generated by quarnels-dbgen from data/sde; do not edit. After changing the data, build the\n"
           "// target regenerate-database to rewrite this file.\n"
        << "// Items: " << db.items.size() << "; bills of materials: " << db.blueprints.size()
        << "; invention results: " << db.inventions.size() << ".\n\n"
        << "#include \"library/database/database.h\"\n\n"
        << "namespace {\n\n"
        << "// Every name once, in type id order; both item tables point at these texts.\n"
        << "constexpr const char* kItemNames[] = {\n";
    for (const Item& item : db.items) out << "    " << Literal(item.name) << ",\n";
    out << "};\n\n}  // namespace\n\n";

    out << "const item_entry g_ItemsById[] = {\n";
    for (std::size_t i = 0; i < db.items.size(); ++i)
        out << "    {" << db.items[i].typeId << ", kItemNames[" << i << "], " << Real(db.items[i].volume) << "},  // "
            << CommentText(db.items[i].name) << "\n";
    out << "};\n\n";

    out << "const item_entry g_ItemsByName[] = {\n";
    for (const std::size_t i : db.nameOrder)
        out << "    {" << db.items[i].typeId << ", kItemNames[" << i << "], " << Real(db.items[i].volume) << "},  // "
            << CommentText(db.items[i].name) << "\n";
    out << "};\n\n";

    out << "const size_t g_ItemCount = sizeof(g_ItemsById) / sizeof(g_ItemsById[0]);\n"
        << "static_assert(sizeof(g_ItemsByName) == sizeof(g_ItemsById), \"both item tables hold every item\");\n\n";

    out << "const blueprint_entry g_BlueprintTable[] = {\n";
    for (const Blueprint& bp : db.blueprints) {
        std::vector<uint32_t> ids, quantities;
        for (const auto& m : bp.materials) {
            ids.push_back(m.first);
            quantities.push_back(m.second);
        }
        out << "    {" << bp.productId << ", " << bp.quantityPerRun << ", " << List(ids) << ", " << List(quantities)
            << "},  // " << nameOf(bp.productId) << "\n";
    }
    out << "};\n\n"
        << "const size_t g_BlueprintCount = sizeof(g_BlueprintTable) / sizeof(g_BlueprintTable[0]);\n\n";

    out << "const invention_entry g_InventionTable[] = {\n";
    for (const Invention& inv : db.inventions) {
        out << "    {" << inv.productId << ", " << inv.runs << ", {" << inv.datacoreId[0] << ", " << inv.datacoreId[1]
            << "}, {" << inv.datacoreQuantity[0] << ", " << inv.datacoreQuantity[1] << "}, " << Real(inv.probability)
            << ", " << List(inv.skills) << "},  // " << nameOf(inv.productId) << "\n";
    }
    out << "};\n\n"
        << "const size_t g_InventionCount = sizeof(g_InventionTable) / sizeof(g_InventionTable[0]);\n";
    return out.str();
}

}  // namespace dbgen

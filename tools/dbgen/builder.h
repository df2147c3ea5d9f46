// Turns the game's static data export (CSV files) into the built-in tables and writes them as C++.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "csv.h"

namespace dbgen {

constexpr std::size_t kMaxMaterials = 25;
constexpr std::size_t kDatacores = 2;
constexpr std::size_t kMaxSkills = 5;

struct Item {
    uint32_t typeId = 0;
    std::string name;
    double volume = 0.0;
};

struct Blueprint {
    uint32_t productId = 0;
    uint32_t quantityPerRun = 0;
    std::vector<std::pair<uint32_t, uint32_t>> materials;  // type id, quantity; type id ascending
};

struct Invention {
    uint32_t productId = 0;
    uint32_t runs = 0;
    uint32_t datacoreId[kDatacores] = {};
    uint32_t datacoreQuantity[kDatacores] = {};
    double probability = 0.0;
    std::vector<uint32_t> skills;
};

struct SdeInput {
    CsvTable types;          // invTypes.csv
    CsvTable products;       // industryActivityProducts.csv
    CsvTable materials;      // industryActivityMaterials.csv
    CsvTable probabilities;  // industryActivityProbabilities.csv
    CsvTable skills;         // industryActivitySkills.csv
    CsvTable makers;         // blueprintTypes.csv: which blueprints and formulas are published
};

struct Database {
    std::vector<Item> items;             // type id ascending
    std::vector<std::size_t> nameOrder;  // indexes into items, in name order
    std::vector<Blueprint> blueprints;   // product id ascending
    std::vector<Invention> inventions;   // product id ascending, file order within one product
                                         // (datacores type id ascending, skills in file order)

    // What the derivation had to decide, for the summary.
    std::vector<uint32_t> placeholderIds;         // referenced ids that got an "unknown <id>" item
    std::size_t reactionProducts = 0;             // bills that come from a reaction formula
    std::size_t duplicateProducts = 0;            // products made by more than one blueprint
    std::size_t inventionsWithoutProduct = 0;     // invented blueprints that manufacture nothing
    std::size_t inventionsWithoutProbability = 0; // given probability 1.0
    std::vector<std::string> warnings;
};

// Loads the six files from the folder.
SdeInput LoadSde(const std::string& folder);

Database BuildDatabase(const SdeInput& input);

// The C++ source of the four tables.
std::string WriteTablesSource(const Database& db);

// The ordering of item names: bytes compared unsigned, only A-Z folded to lower case.
int CompareNames(const std::string& a, const std::string& b);

}  // namespace dbgen

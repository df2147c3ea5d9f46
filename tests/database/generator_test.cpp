// The generator: its CSV reader, the derivation rules on small inputs, and that the committed
// tables are exactly what it writes from the committed data.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "builder.h"
#include "csv.h"
#include "tests/support/file_text.h"

namespace {

using dbgen::CsvRow;
using dbgen::ParseCsv;

TEST(CsvReader, ReadsQuotedFieldsAsRfc4180Says) {
    const auto rows = ParseCsv(
        "a,b,c\r\n"
        "1,\"x, y\",\"say \"\"hi\"\"\"\r\n"
        "2,\"two\nlines\",\r\n"
        ",,\n"
        "\"\",\xE4\xB9\x8C,last");
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0], (CsvRow{"a", "b", "c"}));
    EXPECT_EQ(rows[1], (CsvRow{"1", "x, y", "say \"hi\""}));
    EXPECT_EQ(rows[2], (CsvRow{"2", "two\nlines", ""}));
    EXPECT_EQ(rows[3], (CsvRow{"", "", ""}));
    EXPECT_EQ(rows[4], (CsvRow{"", "\xE4\xB9\x8C", "last"}));
}

TEST(CsvReader, SkipsByteOrderMarkAndEmptyLines) {
    const auto rows = ParseCsv("\xEF\xBB\xBFid,name\n\n1,x\r\n\r\n");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], "id");
    EXPECT_EQ(rows[1], (CsvRow{"1", "x"}));
}

TEST(CsvReader, RejectsMalformedQuoting) {
    EXPECT_THROW(ParseCsv("a,\"open\n"), dbgen::CsvError);
    EXPECT_THROW(ParseCsv("a,\"x\"y,b\n"), dbgen::CsvError);
    EXPECT_THROW(ParseCsv("a,b\"c\n"), dbgen::CsvError);
    try {
        ParseCsv("h\n1\n\"two\nlines\"\n\"bad\"x\n");
        FAIL();
    } catch (const dbgen::CsvError& e) {
        EXPECT_EQ(e.line, 5u);
    }
    // Records of a table must match its header.
    EXPECT_THROW(dbgen::CsvTable::FromText("a,b\n1\n", "t.csv"), std::runtime_error);
    EXPECT_THROW(dbgen::CsvTable::FromText("a,b\n1,2\n", "t.csv").Column("c"), std::runtime_error);
}

dbgen::SdeInput Input(const std::string& types, const std::string& products, const std::string& materials,
                      const std::string& probabilities, const std::string& skills,
                      const std::string& makers = "") {
    using dbgen::CsvTable;
    return dbgen::SdeInput{
        CsvTable::FromText("typeID,typeName,volume,published\n" + types, "types"),
        CsvTable::FromText("typeID,activityID,productTypeID,quantity\n" + products, "products"),
        CsvTable::FromText("typeID,activityID,materialTypeID,quantity\n" + materials, "materials"),
        CsvTable::FromText("typeID,activityID,productTypeID,probability\n" + probabilities, "probabilities"),
        CsvTable::FromText("typeID,activityID,skillID,level\n" + skills, "skills"),
        CsvTable::FromText("typeID,typeName,published\n" + makers, "makers")};
}

TEST(Derivation, BillsOfMaterials) {
    std::string materials;
    for (int k = 0; k < 26; ++k) materials += "40,1," + std::to_string(100 + k) + ",1\n";
    const auto db = dbgen::BuildDatabase(
        Input("1,Widget,2.5,1\n", "30,1,1,1\n20,1,1,1\n10,1,1,1\n40,1,2,100\n50,3,9,1\n60,11,3,10000\n",
              "30,1,9,9\n20,1,8,3\n20,1,7,5\n10,1,7,9\n20,3,6,1\n60,11,9,5\n60,11,4,100\n" + materials, "", "",
              "10,Test,0\n20,Real,1\n30,Also real,1\n"));
    using Materials = std::vector<std::pair<uint32_t, uint32_t>>;
    ASSERT_EQ(db.blueprints.size(), 3u);
    // Product 1 comes from blueprints 10, 20 and 30: the lowest published one, 20, gives the bill,
    // its materials in type id order.
    EXPECT_EQ(db.blueprints[0].productId, 1u);
    EXPECT_EQ(db.blueprints[0].materials, (Materials{{7, 5}, {8, 3}}));
    EXPECT_EQ(db.duplicateProducts, 1u);
    EXPECT_EQ(db.blueprints[1].productId, 2u);
    EXPECT_EQ(db.blueprints[1].quantityPerRun, 100u);
    ASSERT_EQ(db.blueprints[1].materials.size(), 25u);
    EXPECT_EQ(db.blueprints[1].materials.back().first, 124u);
    // A reaction formula gives a bill like a blueprint.
    EXPECT_EQ(db.blueprints[2].productId, 3u);
    EXPECT_EQ(db.blueprints[2].quantityPerRun, 10000u);
    EXPECT_EQ(db.blueprints[2].materials, (Materials{{4, 100}, {9, 5}}));
    EXPECT_EQ(db.reactionProducts, 1u);
    EXPECT_EQ(db.warnings.size(), 1u);
}

TEST(Derivation, InventionResults) {
    const auto db = dbgen::BuildDatabase(Input(
        "",
        // 100 invents 101 (makes item 5) and 102 (makes item 4); 103 also invents 101;
        // 104 invents 105, which manufactures nothing.
        "100,8,101,10\n100,8,102,1\n101,1,5,1\n102,1,4,1\n103,8,101,20\n99,8,101,3\n104,8,105,1\n",
        "100,8,20414,2\n100,8,20171,2\n103,8,20412,3\n103,8,20424,3\n99,8,20412,3\n99,8,20424,3\n",
        "100,8,101,0.34\n100,8,102,0.3\n103,8,101,0.26\n",
        "100,8,3402,1\n100,8,11443,1\n100,8,3402,1\n100,8,1,1\n100,8,2,1\n100,8,3,1\n100,8,4,1\n"));
    ASSERT_EQ(db.inventions.size(), 4u);
    EXPECT_EQ(db.inventionsWithoutProduct, 1u);
    EXPECT_EQ(db.inventionsWithoutProbability, 1u);

    const dbgen::Invention& first = db.inventions[0];
    EXPECT_EQ(first.productId, 4u);
    EXPECT_EQ(first.runs, 1u);
    EXPECT_DOUBLE_EQ(first.probability, 0.3);
    // Item 5 has three results; they keep the order of their rows.
    EXPECT_EQ(db.inventions[1].runs, 10u);
    EXPECT_EQ(db.inventions[2].runs, 20u);
    EXPECT_EQ(db.inventions[3].runs, 3u);
    EXPECT_EQ(db.inventions[3].probability, 1.0);  // no probability row

    // Datacores in type id order.
    EXPECT_EQ(first.datacoreId[0], 20171u);
    EXPECT_EQ(first.datacoreId[1], 20414u);
    EXPECT_EQ(first.datacoreQuantity[1], 2u);
    // The repeated skill row counts once, and five skills at most are kept.
    EXPECT_EQ(first.skills, (std::vector<uint32_t>{3402, 11443, 1, 2, 3}));

    // Ids without a type row get a placeholder: the products and the datacores here.
    ASSERT_FALSE(db.items.empty());
    EXPECT_EQ(db.items.front().typeId, 1u);  // a skill
    EXPECT_EQ(db.items.front().name, "unknown 1");
    EXPECT_EQ(db.items.front().volume, 1.0);
}

TEST(Derivation, NamesSortWithOnlyAsciiLettersFolded) {
    const auto db = dbgen::BuildDatabase(Input("1,abc,1,1\n2,_x,1,1\n3,Zx,1,1\n4,ABC,1,1\n5,\xC3\xA9,1,1\n6,Ab,1,1\n",
                                               "", "", "", ""));
    std::vector<uint32_t> order;
    for (std::size_t i : db.nameOrder) order.push_back(db.items[i].typeId);
    // "_" (0x5F) precedes letters once they fold; equal names put the higher id where the
    // lookup lands; UTF-8 last.
    EXPECT_EQ(order, (std::vector<uint32_t>{2, 6, 4, 1, 3, 5}));
}

TEST(Derivation, WritesLiteralsThatKeepEveryByte) {
    const auto db = dbgen::BuildDatabase(
        Input("7,\"Say \"\"hi\"\" \\ ok??\",0.1,1\n8,\xE4\xB9\x8C" "1,155000000.0,0\n", "", "", "", ""));
    const std::string source = dbgen::WriteTablesSource(db);
    EXPECT_NE(source.find("\"Say \\\"hi\\\" \\\\ ok\\?\\?\""), std::string::npos) << source;
    EXPECT_NE(source.find("\"\\344\\271\\2141\""), std::string::npos);
    EXPECT_NE(source.find("{7, kItemNames[0], 0.1}"), std::string::npos);
    EXPECT_NE(source.find("{8, kItemNames[1], 155000000.0}"), std::string::npos);
}

TEST(Generator, CommittedTablesAreWhatTheDataGive) {
    const std::string out = (std::filesystem::temp_directory_path() /
                             ("quarnels-tables-" + std::to_string(std::random_device{}()) + ".cpp"))
                                .string();
    const std::string command = std::string("\"") + QUARNELS_DBGEN + "\" \"" + QUARNELS_SDE_DIR + "\" \"" + out + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::string generated = testsupport::ReadFileText(out);
    std::remove(out.c_str());
    const std::string committed = testsupport::ReadFileText(QUARNELS_TABLES_SOURCE);
    ASSERT_FALSE(generated.empty());
    EXPECT_TRUE(generated == committed)
        << "library/database/generated/tables.cpp is stale: build the target regenerate-database";
}

}  // namespace

// The decryptor table against the game's own invention attributes of each decryptor.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "csv.h"
#include "library/decryptors.h"

namespace {

TEST(Decryptors, TableAgreesWithTheGamesInventionAttributes) {
    const dbgen::CsvTable game = dbgen::CsvTable::Load(std::string(QUARNELS_SDE_DIR) + "/decryptors.csv");
    const std::size_t id = game.Column("typeID"), name = game.Column("typeName"),
                      chance = game.Column("probabilityMultiplier"), me = game.Column("meModifier"),
                      runs = game.Column("maxRunModifier");
    ASSERT_EQ(game.Rows().size(), 8u);
    for (const dbgen::CsvRow& row : game.Rows()) {
        const uint32_t typeId = uint32_t(std::stoul(row[id]));
        const decryptor_effect& effect = DecryptorEffect(typeId);
        EXPECT_EQ(effect.type_id, typeId) << row[name];
        EXPECT_EQ(effect.runs, std::lround(std::stod(row[runs]))) << row[name];
        // An invented copy starts at material efficiency 2; the decryptor's modifier adds to it.
        EXPECT_EQ(effect.materialEfficiency, 2 + std::lround(std::stod(row[me]))) << row[name];
        EXPECT_DOUBLE_EQ(effect.chanceFactor == 0.0 ? 1.0 : effect.chanceFactor, std::stod(row[chance])) << row[name];
    }
    const decryptor_effect& none = DecryptorEffect(0);
    EXPECT_EQ(none.runs, 0);
    EXPECT_EQ(none.materialEfficiency, 2);
    EXPECT_EQ(none.chanceFactor, 0.0);
}

}  // namespace

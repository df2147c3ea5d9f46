// The committed icon of the check program: made by the generator, and a well-formed .ico.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "icon.h"

namespace {

uint32_t Read16(const std::vector<uint8_t>& b, size_t at) { return uint32_t(b.at(at)) | uint32_t(b.at(at + 1)) << 8; }
uint32_t Read32(const std::vector<uint8_t>& b, size_t at) { return Read16(b, at) | Read16(b, at + 2) << 16; }

std::vector<uint8_t> CommittedIcon() {
    std::ifstream in(QR_ICON, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(ResourcesIcon, CommittedFileIsTheGeneratorsOutput) {
    const std::vector<uint8_t> committed = CommittedIcon();
    ASSERT_FALSE(committed.empty());
    EXPECT_TRUE(committed == qrc::MakeCheckIcon()) << "run the regenerate-icon target";
}

TEST(ResourcesIcon, ThirteenWellFormedImages) {
    const std::vector<uint8_t> icon = CommittedIcon();
    ASSERT_GE(icon.size(), 6u);
    EXPECT_EQ(Read16(icon, 0), 0u);
    EXPECT_EQ(Read16(icon, 2), 1u);
    const uint32_t count = Read16(icon, 4);
    ASSERT_EQ(count, 13u);
    ASSERT_EQ(qrc::CheckIconImages().size(), 13u);

    size_t expectedOffset = 6 + 16 * count;
    for (uint32_t i = 0; i < count; ++i) {
        SCOPED_TRACE("image " + std::to_string(i));
        const size_t entry = 6 + 16 * i;
        const int size = icon[entry];
        const uint32_t bits = Read16(icon, entry + 6);
        const uint32_t bytes = Read32(icon, entry + 8);
        const uint32_t offset = Read32(icon, entry + 12);
        EXPECT_EQ(size, icon[entry + 1]);
        EXPECT_EQ(icon[entry + 2], bits == 4 ? 16 : 0);
        EXPECT_EQ(Read16(icon, entry + 4), 1u);
        ASSERT_EQ(offset, expectedOffset);
        ASSERT_LE(size_t(offset) + bytes, icon.size());
        expectedOffset += bytes;

        // The bitmap header: height doubled for the mask, sizes that add up to the entry's bytes.
        EXPECT_EQ(Read32(icon, offset), 40u);
        EXPECT_EQ(Read32(icon, offset + 4), uint32_t(size));
        EXPECT_EQ(Read32(icon, offset + 8), uint32_t(2 * size));
        EXPECT_EQ(Read16(icon, offset + 14), bits);
        const size_t palette = bits <= 8 ? 4u << bits : 0;
        const size_t colourRow = (size_t(size) * bits + 31) / 32 * 4;
        const size_t maskRow = (size_t(size) + 31) / 32 * 4;
        EXPECT_EQ(Read32(icon, offset + 20), (colourRow + maskRow) * size_t(size));
        EXPECT_EQ(bytes, 40 + palette + (colourRow + maskRow) * size_t(size));

        // Corners are see-through in the mask, the centre is drawn.
        const size_t mask = offset + 40 + palette + colourRow * size_t(size);
        auto transparent = [&](int x, int y) { return (icon[mask + size_t(size - 1 - y) * maskRow + size_t(x) / 8] >> (7 - x % 8)) & 1; };
        EXPECT_TRUE(transparent(0, 0));
        EXPECT_TRUE(transparent(size - 1, size - 1));
        EXPECT_FALSE(transparent(size / 2, size / 2));
        if (bits == 32) {
            const size_t centre = offset + 40 + size_t(size / 2) * colourRow + size_t(size / 2) * 4;
            EXPECT_EQ(icon[centre + 3], 255);
        }
    }
    EXPECT_EQ(expectedOffset, icon.size());
}

}  // namespace

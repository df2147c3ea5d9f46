// The check program's icon, drawn in integer arithmetic and packed as an .ico of several sizes.
#include "icon.h"

#include <cstddef>

namespace qrc {
namespace {

// The sixteen colours of the palette images (red, green, blue).
const uint8_t kPalette[16][3] = {
    {0x00, 0x00, 0x00}, {0x80, 0x00, 0x00}, {0x00, 0x80, 0x00}, {0x80, 0x80, 0x00},
    {0x00, 0x00, 0x80}, {0x80, 0x00, 0x80}, {0x00, 0x80, 0x80}, {0xC0, 0xC0, 0xC0},
    {0x80, 0x80, 0x80}, {0xFF, 0x00, 0x00}, {0x00, 0xFF, 0x00}, {0xFF, 0xFF, 0x00},
    {0x00, 0x00, 0xFF}, {0xFF, 0x00, 0xFF}, {0x00, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF}};
constexpr int kNavy = 4;
constexpr int kWhite = 15;
const uint8_t kDiscColour[3] = {0x1F, 0x3A, 0x7A};

enum Paint { kNone, kDisc, kMark };

// A "Q": a white ring with a tail on a dark disc. Coordinates are in eighths of a pixel from the
// centre; integer arithmetic keeps the picture identical on every machine.
Paint Sample(int64_t du, int64_t dv, int size) {
    const int64_t disc = int64_t(size) * 8 * 15 / 32;
    const int64_t outer = disc * 23 / 32;
    const int64_t inner = disc * 13 / 32;
    const int64_t d2 = du * du + dv * dv;
    if (d2 > disc * disc) return kNone;
    if (d2 <= outer * outer && d2 >= inner * inner) return kMark;
    const int64_t along = du + dv;  // sqrt(2) times the distance along the diagonal
    const int64_t across = du - dv;
    const int64_t thickness = outer - inner;
    if (along > 0 && along * along >= 2 * inner * inner && along * along <= 2 * (disc * 31 / 32) * (disc * 31 / 32) &&
        2 * across * across <= thickness * thickness)
        return kMark;
    return kDisc;
}

struct Pixel {
    int disc = 0;  // samples of 16
    int mark = 0;
};

Pixel Render(int x, int y, int size) {
    Pixel p;
    const int64_t centre = int64_t(size) * 4;
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) {
            const Paint paint = Sample(int64_t(x) * 8 + 2 * i + 1 - centre, int64_t(y) * 8 + 2 * j + 1 - centre, size);
            if (paint == kDisc) ++p.disc;
            if (paint == kMark) ++p.mark;
        }
    return p;
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

size_t RowBytes(int size, int bitCount) { return size_t((size * bitCount + 31) / 32 * 4); }

// One image: BITMAPINFOHEADER (height doubled for the mask), palette, colour rows and mask rows,
// both bottom-up.
std::vector<uint8_t> Image(const IconImage& image) {
    const int s = image.size;
    const size_t colourRow = RowBytes(s, image.bitCount);
    const size_t maskRow = RowBytes(s, 1);
    std::vector<uint8_t> out;
    Put32(out, 40);
    Put32(out, uint32_t(s));
    Put32(out, uint32_t(2 * s));
    Put16(out, 1);
    Put16(out, uint16_t(image.bitCount));
    Put32(out, 0);
    Put32(out, uint32_t((colourRow + maskRow) * size_t(s)));
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    if (image.bitCount <= 8) {
        const int entries = 1 << image.bitCount;
        for (int i = 0; i < entries; ++i) {
            const uint8_t* c = i < 16 ? kPalette[i] : kPalette[0];
            out.push_back(c[2]);
            out.push_back(c[1]);
            out.push_back(c[0]);
            out.push_back(0);
        }
    }
    std::vector<uint8_t> colour(colourRow * size_t(s), 0);
    std::vector<uint8_t> mask(maskRow * size_t(s), 0);
    for (int y = 0; y < s; ++y) {
        const size_t row = size_t(s - 1 - y);
        for (int x = 0; x < s; ++x) {
            const Pixel p = Render(x, y, s);
            bool transparent;
            if (image.bitCount == 32) {
                const int covered = p.disc + p.mark;
                transparent = covered == 0;
                uint8_t* px = &colour[row * colourRow + size_t(x) * 4];
                if (!transparent) {
                    for (int c = 0; c < 3; ++c) px[2 - c] = uint8_t((p.disc * kDiscColour[c] + p.mark * 0xFF) / covered);
                    px[3] = uint8_t((covered * 255 + 8) / 16);
                }
            } else {
                transparent = p.disc + p.mark < 8;
                const int index = transparent ? 0 : (p.mark > p.disc ? kWhite : kNavy);
                if (image.bitCount == 8) {
                    colour[row * colourRow + size_t(x)] = uint8_t(index);
                } else {
                    colour[row * colourRow + size_t(x) / 2] |= uint8_t(x % 2 == 0 ? index << 4 : index);
                }
            }
            if (transparent) mask[row * maskRow + size_t(x) / 8] |= uint8_t(0x80 >> (x % 8));
        }
    }
    out.insert(out.end(), colour.begin(), colour.end());
    out.insert(out.end(), mask.begin(), mask.end());
    return out;
}

}  // namespace

const std::vector<IconImage>& CheckIconImages() {
    static const std::vector<IconImage> kImages = {
        {16, 4}, {16, 8}, {16, 32}, {20, 32}, {24, 4},  {24, 8}, {24, 32},
        {32, 4}, {32, 8}, {32, 32}, {48, 4},  {48, 8}, {48, 32}};
    return kImages;
}

std::vector<uint8_t> MakeCheckIcon() {
    const std::vector<IconImage>& images = CheckIconImages();
    std::vector<std::vector<uint8_t>> bodies;
    for (const IconImage& image : images) bodies.push_back(Image(image));

    std::vector<uint8_t> out;
    Put16(out, 0);  // reserved
    Put16(out, 1);  // an icon
    Put16(out, uint16_t(images.size()));
    uint32_t offset = uint32_t(6 + 16 * images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        out.push_back(uint8_t(images[i].size));
        out.push_back(uint8_t(images[i].size));
        out.push_back(uint8_t(images[i].bitCount == 4 ? 16 : 0));
        out.push_back(0);
        Put16(out, 1);
        Put16(out, uint16_t(images[i].bitCount));
        Put32(out, uint32_t(bodies[i].size()));
        Put32(out, offset);
        offset += uint32_t(bodies[i].size());
    }
    for (const std::vector<uint8_t>& body : bodies) out.insert(out.end(), body.begin(), body.end());
    return out;
}

}  // namespace qrc

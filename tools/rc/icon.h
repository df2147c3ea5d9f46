// The check program's application icon, drawn by code so that the committed .ico can be remade.
#pragma once

#include <cstdint>
#include <vector>

namespace qrc {

struct IconImage {
    int size;      // width and height in pixels
    int bitCount;  // 4, 8 (16 colours in a 256-entry palette) or 32 (with alpha)
};

// The images of the icon, in the order of its directory.
const std::vector<IconImage>& CheckIconImages();

// The whole .ico file.
std::vector<uint8_t> MakeCheckIcon();

}  // namespace qrc

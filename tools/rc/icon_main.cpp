// quarnels-icon output.ico: writes the check program's icon (resources/QuarnelCheck.ico).
#include <fstream>
#include <iostream>

#include "icon.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: quarnels-icon output.ico\n";
        return 2;
    }
    const std::vector<uint8_t> icon = qrc::MakeCheckIcon();
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(icon.data()), std::streamsize(icon.size()));
    out.close();
    if (!out) {
        std::cerr << "quarnels-icon: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}

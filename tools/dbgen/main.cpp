// quarnels-dbgen DATA_FOLDER OUTPUT_FILE
// Reads the static data export's CSV files from DATA_FOLDER and writes the built-in tables to
// OUTPUT_FILE as C++ source. The file is left untouched when its content would not change, so a
// regeneration without data changes rebuilds nothing.
#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <sstream>

#include "builder.h"

namespace {

bool SameContent(const std::string& path, const std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str() == text;
}

void WriteFile(const std::string& path, const std::string& text) {
    // Write beside the target and rename, so an interrupted run never leaves half a file.
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) throw std::runtime_error(temp + ": cannot create");
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (!out) throw std::runtime_error(temp + ": write error");
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        throw std::runtime_error(path + ": cannot replace");
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: quarnels-dbgen DATA_FOLDER OUTPUT_FILE\n";
        return 2;
    }
    try {
        const dbgen::Database db = dbgen::BuildDatabase(dbgen::LoadSde(argv[1]));
        for (const std::string& warning : db.warnings) std::cerr << "warning: " << warning << "\n";

        const std::string source = dbgen::WriteTablesSource(db);
        const bool unchanged = SameContent(argv[2], source);
        if (!unchanged) WriteFile(argv[2], source);

        std::cout << "items: " << db.items.size() << " (" << db.placeholderIds.size() << " named \"unknown <id>\")\n"
                  << "bills of materials: " << db.blueprints.size() << " (" << db.reactionProducts
                  << " from reaction formulas; " << db.duplicateProducts
                  << " products made by several blueprints, the published one kept, else the lowest id)\n"
                  << "invention results: " << db.inventions.size() << " (" << db.inventionsWithoutProbability
                  << " without a probability row, set to 1.0; " << db.inventionsWithoutProduct
                  << " rows skipped: the invented blueprint manufactures nothing)\n"
                  << argv[2] << (unchanged ? ": unchanged\n" : ": written\n");
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "quarnels-dbgen: " << e.what() << "\n";
        return 1;
    }
}

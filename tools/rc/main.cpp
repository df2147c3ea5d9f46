// quarnels-rc [-I dir]... [--depfile file] script.rc output.cpp
// Compiles a resource script into the C++ source of the module's resource table and version block.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "rc_script.h"

namespace {

int Usage() {
    std::cerr << "usage: quarnels-rc [-I dir]... [--depfile file] script.rc output.cpp\n";
    return 2;
}

// Make's rules for a file name in a dependency line.
std::string Escape(const std::string& path) {
    std::string out;
    for (const char c : path) {
        if (c == ' ' || c == '#' || c == '\\') out += '\\';
        if (c == '$') out += '$';
        out += c;
    }
    return out;
}

bool WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
    qrc::Options options;
    std::string depfile;
    std::string input;
    std::string output;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-I" || arg == "--depfile") {
            if (i + 1 >= argc) return Usage();
            if (arg == "-I") options.includeDirs.push_back(argv[++i]);
            else depfile = argv[++i];
        } else if (arg.size() > 2 && arg.compare(0, 2, "-I") == 0) {
            options.includeDirs.push_back(arg.substr(2));
        } else if (!arg.empty() && arg[0] == '-') {
            return Usage();
        } else if (input.empty()) {
            input = arg;
        } else if (output.empty()) {
            output = arg;
        } else {
            return Usage();
        }
    }
    if (input.empty() || output.empty()) return Usage();

    qrc::Script script;
    try {
        script = qrc::CompileFile(input, options);
    } catch (const qrc::Error& error) {
        std::cerr << error.what() << "\n";
        return 1;
    }
    if (!WriteFile(output, qrc::WriteCpp(script, input))) {
        std::cerr << "quarnels-rc: cannot write " << output << "\n";
        return 1;
    }
    if (!depfile.empty()) {
        std::string rule = Escape(output) + ":";
        for (const std::string& dependency : script.dependencies) rule += " \\\n  " + Escape(dependency);
        if (!WriteFile(depfile, rule + "\n")) {
            std::cerr << "quarnels-rc: cannot write " << depfile << "\n";
            return 1;
        }
    }
    return 0;
}

// A compiled script written as the C++ source of the module's resource table and version block.
#include <cstdio>
#include <sstream>

#include "rc_internal.h"

namespace qrc {
namespace {

// A C++ literal of the bytes: printable ASCII as it is, everything else as a three-digit octal
// escape, so that no following character can extend an escape.
std::string Literal(const std::string& bytes) {
    std::string out = "\"";
    for (const char c : bytes) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\' || c == '?') {
            out += '\\';
            out += c;
        } else if (u >= 0x20 && u < 0x7F) {
            out += c;
        } else {
            char escape[5];
            std::snprintf(escape, sizeof(escape), "\\%03o", u);
            out += escape;
        }
    }
    return out + "\"";
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08Xu", value);
    return text;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string WriteCpp(const Script& script, const std::string& scriptName) {
    std::ostringstream out;
    out << "// Made by quarnels-rc from " << BaseName(scriptName) << "; change the script, not this file.\n"
        << "#include \"posix/resource.h\"\n"
        << "#include \"posix/version.h\"\n\n";
    for (const OtherResource& other : script.others)
        out << "// Not carried on this platform: resource " << other.name << " of type " << other.type
            << (other.file.empty() ? std::string() : " from " + other.file) << "\n";
    out << (script.others.empty() ? "" : "\n") << "namespace {\n";

    for (size_t d = 0; d < script.dialogs.size(); ++d) {
        const Dialog& dialog = script.dialogs[d];
        if (dialog.controls.empty()) continue;
        out << "\nconst QpDialogItem kDialog" << d << "Items[] = {\n";
        for (const Control& c : dialog.controls)
            out << "    {" << c.id << ", " << Literal(c.className) << ", " << Literal(c.text) << ", " << Hex(c.style) << ", "
                << Hex(c.exStyle) << ", " << c.x << ", " << c.y << ", " << c.cx << ", " << c.cy << "},\n";
        out << "};\n";
    }
    if (!script.dialogs.empty()) {
        out << "\nconst QpDialogTemplate kDialogs[] = {\n";
        for (size_t d = 0; d < script.dialogs.size(); ++d) {
            const Dialog& g = script.dialogs[d];
            out << "    {" << g.id << ", " << g.language << ", " << Hex(g.style) << ", " << Hex(g.exStyle) << ", " << g.x << ", "
                << g.y << ", " << g.cx << ", " << g.cy << ", " << Literal(g.caption) << ", "
                << (g.hasFont ? Literal(g.fontName) : std::string("nullptr")) << ", " << g.pointSize << ", " << g.weight << ", "
                << int(g.italic) << ", " << int(g.charset) << ", "
                << (g.controls.empty() ? std::string("nullptr") : "kDialog" + std::to_string(d) + "Items") << ", "
                << g.controls.size() << "},\n";
        }
        out << "};\n";
    }
    if (!script.strings.empty()) {
        out << "\nconst QpStringResource kStrings[] = {\n";
        for (const StringEntry& s : script.strings) out << "    {" << s.id << ", " << Literal(s.text) << "},\n";
        out << "};\n";
    }
    out << "\n}  // namespace\n\n"
        << "extern \"C\" __attribute__((visibility(\"default\"))) const QpResourceTable qp_resource_table = {\n    "
        << (script.dialogs.empty() ? "nullptr" : "kDialogs") << ", " << script.dialogs.size() << ", "
        << (script.strings.empty() ? "nullptr" : "kStrings") << ", " << script.strings.size() << "};\n";

    const VersionInfo& v = script.version;
    if (v.present) {
        out << "\nQP_DEFINE_VERSION_RESOURCE_EX(" << Hex(v.language) << ", " << Hex(v.codepage) << ",\n    "
            << Hex(v.fileVersionMS) << ", " << Hex(v.fileVersionLS) << ", " << Hex(v.productVersionMS) << ", "
            << Hex(v.productVersionLS) << ",\n    " << Hex(v.fileFlagsMask) << ", " << Hex(v.fileFlags) << ", "
            << Hex(v.fileOS) << ", " << Hex(v.fileType) << ", " << Hex(v.fileSubtype) << ",";
        if (v.strings.empty()) out << " \"\"";
        for (const auto& entry : v.strings) out << "\n    " << Literal(entry.first) << " \"\\0\" " << Literal(entry.second) << " \"\\0\"";
        out << ");\n";
    }
    return out.str();
}

}  // namespace qrc

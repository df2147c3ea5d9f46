// Both builds read the same scripts: GNU windres (the Windows build's resource compiler) and
// quarnels-rc must give the same dialogs, strings and version resources. windres writes a .res file,
// which is read back here and compared field by field. Skipped where windres is not installed.
#include <gtest/gtest.h>
#include <strings.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "rc_script.h"

namespace {

const std::string kWindres = QR_WINDRES_SCRIPT;

struct Bytes {
    const std::vector<uint8_t>& data;
    size_t end;
    uint32_t U16(size_t at) const {
        if (at + 2 > end) throw std::runtime_error("read past the end");
        return uint32_t(data[at]) | uint32_t(data[at + 1]) << 8;
    }
    uint32_t U32(size_t at) const { return U16(at) | U16(at + 2) << 16; }
    // A NUL-terminated UTF-16 text of ASCII characters; `at` moves past the NUL.
    std::string Text(size_t& at) const {
        std::string out;
        for (uint32_t c; (c = U16(at)) != 0; at += 2) {
            if (c >= 0x80) throw std::runtime_error("not ASCII");
            out += char(c);
        }
        at += 2;
        return out;
    }
    // A name or an ordinal: 0xFFFF and a number, or a text.
    std::string NameOrOrdinal(size_t& at) const {
        if (U16(at) == 0xFFFF) {
            const uint32_t ordinal = U16(at + 2);
            at += 4;
            return "#" + std::to_string(ordinal);
        }
        return Text(at);
    }
};

size_t Align4(size_t at, size_t base = 0) { return base + (at - base + 3) / 4 * 4; }

struct Resource {
    std::string type;  // "#5" for an ordinal
    std::string name;
    uint16_t language = 0;
    std::vector<uint8_t> data;
};

std::vector<Resource> ReadRes(const std::vector<uint8_t>& file) {
    std::vector<Resource> out;
    const Bytes b{file, file.size()};
    for (size_t at = 0; at + 32 <= file.size();) {
        const uint32_t dataSize = b.U32(at);
        const uint32_t headerSize = b.U32(at + 4);
        size_t p = at + 8;
        Resource r;
        r.type = b.NameOrOrdinal(p);
        r.name = b.NameOrOrdinal(p);
        p = Align4(p);
        r.language = uint16_t(b.U16(p + 6));
        r.data.assign(file.begin() + long(at + headerSize), file.begin() + long(at + headerSize + dataSize));
        if (r.type != "#0") out.push_back(std::move(r));
        at = Align4(at + headerSize + dataSize);
    }
    return out;
}

std::string ClassOf(const std::string& nameOrOrdinal) {
    static const std::map<std::string, std::string> kAtoms = {{"#128", "BUTTON"},    {"#129", "EDIT"},
                                                              {"#130", "STATIC"},    {"#131", "LISTBOX"},
                                                              {"#132", "SCROLLBAR"}, {"#133", "COMBOBOX"}};
    const auto found = kAtoms.find(nameOrOrdinal);
    return found == kAtoms.end() ? nameOrOrdinal : found->second;
}

void CompareDialog(const Resource& res, const qrc::Dialog& d) {
    SCOPED_TRACE("dialog " + std::to_string(d.id));
    const Bytes b{res.data, res.data.size()};
    ASSERT_EQ(b.U16(0), 1u);  // an extended template
    ASSERT_EQ(b.U16(2), 0xFFFFu);
    EXPECT_EQ(res.language, d.language);
    EXPECT_EQ(b.U32(8), d.exStyle);
    EXPECT_EQ(b.U32(12), d.style);
    const uint32_t count = b.U16(16);
    EXPECT_EQ(int16_t(b.U16(18)), d.x);
    EXPECT_EQ(int16_t(b.U16(20)), d.y);
    EXPECT_EQ(int16_t(b.U16(22)), d.cx);
    EXPECT_EQ(int16_t(b.U16(24)), d.cy);
    size_t p = 26;
    EXPECT_EQ(b.NameOrOrdinal(p), "");  // no menu
    EXPECT_EQ(b.NameOrOrdinal(p), "");  // no class
    EXPECT_EQ(b.Text(p), d.caption);
    if (d.style & 0x40) {
        EXPECT_EQ(b.U16(p), d.pointSize);
        EXPECT_EQ(b.U16(p + 2), d.weight);
        EXPECT_EQ(res.data.at(p + 4), d.italic);
        EXPECT_EQ(res.data.at(p + 5), d.charset);
        p += 6;
        EXPECT_EQ(b.Text(p), d.fontName);
    }
    ASSERT_EQ(count, d.controls.size());
    for (const qrc::Control& c : d.controls) {
        SCOPED_TRACE("control " + std::to_string(c.id) + " " + c.text);
        p = Align4(p);
        EXPECT_EQ(b.U32(p + 4), c.exStyle);
        EXPECT_EQ(b.U32(p + 8), c.style);
        EXPECT_EQ(int16_t(b.U16(p + 12)), c.x);
        EXPECT_EQ(int16_t(b.U16(p + 14)), c.y);
        EXPECT_EQ(int16_t(b.U16(p + 16)), c.cx);
        EXPECT_EQ(int16_t(b.U16(p + 18)), c.cy);
        EXPECT_EQ(int32_t(b.U32(p + 20)), c.id);
        p += 24;
        EXPECT_EQ(strcasecmp(ClassOf(b.NameOrOrdinal(p)).c_str(), c.className.c_str()), 0);
        EXPECT_EQ(b.NameOrOrdinal(p), c.text);
        p += 2 + b.U16(p);
    }
}

// One node of a version resource: key, text or binary value, children.
struct VersionNode {
    std::string key;
    std::string text;
    std::vector<uint8_t> binary;
    std::vector<VersionNode> children;
};

VersionNode ReadVersionNode(const std::vector<uint8_t>& data, size_t at) {
    const Bytes b{data, data.size()};
    const size_t end = at + b.U16(at);
    const Bytes node{data, end};
    const uint32_t valueLength = node.U16(at + 2);
    const bool isText = node.U16(at + 4) == 1;
    VersionNode out;
    size_t p = at + 6;
    out.key = node.Text(p);
    p = Align4(p);
    if (valueLength > 0) {
        if (isText) {
            size_t q = p;
            out.text = node.Text(q);
            p = q;
        } else {
            out.binary.assign(data.begin() + long(p), data.begin() + long(p + valueLength));
            p += valueLength;
        }
    }
    for (p = Align4(p); p < end; p = Align4(p + b.U16(p))) out.children.push_back(ReadVersionNode(data, p));
    return out;
}

void CompareVersion(const Resource& res, const qrc::VersionInfo& v) {
    const VersionNode root = ReadVersionNode(res.data, 0);
    EXPECT_EQ(root.key, "VS_VERSION_INFO");
    ASSERT_EQ(root.binary.size(), 52u);
    const Bytes fixed{root.binary, root.binary.size()};
    EXPECT_EQ(fixed.U32(0), 0xFEEF04BDu);
    const uint32_t expected[] = {v.fileVersionMS, v.fileVersionLS, v.productVersionMS, v.productVersionLS, v.fileFlagsMask,
                                 v.fileFlags,     v.fileOS,        v.fileType,         v.fileSubtype};
    for (size_t i = 0; i < 9; ++i) EXPECT_EQ(fixed.U32(8 + 4 * i), expected[i]) << "field " << i;

    bool sawStrings = false, sawTranslation = false;
    for (const VersionNode& block : root.children) {
        if (block.key == "StringFileInfo") {
            ASSERT_EQ(block.children.size(), 1u);
            const VersionNode& table = block.children[0];
            EXPECT_EQ(std::stoul(table.key, nullptr, 16), uint32_t(v.language) << 16 | v.codepage);
            ASSERT_EQ(table.children.size(), v.strings.size());
            for (size_t i = 0; i < v.strings.size(); ++i) {
                EXPECT_EQ(table.children[i].key, v.strings[i].first);
                EXPECT_EQ(table.children[i].text, v.strings[i].second);
            }
            sawStrings = true;
        } else if (block.key == "VarFileInfo") {
            ASSERT_EQ(block.children.size(), 1u);
            EXPECT_EQ(block.children[0].key, "Translation");
            const Bytes pair{block.children[0].binary, block.children[0].binary.size()};
            EXPECT_EQ(pair.U16(0), v.language);
            EXPECT_EQ(pair.U16(2), v.codepage);
            sawTranslation = true;
        }
    }
    EXPECT_TRUE(sawStrings);
    EXPECT_TRUE(sawTranslation);
}

void CompareScript(const std::string& script) {
    SCOPED_TRACE(script);
    const std::string res = std::string(QR_OUT) + "/windres-" + std::to_string(std::hash<std::string>()(script)) + ".res";
    ASSERT_EQ(std::system(("sh '" + kWindres + "' '" + script + "' '" + res + "'").c_str()), 0);
    std::ifstream in(res, std::ios::binary);
    const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::vector<Resource> resources = ReadRes(file);
    const qrc::Script ours = qrc::CompileFile(script);

    size_t dialogs = 0, stringBlocks = 0;
    for (const Resource& r : resources) {
        if (r.type == "#5") {
            ++dialogs;
            bool found = false;
            for (const qrc::Dialog& d : ours.dialogs)
                if ("#" + std::to_string(d.id) == r.name) CompareDialog(r, d), found = true;
            EXPECT_TRUE(found) << "windres has dialog " << r.name;
        } else if (r.type == "#6") {
            ++stringBlocks;
            const uint32_t first = (std::stoul(r.name.substr(1)) - 1) * 16;
            const Bytes b{r.data, r.data.size()};
            size_t p = 0;
            for (uint32_t id = first; id < first + 16; ++id) {
                const uint32_t length = b.U16(p);
                std::string text;
                for (uint32_t i = 0; i < length; ++i) text += char(b.U16(p + 2 + 2 * i));
                p += 2 + 2 * length;
                const qrc::StringEntry* entry = nullptr;
                for (const qrc::StringEntry& s : ours.strings)
                    if (s.id == id) entry = &s;
                EXPECT_EQ(text, entry ? entry->text : "") << "string " << id;
                if (entry) {
                    EXPECT_EQ(r.language, entry->language);
                }
            }
        } else if (r.type == "#16") {
            ASSERT_TRUE(ours.version.present);
            CompareVersion(r, ours.version);
        }
    }
    EXPECT_EQ(dialogs, ours.dialogs.size());
    EXPECT_EQ(stringBlocks > 0, !ours.strings.empty());

    // What this platform leaves out is still in the Windows build: the group icon and the manifest.
    for (const qrc::OtherResource& other : ours.others) {
        const std::string type = other.type == "ICON" ? "#14" : "#" + other.type;
        bool found = false;
        for (const Resource& r : resources) found = found || (r.type == type && r.name == "#" + other.name);
        EXPECT_TRUE(found) << other.type << " " << other.name;
    }
}

TEST(ResourcesWindres, LibraryScriptGivesTheSameResources) {
    if (kWindres.empty()) GTEST_SKIP() << "windres is not installed";
    CompareScript(std::string(QR_SCRIPTS) + "/Quarnels64.rc");
}

TEST(ResourcesWindres, CheckProgramScriptGivesTheSameResources) {
    if (kWindres.empty()) GTEST_SKIP() << "windres is not installed";
    CompareScript(std::string(QR_SCRIPTS) + "/QuarnelCheck.rc");
}

TEST(ResourcesWindres, ControlStatementsGiveTheSameStyles) {
    if (kWindres.empty()) GTEST_SKIP() << "windres is not installed";
    CompareScript(std::string(QR_DATA) + "/controls.rc");
}

}  // namespace

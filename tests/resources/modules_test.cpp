// Modules built with quarnels_add_resources, read back the way the library and the check program
// read them. This test program carries QuarnelCheck.rc itself, as the check program does.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32api.h"

namespace {

// The version block of a file, empty when it has none.
std::vector<char> VersionBlockOf(const std::string& path) {
    DWORD handle = 1234;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    EXPECT_EQ(handle, 0u);
    std::vector<char> block(size);
    if (size != 0) {
        EXPECT_TRUE(GetFileVersionInfoA(path.c_str(), handle, size, block.data()));
    }
    return block;
}

std::string StringValue(const std::vector<char>& block, const std::string& name) {
    LPVOID value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), ("\\StringFileInfo\\040704b0\\" + name).c_str(), &value, &length)) return "<missing>";
    return static_cast<const char*>(value);
}

const VS_FIXEDFILEINFO* FixedOf(const std::vector<char>& block) {
    LPVOID value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\", &value, &length) || length != sizeof(VS_FIXEDFILEINFO)) return nullptr;
    return static_cast<const VS_FIXEDFILEINFO*>(value);
}

class Module {
public:
    explicit Module(const char* path) : handle_(LoadLibraryA(path)) { EXPECT_NE(handle_, nullptr) << path; }
    ~Module() {
        if (handle_) FreeLibrary(handle_);
    }
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;
    HMODULE get() const { return handle_; }

private:
    HMODULE handle_;
};

TEST(ResourcesModules, LibraryVersionReadsBackFromTheModuleFile) {
    Module module(QR_LIBRARY_MODULE);
    char path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(module.get(), path, sizeof(path)), 0u);
    const std::vector<char> block = VersionBlockOf(path);
    ASSERT_FALSE(block.empty());

    const VS_FIXEDFILEINFO* fixed = FixedOf(block);
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000007u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000007u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, 0x00040004u);
    EXPECT_EQ(fixed->dwFileType, 2u);

    LPVOID value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(static_cast<const WORD*>(value)[0], 0x0407);
    EXPECT_EQ(static_cast<const WORD*>(value)[1], 0x04B0);

    EXPECT_EQ(StringValue(block, "FileVersion"), "1.0.0.7");
    EXPECT_EQ(StringValue(block, "ProductVersion"), "1.0.0.7");
    EXPECT_EQ(StringValue(block, "FileDescription"), "Quarnels");
    EXPECT_EQ(StringValue(block, "ProductName"), "Quarnels");
    EXPECT_EQ(StringValue(block, "InternalName"), "Quarnels.dll");
    EXPECT_EQ(StringValue(block, "OriginalFilename"), "Quarnels.dll");
    EXPECT_EQ(StringValue(block, "SpecialBuild"), "<missing>");
    EXPECT_FALSE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\FileVersion", &value, &length));
}

TEST(ResourcesModules, BaseNamesLeaveOutFolderLibPrefixAndExtension) {
    Module module(QR_LIBRARY_MODULE);
    char name[MAX_PATH] = "unchanged";
    EXPECT_EQ(QpModuleBaseName(module.get(), name, sizeof(name)), 24u);
    EXPECT_STREQ(name, "resources_library_module");
    EXPECT_EQ(QpModuleBaseName(nullptr, name, sizeof(name)), 17u);
    EXPECT_STREQ(name, "resources_modules");
    // A short buffer gets what fits and its NUL.
    EXPECT_EQ(QpModuleBaseName(module.get(), name, 5), 4u);
    EXPECT_STREQ(name, "reso");
}

TEST(ResourcesModules, ModulesWithoutAVersionBlockHaveSizeZero) {
    for (const char* path : {QR_PLAIN_MODULE, QR_ESCAPES_MODULE}) {
        DWORD handle = 1;
        EXPECT_EQ(GetFileVersionInfoSizeA(path, &handle), 0u) << path;
        char buffer[64];
        EXPECT_FALSE(GetFileVersionInfoA(path, 0, sizeof(buffer), buffer)) << path;
    }
}

TEST(ResourcesModules, LibraryDialogsAndStringsAreFoundInTheModule) {
    Module module(QR_LIBRARY_MODULE);
    const QpDialogTemplate* authentication = QpFindDialogTemplate(module.get(), MAKEINTRESOURCEA(1000));
    ASSERT_NE(authentication, nullptr);
    EXPECT_STREQ(authentication->caption, "Authentication");
    EXPECT_EQ(authentication->language, 1031);
    ASSERT_EQ(authentication->itemCount, 2);
    EXPECT_EQ(authentication->items[0].id, 2);
    EXPECT_STREQ(authentication->items[0].text, "Abort");

    const QpDialogTemplate* download = QpFindDialogTemplate(module.get(), MAKEINTRESOURCEA(1002));
    ASSERT_NE(download, nullptr);
    EXPECT_STREQ(download->caption, "ESI Download");
    EXPECT_EQ(download->weight, 400);
    EXPECT_EQ(download->charset, 1);
    ASSERT_EQ(download->itemCount, 2);
    EXPECT_STREQ(download->items[1].text, "Statisch");
    EXPECT_STREQ(download->items[1].className, "STATIC");

    // The check program's window is not the library's, and names are not ids here.
    EXPECT_EQ(QpFindDialogTemplate(module.get(), MAKEINTRESOURCEA(102)), nullptr);
    EXPECT_EQ(QpFindDialogTemplate(module.get(), "IDD_AUTHENTICATION"), nullptr);

    char text[256];
    EXPECT_GT(LoadStringA(module.get(), 101, text, sizeof(text)), 0);
    EXPECT_EQ(LoadStringA(module.get(), 102, text, sizeof(text)), 0);
    EXPECT_STREQ(text, "");
}

TEST(ResourcesModules, ResourcesBelongToTheirOwnModuleOnly) {
    // The dependent module has no table, though the linker sees the library module's through it.
    Module library(QR_LIBRARY_MODULE);
    Module dependent(QR_DEPENDENT_MODULE);
    Module plain(QR_PLAIN_MODULE);
    EXPECT_EQ(QpFindDialogTemplate(dependent.get(), MAKEINTRESOURCEA(1000)), nullptr);
    EXPECT_EQ(QpFindDialogTemplate(plain.get(), MAKEINTRESOURCEA(1000)), nullptr);
    char text[16] = "unchanged";
    EXPECT_EQ(LoadStringA(dependent.get(), 101, text, sizeof(text)), 0);
    EXPECT_STREQ(text, "");
    // And the program's own table is not the library module's.
    EXPECT_EQ(QpFindDialogTemplate(nullptr, MAKEINTRESOURCEA(1000)), nullptr);
}

TEST(ResourcesModules, ProgramCarriesTheCheckProgramsResources) {
    const QpDialogTemplate* window = QpFindDialogTemplate(nullptr, MAKEINTRESOURCEA(102));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->style, 0x90CC0048u);
    EXPECT_EQ(window->exStyle, 0x00040000u);
    EXPECT_STREQ(window->caption, "");
    EXPECT_STREQ(window->fontName, "MS Shell Dlg");
    EXPECT_EQ(window->cx, 339);
    EXPECT_EQ(window->cy, 165);
    ASSERT_EQ(window->itemCount, 3);
    EXPECT_STREQ(window->items[2].className, "LISTBOX");
    EXPECT_EQ(window->items[2].style, 0x50A10101u);

    char path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, path, sizeof(path)), 0u);
    const std::vector<char> block = VersionBlockOf(path);
    const VS_FIXEDFILEINFO* fixed = FixedOf(block);
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000003u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000003u);
    EXPECT_EQ(fixed->dwFileType, 1u);
    EXPECT_EQ(StringValue(block, "CompanyName"), "Ostvale");
    EXPECT_EQ(StringValue(block, "ProductName"), "QuarnelCheck");
}

TEST(ResourcesModules, TextsSurviveTheWayThroughCxx) {
    Module module(QR_ESCAPES_MODULE);
    char text[128];
    struct Case {
        UINT id;
        const char* text;
    };
    const Case cases[] = {{1, "say \"hi\" and \"bye\""},
                          {102, "tab\there\nnext line"},
                          {103, "back\\slash, C:\\data, ?\?= and ABC"},
                          {104, "umlaut \xe4 and \xff" "1"},
                          {105, "cut"}};
    for (const Case& c : cases) {
        EXPECT_EQ(LoadStringA(module.get(), c.id, text, sizeof(text)), int(std::strlen(c.text))) << c.id;
        EXPECT_STREQ(text, c.text);
    }
    // A short buffer gets what fits and its NUL.
    EXPECT_EQ(LoadStringA(module.get(), 1, text, 4), 3);
    EXPECT_STREQ(text, "say");

    const QpDialogTemplate* odd = QpFindDialogTemplate(module.get(), MAKEINTRESOURCEA(0x10));
    ASSERT_NE(odd, nullptr);
    EXPECT_EQ(odd->language, 0x0409);
    EXPECT_STREQ(odd->caption, "quote \" and backslash \\");
    EXPECT_EQ(odd->fontName, nullptr);
    EXPECT_EQ(odd->style, 0x80C80000u);
    EXPECT_EQ(odd->x, 10);
    EXPECT_EQ(odd->cy, 40);
    ASSERT_EQ(odd->itemCount, 1);
    EXPECT_EQ(odd->items[0].id, -2);
    EXPECT_EQ(odd->items[0].x, -1);
    EXPECT_STREQ(odd->items[0].className, "SysListView32");
    EXPECT_STREQ(odd->items[0].text, "");
    EXPECT_EQ(odd->items[0].style, 0x40000001u);
}

}  // namespace

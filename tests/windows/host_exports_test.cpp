// Quarnels64.dll as a macro host on Windows sees it: loaded by its file name from the program's
// folder, exports bound by name, arguments by reference, BSTRs and SAFEARRAYs of the system's OLE
// Automation. Nothing here reaches a service.
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/host_library.h"
#include "tests/windows/win_test_support.h"

namespace {

class WinHostExports : public HostSuite {
protected:
    static void SetUpTestSuite() {
        // Should anything try to reach a service, it finds nothing there.
        wintest::SetVariable("QUARNELS_SSO_URL", "http://127.0.0.1:9");
        wintest::SetVariable("QUARNELS_ESI_URL", "http://127.0.0.1:9/");
        LoadOnce("Quarnels64.dll");
    }
    static void TearDownTestSuite() { FreeOnce(); }
};

std::string ModulePath(HMODULE module) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    return path;
}

TEST_F(WinHostExports, TestIsExportedOnlyUnderItsDecoratedName) {
    ExpectOnlyTheDecoratedTestExport();
    // The name the Linux build renames it from is not there either.
    EXPECT_EQ(GetProcAddress(module_, "QuarnelsDecoratedTestExport"), nullptr);
}

TEST_F(WinHostExports, NothingButTheExportsIsVisible) {
    // The class library, cJSON and the C++ runtime are linked in, not exported.
    for (const char* name : {"AfxGetApp", "cJSON_Parse", "cJSON_Delete", "theApp", "g_OAuth", "QpStricmp", "DllMain"})
        EXPECT_EQ(GetProcAddress(module_, name), nullptr) << name;
}

TEST_F(WinHostExports, VersionComesFromTheRealVersionResource) {
    EXPECT_EQ(TakeBstr(x.GetDLLVersion()), "1,0,0,7");

    const std::string path = ModulePath(module_);
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), handle, size, block.data()));
    struct Translation {
        WORD language, codePage;
    }* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<LPVOID*>(&translation),
                               &length));
    ASSERT_GE(length, sizeof(Translation));
    EXPECT_EQ(translation->language, 0x0407);  // German
    EXPECT_EQ(translation->codePage, 1200);
    for (const auto& [key, expected] : std::vector<std::pair<std::string, std::string>>{
             {"ProductVersion", "1.0.0.7"},
             {"FileVersion", "1.0.0.7"},
             {"ProductName", "Quarnels"},
             {"OriginalFilename", "Quarnels.dll"}}) {
        char* value = nullptr;
        UINT chars = 0;
        const std::string query = "\\StringFileInfo\\040704b0\\" + key;
        ASSERT_TRUE(VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<LPVOID*>(&value), &chars)) << key;
        EXPECT_EQ(std::string(value), expected) << key;
    }
}

TEST_F(WinHostExports, DialogTemplatesAndStringsAreGermanResourcesOfTheLibrary) {
    const WORD german = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);
    for (int id : {1000, 1002})
        EXPECT_NE(FindResourceExA(module_, MAKEINTRESOURCEA(5) /* RT_DIALOG */, MAKEINTRESOURCEA(id), german), nullptr)
            << "dialog " << id;
    char text[256] = {};
    EXPECT_GT(LoadStringA(module_, 101, text, sizeof(text)), 0);
}

TEST_F(WinHostExports, VolumesByNameInAnyLetterCase) {
    HostText raven("Raven"), lower("raven"), tritanium("TRITANIUM"), unknown("Not An Item");
    EXPECT_DOUBLE_EQ(x.GetVolume(raven.Arg()), 470000.0);
    EXPECT_DOUBLE_EQ(x.GetVolume(lower.Arg()), 470000.0);
    EXPECT_DOUBLE_EQ(x.GetVolume(tritanium.Arg()), 0.01);
    EXPECT_EQ(x.GetVolume(unknown.Arg()), 0.0);
    EXPECT_EQ(x.GetVolume(nullptr), 0.0);
    // Names that sort after the names with bytes above 0x7F: found only when the lookup compares
    // bytes as unsigned values, the order of the table.
    HostText zydrine("Zydrine"), megacyte("megacyte");
    EXPECT_DOUBLE_EQ(x.GetVolume(zydrine.Arg()), 0.01);
    EXPECT_DOUBLE_EQ(x.GetVolume(megacyte.Arg()), 0.01);
}

TEST_F(WinHostExports, BlueprintFillsTheHostsArraysInTypeIdOrder) {
    SAFEARRAY* names = SafeArrayCreateVector(VT_BSTR, 0, 25);
    SAFEARRAY* amounts = SafeArrayCreateVector(VT_I4, 0, 25);
    ASSERT_NE(names, nullptr);
    ASSERT_NE(amounts, nullptr);
    // A text the host left in a slot is freed by the library before it writes the slot.
    static_cast<BSTR*>(names->pvData)[0] = SysAllocStringByteLen("old", 3);
    HostText raven("Raven");
    short portion = -1;
    ASSERT_EQ(x.Blueprint(raven.Arg(), &names, &amounts, &portion), 1);
    EXPECT_EQ(portion, 1);
    // The bill itself is the database's (its tests pin every slot); here Windows' own arrays get its
    // ten materials, the first and the last of them in the first and the tenth element.
    std::vector<std::string> slots;
    for (size_t i = 0; i < 25; ++i) {
        BSTR name = static_cast<BSTR*>(names->pvData)[i];
        slots.push_back(name ? std::string(reinterpret_cast<const char*>(name), SysStringByteLen(name)) : "<null>");
    }
    const int* quantities = static_cast<int*>(amounts->pvData);
    EXPECT_EQ(slots[0], "Tritanium");
    EXPECT_EQ(quantities[0], 5200000);
    EXPECT_EQ(slots[9], "Life Support Backup Unit");
    EXPECT_EQ(quantities[9], 75);
    for (size_t i = 1; i < 9; ++i) EXPECT_NE(slots[i], "<null>") << i;
    for (size_t i = 10; i < 25; ++i) {
        EXPECT_EQ(slots[i], "<null>") << i;
        EXPECT_EQ(quantities[i], 0) << i;
    }
    EXPECT_EQ(SafeArrayDestroy(names), S_OK);
    EXPECT_EQ(SafeArrayDestroy(amounts), S_OK);
}

TEST_F(WinHostExports, MaterialsOfAProduct) {
    HostText raven("Raven"), tritanium("Tritanium"), regulator("Core Temperature Regulator");
    short index = 1;
    EXPECT_EQ(TakeBstr(x.GetMaterialName(raven.Arg(), &index)), "Tritanium");
    index = 11;
    EXPECT_EQ(TakeBstr(x.GetMaterialName(raven.Arg(), &index)), "<null>");
    int one = 1, five = 5;
    double me10 = 10.0;
    EXPECT_EQ(x.GetMaterialAmount(raven.Arg(), tritanium.Arg(), &one, &me10), 4680000);
    EXPECT_EQ(x.GetMaterialAmount(raven.Arg(), regulator.Arg(), &five, &me10), 5);
    EXPECT_EQ(x.GetMaterialTypes(raven.Arg()), 10);
    EXPECT_EQ(x.GetMaterialTypes(tritanium.Arg()), 0);
}

TEST_F(WinHostExports, InventionInputsAndDecryptors) {
    HostText extender("Small Shield Extender II"), quantum("Datacore - Quantum Physics");
    HostText augmentation("Augmentation Decryptor"), process("Process Decryptor");
    short index = 2;
    EXPECT_EQ(TakeBstr(x.GetInventionItem(extender.Arg(), &index)), "Datacore - Quantum Physics");
    EXPECT_EQ(x.GetInventionAmount(extender.Arg(), quantum.Arg()), 1);
    EXPECT_EQ(x.GetInventionRuns(extender.Arg(), augmentation.Arg()), 19);
    EXPECT_EQ(x.GetInventionME(extender.Arg(), process.Arg()), 5);
    // An item without invention data gives 0 before any skills are asked for.
    HostText unknown("Not An Item");
    EXPECT_EQ(x.GetInventionChance(unknown.Arg(), nullptr), 0.0);
}

}  // namespace

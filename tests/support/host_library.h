// Loads the built library the way a macro host does and binds its exports by name; shared by the host
// tests of both builds.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/win32api.h"
#include "tests/support/library_ini_path.h"

struct QuarnelsExports {
    int (*Test)(char**);
    BSTR (*GetDLLVersion)();
    double (*GetVolume)(char**);
    int (*Blueprint)(char**, SAFEARRAY**, SAFEARRAY**, short*);
    BSTR (*GetMaterialName)(char**, short*);
    int (*GetMaterialAmount)(char**, char**, int*, double*);
    int (*GetMaterialTypes)(char**);
    BSTR (*GetInventionItem)(char**, short*);
    int (*GetInventionAmount)(char**, char**);
    int (*GetInventionRuns)(char**, char**);
    int (*GetInventionME)(char**, char**);
    double (*GetInventionChance)(char**, char**);
    double (*GetMarket)(char**, char**, short*, int*);
    int (*GetProduction)(char**);
    int (*GetAssets)(char**, char**);
    int (*GetPersonalOrders)(char**, char**, short*);
    int (*GetTransactionAmount)(char**, char**, short*, short*);
    int (*GetUser)(BSTR*);
};

// An export's address as the function type it has (through void(*)(), the generic function type).
template <typename Function>
Function ProcAs(FARPROC proc) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(proc));
}

// Binds one export by name; a missing export fails the test.
template <typename Function>
void Bind(HMODULE module, const char* name, Function& out) {
    out = ProcAs<Function>(GetProcAddress(module, name));
    ASSERT_NE(out, nullptr) << "export not found: " << name;
}

inline void BindAll(HMODULE module, QuarnelsExports& e) {
    Bind(module, "?Test@@YAHPEAPEAD@Z", e.Test);
    Bind(module, "GetDLLVersion", e.GetDLLVersion);
    Bind(module, "GetVolume", e.GetVolume);
    Bind(module, "Blueprint", e.Blueprint);
    Bind(module, "GetMaterialName", e.GetMaterialName);
    Bind(module, "GetMaterialAmount", e.GetMaterialAmount);
    Bind(module, "GetMaterialTypes", e.GetMaterialTypes);
    Bind(module, "GetInventionItem", e.GetInventionItem);
    Bind(module, "GetInventionAmount", e.GetInventionAmount);
    Bind(module, "GetInventionRuns", e.GetInventionRuns);
    Bind(module, "GetInventionME", e.GetInventionME);
    Bind(module, "GetInventionChance", e.GetInventionChance);
    Bind(module, "GetMarket", e.GetMarket);
    Bind(module, "GetProduction", e.GetProduction);
    Bind(module, "GetAssets", e.GetAssets);
    Bind(module, "GetPersonalOrders", e.GetPersonalOrders);
    Bind(module, "GetTransactionAmount", e.GetTransactionAmount);
    Bind(module, "GetUser", e.GetUser);
}

// A text variable of the host: the export receives the address of its string pointer.
class HostText {
public:
    explicit HostText(const char* text) : m_text(text), m_pointer(&m_text[0]) {}
    static HostText Missing() {
        HostText text("");
        text.m_pointer = nullptr;
        return text;
    }
    char** Arg() { return &m_pointer; }
    std::string Value() const { return m_text.c_str(); }

private:
    std::string m_text;
    char* m_pointer;
};

// The bytes of a BSTR result as text; frees the BSTR. A null BSTR gives "<null>".
inline std::string TakeBstr(BSTR value) {
    if (!value) return "<null>";
    std::string text(reinterpret_cast<const char*>(value), SysStringByteLen(value));
    SysFreeString(value);
    return text;
}

// Posts a WM_QUIT on this thread, as a host that is closing does, makes the call, and expects the
// quit message still queued afterwards for the host's own loop.
inline void ExpectQuitMessageKeptThrough(const std::function<void()>& call) {
    PostQuitMessage(0);
    call();
    MSG quit{};
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.message, UINT(WM_QUIT));
    EXPECT_EQ(quit.wParam, 0u);
}

// A suite whose tests share one load of the library, made by SetUpTestSuite with LoadOnce; each test
// binds the exports anew. One such suite a test program: the handle is the program's.
class HostSuite : public ::testing::Test {
protected:
    static void LoadOnce(const char* path) {
        module_ = LoadLibraryA(path);
        ASSERT_NE(module_, nullptr) << "cannot load " << path << ", error " << GetLastError();
    }
    static void FreeOnce() {
        if (module_) {
            EXPECT_TRUE(FreeLibrary(module_));
        }
        module_ = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(module_, nullptr);
        BindAll(module_, x);
    }

    // Test is there under its decorated name only; it puts an "x" in place of the first byte of
    // the host's text and returns 0, also for a missing or empty text.
    void ExpectOnlyTheDecoratedTestExport() {
        EXPECT_EQ(GetProcAddress(module_, "Test"), nullptr);
        HostText text("abc");
        EXPECT_EQ(x.Test(text.Arg()), 0);
        EXPECT_EQ(text.Value(), "xbc");
        HostText missing = HostText::Missing();
        EXPECT_EQ(x.Test(missing.Arg()), 0);
        EXPECT_EQ(x.Test(nullptr), 0);
        HostText empty("");
        EXPECT_EQ(x.Test(empty.Arg()), 0);
        EXPECT_EQ(empty.Value(), "");
    }

    // The live-data exports give 0 when an argument is missing or null, whatever the others are.
    void ExpectZeroForMissingLiveDataArguments() {
        HostText jita("Jita"), item("Tritanium"), container("Hangar");
        HostText missing = HostText::Missing();
        short sell = 1, days = 30, sold = 1;
        int quantity = 10;
        EXPECT_EQ(x.GetMarket(missing.Arg(), item.Arg(), &sell, &quantity), 0.0);
        EXPECT_EQ(x.GetMarket(jita.Arg(), nullptr, &sell, &quantity), 0.0);
        EXPECT_EQ(x.GetMarket(jita.Arg(), item.Arg(), nullptr, &quantity), 0.0);
        EXPECT_EQ(x.GetMarket(jita.Arg(), item.Arg(), &sell, nullptr), 0.0);
        EXPECT_EQ(x.GetProduction(missing.Arg()), 0);
        EXPECT_EQ(x.GetProduction(nullptr), 0);
        EXPECT_EQ(x.GetAssets(missing.Arg(), container.Arg()), 0);
        EXPECT_EQ(x.GetAssets(item.Arg(), nullptr), 0);
        EXPECT_EQ(x.GetPersonalOrders(jita.Arg(), item.Arg(), nullptr), 0);
        EXPECT_EQ(x.GetTransactionAmount(item.Arg(), jita.Arg(), &days, nullptr), 0);
        EXPECT_EQ(x.GetTransactionAmount(item.Arg(), jita.Arg(), nullptr, &sold), 0);
        EXPECT_EQ(x.GetTransactionAmount(nullptr, jita.Arg(), &days, &sold), 0);
        EXPECT_EQ(x.GetTransactionAmount(item.Arg(), nullptr, &days, &sold), 0);
    }

    static inline HMODULE module_ = nullptr;
    QuarnelsExports x{};
};

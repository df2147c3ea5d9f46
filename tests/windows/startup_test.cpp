// The class library's DLL start-up on Windows: a module whose InitInstance refuses is not loaded.
#include "tests/windows/win_test_support.h"

namespace {

TEST(WinDllStartup, ALibraryWhoseInitInstanceRefusesFailsToLoad) {
    SetEnvironmentVariableA("WIN_REFUSING_MODULE_EXIT", nullptr);
    SetLastError(0);
    HMODULE module = LoadLibraryA("win_refusing_module.dll");
    const DWORD error = GetLastError();
    EXPECT_EQ(module, nullptr);
    if (module) FreeLibrary(module);
    EXPECT_EQ(error, DWORD(ERROR_DLL_INIT_FAILED));
    // The module was shut down as on any unload: ExitInstance ran.
    char value[16] = {};
    EXPECT_GT(GetEnvironmentVariableA("WIN_REFUSING_MODULE_EXIT", value, sizeof(value)), 0u);
    EXPECT_STREQ(value, "ran");
}

TEST(WinDllStartup, TheLibraryStartsAndStopsAgainOnEveryLoad) {
    for (int round = 0; round < 3; ++round) {
        HMODULE module = LoadLibraryA("Quarnels64.dll");
        ASSERT_NE(module, nullptr) << "round " << round << ", error " << GetLastError();
        EXPECT_TRUE(FreeLibrary(module));
    }
}

}  // namespace

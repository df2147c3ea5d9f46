// The library makes its global objects, starts up, shuts down and destroys them in a fixed order.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "platform/win32api.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"

namespace {
// Written by whichever thread loads or unloads the library: a thread of the library that ends after
// the host freed it unloads the library itself.
std::mutex g_mutex;
std::condition_variable g_changed;
std::vector<std::string> g_steps;
}  // namespace

extern "C" __attribute__((visibility("default"))) void QuarnelsLifecycleSink(const char* step) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_steps.emplace_back(step);
    g_changed.notify_all();
}

TEST(LibraryLifecycle, LoadAndUnloadRunInTheFixedOrder) {
    g_steps.clear();
    HMODULE module = LoadLibraryA(QUARNELS_TRACED_LIBRARY_PATH);
    ASSERT_NE(module, nullptr);
    const std::vector<std::string> loaded = {"asset caches", "theApp",       "g_ExportLock", "OAuth2 made",
                                             "other caches", "start-up",     "InitInstance"};
    EXPECT_EQ(g_steps, loaded);

    // Exports do not disturb the objects' lifetime.
    auto getVolume = reinterpret_cast<double (*)(char**)>(reinterpret_cast<void (*)()>(GetProcAddress(module, "GetVolume")));
    ASSERT_NE(getVolume, nullptr);
    char raven[] = "Raven";
    char* item = raven;
    EXPECT_GT(getVolume(&item), 0.0);

    g_steps.clear();
    ASSERT_TRUE(FreeLibrary(module));
    const std::vector<std::string> unloaded = {"shutdown",     "other caches", "OAuth2 destroyed",
                                               "g_ExportLock", "theApp",       "asset caches"};
    EXPECT_EQ(g_steps, unloaded);
}

TEST(LibraryLifecycle, UnloadsAlsoAfterADialogRanOnTheHostsThread) {
    // A sign-in that ends at once (no browser can be started) runs its dialog and the warning box on
    // this thread; the library must still unload when it is freed.
    const testsupport::TempFolder home("quarnels-lifecycle");
    ASSERT_FALSE(home.Path().empty());
    const testsupport::ScopedEnv homeSetting("HOME", home.Path());
    const testsupport::ScopedEnv browserSetting("BROWSER", "/nonexistent/browser");
    const testsupport::ScopedEnv pathSetting("PATH", home.Path());
    const testsupport::ScopedEnv signOnSetting("QUARNELS_SSO_URL", "http://127.0.0.1:9");
    HMODULE module = LoadLibraryA(QUARNELS_TRACED_LIBRARY_PATH);
    ASSERT_NE(module, nullptr);
    auto getUser = reinterpret_cast<int (*)(BSTR*)>(reinterpret_cast<void (*)()>(GetProcAddress(module, "GetUser")));
    ASSERT_NE(getUser, nullptr);
    BSTR name = nullptr;
    EXPECT_EQ(getUser(&name), 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(name), "Not Authenticated");
    SysFreeString(name);

    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_steps.clear();
    }
    ASSERT_TRUE(FreeLibrary(module));
    // A thread of the sign-in may still be leaving the library's code; the library goes with it.
    std::unique_lock<std::mutex> lock(g_mutex);
    ASSERT_TRUE(g_changed.wait_for(lock, std::chrono::seconds(10),
                                   [] { return !g_steps.empty() && g_steps.back() == "asset caches"; }))
        << "the library stayed loaded";
    EXPECT_EQ(g_steps.front(), "shutdown");
}

TEST(LibraryLifecycle, LoadingTwiceAfterUnloadStartsAfresh) {
    for (int round = 0; round < 2; ++round) {
        g_steps.clear();
        HMODULE module = LoadLibraryA(QUARNELS_TRACED_LIBRARY_PATH);
        ASSERT_NE(module, nullptr);
        EXPECT_EQ(g_steps.size(), 7u) << "round " << round;
        ASSERT_TRUE(FreeLibrary(module));
    }
}

TEST(LibraryLifecycle, PlatformLibraryGoesWithTheLibrary) {
    // A host that had the platform library only through the library is rid of both once it frees
    // the library, as of Quarnels64.dll on Windows: else the platform's state would outlive every
    // unload.
    const std::string command = std::string("'") + QUARNELS_UNLOAD_HOST + "' '" + QUARNELS_LIBRARY_PATH + "' '" +
                                QUARNELS_PLATFORM_LIBRARY + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

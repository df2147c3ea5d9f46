// ShellExecuteExA opening a URL in the user's browser, and OutputDebugStringA.
#include <gtest/gtest.h>

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/win32api.h"
#include "tests/support/file_text.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

static_assert(sizeof(SHELLEXECUTEINFOA) == 112, "Windows x64 size");
static_assert(offsetof(SHELLEXECUTEINFOA, lpFile) == 24, "Windows x64 layout");
static_assert(offsetof(SHELLEXECUTEINFOA, nShow) == 48, "Windows x64 layout");
static_assert(offsetof(SHELLEXECUTEINFOA, hInstApp) == 56, "Windows x64 layout");
static_assert(offsetof(SHELLEXECUTEINFOA, hProcess) == 104, "Windows x64 layout");

using testsupport::ReadFileText;

// A fake browser: records its arguments and the descriptors it inherited, then the argument
// itself last (by a rename, so the file appears whole).
const char kFakeBrowser[] =
    "#!/bin/sh\n"
    "PATH=/usr/bin:/bin\n"
    "out=\"$QP_TEST_OUT\"\n"
    "for f in /proc/$$/fd/*; do readlink \"$f\"; done > \"$out.fds\"\n"
    "printf '%s' \"$#\" > \"$out.argc\"\n"
    "printf '%s' \"$1\" > \"$out.tmp\"\n"
    "mv \"$out.tmp\" \"$out\"\n";

// Each test gets a folder of its own; the variables it changes are put back afterwards.
class Shell : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(m_folder.Path().empty()); }

    fs::path Script(const std::string& name) {
        const fs::path path = m_root / "bin" / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << kFakeBrowser;
        chmod(path.c_str(), 0755);
        return path;
    }

    static BOOL Open(const char* url, SHELLEXECUTEINFOA* result = nullptr, const char* verb = "open") {
        SHELLEXECUTEINFOA info;
        std::memset(&info, 0, sizeof(info));
        info.cbSize = sizeof(info);
        info.lpVerb = verb;
        info.lpFile = url;
        info.nShow = SW_SHOWNORMAL;
        const BOOL ok = ShellExecuteExA(&info);
        if (result) *result = info;
        return ok;
    }

    // Waits a bounded time for the fake browser's record.
    bool Opened() {
        for (int i = 0; i < 1000; ++i) {
            if (fs::exists(m_out)) return true;
            usleep(10000);
        }
        return false;
    }

    const testsupport::TempFolder m_folder{"qp-shell"};
    const fs::path m_root{m_folder.Path()};
    const fs::path m_out{m_root / "opened"};
    const testsupport::ScopedEnv m_browserSetting{"BROWSER"};
    const testsupport::ScopedEnv m_pathSetting{"PATH"};
    const testsupport::ScopedEnv m_outSetting{"QP_TEST_OUT", m_out.string()};
};

TEST_F(Shell, OpensTheUrlWithBrowserAsItsOnlyArgument) {
    const fs::path browser = Script("fake browser");
    setenv("BROWSER", (browser.string() + ":/nonexistent/other").c_str(), 1);
    // Held open while the browser starts: it must not inherit it.
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    ASSERT_EQ(listen(listener, 1), 0);

    const char url[] = "https://127.0.0.1:3017/login?a=1&b=$(echo x) 'y' \"z\";";
    SHELLEXECUTEINFOA info;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(Open(url, &info));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_GT(reinterpret_cast<INT_PTR>(info.hInstApp), 32);
    EXPECT_EQ(info.hProcess, nullptr);

    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "the caller has no child to reap";
    EXPECT_EQ(errno, ECHILD);

    ASSERT_TRUE(Opened());
    EXPECT_EQ(ReadFileText(m_out), url) << "passed as is, no shell in between";
    EXPECT_EQ(ReadFileText(m_root / "opened.argc"), "1");
    const std::string descriptors = ReadFileText(m_root / "opened.fds");
    EXPECT_EQ(descriptors.find("socket:"), std::string::npos) << descriptors;
    EXPECT_NE(descriptors.find("/dev/null"), std::string::npos) << "stdin comes from /dev/null";
    close(listener);
}

TEST_F(Shell, FallsBackToXdgOpenFoundOnPath) {
    Script("xdg-open");
    unsetenv("BROWSER");
    setenv("PATH", (m_root / "bin").c_str(), 1);
    ASSERT_TRUE(Open("http://127.0.0.1/x"));
    ASSERT_TRUE(Opened());
    EXPECT_EQ(ReadFileText(m_out), "http://127.0.0.1/x");

    fs::remove(m_out);
    setenv("BROWSER", "/nonexistent/browser", 1);
    ASSERT_TRUE(Open("http://127.0.0.1/y")) << "a browser that cannot start is passed over";
    ASSERT_TRUE(Opened());
    EXPECT_EQ(ReadFileText(m_out), "http://127.0.0.1/y");
}

TEST_F(Shell, NoBrowserFailsQuickly) {
    fs::create_directories(m_root / "empty");
    setenv("PATH", (m_root / "empty").c_str(), 1);
    setenv("BROWSER", "/nonexistent/browser", 1);
    SHELLEXECUTEINFOA info;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Open("http://127.0.0.1/", &info));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(reinterpret_cast<INT_PTR>(info.hInstApp), SE_ERR_FNF);

    setenv("BROWSER", "browser-that-is-nowhere", 1);
    EXPECT_FALSE(Open("http://127.0.0.1/"));

    // A file that is there but not a program.
    std::ofstream(m_root / "empty" / "plain") << "text";
    setenv("BROWSER", (m_root / "empty" / "plain").c_str(), 1);
    EXPECT_FALSE(Open("http://127.0.0.1/"));
}

// Makes this process the subreaper of its descendants for one scope: the browsers, which are started
// as grandchildren, become its children, so that it can wait for every one of them to end.
class BrowserReaper {
public:
    BrowserReaper() { EXPECT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0); }
    ~BrowserReaper() {
        Reap();
        prctl(PR_SET_CHILD_SUBREAPER, 0);
    }
    BrowserReaper(const BrowserReaper&) = delete;
    BrowserReaper& operator=(const BrowserReaper&) = delete;

    // Waits until every browser started so far has ended; how many there were.
    int Reap() {
        int ended = 0;
        while (waitpid(-1, nullptr, 0) > 0) ++ended;
        return ended;
    }
};

TEST_F(Shell, OnlyTheOpenVerbAndAFilledStructAreAccepted) {
    const fs::path browser = Script("browser");
    setenv("BROWSER", browser.c_str(), 1);
    BrowserReaper reaper;
    SHELLEXECUTEINFOA info;
    EXPECT_FALSE(Open("http://127.0.0.1/", &info, "print"));
    EXPECT_EQ(reinterpret_cast<INT_PTR>(info.hInstApp), SE_ERR_NOASSOC);
    EXPECT_FALSE(Open("", &info));

    std::memset(&info, 0, sizeof(info));
    info.lpFile = "http://127.0.0.1/";
    EXPECT_FALSE(ShellExecuteExA(&info)) << "cbSize not set";
    // A browser that any of these calls started has ended by now, and written its record.
    EXPECT_EQ(reaper.Reap(), 0);
    EXPECT_FALSE(fs::exists(m_out));

    EXPECT_TRUE(Open("http://127.0.0.1/null-verb", nullptr, nullptr)) << "no verb means open";
    EXPECT_EQ(reaper.Reap(), 1);
    EXPECT_EQ(ReadFileText(m_out), "http://127.0.0.1/null-verb");
}

TEST(DebugOutput, GoesToStandardErrorOneLinePerCall) {
    char pattern[] = "/tmp/qp-debug-XXXXXX";
    const int file = mkstemp(pattern);
    ASSERT_GE(file, 0);
    const int saved = dup(STDERR_FILENO);
    dup2(file, STDERR_FILENO);
    OutputDebugStringA("first");
    OutputDebugStringA("second\n");
    OutputDebugStringA("");
    OutputDebugStringA(nullptr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    close(file);
    EXPECT_EQ(ReadFileText(pattern), "first\nsecond\n");
    unlink(pattern);
}

}  // namespace

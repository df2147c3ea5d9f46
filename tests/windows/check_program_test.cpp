// QuarnelCheck.exe as a user meets it: its window (dialog 102) opens, Start runs a check that loads
// Quarnels64.dll and signs in through the browser (the fake one, against the fake sign-on service),
// the list shows three lines, and Close ends the program.
#include <string>
#include <vector>

#include "tests/fakes/fake_services.h"
#include "tests/windows/win_test_support.h"

namespace {

using namespace std::chrono_literals;

class Program {
public:
    Program(const std::string& exe, const std::string& folder) {
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        std::string command = "\"" + exe + "\"";
        if (!CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                            &m_info)) {
            ADD_FAILURE() << "cannot start " << exe << ", error " << GetLastError();
            m_info = {};
        }
    }
    ~Program() {
        if (!m_info.hProcess) return;
        if (WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(m_info.hProcess, 99);
        CloseHandle(m_info.hThread);
        CloseHandle(m_info.hProcess);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    DWORD Id() const { return m_info.dwProcessId; }
    bool Started() const { return m_info.hProcess != nullptr; }
    // The exit code, or STILL_ACTIVE when the program did not end in time.
    DWORD WaitForExit(DWORD ms) const {
        DWORD code = STILL_ACTIVE;
        if (WaitForSingleObject(m_info.hProcess, ms) == WAIT_OBJECT_0) GetExitCodeProcess(m_info.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION m_info{};
};

class WinCheckProgram : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = wintest::ProgramFolder();
        wintest::SetVariable("QUARNELS_SSO_URL", signOn_.BaseUrl());
        wintest::SetVariable("QUARNELS_ESI_URL", api_.BaseUrl());
        wintest::SetVariable("FAKE_BROWSER_LOG", "");
        browser_ = std::make_unique<wintest::BrowserRegistration>(folder_ + "win_fake_browser.exe");
        // A sign-in of an earlier run, which the check must forget.
        wintest::StoreRefreshToken("stale-refresh");
    }

    // Runs the program from `folder`, presses Start and waits for `lines` lines in the list; then
    // presses Close. Returns the lines.
    std::vector<std::string> RunCheck(const std::string& exe, const std::string& folder, size_t lines) {
        std::vector<std::string> result;
        Program program(exe, folder);
        if (!program.Started()) return result;
        HWND window = wintest::WaitForDialog(program.Id(), "", 30s);
        if (!window) {
            ADD_FAILURE() << "the check program's window did not open";
            return result;
        }
        HWND list = GetDlgItem(window, 1001);
        EXPECT_NE(list, nullptr);
        EXPECT_EQ(wintest::WindowText(GetDlgItem(window, 1000)), "Start");
        EXPECT_EQ(wintest::WindowText(GetDlgItem(window, IDOK)), "Close");
        EXPECT_EQ(wintest::ListLines(list).size(), 0u);

        wintest::Press(window, 1000);
        const bool complete = wintest::WaitUntil([&] { return wintest::ListLines(list).size() >= lines; }, 90s, 50ms);
        result = wintest::ListLines(list);
        EXPECT_TRUE(complete) << "the list has " << result.size() << " lines";

        wintest::Press(window, IDOK);
        EXPECT_EQ(program.WaitForExit(30000), 0u);
        return result;
    }

    fakes::FakeSignOn signOn_;
    fakes::FakeWebApi api_;
    std::string folder_;
    std::unique_ptr<wintest::BrowserRegistration> browser_;
};

TEST_F(WinCheckProgram, StartListsLoadVersionAndTheSignedInCharacter) {
    const auto lines = RunCheck(folder_ + "QuarnelCheck.exe", folder_, 3);
    EXPECT_EQ(lines, (std::vector<std::string>{"Load Quarnels64.dll ... OK", "Version ... 1,0,0,7",
                                               "GetUser ... Fake Pilot"}));
    // The stored token was cleared before the load, so the library signed in anew.
    const auto requests = signOn_.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests[0].Path(), "/v2/oauth/authorize");
    EXPECT_EQ(wintest::StoredRefreshToken(), "fake-refresh-2");
}

TEST(WinCheckProgramFile, CarriesItsVersionIconAndManifest) {
    const std::string exe = wintest::ProgramFolder() + "QuarnelCheck.exe";
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), handle, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<LPVOID*>(&fixed), &length));
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000003u);
    char* company = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040704b0\\CompanyName",
                               reinterpret_cast<LPVOID*>(&company), &length));
    EXPECT_STREQ(company, "Ostvale");

    HMODULE image = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    EXPECT_NE(FindResourceA(image, MAKEINTRESOURCEA(128), MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */), nullptr);
    EXPECT_NE(FindResourceA(image, MAKEINTRESOURCEA(102), MAKEINTRESOURCEA(5) /* RT_DIALOG */), nullptr);
    HRSRC manifest = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24) /* RT_MANIFEST */);
    ASSERT_NE(manifest, nullptr);
    const char* text = static_cast<const char*>(LockResource(LoadResource(image, manifest)));
    const std::string xml(text, SizeofResource(image, manifest));
    EXPECT_NE(xml.find("asInvoker"), std::string::npos);
    EXPECT_NE(xml.find("dpiAware"), std::string::npos);
    FreeLibrary(image);
}

TEST_F(WinCheckProgram, WithoutTheLibraryOnlyTheFailedLoadIsListed) {
    // The program alone in a folder of its own, away from the library.
    char temp[MAX_PATH] = {};
    ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
    const std::string alone = std::string(temp) + "quarnels-check-alone\\";
    CreateDirectoryA(alone.c_str(), nullptr);
    const std::string exe = alone + "QuarnelCheck.exe";
    ASSERT_TRUE(CopyFileA((folder_ + "QuarnelCheck.exe").c_str(), exe.c_str(), FALSE));

    const auto lines = RunCheck(exe, alone, 1);
    EXPECT_EQ(lines, std::vector<std::string>{"Load Quarnels64.dll ... Failed"});
    EXPECT_EQ(wintest::StoredRefreshToken(), "");
    EXPECT_EQ(signOn_.RequestCount(), 0u);
    DeleteFileA(exe.c_str());
    RemoveDirectoryA(alone.c_str());
}

}  // namespace

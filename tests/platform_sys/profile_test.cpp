// Profile (ini) files through the Windows API names: reading, writing, and where the library's file lies.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32api.h"
#include "tests/support/file_text.h"
#include "tests/support/library_ini_path.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

using testsupport::ReadFileText;
using testsupport::WriteFileText;

// Each test gets its own home folder; HOME and XDG_DATA_HOME are restored afterwards.
class Profile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_folder.Path().empty());
        fs::create_directories(m_home);
    }

    std::string Get(const char* section, const char* key, const char* fallback, DWORD size = 256) {
        std::vector<char> buffer(size + 1, '#');
        const DWORD length = GetPrivateProfileStringA(section, key, fallback, buffer.data(), size, m_ini.c_str());
        EXPECT_EQ(length, std::strlen(buffer.data()));
        return std::string(buffer.data(), length);
    }


    const testsupport::TempFolder m_folder{"qp-profile"};
    const fs::path m_root{m_folder.Path()};
    const fs::path m_home{m_root / "home"};
    const std::string m_ini{(m_root / "settings.ini").string()};
    const testsupport::ScopedEnv m_homeSetting{"HOME", m_home.string()};
    const testsupport::ScopedEnv m_dataSetting{"XDG_DATA_HOME", nullptr};
};

TEST_F(Profile, MissingFileGivesTheDefault) {
    EXPECT_EQ(Get("Quarnel", "RefreshKey", "fallback  "), "fallback") << "trailing blanks of the default go";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Get("Quarnel", "RefreshKey", nullptr), "");
    EXPECT_FALSE(fs::exists(m_ini));
}

TEST_F(Profile, WrittenValuesReadBackWithoutRegardToCase) {
    ASSERT_TRUE(WritePrivateProfileStringA("Quarnel", "RefreshKey", "token-1", m_ini.c_str()));
    EXPECT_EQ(ReadFileText(m_ini), "[Quarnel]\r\nRefreshKey=token-1\r\n");
    EXPECT_EQ(Get("QUARNEL", "refreshkey", "x"), "token-1");
    EXPECT_EQ(Get("Quarnel", "Other", "x"), "x");
    EXPECT_EQ(Get("Elsewhere", "RefreshKey", "x"), "x");

    ASSERT_TRUE(WritePrivateProfileStringA("quarnel", "REFRESHKEY", "token-2", m_ini.c_str()));
    EXPECT_EQ(ReadFileText(m_ini), "[Quarnel]\r\nRefreshKey=token-2\r\n") << "one entry, first spelling kept";
}

TEST_F(Profile, EmptyValueKeepsTheKey) {
    ASSERT_TRUE(WritePrivateProfileStringA("Quarnel", "RefreshKey", "secret", m_ini.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("Quarnel", "RefreshKey", "", m_ini.c_str()));
    EXPECT_EQ(ReadFileText(m_ini), "[Quarnel]\r\nRefreshKey=\r\n");
    EXPECT_EQ(Get("Quarnel", "RefreshKey", "default"), "") << "an empty value is not a missing one";
}

TEST_F(Profile, LongValueIsCutToTheBuffer) {
    const std::string token(400, 'k');
    ASSERT_TRUE(WritePrivateProfileStringA("Quarnel", "RefreshKey", (token + "end").c_str(), m_ini.c_str()));
    char buffer[355];
    std::memset(buffer, 0, sizeof(buffer));
    EXPECT_EQ(GetPrivateProfileStringA("Quarnel", "RefreshKey", "", buffer, sizeof(buffer), m_ini.c_str()), 354u);
    EXPECT_EQ(std::string(buffer), token.substr(0, 354));
    EXPECT_EQ(Get("Quarnel", "RefreshKey", "", 1), "");
    EXPECT_EQ(Get("Quarnel", "Missing", "defaultvalue", 4), "def");
    EXPECT_EQ(GetPrivateProfileStringA("Quarnel", "RefreshKey", "", buffer, 0, m_ini.c_str()), 0u);
}

TEST_F(Profile, HandWrittenFileIsReadAndItsOtherLinesKept) {
    // What stands before the value that is written, and is kept as it is.
    const std::string before =
        "; settings\n"
        "loose=line\n"
        "[Other]\n"
        "RefreshKey=not this one\n"
        "\n"
        "  [ Quarnel ]  \n";
    WriteFileText(m_ini, before +
                             "  RefreshKey   =   \"quoted value\"  \n"
                             "Count = -12abc\n"
                             "no equals sign\n"
                             "\n"
                             "[Last]\n"
                             "a=1\n");
    EXPECT_EQ(Get("Quarnel", "RefreshKey", ""), "quoted value");
    EXPECT_EQ(Get("Other", "RefreshKey", ""), "not this one");
    EXPECT_EQ(Get("Quarnel", "loose", "none"), "none") << "lines before the first section belong to none";

    ASSERT_TRUE(WritePrivateProfileStringA("Quarnel", "RefreshKey", "new", m_ini.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("Quarnel", "Added", "yes", m_ini.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("Fresh", "k", "v", m_ini.c_str()));
    EXPECT_EQ(ReadFileText(m_ini),
              before +
              "RefreshKey=new\n"
              "Count = -12abc\n"
              "no equals sign\n"
              "Added=yes\n"
              "\n"
              "[Last]\n"
              "a=1\n"
              "[Fresh]\n"
              "k=v\n");
}

TEST_F(Profile, NullValueDeletesTheKeyAndNullKeyTheSection) {
    WriteFileText(m_ini, "[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n");
    ASSERT_TRUE(WritePrivateProfileStringA("a", "X", nullptr, m_ini.c_str()));
    EXPECT_EQ(ReadFileText(m_ini), "[A]\r\ny=2\r\n[B]\r\nz=3\r\n");
    ASSERT_TRUE(WritePrivateProfileStringA("A", nullptr, nullptr, m_ini.c_str()));
    EXPECT_EQ(ReadFileText(m_ini), "[B]\r\nz=3\r\n");
    ASSERT_TRUE(WritePrivateProfileStringA("Gone", "k", nullptr, m_ini.c_str()));
    EXPECT_EQ(ReadFileText(m_ini), "[B]\r\nz=3\r\n");

    const std::string elsewhere = (m_root / "none.ini").string();
    EXPECT_TRUE(WritePrivateProfileStringA("A", "k", nullptr, elsewhere.c_str()));
    EXPECT_FALSE(fs::exists(elsewhere)) << "deleting from a missing file creates nothing";
    EXPECT_FALSE(WritePrivateProfileStringA(nullptr, "k", "v", m_ini.c_str()));
}

TEST_F(Profile, NullNamesListSectionsAndKeys) {
    WriteFileText(m_ini, "[One]\nalpha=1\nbeta=2\n[Two]\n");
    char buffer[64];
    DWORD length = GetPrivateProfileStringA(nullptr, nullptr, "", buffer, sizeof(buffer), m_ini.c_str());
    EXPECT_EQ(std::string(buffer, length + 1), std::string("One\0Two\0", 9));
    length = GetPrivateProfileStringA("one", nullptr, "", buffer, sizeof(buffer), m_ini.c_str());
    EXPECT_EQ(std::string(buffer, length + 1), std::string("alpha\0beta\0", 12));
    length = GetPrivateProfileStringA("one", nullptr, "", buffer, 9, m_ini.c_str());
    EXPECT_EQ(length, 7u) << "a cut list ends with two NULs";
    EXPECT_EQ(std::string(buffer, 9), std::string("alpha\0b\0\0", 9));
}

TEST_F(Profile, WriteCreatesFoldersAndLeavesNoTemporaryFiles) {
    const fs::path deep = m_root / "a" / "b" / "c.ini";
    ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "v", deep.c_str()));
    EXPECT_EQ(ReadFileText(deep), "[S]\r\nk=v\r\n");
    struct stat info;
    ASSERT_EQ(stat(deep.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "the file may hold a token";
    for (int i = 0; i < 5; ++i) WritePrivateProfileStringA("S", "k", std::to_string(i).c_str(), deep.c_str());
    EXPECT_EQ(std::distance(fs::directory_iterator(deep.parent_path()), fs::directory_iterator()), 1);

    WriteFileText(m_root / "blocker", "a file, not a folder");
    const fs::path blocked = m_root / "blocker" / "x.ini";
    EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "v", blocked.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(Profile, ConcurrentWritersLoseNothing) {
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([this, t] {
            for (int i = 0; i < 25; ++i) {
                const std::string key = "k" + std::to_string(t) + "_" + std::to_string(i);
                WritePrivateProfileStringA("S", key.c_str(), "v", m_ini.c_str());
            }
        });
    for (auto& writer : writers) writer.join();
    for (int t = 0; t < 4; ++t)
        for (int i = 0; i < 25; ++i)
            EXPECT_EQ(Get("S", ("k" + std::to_string(t) + "_" + std::to_string(i)).c_str(), ""), "v");
}

TEST_F(Profile, LibraryPathLandsInTheDataFolder) {
    const std::string path = LibraryIniPath();
    EXPECT_EQ(path, m_home.string() + "\\AppData\\Local\\Quarnels.ini");
    ASSERT_TRUE(WritePrivateProfileStringA("Quarnel", "RefreshKey", "abc", path.c_str()));
    EXPECT_EQ(ReadFileText(m_home / ".local" / "share" / "Quarnels.ini"), "[Quarnel]\r\nRefreshKey=abc\r\n");
    EXPECT_FALSE(fs::exists(m_home / "AppData"));

    const fs::path xdg = m_root / "xdg";
    setenv("XDG_DATA_HOME", xdg.c_str(), 1);
    ASSERT_TRUE(WritePrivateProfileStringA("Quarnel", "RefreshKey", "def", path.c_str()));
    EXPECT_EQ(ReadFileText(xdg / "Quarnels.ini"), "[Quarnel]\r\nRefreshKey=def\r\n");
    char buffer[16];
    GetPrivateProfileStringA("Quarnel", "RefreshKey", "", buffer, sizeof(buffer), path.c_str());
    EXPECT_STREQ(buffer, "def");

    setenv("XDG_DATA_HOME", "relative/data", 1);  // not absolute: ignored
    GetPrivateProfileStringA("Quarnel", "RefreshKey", "", buffer, sizeof(buffer), path.c_str());
    EXPECT_STREQ(buffer, "abc");
}

TEST_F(Profile, WindowsPathsAreTranslatedBeforeTheFileIsWritten) {
    const std::string home = m_home.string();
    const fs::path xdg = m_root / "xdg";
    setenv("XDG_DATA_HOME", (xdg.string() + "/").c_str(), 1);
    auto landsAt = [](const std::string& path, const fs::path& expected) {
        return WritePrivateProfileStringA("S", "k", "v", path.c_str()) && fs::exists(expected);
    };
    EXPECT_TRUE(landsAt(home + "\\appdata\\LOCAL\\Dir\\f.ini", xdg / "Dir" / "f.ini"));
    EXPECT_TRUE(landsAt(home + "\\AppData\\LocalLow\\f.ini", m_home / "AppData" / "LocalLow" / "f.ini"));
    EXPECT_TRUE(landsAt(home + "\\AppData\\Roaming\\f.ini", m_home / "AppData" / "Roaming" / "f.ini"));
    EXPECT_TRUE(landsAt(m_root.string() + "\\\\some\\\\where\\f.ini", m_root / "some" / "where" / "f.ini"));
    EXPECT_TRUE(landsAt(home + "x\\AppData\\Local\\f.ini", m_root / "homex" / "AppData" / "Local" / "f.ini"));

    setenv("HOME", (home + "/").c_str(), 1);
    EXPECT_TRUE(landsAt(home + "/\\AppData\\Local\\g.ini", xdg / "g.ini")) << "trailing / of HOME";
}

TEST_F(Profile, UserProfileDirectoryUsesWindowsBufferRules) {
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    const std::string home = m_home.string();
    const DWORD needed = static_cast<DWORD>(home.size() + 1);

    char buffer[512];
    std::memset(buffer, 0, sizeof(buffer));
    DWORD size = needed - 1;
    EXPECT_FALSE(GetUserProfileDirectoryA(token, buffer, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(size, needed);
    EXPECT_EQ(buffer[0], 0) << "nothing written on failure";

    size = 0;
    EXPECT_FALSE(GetUserProfileDirectoryA(token, nullptr, &size));
    EXPECT_EQ(size, needed);

    size = needed;
    ASSERT_TRUE(GetUserProfileDirectoryA(token, buffer, &size));
    EXPECT_EQ(std::string(buffer), home);

    unsetenv("HOME");  // falls back to the passwd entry
    size = sizeof(buffer);
    ASSERT_TRUE(GetUserProfileDirectoryA(token, buffer, &size));
    EXPECT_EQ(buffer[0], '/');
    EXPECT_EQ(size, std::strlen(buffer) + 1);

    CloseHandle(token);
    size = sizeof(buffer);
    EXPECT_FALSE(GetUserProfileDirectoryA(token, buffer, &size)) << "closed token";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace

// Helpers of the Windows tests: the test program's folder, the user's ini file, the environment the
// library reads at load, the fake browser's registration and finding real windows.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32api.h"
#include "tests/support/host_library.h"

namespace wintest {

// The folder of the test program, where the build puts Quarnels64.dll, QuarnelCheck.exe and the
// fake browser, with a trailing backslash.
inline std::string ProgramFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

inline std::string StoredRefreshToken() {
    char value[512] = {};
    GetPrivateProfileStringA("Quarnel", "RefreshKey", "<missing>", value, sizeof(value), LibraryIniPath().c_str());
    return value;
}

inline void StoreRefreshToken(const char* token) {
    // The folder exists in a fresh profile only once something was kept there.
    const std::string ini = LibraryIniPath();
    CreateDirectoryA(ini.substr(0, ini.find_last_of('\\')).c_str(), nullptr);
    ASSERT_TRUE(WritePrivateProfileStringA("Quarnel", "RefreshKey", token, ini.c_str()));
}

// Sets a variable for this process (the C runtime's copy, which the library reads with getenv, and
// the process environment that child programs inherit).
inline void SetVariable(const char* name, const std::string& value) {
    ASSERT_EQ(_putenv_s(name, value.c_str()), 0);
    ASSERT_TRUE(SetEnvironmentVariableA(name, value.c_str()));
}

// Makes the fake browser the program that opens http URLs, as a user's browser is registered, for
// as long as the object lives; the former command comes back afterwards.
class BrowserRegistration {
public:
    explicit BrowserRegistration(const std::string& browser) {
        if (RegCreateKeyExA(HKEY_CLASSES_ROOT, "http\\shell\\open\\command", 0, nullptr, 0, KEY_READ | KEY_WRITE,
                            nullptr, &m_key, nullptr) != ERROR_SUCCESS) {
            m_key = nullptr;
            ADD_FAILURE() << "cannot open the http command key";
            return;
        }
        char old[1024] = {};
        DWORD size = sizeof(old) - 1;
        DWORD type = 0;
        if (RegQueryValueExA(m_key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(old), &size) == ERROR_SUCCESS &&
            type == REG_SZ) {
            m_old = old;
            m_hadOld = true;
        }
        const std::string command = "\"" + browser + "\" \"%1\"";
        EXPECT_EQ(RegSetValueExA(m_key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                                 DWORD(command.size() + 1)),
                  ERROR_SUCCESS);
    }
    ~BrowserRegistration() {
        if (!m_key) return;
        if (m_hadOld)
            RegSetValueExA(m_key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(m_old.c_str()),
                           DWORD(m_old.size() + 1));
        else
            RegDeleteValueA(m_key, nullptr);
        RegCloseKey(m_key);
    }
    BrowserRegistration(const BrowserRegistration&) = delete;
    BrowserRegistration& operator=(const BrowserRegistration&) = delete;

private:
    HKEY m_key = nullptr;
    std::string m_old;
    bool m_hadOld = false;
};

// Polls until the condition holds or the time is up; true when it held.
inline bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit,
                      std::chrono::milliseconds step = std::chrono::milliseconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(step);
    }
}

inline std::string WindowText(HWND window) {
    char text[512] = {};
    // Times out rather than waiting on a window whose thread is busy.
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                        &copied);
    return text;
}

inline std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof(name));
    return name;
}

// The visible top-level dialogs ("#32770") of a process whose caption is the one given.
inline std::vector<HWND> DialogsOf(DWORD process, const std::string& caption) {
    struct Search {
        DWORD process;
        const std::string* caption;
        std::vector<HWND> found;
    } search{process, &caption, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->process && IsWindowVisible(window) && ClassOf(window) == "#32770") {
                char text[256] = {};
                GetWindowTextA(window, text, sizeof(text));
                if (*s->caption == text) s->found.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

inline HWND WaitForDialog(DWORD process, const std::string& caption, std::chrono::milliseconds limit) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            const auto dialogs = DialogsOf(process, caption);
            found = dialogs.empty() ? nullptr : dialogs.front();
            return found != nullptr;
        },
        limit);
    return found;
}

// The lines of a list box, read with the list box messages (also across processes). The texts are
// asked for in UTF-16, which every list box keeps, and narrowed (the tests use ASCII only).
inline std::vector<std::string> ListLines(HWND list) {
    std::vector<std::string> lines;
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count) || LRESULT(count) == LB_ERR)
        return lines;
    for (DWORD_PTR i = 0; i < count; ++i) {
        DWORD_PTR length = 0;
        if (!SendMessageTimeoutW(list, LB_GETTEXTLEN, i, 0, SMTO_ABORTIFHUNG, 5000, &length) ||
            LRESULT(length) == LB_ERR)
            break;
        std::wstring wide(size_t(length) + 1, L'\0');
        DWORD_PTR copied = 0;
        if (!SendMessageTimeoutW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&wide[0]), SMTO_ABORTIFHUNG, 5000,
                                 &copied) ||
            LRESULT(copied) == LB_ERR)
            break;
        std::string line;
        for (size_t c = 0; c < size_t(copied) && c < wide.size(); ++c)
            line += wide[c] < 0x80 ? char(wide[c]) : '?';
        lines.push_back(line);
    }
    return lines;
}

// Presses a button of a dialog as a user's click does, without waiting for what the click starts.
inline void Press(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    ASSERT_NE(button, nullptr) << "no control " << id;
    ASSERT_TRUE(PostMessageA(button, BM_CLICK, 0, 0));
}

}  // namespace wintest

// Where the library keeps the stored sign-in: the user's profile folder and
// "\AppData\Local\Quarnels.ini", found through the platform the way the library finds it.
#pragma once

#include <string>

#include "platform/win32api.h"

inline std::string LibraryIniPath() {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    char path[MAX_PATH] = {};
    DWORD size = sizeof(path);
    GetUserProfileDirectoryA(token, path, &size);
    if (token) CloseHandle(token);
    return std::string(path) + "\\AppData\\Local\\Quarnels.ini";
}

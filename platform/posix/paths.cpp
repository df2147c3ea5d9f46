// The user's home folder, and Windows-style paths turned into this system's (AppData\Local to XDG).
#include "paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace qp {

namespace {

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string CollapseSlashes(const std::string& path) {
    std::string out;
    out.reserve(path.size());
    for (char c : path) {
        if (c == '\\') c = '/';
        if (c == '/' && !out.empty() && out.back() == '/') continue;
        out.push_back(c);
    }
    return out;
}

bool StartsWithNoCase(const std::string& text, size_t at, const char* prefix) {
    const size_t length = std::strlen(prefix);
    if (text.size() - at < length) return false;
    for (size_t i = 0; i < length; ++i) {
        char a = text[at + i], b = prefix[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

}  // namespace

std::string HomeDirectory() {
    const char* home = std::getenv("HOME");
    if (home && *home) return WithoutTrailingSlashes(CollapseSlashes(home));
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry;
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir &&
        *found->pw_dir)
        return WithoutTrailingSlashes(CollapseSlashes(found->pw_dir));
    return std::string();
}

std::string TranslatePath(const char* windowsPath) {
    std::string path = CollapseSlashes(windowsPath ? windowsPath : "");
    const std::string home = HomeDirectory();
    if (home.empty() || path.compare(0, home.size(), home) != 0) return path;
    size_t at = home.size();
    if (home == "/") at = 0;  // the "/" that follows the profile folder is its own
    if (!StartsWithNoCase(path, at, "/appdata/local")) return path;
    const size_t rest = at + std::strlen("/appdata/local");
    if (rest != path.size() && path[rest] != '/') return path;  // "AppData/Localx" is something else

    const char* xdg = std::getenv("XDG_DATA_HOME");
    std::string data = (xdg && xdg[0] == '/') ? WithoutTrailingSlashes(CollapseSlashes(xdg))
                                              : (home == "/" ? std::string() : home) + "/.local/share";
    if (data == "/") data.clear();
    const std::string result = data + path.substr(rest);
    return result.empty() ? std::string("/") : result;
}

}  // namespace qp

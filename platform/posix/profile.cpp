// Ini files read and rewritten as Windows does, each write replacing the whole file, and the home folder.
#include "profile.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "kobject.h"
#include "paths.h"
#include "sync.h"

namespace {

std::mutex& ProfileMutex() {
    static std::mutex* mutex = new std::mutex();
    return *mutex;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string Trim(const std::string& text) {
    size_t first = 0, last = text.size();
    while (first < last && IsBlank(text[first])) ++first;
    while (last > first && IsBlank(text[last - 1])) --last;
    return text.substr(first, last - first);
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

enum class LineKind { Other, Section, Entry };

struct Line {
    LineKind kind = LineKind::Other;
    std::string name;   // section or key name, trimmed
    std::string value;  // entry value, trimmed
};

Line Parse(const std::string& text) {
    Line line;
    size_t start = 0;
    while (start < text.size() && IsBlank(text[start])) ++start;
    if (start == text.size() || text[start] == ';') return line;
    if (text[start] == '[') {
        const size_t close = text.find(']', start + 1);
        line.kind = LineKind::Section;
        line.name = Trim(text.substr(start + 1, close == std::string::npos ? std::string::npos : close - start - 1));
        return line;
    }
    const size_t equals = text.find('=', start);
    if (equals == std::string::npos) return line;
    line.kind = LineKind::Entry;
    line.name = Trim(text.substr(start, equals - start));
    line.value = Trim(text.substr(equals + 1));
    return line;
}

struct IniFile {
    bool exists = false;
    std::string bom;
    std::string eol = "\r\n";
    std::vector<std::string> lines;

    // The section's header line and the index after its last line; false when absent.
    bool FindSection(const std::string& name, size_t& header, size_t& end) const {
        for (size_t i = 0; i < lines.size(); ++i) {
            const Line line = Parse(lines[i]);
            if (line.kind != LineKind::Section || !EqualNoCase(line.name, name)) continue;
            header = i;
            end = i + 1;
            while (end < lines.size() && Parse(lines[end]).kind != LineKind::Section) ++end;
            return true;
        }
        return false;
    }

    bool FindEntry(size_t header, size_t end, const std::string& key, size_t& index, Line& entry) const {
        for (size_t i = header + 1; i < end; ++i) {
            Line line = Parse(lines[i]);
            if (line.kind == LineKind::Entry && EqualNoCase(line.name, key)) {
                index = i;
                entry = std::move(line);
                return true;
            }
        }
        return false;
    }

    std::string Serialize() const {
        std::string out = bom;
        for (const std::string& line : lines) {
            out += line;
            out += eol;
        }
        return out;
    }
};

// Reads the file; a missing file is an empty one. Returns 0 or the errno of a failed read.
int Load(const std::string& path, IniFile& ini) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return (errno == ENOENT || errno == ENOTDIR) ? 0 : errno;
    std::string content;
    char chunk[8192];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof(chunk));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int error = errno;
            close(fd);
            return error;
        }
        if (n == 0) break;
        content.append(chunk, static_cast<size_t>(n));
    }
    close(fd);
    ini.exists = true;

    size_t pos = 0;
    if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        ini.bom = content.substr(0, 3);
        pos = 3;
    }
    const size_t firstNewline = content.find('\n', pos);
    if (firstNewline != std::string::npos)
        ini.eol = (firstNewline > pos && content[firstNewline - 1] == '\r') ? "\r\n" : "\n";
    while (pos < content.size()) {
        size_t newline = content.find('\n', pos);
        if (newline == std::string::npos) newline = content.size();
        std::string line = content.substr(pos, newline - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        ini.lines.push_back(std::move(line));
        pos = newline + 1;
    }
    return 0;
}

std::string ParentOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Creates the folder and its missing parents (mode 0700, as for the user's data folders).
int MakeFolders(const std::string& folder) {
    struct stat info;
    if (stat(folder.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    const std::string parent = ParentOf(folder);
    if (parent != folder)
        if (const int error = MakeFolders(parent)) return error;
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return errno;
    return 0;
}

bool WriteAll(int fd, const std::string& content) {
    size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Replaces the file's content so that a crash leaves either the old or the new file. Returns 0 or
// an errno value.
int Save(const std::string& path, const std::string& content) {
    std::string target = path;
    struct stat info;
    if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        // Write through a symbolic link instead of replacing it.
        char resolved[PATH_MAX];
        if (realpath(path.c_str(), resolved)) target = resolved;
    }
    const std::string folder = ParentOf(target);
    if (const int error = MakeFolders(folder)) return error;
    const mode_t mode = stat(target.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0600;

    const size_t slash = target.rfind('/');
    std::string temp = folder + "/." + target.substr(slash == std::string::npos ? 0 : slash + 1) + ".XXXXXX";
    const int fd = mkostemp(&temp[0], O_CLOEXEC);
    if (fd < 0) return errno;
    int error = 0;
    errno = 0;
    if (fchmod(fd, mode) != 0 || !WriteAll(fd, content) || fsync(fd) != 0) error = errno ? errno : EIO;
    if (close(fd) != 0 && !error) error = errno;
    if (!error && rename(temp.c_str(), target.c_str()) != 0) error = errno;
    if (error) {
        unlink(temp.c_str());
        return error;
    }
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return 0;
}

DWORD WindowsError(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_WRITE_FAULT;
    }
}

DWORD CopyText(const std::string& text, LPSTR buffer, DWORD size) {
    const size_t copied = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(buffer, text.data(), copied);
    buffer[copied] = 0;
    return static_cast<DWORD>(copied);
}

DWORD CopyList(const std::vector<std::string>& names, LPSTR buffer, DWORD size) {
    std::string all;
    for (const std::string& name : names) {
        all += name;
        all.push_back('\0');
    }
    if (all.size() + 1 <= size) {
        std::memcpy(buffer, all.data(), all.size());
        buffer[all.size()] = 0;
        if (all.empty() && size > 1) buffer[1] = 0;
        return static_cast<DWORD>(all.size());
    }
    if (size < 2) {
        buffer[0] = 0;
        return 0;
    }
    std::memcpy(buffer, all.data(), size - 2);
    buffer[size - 2] = 0;
    buffer[size - 1] = 0;
    return size - 2;
}

std::string Unquote(const std::string& value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// The value of the key; false when the file, section or key is missing.
bool ReadValue(const IniFile& ini, const char* section, const char* key, std::string& value) {
    size_t header, end, index;
    Line entry;
    if (!ini.FindSection(Trim(section), header, end) || !ini.FindEntry(header, end, Trim(key), index, entry))
        return false;
    value = Unquote(entry.value);
    return true;
}

}  // namespace

extern "C" DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size,
                                          LPCSTR fileName) {
    if (!buffer || size == 0) return 0;
    std::string fallback = defaultValue ? defaultValue : "";
    while (!fallback.empty() && fallback.back() == ' ') fallback.pop_back();
    if (!fileName) return CopyText(fallback, buffer, size);

    IniFile ini;
    {
        std::lock_guard<std::mutex> lock(ProfileMutex());
        Load(qp::TranslatePath(fileName), ini);
    }
    if (!ini.exists) SetLastError(ERROR_FILE_NOT_FOUND);

    if (!section) {
        std::vector<std::string> names;
        for (const std::string& text : ini.lines) {
            const Line line = Parse(text);
            if (line.kind == LineKind::Section) names.push_back(line.name);
        }
        return CopyList(names, buffer, size);
    }
    if (!key) {
        std::vector<std::string> names;
        size_t header, end;
        if (ini.FindSection(Trim(section), header, end)) {
            for (size_t i = header + 1; i < end; ++i) {
                const Line line = Parse(ini.lines[i]);
                if (line.kind == LineKind::Entry) names.push_back(line.name);
            }
        }
        return CopyList(names, buffer, size);
    }
    std::string value;
    return CopyText(ReadValue(ini, section, key, value) ? value : fallback, buffer, size);
}

extern "C" BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) {
    if (!section) {
        if (!key && !value) return TRUE;  // a request to flush: nothing is cached here
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string path = qp::TranslatePath(fileName);
    const std::string sectionName = Trim(section);

    std::lock_guard<std::mutex> lock(ProfileMutex());
    IniFile ini;
    if (const int error = Load(path, ini)) {
        SetLastError(WindowsError(error));
        return FALSE;
    }
    size_t header = 0, end = 0;
    const bool haveSection = ini.FindSection(sectionName, header, end);
    if (!key) {
        if (!haveSection) return TRUE;
        ini.lines.erase(ini.lines.begin() + static_cast<std::ptrdiff_t>(header),
                        ini.lines.begin() + static_cast<std::ptrdiff_t>(end));
    } else {
        const std::string keyName = Trim(key);
        size_t index = 0;
        Line entry;
        const bool haveEntry = haveSection && ini.FindEntry(header, end, keyName, index, entry);
        if (!value) {
            if (!haveEntry) return TRUE;
            ini.lines.erase(ini.lines.begin() + static_cast<std::ptrdiff_t>(index));
        } else if (haveEntry) {
            ini.lines[index] = entry.name + "=" + value;
        } else if (haveSection) {
            size_t at = end;
            while (at > header + 1 && Trim(ini.lines[at - 1]).empty()) --at;
            ini.lines.insert(ini.lines.begin() + static_cast<std::ptrdiff_t>(at), keyName + "=" + value);
        } else {
            ini.lines.push_back("[" + sectionName + "]");
            ini.lines.push_back(keyName + "=" + value);
        }
    }
    if (const int error = Save(path, ini.Serialize())) {
        SetLastError(WindowsError(error));
        return FALSE;
    }
    return TRUE;
}

extern "C" BOOL GetUserProfileDirectoryA(HANDLE token, LPSTR profileDir, LPDWORD size) {
    if (!size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!qp::LookupHandleAs<qp::TokenObject>(token)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const std::string home = qp::HomeDirectory();
    if (home.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    const DWORD needed = static_cast<DWORD>(home.size() + 1);
    if (!profileDir || *size < needed) {
        *size = needed;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(profileDir, home.c_str(), needed);
    *size = needed;
    return TRUE;
}

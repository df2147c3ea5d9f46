// Loading modules, finding their exports and naming their files, over the dynamic linker.
#include "module.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "module_internal.h"

// A module handle is the dynamic linker's handle of the object (its link_map), so the handle that
// LoadLibraryA returns and the one found from an address inside the module are the same value.
namespace {

std::string ProgramPath() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0) return std::string();
    return std::string(path, size_t(n));
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool EndsWithIgnoringCase(const std::string& text, const char* suffix) {
    const size_t n = std::strlen(suffix);
    return text.size() >= n && strncasecmp(text.c_str() + text.size() - n, suffix, n) == 0;
}

void* OpenFirst(const std::string& name) {
    if (void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL)) return handle;
    if (name.find('/') == std::string::npos) {
        const std::string beside = FolderOf(ProgramPath()) + "/" + name;
        if (void* handle = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL)) return handle;
    }
    return nullptr;
}

// The program is the object the dynamic linker lists without a file name.
bool IsProgram(HMODULE module) {
    const auto* map = reinterpret_cast<const struct link_map*>(module);
    return !map || !map->l_name || !*map->l_name;
}

std::string ModulePath(HMODULE module) {
    if (IsProgram(module)) return ProgramPath();
    const char* name = reinterpret_cast<const struct link_map*>(module)->l_name;
    char resolved[PATH_MAX];
    return realpath(name, resolved) ? std::string(resolved) : std::string(name);
}

}  // namespace

extern "C" HMODULE LoadLibraryA(LPCSTR fileName) {
    if (!fileName || !*fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string name(fileName);
    void* handle = OpenFirst(name);
    // A Windows library name "X.dll" stands for this platform's "libX.so".
    if (!handle && EndsWithIgnoringCase(name, ".dll") && name.find('/') == std::string::npos) {
        handle = OpenFirst("lib" + name.substr(0, name.size() - 4) + ".so");
    }
    if (!handle) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return static_cast<HMODULE>(handle);
}

extern "C" FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
    if (!module || !procName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    dlerror();
    void* symbol = dlsym(static_cast<void*>(module), procName);
    if (!symbol) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

extern "C" BOOL FreeLibrary(HMODULE module) {
    if (!module) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return qp::CloseModuleHandle(static_cast<void*>(module)) == 0 ? TRUE : FALSE;
}

int qp::CloseModuleHandle(void* handle) {
    // Recursive: an unloading module's destructors may free another module.
    static std::recursive_mutex drops;
    std::lock_guard<std::recursive_mutex> lock(drops);
    return dlclose(handle);
}

extern "C" HMODULE QpModuleFromAddress(const void* address) {
    Dl_info info;
    struct link_map* map = nullptr;
    if (!dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) || !map) return nullptr;
    return reinterpret_cast<HMODULE>(map);
}

extern "C" DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
    const std::string path = ModulePath(module);
    if (!fileName || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() >= size) {
        std::memcpy(fileName, path.data(), size - 1);
        fileName[size - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(fileName, path.c_str(), path.size() + 1);
    SetLastError(ERROR_SUCCESS);
    return DWORD(path.size());
}

extern "C" DWORD QpModuleBaseName(HMODULE module, LPSTR name, DWORD size) {
    if (!name || size == 0) return 0;
    const std::string path = ModulePath(module);
    std::string base = path.substr(path.rfind('/') + 1);
    if (!IsProgram(module) && base.size() > 3 && base.compare(0, 3, "lib") == 0) base.erase(0, 3);
    base.erase(std::min(base.find('.'), base.size()));
    const size_t length = std::min<size_t>(base.size(), size - 1);
    std::memcpy(name, base.data(), length);
    name[length] = 0;
    return DWORD(length);
}

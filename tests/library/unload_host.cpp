// A macro host at its barest, for the lifecycle test: it links nothing of the project, loads the
// library with dlopen alone, so that the platform library comes in only as the library's dependency,
// frees it again and fails when either of them is still in the process afterwards.
//   quarnels_unload_host <library> <platform library>
#include <dlfcn.h>

#include <cstdio>
#include <initializer_list>

// The platform never frees its handle tables and the like (threads that end while the process exits
// still find them), so an unload leaves them behind, unreachable. The address sanitizer's leak check
// would fail this host for them, which is not what it checks.
extern "C" __attribute__((visibility("default"))) const char* __asan_default_options() { return "detect_leaks=0"; }

namespace {

bool IsLoaded(const char* path) {
    void* handle = dlopen(path, RTLD_LAZY | RTLD_NOLOAD);
    if (!handle) return false;
    dlclose(handle);  // the look itself took a reference
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <library> <platform library>\n", argv[0]);
        return 2;
    }
    const char* library = argv[1];
    const char* platform = argv[2];
    if (IsLoaded(platform)) {
        std::fprintf(stderr, "%s is loaded before the library: this host must not link it\n", platform);
        return 2;
    }
    void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "cannot load %s: %s\n", library, dlerror());
        return 2;
    }
    if (!IsLoaded(platform)) {
        std::fprintf(stderr, "%s did not bring %s\n", library, platform);
        return 2;
    }
    if (dlclose(handle) != 0) {
        std::fprintf(stderr, "cannot free %s: %s\n", library, dlerror());
        return 2;
    }
    int stayed = 0;
    for (const char* path : {library, platform}) {
        if (IsLoaded(path)) {
            std::fprintf(stderr, "%s stayed loaded after the library was freed\n", path);
            stayed = 1;
        }
    }
    return stayed;
}

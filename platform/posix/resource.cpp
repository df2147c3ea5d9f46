// Dialog templates and string resources, looked up in the table the module itself defines.
#include "resource.h"

#include <dlfcn.h>

#include <cstring>

namespace {
// The table that the module itself defines; a module's handle is its link_map. dlsym also searches
// a module's dependencies (and for the program, every global object), but resources belong to the
// one module asked for, so a table found elsewhere does not count.
const QpResourceTable* TableOf(HINSTANCE module) {
    void* program = module ? nullptr : dlopen(nullptr, RTLD_NOW);
    void* handle = module ? static_cast<void*>(module) : program;
    if (!handle) return nullptr;
    void* symbol = dlsym(handle, QP_RESOURCE_TABLE_SYMBOL);
    Dl_info info;
    void* owner = nullptr;
    if (symbol && (!dladdr1(symbol, &info, &owner, RTLD_DL_LINKMAP) || owner != handle)) symbol = nullptr;
    if (program) dlclose(program);
    return static_cast<const QpResourceTable*>(symbol);
}
}  // namespace

extern "C" const QpDialogTemplate* QpFindDialogTemplate(HINSTANCE module, LPCSTR id) {
    const QpResourceTable* table = TableOf(module);
    if (!table || !IS_INTRESOURCE(id)) return nullptr;
    const WORD wanted = LOWORD(reinterpret_cast<ULONG_PTR>(id));
    for (int i = 0; i < table->dialogCount; ++i)
        if (table->dialogs[i].id == wanted) return &table->dialogs[i];
    return nullptr;
}

extern "C" int LoadStringA(HINSTANCE module, UINT id, LPSTR buffer, int size) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = 0;
    const QpResourceTable* table = TableOf(module);
    if (!table) return 0;
    for (int i = 0; i < table->stringCount; ++i) {
        if (table->strings[i].id != id) continue;
        const size_t length = std::strlen(table->strings[i].text);
        const size_t copied = length < size_t(size - 1) ? length : size_t(size - 1);
        std::memcpy(buffer, table->strings[i].text, copied);
        buffer[copied] = 0;
        return int(copied);
    }
    return 0;
}

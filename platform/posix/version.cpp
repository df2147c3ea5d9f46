// GetFileVersionInfoA and VerQueryValueA over the version section of an ELF file.
#include "version.h"

#include <elf.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

// GetFileVersionInfoA reads the QP_VERSION_SECTION section of an ELF file; the data it hands out
// is that section's bytes, which VerQueryValueA then walks.
namespace {

bool ReadAt(FILE* file, uint64_t offset, void* out, size_t size) {
    return std::fseek(file, long(offset), SEEK_SET) == 0 && std::fread(out, 1, size, file) == size;
}

bool LoadVersionSection(const char* path, std::vector<char>& out) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    bool found = false;
    Elf64_Ehdr header;
    if (ReadAt(file, 0, &header, sizeof(header)) && std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 &&
        header.e_ident[EI_CLASS] == ELFCLASS64 && header.e_shentsize == sizeof(Elf64_Shdr) &&
        header.e_shstrndx < header.e_shnum) {
        std::vector<Elf64_Shdr> sections(header.e_shnum);
        Elf64_Shdr& names = sections[header.e_shstrndx];
        if (ReadAt(file, header.e_shoff, sections.data(), sizeof(Elf64_Shdr) * sections.size()) &&
            names.sh_size < (1u << 24)) {
            std::vector<char> nameTable(names.sh_size + 1, 0);
            if (ReadAt(file, names.sh_offset, nameTable.data(), names.sh_size)) {
                for (const Elf64_Shdr& section : sections) {
                    if (section.sh_name >= names.sh_size) continue;
                    if (std::strcmp(&nameTable[section.sh_name], QP_VERSION_SECTION) != 0) continue;
                    if (section.sh_type == SHT_NOBITS || section.sh_size < sizeof(QpVersionHeader) ||
                        section.sh_size > (1u << 20))
                        break;
                    out.assign(section.sh_size, 0);
                    found = ReadAt(file, section.sh_offset, out.data(), out.size()) &&
                            std::memcmp(out.data(), QP_VERSION_MAGIC, sizeof(QP_VERSION_MAGIC)) == 0;
                    break;
                }
            }
        }
    }
    std::fclose(file);
    return found;
}

bool EqualsIgnoringCase(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

}  // namespace

extern "C" DWORD GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle) {
    if (handle) *handle = 0;
    std::vector<char> block;
    if (!fileName || !LoadVersionSection(fileName, block)) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return 0;
    }
    return DWORD(block.size());
}

extern "C" BOOL GetFileVersionInfoA(LPCSTR fileName, DWORD, DWORD size, LPVOID data) {
    std::vector<char> block;
    if (!fileName || !data || !LoadVersionSection(fileName, block)) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return FALSE;
    }
    if (size < block.size()) {
        std::memcpy(data, block.data(), size);
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(data, block.data(), block.size());
    return TRUE;
}

extern "C" BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, UINT* length) {
    if (!block || !subBlock || !buffer) return FALSE;
    auto* header = static_cast<const QpVersionHeader*>(block);
    if (std::memcmp(header->magic, QP_VERSION_MAGIC, sizeof(QP_VERSION_MAGIC)) != 0) return FALSE;

    std::string path(subBlock);
    if (path.empty() || path == "\\") {
        *buffer = const_cast<VS_FIXEDFILEINFO*>(&header->fixed);
        if (length) *length = sizeof(VS_FIXEDFILEINFO);
        return TRUE;
    }
    if (EqualsIgnoringCase(path, "\\VarFileInfo\\Translation")) {
        *buffer = const_cast<WORD*>(&header->language);
        if (length) *length = 2 * sizeof(WORD);
        return TRUE;
    }
    char prefix[64];
    std::snprintf(prefix, sizeof(prefix), "\\StringFileInfo\\%04x%04x\\", header->language, header->codepage);
    const size_t prefixLength = std::strlen(prefix);
    if (path.size() <= prefixLength || strncasecmp(path.c_str(), prefix, prefixLength) != 0) return FALSE;
    const std::string wanted = path.substr(prefixLength);

    const char* strings = reinterpret_cast<const char*>(header + 1);
    const char* end = strings + header->stringBytes;
    for (const char* name = strings; name < end && *name;) {
        const char* value = name + std::strlen(name) + 1;
        if (value >= end) break;
        if (EqualsIgnoringCase(wanted, name)) {
            *buffer = const_cast<char*>(value);
            if (length) *length = UINT(std::strlen(value) + 1);
            return TRUE;
        }
        name = value + std::strlen(value) + 1;
    }
    return FALSE;
}

// quarnels-elf-rename FILE OLD NEW
// Renames one dynamic symbol of a 64-bit ELF shared object in place. NEW may not be longer than
// OLD; the object must carry only a SysV hash table (link with --hash-style=sysv), which is
// rebuilt for the new name so that dlsym finds it.
#include <elf.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "quarnels-elf-rename: %s\n", message.c_str());
    return 1;
}

uint32_t ElfHash(const char* name) {
    uint32_t h = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
        h = (h << 4) + *p;
        const uint32_t g = h & 0xf0000000u;
        if (g) h ^= g >> 24;
        h &= ~g;
    }
    return h;
}

template <typename T>
T* At(std::vector<char>& image, uint64_t offset) {
    return reinterpret_cast<T*>(image.data() + offset);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return Fail("usage: quarnels-elf-rename FILE OLD NEW");
    const std::string path = argv[1], oldName = argv[2], newName = argv[3];
    if (newName.size() > oldName.size()) return Fail("NEW is longer than OLD");

    std::vector<char> image;
    {
        std::ifstream in(path, std::ios::binary);
        if (!in) return Fail("cannot read " + path);
        image.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (image.size() < sizeof(Elf64_Ehdr)) return Fail("not an ELF file");
    auto* header = At<Elf64_Ehdr>(image, 0);
    if (std::memcmp(header->e_ident, ELFMAG, SELFMAG) != 0 || header->e_ident[EI_CLASS] != ELFCLASS64)
        return Fail("not a 64-bit ELF file");
    if (header->e_shoff + uint64_t(header->e_shnum) * sizeof(Elf64_Shdr) > image.size())
        return Fail("section table out of range");

    Elf64_Shdr* sections = At<Elf64_Shdr>(image, header->e_shoff);
    Elf64_Shdr *dynsym = nullptr, *hash = nullptr;
    for (int i = 0; i < header->e_shnum; ++i) {
        if (sections[i].sh_type == SHT_DYNSYM) dynsym = &sections[i];
        if (sections[i].sh_type == SHT_HASH) hash = &sections[i];
        if (sections[i].sh_type == SHT_GNU_HASH) return Fail("GNU hash table present; link with --hash-style=sysv");
    }
    if (!dynsym || !hash) return Fail("no dynamic symbol table or no hash table");
    Elf64_Shdr& dynstr = sections[dynsym->sh_link];

    auto* symbols = At<Elf64_Sym>(image, dynsym->sh_offset);
    const size_t count = dynsym->sh_size / sizeof(Elf64_Sym);
    char* strings = At<char>(image, dynstr.sh_offset);

    size_t target = count;
    for (size_t i = 0; i < count; ++i)
        if (symbols[i].st_name < dynstr.sh_size && oldName == strings + symbols[i].st_name) target = i;
    if (target == count) {
        for (size_t i = 0; i < count; ++i)
            if (symbols[i].st_name < dynstr.sh_size && newName == strings + symbols[i].st_name) return 0;
        return Fail("symbol " + oldName + " not found");
    }
    // The linker may share string tails; no other name may point into the bytes we overwrite.
    const uint64_t first = symbols[target].st_name, last = first + oldName.size();
    for (size_t i = 0; i < count; ++i)
        if (i != target && symbols[i].st_name > first && symbols[i].st_name < last)
            return Fail("another symbol shares the name's bytes");
    std::memcpy(strings + first, newName.c_str(), newName.size() + 1);

    // Rebuild the SysV hash table: nbucket, nchain, buckets[nbucket], chains[nchain].
    auto* table = At<uint32_t>(image, hash->sh_offset);
    const uint32_t nbucket = table[0], nchain = table[1];
    if (nchain != count) return Fail("hash table does not match the symbol table");
    uint32_t* buckets = table + 2;
    uint32_t* chains = buckets + nbucket;
    std::fill(buckets, buckets + nbucket, 0u);
    std::fill(chains, chains + nchain, 0u);
    for (size_t i = count; i-- > 1;) {
        const uint32_t bucket = ElfHash(strings + symbols[i].st_name) % nbucket;
        chains[i] = buckets[bucket];
        buckets[bucket] = uint32_t(i);
    }

    const std::string temp = path + ".renaming";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(image.data(), std::streamsize(image.size()));
        if (!out) return Fail("cannot write " + temp);
    }
    struct stat mode;
    if (stat(path.c_str(), &mode) == 0) chmod(temp.c_str(), mode.st_mode & 07777);
    if (std::rename(temp.c_str(), path.c_str()) != 0) return Fail("cannot replace " + path);
    return 0;
}

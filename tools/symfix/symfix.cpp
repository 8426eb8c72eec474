// symfix: post-link step for liblumora.so. Renames the symbols "_SC_<name>$<digits>" to
// "_SC_<name>@<digits>" in the dynamic and static string tables (same length, in place) and
// rebuilds the SysV symbol hash table, whose buckets depend on the names. The library must be
// linked with --hash-style=sysv (a GNU hash table is refused).
//
// usage: symfix <shared object>      exit 0 when at least one second name is in place
#include <elf.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Image {
    std::vector<unsigned char> bytes;

    template <typename T>
    T* at(uint64_t offset, uint64_t count = 1) {
        if (offset > bytes.size() || count * sizeof(T) > bytes.size() - offset) return nullptr;
        return reinterpret_cast<T*>(bytes.data() + offset);
    }
};

uint32_t ElfHash(const char* name) {
    uint32_t h = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
        h = (h << 4) + *p;
        uint32_t g = h & 0xF0000000u;
        if (g) h ^= g >> 24;
        h &= ~g;
    }
    return h;
}

// "_SC_" ... "$" digits, or already "@" digits.
bool IsSecondName(const char* name, char separator) {
    if (std::strncmp(name, "_SC_", 4) != 0) return false;
    const char* mark = std::strrchr(name, separator);
    if (!mark || mark[1] == '\0') return false;
    for (const char* p = mark + 1; *p; ++p)
        if (*p < '0' || *p > '9') return false;
    return true;
}

int Fail(const char* message, const char* path) {
    std::fprintf(stderr, "symfix: %s: %s\n", path, message);
    return 1;
}

// Renames the second names of one symbol table; returns the number renamed and counts the
// names already in their final form.
int RenameIn(Image& elf, const Elf64_Shdr& symtab, const Elf64_Shdr& strtab, int& present) {
    uint64_t count = symtab.sh_entsize ? symtab.sh_size / symtab.sh_entsize : 0;
    Elf64_Sym* symbols = elf.at<Elf64_Sym>(symtab.sh_offset, count);
    char* strings = elf.at<char>(strtab.sh_offset, strtab.sh_size);
    if (!symbols || !strings || strtab.sh_size == 0 || strings[strtab.sh_size - 1] != '\0')
        return -1;
    int renamed = 0;
    for (uint64_t i = 0; i < count; ++i) {
        if (symbols[i].st_name >= strtab.sh_size) return -1;
        char* name = strings + symbols[i].st_name;
        if (IsSecondName(name, '$')) {
            *std::strrchr(name, '$') = '@';
            ++renamed;
        } else if (IsSecondName(name, '@')) {
            ++present;
        }
    }
    return renamed;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: symfix <shared object>\n");
        return 2;
    }
    const char* path = argv[1];
    Image elf;
    {
        std::ifstream in(path, std::ios::binary);
        if (!in) return Fail("cannot be read", path);
        elf.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    Elf64_Ehdr* header = elf.at<Elf64_Ehdr>(0);
    if (!header || std::memcmp(header->e_ident, ELFMAG, SELFMAG) != 0 ||
        header->e_ident[EI_CLASS] != ELFCLASS64 || header->e_ident[EI_DATA] != ELFDATA2LSB)
        return Fail("not a little-endian 64-bit ELF file", path);
    if (header->e_shentsize != sizeof(Elf64_Shdr)) return Fail("unexpected section headers", path);
    Elf64_Shdr* sections = elf.at<Elf64_Shdr>(header->e_shoff, header->e_shnum);
    if (!sections) return Fail("section headers out of range", path);

    const Elf64_Shdr* dynsym = nullptr;
    const Elf64_Shdr* symtab = nullptr;
    const Elf64_Shdr* hash = nullptr;
    for (unsigned i = 0; i < header->e_shnum; ++i) {
        switch (sections[i].sh_type) {
        case SHT_DYNSYM: dynsym = &sections[i]; break;
        case SHT_SYMTAB: symtab = &sections[i]; break;
        case SHT_HASH: hash = &sections[i]; break;
        case SHT_GNU_HASH: return Fail("has a GNU hash table; link with --hash-style=sysv", path);
        }
    }
    if (!dynsym || !hash) return Fail("no dynamic symbol table or SysV hash table", path);
    auto linked = [&](const Elf64_Shdr* table) -> const Elf64_Shdr* {
        return table->sh_link < header->e_shnum ? &sections[table->sh_link] : nullptr;
    };

    int present = 0;
    const Elf64_Shdr* dynstr = linked(dynsym);
    int renamed = dynstr ? RenameIn(elf, *dynsym, *dynstr, present) : -1;
    if (renamed < 0) return Fail("dynamic symbol table is malformed", path);
    if (symtab) {
        int ignored = 0;
        const Elf64_Shdr* strtab = linked(symtab);
        if (!strtab || RenameIn(elf, *symtab, *strtab, ignored) < 0)
            return Fail("symbol table is malformed", path);
    }
    if (renamed + present == 0) return Fail("no second names found", path);

    // Rebuild the hash table: nbucket, nchain, buckets, chains (chains index the symbols).
    uint32_t* words = elf.at<uint32_t>(hash->sh_offset, 2);
    if (!words) return Fail("hash table out of range", path);
    uint32_t nbucket = words[0];
    uint32_t nchain = words[1];
    uint64_t symbols = dynsym->sh_size / sizeof(Elf64_Sym);
    if (nbucket == 0 || nchain != symbols || hash->sh_size < (2ull + nbucket + nchain) * 4)
        return Fail("hash table does not match the dynamic symbol table", path);
    uint32_t* bucket = words + 2;
    uint32_t* chain = bucket + nbucket;
    std::fill(bucket, bucket + nbucket, 0u);
    std::fill(chain, chain + nchain, 0u);
    const Elf64_Sym* table = elf.at<Elf64_Sym>(dynsym->sh_offset, symbols);
    const char* strings = elf.at<char>(dynstr->sh_offset, dynstr->sh_size);
    for (uint32_t i = 1; i < nchain; ++i) {
        uint32_t b = ElfHash(strings + table[i].st_name) % nbucket;
        chain[i] = bucket[b];
        bucket[b] = i;
    }

    // Replace the file atomically, keeping its mode.
    struct stat status {};
    if (stat(path, &status) != 0) return Fail("cannot be examined", path);
    std::string temporary = std::string(path) + ".symfix";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(elf.bytes.data()), std::streamsize(elf.bytes.size()));
        if (!out) return Fail("cannot be written", temporary.c_str());
    }
    if (chmod(temporary.c_str(), status.st_mode & 07777) != 0 ||
        std::rename(temporary.c_str(), path) != 0) {
        std::remove(temporary.c_str());
        return Fail("cannot be replaced", path);
    }
    std::printf("symfix: %d second names in place in %s\n", renamed + present, path);
    return 0;
}

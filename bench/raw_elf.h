// The raw-pointer baseline: an ELF file's header tables and section bytes
// read with pread into plain buffers, and fields taken out of the <elf.h>
// structs with memcpy and, where the file's byte order is not the host's, a
// byte swap chosen at compile time.  This is the limit any reader of the
// same bytes can approach; it also gives the reference sums and names the
// other implementations are checked against.
#ifndef OBJLENS_BENCH_RAW_ELF_H
#define OBJLENS_BENCH_RAW_ELF_H

#include "bench_common.h"

#include <elf.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace bench {

template <bool Swap, typename T>
inline T file_order(T v)
{
    if constexpr (!Swap || sizeof(T) == 1) {
        return v;
    } else if constexpr (sizeof(T) == 2) {
        return static_cast<T>(__builtin_bswap16(static_cast<uint16_t>(v)));
    } else if constexpr (sizeof(T) == 4) {
        return static_cast<T>(__builtin_bswap32(static_cast<uint32_t>(v)));
    } else {
        return static_cast<T>(__builtin_bswap64(static_cast<uint64_t>(v)));
    }
}

template <typename T>
inline T copy_out(const unsigned char *p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The <elf.h> types of one class, and its r_info split.
struct Class32 {
    using Ehdr = Elf32_Ehdr;
    using Shdr = Elf32_Shdr;
    using Sym = Elf32_Sym;
    using Rela = Elf32_Rela;
    static uint64_t r_sym(uint64_t info) { return info >> 8; }
    static uint64_t r_type(uint64_t info) { return info & 0xff; }
};
struct Class64 {
    using Ehdr = Elf64_Ehdr;
    using Shdr = Elf64_Shdr;
    using Sym = Elf64_Sym;
    using Rela = Elf64_Rela;
    static uint64_t r_sym(uint64_t info) { return info >> 32; }
    static uint64_t r_type(uint64_t info) { return info & 0xffffffffu; }
};

// A section header in host order, whatever the class.
struct RawShdr {
    uint32_t name, type;
    uint64_t flags, addr, offset, size;
    uint32_t link, info;
    uint64_t addralign, entsize;
};

class RawElf {
public:
    RawElf() = default;
    RawElf(const RawElf &) = delete;
    RawElf &operator=(const RawElf &) = delete;
    ~RawElf();

    // Reads the ELF header and the section header table, and with `names`
    // the section name table too.  False on any failure or a file this
    // baseline does not serve (extended numbering).  Without names it is
    // the least a reader of sections must read; the name table can be
    // large, as in objects whose section names share the symbol strings.
    bool open(const std::string &path, bool names = true);
    void close();

    bool is64() const { return is64_; }
    bool swap() const { return swap_; }
    size_t num_sections() const { return shdrs_.size(); }
    const RawShdr &shdr(size_t i) const { return shdrs_[i]; }
    const unsigned char *shdr_table() const { return table_.data(); }
    const std::vector<unsigned char> &shstrtab() const { return shstrtab_; }
    // The section's name, or "" when sh_name lies outside the name table.
    const char *section_name(size_t i) const;
    // Index of the first section named `name`, or -1.
    long find(const std::string &name) const;
    // The section's bytes, read now; empty for SHT_NOBITS or a failure.
    std::vector<unsigned char> read_section(size_t i) const;

private:
    int fd_ = -1;
    bool is64_ = false;
    bool swap_ = false;
    std::vector<unsigned char> table_;
    std::vector<RawShdr> shdrs_;
    std::vector<unsigned char> shstrtab_;
};

// What the raw reading of an input found: the sums and counts the other
// implementations must reproduce, and the bytes the raw cases walk.
struct Reference {
    RawElf elf;
    bool complete = false;  // the fields below the counts are filled
    long symtab_index = -1, rela_index = -1;
    FieldSum sections;
    std::vector<unsigned char> symtab, strtab, rela;
    size_t num_syms = 0, num_relas = 0;
    FieldSum syms, relas;
    std::vector<const char *> names;  // into strtab, one per symbol
};

// The headers and entry counts of an input, read on first use and kept:
// enough to register its cases.
const Reference &reference_counts(const Input &input);
// The whole reference of an input, computed on first use and kept.
const Reference &reference(const Input &input);

// The name of symbol `i` through the raw reading, for name checks.
inline const char *reference_name(const Reference &ref, size_t i) { return ref.names[i]; }

// Two names agree when both are missing or both hold the same string.
inline bool same_name(const char *got, const char *want)
{
    if (!got || !want)
        return got == want;
    return std::strcmp(got, want) == 0;
}

}  // namespace bench

#endif

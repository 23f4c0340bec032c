// elf_writer.hpp - a small in-memory ELF writer for tests.
//
// Builds ELF images of either class (32 or 64 bits) and either byte order
// (ELFDATA2LSB or ELFDATA2MSB) from a description, so that a test can make
// exactly the image it needs, including broken ones.  Header only; put the
// tests/ folder on the include path and write
//
//     #include "support/elf_writer.hpp"
//
//     elftest::ElfWriter w(64, ELFDATA2MSB, EM_PPC64, ET_DYN);
//     uint32_t text = w.add_section({.name = ".text", .type = SHT_PROGBITS,
//                                    .flags = SHF_ALLOC | SHF_EXECINSTR,
//                                    .addr = 0x1000, .addralign = 16,
//                                    .data = {0x60, 0x00, 0x00, 0x00}});
//     uint32_t symtab = w.add_symtab(".symtab", {{.name = "main", .value = 0x1000,
//                                    .bind = STB_GLOBAL, .type = STT_FUNC,
//                                    .shndx = uint16_t(text)}});
//     w.add_relocations(".rela.text", SHT_RELA, symtab, text,
//                       {{.offset = 0, .sym = 1, .type = 1, .addend = -4}});
//     elftest::StringTable dynstr;
//     uint32_t needed = dynstr.add("libc.so.6");
//     uint32_t dynstr_index = w.add_strtab(".dynstr", dynstr);
//     w.add_dynamic({{DT_NEEDED, needed}, {DT_NULL, 0}}, dynstr_index);
//     w.add_segment({.type = PT_LOAD, .flags = PF_R | PF_X, .vaddr = 0x1000,
//                    .first_section = text, .last_section = text});
//     elftest::Image image = w.build();
//
// What build() lays out, in this order: the ELF header at 0; the program
// header table right after it; each section's bytes in index order, aligned
// to its sh_addralign (SHT_NOBITS sections take no bytes); the section name
// string table ".shstrtab", added as the last section unless
// Options::shstrtab is false; the section header table last, aligned to the
// class's word (or, with Options::section_headers_first, right after the
// program header table, before the section bytes).  Section 0 is the null
// section; add_section() returns the
// file index of the section it adds.
//
// Extended numbering is used when the counts need it (65280 sections or
// more, a name table index of 65280 or more, 65535 program headers or more)
// or when an Options flag forces it: e_shnum 0 with the count in section
// 0's sh_size, e_shstrndx SHN_XINDEX with the index in section 0's sh_link,
// e_phnum PN_XNUM with the count in section 0's sh_info.
//
// Corrupting: an Image keeps where build() put every table, and its get()
// and set() read and write any ELF header, section header or program header
// field by name, in the image's class and byte order; truncate() cuts the
// bytes.  set() writes at the places build() chose, whatever the header
// fields say afterwards.  set() takes 64-bit values and keeps the low bytes
// that fit the field.
//
// Entry encoding helpers (encode_sym, encode_rel, encode_dyn, ...) give the
// bytes of one entry, for tests that compare entry bytes or build section
// data by hand.
#pragma once

#include <elf.h>

// Section, Symbol, Reloc, Segment and Options are meant to be written with
// designated initializers that name only the members a test cares about;
// g++ 12 warns about the members left to their defaults there.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace elftest {

using Bytes = std::vector<unsigned char>;

// ---------------------------------------------------------------------------
// Field names

enum class Eh {
    magic0,
    magic1,
    magic2,
    magic3,
    ident_class,
    ident_data,
    ident_version,
    ident_osabi,
    type,
    machine,
    version,
    entry,
    phoff,
    shoff,
    flags,
    ehsize,
    phentsize,
    phnum,
    shentsize,
    shnum,
    shstrndx
};
enum class Sh { name, type, flags, addr, offset, size, link, info, addralign, entsize };
enum class Ph { type, flags, offset, vaddr, paddr, filesz, memsz, align };

// ---------------------------------------------------------------------------
// Byte-order aware storage

inline void put_uint(unsigned char *at, size_t width, uint64_t value, int data)
{
    for (size_t i = 0; i < width; ++i) {
        const size_t shift = data == ELFDATA2MSB ? (width - 1 - i) * 8 : i * 8;
        at[i] = static_cast<unsigned char>(value >> shift);
    }
}

inline uint64_t get_uint(const unsigned char *at, size_t width, int data)
{
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i) {
        const size_t shift = data == ELFDATA2MSB ? (width - 1 - i) * 8 : i * 8;
        value |= uint64_t{at[i]} << shift;
    }
    return value;
}

// Where a field sits in its structure, for one class.
struct FieldPlace {
    size_t offset;
    size_t width;
};

// The offset and width of `member` in the structure `type`.
#define ELFTEST_PLACE(type, member)                                                                \
    FieldPlace { offsetof(type, member), sizeof(type::member) }

// The fields sit alike in both classes' structures, at different offsets and
// widths: one switch per structure, instantiated for each class.
template <class Ehdr>
FieldPlace ehdr_place(Eh field)
{
    switch (field) {
    case Eh::magic0: return {EI_MAG0, 1};
    case Eh::magic1: return {EI_MAG1, 1};
    case Eh::magic2: return {EI_MAG2, 1};
    case Eh::magic3: return {EI_MAG3, 1};
    case Eh::ident_class: return {EI_CLASS, 1};
    case Eh::ident_data: return {EI_DATA, 1};
    case Eh::ident_version: return {EI_VERSION, 1};
    case Eh::ident_osabi: return {EI_OSABI, 1};
    case Eh::type: return ELFTEST_PLACE(Ehdr, e_type);
    case Eh::machine: return ELFTEST_PLACE(Ehdr, e_machine);
    case Eh::version: return ELFTEST_PLACE(Ehdr, e_version);
    case Eh::entry: return ELFTEST_PLACE(Ehdr, e_entry);
    case Eh::phoff: return ELFTEST_PLACE(Ehdr, e_phoff);
    case Eh::shoff: return ELFTEST_PLACE(Ehdr, e_shoff);
    case Eh::flags: return ELFTEST_PLACE(Ehdr, e_flags);
    case Eh::ehsize: return ELFTEST_PLACE(Ehdr, e_ehsize);
    case Eh::phentsize: return ELFTEST_PLACE(Ehdr, e_phentsize);
    case Eh::phnum: return ELFTEST_PLACE(Ehdr, e_phnum);
    case Eh::shentsize: return ELFTEST_PLACE(Ehdr, e_shentsize);
    case Eh::shnum: return ELFTEST_PLACE(Ehdr, e_shnum);
    case Eh::shstrndx: return ELFTEST_PLACE(Ehdr, e_shstrndx);
    }
    throw std::logic_error("elftest: unknown ELF header field");
}

template <class Shdr>
FieldPlace shdr_place(Sh field)
{
    switch (field) {
    case Sh::name: return ELFTEST_PLACE(Shdr, sh_name);
    case Sh::type: return ELFTEST_PLACE(Shdr, sh_type);
    case Sh::flags: return ELFTEST_PLACE(Shdr, sh_flags);
    case Sh::addr: return ELFTEST_PLACE(Shdr, sh_addr);
    case Sh::offset: return ELFTEST_PLACE(Shdr, sh_offset);
    case Sh::size: return ELFTEST_PLACE(Shdr, sh_size);
    case Sh::link: return ELFTEST_PLACE(Shdr, sh_link);
    case Sh::info: return ELFTEST_PLACE(Shdr, sh_info);
    case Sh::addralign: return ELFTEST_PLACE(Shdr, sh_addralign);
    case Sh::entsize: return ELFTEST_PLACE(Shdr, sh_entsize);
    }
    throw std::logic_error("elftest: unknown section header field");
}

template <class Phdr>
FieldPlace phdr_place(Ph field)
{
    switch (field) {
    case Ph::type: return ELFTEST_PLACE(Phdr, p_type);
    case Ph::flags: return ELFTEST_PLACE(Phdr, p_flags);
    case Ph::offset: return ELFTEST_PLACE(Phdr, p_offset);
    case Ph::vaddr: return ELFTEST_PLACE(Phdr, p_vaddr);
    case Ph::paddr: return ELFTEST_PLACE(Phdr, p_paddr);
    case Ph::filesz: return ELFTEST_PLACE(Phdr, p_filesz);
    case Ph::memsz: return ELFTEST_PLACE(Phdr, p_memsz);
    case Ph::align: return ELFTEST_PLACE(Phdr, p_align);
    }
    throw std::logic_error("elftest: unknown program header field");
}

#undef ELFTEST_PLACE

inline FieldPlace place_of(Eh field, int bits)
{
    return bits == 64 ? ehdr_place<Elf64_Ehdr>(field) : ehdr_place<Elf32_Ehdr>(field);
}

inline FieldPlace place_of(Sh field, int bits)
{
    return bits == 64 ? shdr_place<Elf64_Shdr>(field) : shdr_place<Elf32_Shdr>(field);
}

inline FieldPlace place_of(Ph field, int bits)
{
    return bits == 64 ? phdr_place<Elf64_Phdr>(field) : phdr_place<Elf32_Phdr>(field);
}

inline size_t ehdr_size(int bits) { return bits == 64 ? sizeof(Elf64_Ehdr) : sizeof(Elf32_Ehdr); }
inline size_t shdr_size(int bits) { return bits == 64 ? sizeof(Elf64_Shdr) : sizeof(Elf32_Shdr); }
inline size_t phdr_size(int bits) { return bits == 64 ? sizeof(Elf64_Phdr) : sizeof(Elf32_Phdr); }
inline size_t sym_size(int bits) { return bits == 64 ? sizeof(Elf64_Sym) : sizeof(Elf32_Sym); }
inline size_t rel_size(int bits) { return bits == 64 ? sizeof(Elf64_Rel) : sizeof(Elf32_Rel); }
inline size_t rela_size(int bits) { return bits == 64 ? sizeof(Elf64_Rela) : sizeof(Elf32_Rela); }
inline size_t dyn_size(int bits) { return bits == 64 ? sizeof(Elf64_Dyn) : sizeof(Elf32_Dyn); }

// ---------------------------------------------------------------------------
// Entries

struct Symbol {
    std::string name;
    uint64_t value = 0;
    uint64_t size = 0;
    unsigned char bind = STB_GLOBAL;
    unsigned char type = STT_NOTYPE;
    unsigned char other = STV_DEFAULT;
    uint16_t shndx = SHN_UNDEF;
};

struct Reloc {
    uint64_t offset = 0;
    uint32_t sym = 0;
    uint32_t type = 0;
    int64_t addend = 0;  // written only in SHT_RELA sections
};

struct Dyn {
    int64_t tag = DT_NULL;
    uint64_t val = 0;
};

// The bytes of one symbol whose name is at `name_offset` in its string table.
inline Bytes encode_sym(int bits, int data, const Symbol &sym, uint32_t name_offset)
{
    Bytes out(sym_size(bits));
    const unsigned char info = static_cast<unsigned char>((sym.bind << 4) | (sym.type & 0xf));
#define ELFTEST_PUT(type, member, value)                                                           \
    put_uint(out.data() + offsetof(type, member), sizeof(type::member), value, data)
    if (bits == 64) {
        ELFTEST_PUT(Elf64_Sym, st_name, name_offset);
        ELFTEST_PUT(Elf64_Sym, st_info, info);
        ELFTEST_PUT(Elf64_Sym, st_other, sym.other);
        ELFTEST_PUT(Elf64_Sym, st_shndx, sym.shndx);
        ELFTEST_PUT(Elf64_Sym, st_value, sym.value);
        ELFTEST_PUT(Elf64_Sym, st_size, sym.size);
    } else {
        ELFTEST_PUT(Elf32_Sym, st_name, name_offset);
        ELFTEST_PUT(Elf32_Sym, st_info, info);
        ELFTEST_PUT(Elf32_Sym, st_other, sym.other);
        ELFTEST_PUT(Elf32_Sym, st_shndx, sym.shndx);
        ELFTEST_PUT(Elf32_Sym, st_value, sym.value);
        ELFTEST_PUT(Elf32_Sym, st_size, sym.size);
    }
    return out;
}

// r_info as the class packs it: symbol above 8 bits (class 32) or 32 bits
// (class 64), type below.
inline uint64_t pack_r_info(int bits, uint32_t sym, uint32_t type)
{
    return bits == 64 ? ELF64_R_INFO(uint64_t{sym}, type) : ELF32_R_INFO(sym, type & 0xff);
}

inline Bytes encode_rel(int bits, int data, const Reloc &rel, bool with_addend)
{
    Bytes out(with_addend ? rela_size(bits) : rel_size(bits));
    const uint64_t info = pack_r_info(bits, rel.sym, rel.type);
    if (bits == 64) {
        ELFTEST_PUT(Elf64_Rela, r_offset, rel.offset);
        ELFTEST_PUT(Elf64_Rela, r_info, info);
        if (with_addend)
            ELFTEST_PUT(Elf64_Rela, r_addend, static_cast<uint64_t>(rel.addend));
    } else {
        ELFTEST_PUT(Elf32_Rela, r_offset, rel.offset);
        ELFTEST_PUT(Elf32_Rela, r_info, info);
        if (with_addend)
            ELFTEST_PUT(Elf32_Rela, r_addend, static_cast<uint64_t>(rel.addend));
    }
    return out;
}

inline Bytes encode_dyn(int bits, int data, const Dyn &dyn)
{
    Bytes out(dyn_size(bits));
    if (bits == 64) {
        ELFTEST_PUT(Elf64_Dyn, d_tag, static_cast<uint64_t>(dyn.tag));
        ELFTEST_PUT(Elf64_Dyn, d_un.d_val, dyn.val);
    } else {
        ELFTEST_PUT(Elf32_Dyn, d_tag, static_cast<uint64_t>(dyn.tag));
        ELFTEST_PUT(Elf32_Dyn, d_un.d_val, dyn.val);
    }
#undef ELFTEST_PUT
    return out;
}

// The parts one after another, for a section of hand-made entries.
inline Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes &part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

// A string table under construction: starts with the empty string at
// offset 0; equal strings share one offset.
class StringTable {
public:
    StringTable() : bytes_{0} {}

    uint32_t add(std::string_view text)
    {
        if (text.empty())
            return 0;
        auto found = offsets_.find(std::string(text));
        if (found != offsets_.end())
            return found->second;
        const auto offset = static_cast<uint32_t>(bytes_.size());
        bytes_.insert(bytes_.end(), text.begin(), text.end());
        bytes_.push_back(0);
        offsets_.emplace(std::string(text), offset);
        return offset;
    }

    const Bytes &bytes() const { return bytes_; }

private:
    Bytes bytes_;
    std::unordered_map<std::string, uint32_t> offsets_;
};

// ---------------------------------------------------------------------------
// Description

struct Section {
    std::string name;
    uint32_t type = SHT_PROGBITS;
    uint64_t flags = 0;
    uint64_t addr = 0;
    uint32_t link = 0;
    uint32_t info = 0;
    uint64_t addralign = 1;
    uint64_t entsize = 0;
    Bytes data;                // the section's bytes (none for SHT_NOBITS)
    uint64_t nobits_size = 0;  // sh_size of an SHT_NOBITS section
};

// A segment covers the file bytes of sections first_section..last_section
// (p_offset and p_filesz follow from the layout; p_memsz adds trailing
// SHT_NOBITS sizes), or, with first_section 0, the explicit offset and
// filesz.  memsz 0 means "as computed" (the file size when explicit).
// The p_ fields come in the program header's order.
struct Segment {
    uint32_t type = PT_LOAD;
    uint32_t flags = PF_R;
    uint64_t offset = 0;
    uint64_t vaddr = 0;
    uint64_t paddr = 0;
    uint64_t filesz = 0;
    uint64_t memsz = 0;
    uint64_t align = 0x1000;
    uint32_t first_section = 0;
    uint32_t last_section = 0;
    bool covers_program_headers = false;  // PT_PHDR: offset/size of the table
};

struct Options {
    bool shstrtab = true;                // add ".shstrtab" and point e_shstrndx at it
    bool extended_shnum = false;         // e_shnum 0, count in section 0's sh_size
    bool extended_shstrndx = false;      // e_shstrndx SHN_XINDEX, index in sh_link
    bool extended_phnum = false;         // e_phnum PN_XNUM, count in sh_info
    bool section_headers = true;         // false: no table, e_shoff 0
    bool section_headers_first = false;  // put the table before the section bytes
};

// ---------------------------------------------------------------------------
// The built image

// Writes `size` bytes to the file at `path`, replacing it; false when the
// file cannot be opened, written or closed.
inline bool write_file(const std::string &path, const unsigned char *bytes, size_t size)
{
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = std::fwrite(bytes, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

class Image {
public:
    Bytes bytes;
    int bits = 64;
    int data = ELFDATA2LSB;
    uint64_t phoff = 0;  // where build() put the program header table
    uint64_t shoff = 0;  // where build() put the section header table
    uint32_t phnum = 0;  // entries in them, extended numbering resolved
    uint32_t shnum = 0;
    uint32_t shstrndx = 0;
    std::vector<uint64_t> section_offset;   // by section index
    std::vector<std::string> section_name;  // by section index

    uint64_t get(Eh field) const { return read(0, place_of(field, bits)); }
    void set(Eh field, uint64_t value) { write(0, place_of(field, bits), value); }

    uint64_t get(uint32_t section, Sh field) const
    {
        return read(shoff + uint64_t{section} * shdr_size(bits), place_of(field, bits));
    }
    void set(uint32_t section, Sh field, uint64_t value)
    {
        write(shoff + uint64_t{section} * shdr_size(bits), place_of(field, bits), value);
    }

    uint64_t get(uint32_t program, Ph field) const
    {
        return read(phoff + uint64_t{program} * phdr_size(bits), place_of(field, bits));
    }
    void set(uint32_t program, Ph field, uint64_t value)
    {
        write(phoff + uint64_t{program} * phdr_size(bits), place_of(field, bits), value);
    }

    // The bytes of section `index` as build() laid them out.
    Bytes section_bytes(uint32_t index) const
    {
        const uint64_t offset = section_offset.at(index);
        const uint64_t size = get(index, Sh::type) == SHT_NOBITS ? 0 : get(index, Sh::size);
        return Bytes(bytes.begin() + static_cast<ptrdiff_t>(offset),
                     bytes.begin() + static_cast<ptrdiff_t>(offset + size));
    }

    void truncate(size_t size)
    {
        if (size < bytes.size())
            bytes.resize(size);
    }

    bool write_to(const std::string &path) const
    {
        return write_file(path, bytes.data(), bytes.size());
    }

private:
    uint64_t read(uint64_t base, FieldPlace place) const
    {
        check(base + place.offset + place.width);
        return get_uint(bytes.data() + base + place.offset, place.width, data);
    }
    void write(uint64_t base, FieldPlace place, uint64_t value)
    {
        check(base + place.offset + place.width);
        put_uint(bytes.data() + base + place.offset, place.width, value, data);
    }
    void check(uint64_t end) const
    {
        if (end > bytes.size())
            throw std::out_of_range("elftest: field outside the image bytes");
    }
};

// ---------------------------------------------------------------------------
// The writer

class ElfWriter {
public:
    ElfWriter(int bits, int data = ELFDATA2LSB, uint16_t machine = EM_X86_64,
              uint16_t type = ET_REL)
        : bits_(bits), data_(data), machine_(machine), type_(type)
    {
        if (bits != 32 && bits != 64)
            throw std::invalid_argument("elftest: bits must be 32 or 64");
        sections_.push_back(Section{.name = "", .type = SHT_NULL, .addralign = 0});
    }

    int bits() const { return bits_; }
    int data() const { return data_; }
    Options &options() { return options_; }
    void set_entry(uint64_t entry) { entry_ = entry; }
    void set_flags(uint32_t flags) { flags_ = flags; }
    void set_type(uint16_t type) { type_ = type; }
    void set_machine(uint16_t machine) { machine_ = machine; }

    // The bytes of single entries in the image's class and byte order, for
    // sections a test fills by hand; r_info and st_info are given whole.
    Bytes sym(uint32_t name, uint64_t value, uint64_t size, unsigned char info, unsigned char other,
              uint16_t shndx) const
    {
        return encode_sym(bits_, data_,
                          {.value = value,
                           .size = size,
                           .bind = static_cast<unsigned char>(ELF32_ST_BIND(info)),
                           .type = static_cast<unsigned char>(ELF32_ST_TYPE(info)),
                           .other = other,
                           .shndx = shndx},
                          name);
    }
    Bytes rel(uint64_t offset, uint64_t info) const
    {
        return encode_rel(bits_, data_, reloc(offset, info, 0), false);
    }
    Bytes rela(uint64_t offset, uint64_t info, int64_t addend) const
    {
        return encode_rel(bits_, data_, reloc(offset, info, addend), true);
    }
    Bytes dyn(int64_t tag, uint64_t value) const
    {
        return encode_dyn(bits_, data_, {.tag = tag, .val = value});
    }

    // Adds a section; returns its file index.
    uint32_t add_section(Section section)
    {
        sections_.push_back(std::move(section));
        return static_cast<uint32_t>(sections_.size() - 1);
    }

    Section &section(uint32_t index) { return sections_.at(index); }
    uint32_t section_count() const { return static_cast<uint32_t>(sections_.size()); }

    uint32_t add_strtab(std::string name, const StringTable &table, uint64_t flags = 0)
    {
        return add_section(
            {.name = std::move(name), .type = SHT_STRTAB, .flags = flags, .data = table.bytes()});
    }

    // Adds a string table `strtab_name` with the symbols' names, then the
    // symbol table (null symbol first, then `symbols` in order; sh_info is
    // the index of the first non-local one).  Returns the symbol table's index.
    uint32_t add_symtab(std::string name, const std::vector<Symbol> &symbols,
                        uint32_t type = SHT_SYMTAB, std::string strtab_name = "")
    {
        if (strtab_name.empty())
            strtab_name = type == SHT_DYNSYM ? ".dynstr" : ".strtab";
        StringTable names;
        Bytes entries = encode_sym(bits_, data_, Symbol{.bind = STB_LOCAL}, 0);
        uint32_t first_global = 0;
        for (size_t i = 0; i < symbols.size(); ++i) {
            const Bytes entry = encode_sym(bits_, data_, symbols[i], names.add(symbols[i].name));
            entries.insert(entries.end(), entry.begin(), entry.end());
            if (first_global == 0 && symbols[i].bind != STB_LOCAL)
                first_global = static_cast<uint32_t>(i + 1);
        }
        if (first_global == 0)
            first_global = static_cast<uint32_t>(symbols.size() + 1);
        const uint64_t alloc = type == SHT_DYNSYM ? SHF_ALLOC : 0;
        const uint32_t strtab = add_strtab(std::move(strtab_name), names, alloc);
        return add_section({.name = std::move(name),
                            .type = type,
                            .flags = alloc,
                            .link = strtab,
                            .info = first_global,
                            .addralign = static_cast<uint64_t>(bits_ / 8),
                            .entsize = sym_size(bits_),
                            .data = std::move(entries)});
    }

    // SHT_REL or SHT_RELA entries that apply to section `target` with
    // symbols from `symtab`.
    uint32_t add_relocations(std::string name, uint32_t type, uint32_t symtab, uint32_t target,
                             const std::vector<Reloc> &relocs)
    {
        const bool with_addend = type == SHT_RELA;
        Bytes entries;
        for (const Reloc &rel : relocs) {
            const Bytes entry = encode_rel(bits_, data_, rel, with_addend);
            entries.insert(entries.end(), entry.begin(), entry.end());
        }
        return add_section({.name = std::move(name),
                            .type = type,
                            .flags = SHF_INFO_LINK,
                            .link = symtab,
                            .info = target,
                            .addralign = static_cast<uint64_t>(bits_ / 8),
                            .entsize = with_addend ? rela_size(bits_) : rel_size(bits_),
                            .data = std::move(entries)});
    }

    // A ".dynamic" section whose string values refer to section `strtab`.
    uint32_t add_dynamic(const std::vector<Dyn> &entries, uint32_t strtab, uint64_t addr = 0)
    {
        Bytes bytes;
        for (const Dyn &dyn : entries) {
            const Bytes entry = encode_dyn(bits_, data_, dyn);
            bytes.insert(bytes.end(), entry.begin(), entry.end());
        }
        return add_section({.name = ".dynamic",
                            .type = SHT_DYNAMIC,
                            .flags = SHF_ALLOC | SHF_WRITE,
                            .addr = addr,
                            .link = strtab,
                            .addralign = static_cast<uint64_t>(bits_ / 8),
                            .entsize = dyn_size(bits_),
                            .data = std::move(bytes)});
    }

    void add_segment(Segment segment) { segments_.push_back(segment); }

    Image build() const
    {
        const NamedSections named = named_sections();
        const std::vector<Section> &sections = named.sections;
        Image image = laid_out(sections);
        image.shstrndx = named.shstrndx;
        copy_section_bytes(image, sections);
        const auto shnum = static_cast<uint32_t>(sections.size());
        const Extended extended{
            .shnum = options_.extended_shnum || shnum >= SHN_LORESERVE,
            .shstrndx = options_.extended_shstrndx || named.shstrndx >= SHN_LORESERVE,
            .phnum = options_.extended_phnum || image.phnum >= PN_XNUM,
        };
        write_ehdr(image, shnum, extended);
        if (options_.section_headers)
            write_section_headers(image, named, extended);
        for (uint32_t i = 0; i < image.phnum; ++i)
            write_program_header(image, i, sections);
        return image;
    }

private:
    Reloc reloc(uint64_t offset, uint64_t info, int64_t addend) const
    {
        const bool is32 = bits_ == 32;
        return {.offset = offset,
                .sym = static_cast<uint32_t>(is32 ? ELF32_R_SYM(info) : ELF64_R_SYM(info)),
                .type = static_cast<uint32_t>(is32 ? ELF32_R_TYPE(info) : ELF64_R_TYPE(info)),
                .addend = addend};
    }

    // The sections as build() writes them: the description's, then
    // ".shstrtab" unless Options::shstrtab is false, with every name's
    // offset in it.
    struct NamedSections {
        std::vector<Section> sections;
        std::vector<uint32_t> name_offsets;  // by section index
        uint32_t shstrndx = 0;
    };

    // Which counts go to section 0 instead of the ELF header.
    struct Extended {
        bool shnum;
        bool shstrndx;
        bool phnum;
    };

    // p_offset, p_filesz and p_memsz of one segment.
    struct Extent {
        uint64_t offset;
        uint64_t filesz;
        uint64_t memsz;
    };

    static uint64_t align_up(uint64_t at, uint64_t align)
    {
        return (at + align - 1) / align * align;
    }

    NamedSections named_sections() const
    {
        NamedSections named{.sections = sections_};
        std::vector<Section> &sections = named.sections;
        if (options_.shstrtab) {
            named.shstrndx = static_cast<uint32_t>(sections.size());
            sections.push_back(Section{.name = ".shstrtab", .type = SHT_STRTAB});
        }
        StringTable names;
        named.name_offsets.reserve(sections.size());
        for (const Section &section : sections)
            named.name_offsets.push_back(names.add(section.name));
        if (options_.shstrtab)
            sections[named.shstrndx].data = names.bytes();
        return named;
    }

    // Where every table and each section's bytes go, in zeroed bytes of
    // the image's full size.
    Image laid_out(const std::vector<Section> &sections) const
    {
        Image image;
        image.bits = bits_;
        image.data = data_;
        uint64_t at = ehdr_size(bits_);
        image.phnum = static_cast<uint32_t>(segments_.size());
        image.phoff = image.phnum > 0 ? at : 0;
        at += uint64_t{image.phnum} * phdr_size(bits_);
        const auto shnum = static_cast<uint32_t>(sections.size());
        if (options_.section_headers_first)
            at = place_section_headers(image, at, shnum);
        for (const Section &section : sections) {
            const uint64_t align = section.addralign;
            if (align > 1 && (align & (align - 1)) == 0)
                at = align_up(at, align);
            image.section_offset.push_back(section.type == SHT_NULL ? 0 : at);
            image.section_name.push_back(section.name);
            if (section.type != SHT_NOBITS)
                at += section.data.size();
        }
        if (!options_.section_headers_first)
            at = place_section_headers(image, at, shnum);
        image.bytes.assign(static_cast<size_t>(at), 0);
        return image;
    }

    // Puts the section header table at the next word boundary from `at`
    // (unless there is none); returns where the bytes after it go.
    uint64_t place_section_headers(Image &image, uint64_t at, uint32_t shnum) const
    {
        at = align_up(at, static_cast<uint64_t>(bits_ / 8));
        if (!options_.section_headers) {
            image.shoff = 0;
            image.shnum = 0;
            return at;
        }
        image.shoff = at;
        image.shnum = shnum;
        return at + uint64_t{shnum} * shdr_size(bits_);
    }

    static void copy_section_bytes(Image &image, const std::vector<Section> &sections)
    {
        for (size_t i = 0; i < sections.size(); ++i) {
            const Section &section = sections[i];
            if (section.type == SHT_NOBITS || section.data.empty())
                continue;
            std::memcpy(image.bytes.data() + image.section_offset[i], section.data.data(),
                        section.data.size());
        }
    }

    void write_ehdr(Image &image, uint32_t shnum, const Extended &extended) const
    {
        unsigned char *ident = image.bytes.data();
        ident[EI_MAG0] = ELFMAG0;
        ident[EI_MAG1] = ELFMAG1;
        ident[EI_MAG2] = ELFMAG2;
        ident[EI_MAG3] = ELFMAG3;
        ident[EI_CLASS] = bits_ == 64 ? ELFCLASS64 : ELFCLASS32;
        ident[EI_DATA] = static_cast<unsigned char>(data_);
        ident[EI_VERSION] = EV_CURRENT;
        image.set(Eh::type, type_);
        image.set(Eh::machine, machine_);
        image.set(Eh::version, EV_CURRENT);
        image.set(Eh::entry, entry_);
        image.set(Eh::phoff, image.phoff);
        image.set(Eh::shoff, image.shoff);
        image.set(Eh::flags, flags_);
        image.set(Eh::ehsize, ehdr_size(bits_));
        image.set(Eh::phentsize, phdr_size(bits_));
        image.set(Eh::phnum, extended.phnum ? PN_XNUM : image.phnum);
        image.set(Eh::shentsize, shdr_size(bits_));
        image.set(Eh::shnum, options_.section_headers && !extended.shnum ? shnum : 0);
        image.set(Eh::shstrndx, extended.shstrndx ? SHN_XINDEX : image.shstrndx);
    }

    static void write_section_headers(Image &image, const NamedSections &named,
                                      const Extended &extended)
    {
        const auto shnum = static_cast<uint32_t>(named.sections.size());
        for (uint32_t i = 0; i < shnum; ++i) {
            const Section &section = named.sections[i];
            image.set(i, Sh::name, named.name_offsets[i]);
            image.set(i, Sh::type, section.type);
            image.set(i, Sh::flags, section.flags);
            image.set(i, Sh::addr, section.addr);
            image.set(i, Sh::offset, image.section_offset[i]);
            image.set(i, Sh::size,
                      section.type == SHT_NOBITS ? section.nobits_size : section.data.size());
            image.set(i, Sh::link, section.link);
            image.set(i, Sh::info, section.info);
            image.set(i, Sh::addralign, section.addralign);
            image.set(i, Sh::entsize, section.entsize);
        }
        if (extended.shnum)
            image.set(0, Sh::size, shnum);
        if (extended.shstrndx)
            image.set(0, Sh::link, image.shstrndx);
        if (extended.phnum)
            image.set(0, Sh::info, image.phnum);
    }

    void write_program_header(Image &image, uint32_t i, const std::vector<Section> &sections) const
    {
        const Segment &segment = segments_[i];
        const Extent extent = extent_of(segment, image, sections);
        image.set(i, Ph::type, segment.type);
        image.set(i, Ph::flags, segment.flags);
        image.set(i, Ph::offset, extent.offset);
        image.set(i, Ph::vaddr, segment.vaddr);
        image.set(i, Ph::paddr, segment.paddr != 0 ? segment.paddr : segment.vaddr);
        image.set(i, Ph::filesz, extent.filesz);
        image.set(i, Ph::memsz, extent.memsz);
        image.set(i, Ph::align, segment.align);
    }

    Extent extent_of(const Segment &segment, const Image &image,
                     const std::vector<Section> &sections) const
    {
        Extent extent{segment.offset, segment.filesz, segment.memsz};
        if (segment.covers_program_headers) {
            extent.offset = image.phoff;
            extent.filesz = uint64_t{image.phnum} * phdr_size(bits_);
        } else if (segment.first_section != 0) {
            extent = sections_extent(segment, image, sections);
        }
        if (extent.memsz == 0)
            extent.memsz = extent.filesz;
        return extent;
    }

    // From the first section's bytes to the end of the last one's in the
    // file, and, in memory, on past trailing SHT_NOBITS sections.
    static Extent sections_extent(const Segment &segment, const Image &image,
                                  const std::vector<Section> &sections)
    {
        const uint64_t offset = image.section_offset.at(segment.first_section);
        uint64_t file_end = offset;
        uint64_t mem_end = offset;
        for (uint32_t s = segment.first_section; s <= segment.last_section; ++s) {
            const Section &section = sections.at(s);
            const uint64_t start = image.section_offset[s];
            if (section.type == SHT_NOBITS) {
                mem_end = std::max(mem_end, start + section.nobits_size);
            } else {
                file_end = std::max(file_end, start + section.data.size());
                mem_end = std::max(mem_end, file_end);
            }
        }
        return {offset, file_end - offset, segment.memsz != 0 ? segment.memsz : mem_end - offset};
    }

    int bits_;
    int data_;
    uint16_t machine_;
    uint16_t type_;
    uint64_t entry_ = 0;
    uint32_t flags_ = 0;
    Options options_;
    std::vector<Section> sections_;
    std::vector<Segment> segments_;
};

}  // namespace elftest

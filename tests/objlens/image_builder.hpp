// image_builder.hpp - small ELF images made in memory for the library's
// tests: any class and byte order, sections with chosen header fields and
// data, program headers, and the entry bytes of symbols, relocations and
// dynamic entries in the image's own byte order.
//
// Layout: ELF header, program headers, section data in order, the section
// name table, then the section header table.
#ifndef OBJLENS_TEST_IMAGE_BUILDER_HPP
#define OBJLENS_TEST_IMAGE_BUILDER_HPP

#include <elf.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "image_kinds.hpp"

using byte_vector = std::vector<unsigned char>;

// Writes integers of a chosen width into a byte vector in one byte order.
class byte_writer {
public:
    byte_writer(byte_vector &out, unsigned char data) : out_(out), data_(data) {}
    void put(std::size_t offset, uint64_t value, std::size_t width)
    {
        if (out_.size() < offset + width)
            out_.resize(offset + width);
        for (std::size_t i = 0; i < width; ++i) {
            const auto shift = 8 * (data_ == ELFDATA2LSB ? i : width - 1 - i);
            out_[offset + i] = static_cast<unsigned char>(value >> shift);
        }
    }
    template <class Struct, class Field>
    void field(std::size_t base, Field Struct::*member, uint64_t value)
    {
        // offsetof through a member pointer: the distance inside a real object.
        static const Struct probe{};
        const auto offset = static_cast<std::size_t>(
            reinterpret_cast<const unsigned char *>(&(probe.*member)) -
            reinterpret_cast<const unsigned char *>(&probe));
        put(base + offset, value, sizeof(Field));
    }

private:
    byte_vector &out_;
    unsigned char data_;
};

struct section_spec {
    std::string name{};
    uint32_t type = SHT_PROGBITS;
    uint64_t flags = 0;
    uint64_t addr = 0;
    uint32_t link = 0;
    uint32_t info = 0;
    uint64_t addralign = 1;
    uint64_t entsize = 0;
    byte_vector data{};
    uint64_t size_override = UINT64_MAX;  // sh_size other than data.size()
};

struct segment_spec {
    uint32_t type = PT_LOAD;
    uint32_t flags = PF_R;
    uint64_t offset = 0;
    uint64_t vaddr = 0;
    uint64_t paddr = 0;
    uint64_t filesz = 0;
    uint64_t memsz = 0;
    uint64_t align = 0x1000;
};

class image_builder {
public:
    explicit image_builder(image_kind kind) : kind_(kind) {}

    uint16_t type = ET_REL;
    uint16_t machine = EM_NONE;
    uint64_t entry = 0;
    uint32_t flags = 0;

    // Returns the new section's index (the null section is index 0).
    uint32_t add_section(section_spec spec)
    {
        sections_.push_back(std::move(spec));
        return static_cast<uint32_t>(sections_.size());
    }
    void add_segment(segment_spec spec) { segments_.push_back(spec); }

    byte_vector build() const
    {
        return kind_.bits == 32 ? build_class<Elf32_Ehdr, Elf32_Shdr, Elf32_Phdr>()
                                : build_class<Elf64_Ehdr, Elf64_Shdr, Elf64_Phdr>();
    }

    // Entry bytes in this image's class and byte order.
    byte_vector sym(uint32_t name, uint64_t value, uint64_t size, unsigned char info,
                    unsigned char other, uint16_t shndx) const
    {
        byte_vector out;
        byte_writer w(out, kind_.data);
        if (kind_.bits == 32) {
            w.field(0, &Elf32_Sym::st_name, name);
            w.field(0, &Elf32_Sym::st_value, value);
            w.field(0, &Elf32_Sym::st_size, size);
            w.field(0, &Elf32_Sym::st_info, info);
            w.field(0, &Elf32_Sym::st_other, other);
            w.field(0, &Elf32_Sym::st_shndx, shndx);
            out.resize(sizeof(Elf32_Sym));
        } else {
            w.field(0, &Elf64_Sym::st_name, name);
            w.field(0, &Elf64_Sym::st_info, info);
            w.field(0, &Elf64_Sym::st_other, other);
            w.field(0, &Elf64_Sym::st_shndx, shndx);
            w.field(0, &Elf64_Sym::st_value, value);
            w.field(0, &Elf64_Sym::st_size, size);
            out.resize(sizeof(Elf64_Sym));
        }
        return out;
    }
    byte_vector rel(uint64_t offset, uint64_t info) const
    {
        byte_vector out;
        byte_writer w(out, kind_.data);
        if (kind_.bits == 32) {
            w.field(0, &Elf32_Rel::r_offset, offset);
            w.field(0, &Elf32_Rel::r_info, info);
        } else {
            w.field(0, &Elf64_Rel::r_offset, offset);
            w.field(0, &Elf64_Rel::r_info, info);
        }
        return out;
    }
    byte_vector rela(uint64_t offset, uint64_t info, int64_t addend) const
    {
        byte_vector out;
        byte_writer w(out, kind_.data);
        if (kind_.bits == 32) {
            w.field(0, &Elf32_Rela::r_offset, offset);
            w.field(0, &Elf32_Rela::r_info, info);
            w.field(0, &Elf32_Rela::r_addend, static_cast<uint64_t>(addend));
        } else {
            w.field(0, &Elf64_Rela::r_offset, offset);
            w.field(0, &Elf64_Rela::r_info, info);
            w.field(0, &Elf64_Rela::r_addend, static_cast<uint64_t>(addend));
        }
        return out;
    }
    byte_vector dyn(int64_t tag, uint64_t value) const
    {
        byte_vector out;
        byte_writer w(out, kind_.data);
        if (kind_.bits == 32) {
            w.field(0, &Elf32_Dyn::d_tag, static_cast<uint64_t>(tag));
            w.put(offsetof(Elf32_Dyn, d_un), value, sizeof(Elf32_Word));
        } else {
            w.field(0, &Elf64_Dyn::d_tag, static_cast<uint64_t>(tag));
            w.put(offsetof(Elf64_Dyn, d_un), value, sizeof(Elf64_Xword));
        }
        return out;
    }

private:
    template <class Ehdr, class Shdr, class Phdr>
    byte_vector build_class() const
    {
        byte_vector out(sizeof(Ehdr), 0);
        byte_writer w(out, kind_.data);
        const unsigned char ident[] = {ELFMAG0, ELFMAG1, ELFMAG2, ELFMAG3,
                                       static_cast<unsigned char>(kind_.bits == 32 ? ELFCLASS32
                                                                                   : ELFCLASS64),
                                       kind_.data, EV_CURRENT};
        std::memcpy(out.data(), ident, sizeof ident);

        const std::size_t phoff = segments_.empty() ? 0 : sizeof(Ehdr);
        std::size_t cursor = sizeof(Ehdr) + segments_.size() * sizeof(Phdr);
        out.resize(cursor);
        for (std::size_t i = 0; i < segments_.size(); ++i) {
            const auto &s = segments_[i];
            const std::size_t base = phoff + i * sizeof(Phdr);
            w.field(base, &Phdr::p_type, s.type);
            w.field(base, &Phdr::p_flags, s.flags);
            w.field(base, &Phdr::p_offset, s.offset);
            w.field(base, &Phdr::p_vaddr, s.vaddr);
            w.field(base, &Phdr::p_paddr, s.paddr);
            w.field(base, &Phdr::p_filesz, s.filesz);
            w.field(base, &Phdr::p_memsz, s.memsz);
            w.field(base, &Phdr::p_align, s.align);
        }

        std::vector<std::size_t> data_offsets;
        for (const auto &s : sections_) {
            cursor = (cursor + 7) & ~std::size_t{7};
            data_offsets.push_back(cursor);
            if (s.type != SHT_NOBITS) {
                out.resize(cursor + s.data.size());
                std::memcpy(out.data() + cursor, s.data.data(), s.data.size());
                cursor += s.data.size();
            }
        }
        std::string names(1, '\0');
        std::vector<std::size_t> name_offsets;
        for (const auto &s : sections_) {
            name_offsets.push_back(names.size());
            names += s.name;
            names += '\0';
        }
        const std::size_t shstrtab_name = names.size();
        names += ".shstrtab";
        names += '\0';
        const std::size_t shstrtab_offset = cursor;
        out.resize(cursor + names.size());
        std::memcpy(out.data() + cursor, names.data(), names.size());
        cursor += names.size();
        cursor = (cursor + 7) & ~std::size_t{7};

        const std::size_t shoff = cursor;
        const std::size_t shnum = sections_.size() + 2;
        out.resize(shoff + shnum * sizeof(Shdr), 0);
        for (std::size_t i = 0; i < sections_.size(); ++i) {
            const auto &s = sections_[i];
            const std::size_t base = shoff + (i + 1) * sizeof(Shdr);
            w.field(base, &Shdr::sh_name, name_offsets[i]);
            w.field(base, &Shdr::sh_type, s.type);
            w.field(base, &Shdr::sh_flags, s.flags);
            w.field(base, &Shdr::sh_addr, s.addr);
            w.field(base, &Shdr::sh_offset, data_offsets[i]);
            w.field(base, &Shdr::sh_size,
                    s.size_override != UINT64_MAX ? s.size_override : s.data.size());
            w.field(base, &Shdr::sh_link, s.link);
            w.field(base, &Shdr::sh_info, s.info);
            w.field(base, &Shdr::sh_addralign, s.addralign);
            w.field(base, &Shdr::sh_entsize, s.entsize);
        }
        const std::size_t strndx = shnum - 1;
        const std::size_t base = shoff + strndx * sizeof(Shdr);
        w.field(base, &Shdr::sh_name, shstrtab_name);
        w.field(base, &Shdr::sh_type, SHT_STRTAB);
        w.field(base, &Shdr::sh_offset, shstrtab_offset);
        w.field(base, &Shdr::sh_size, names.size());
        w.field(base, &Shdr::sh_addralign, 1);

        w.field(0, &Ehdr::e_type, type);
        w.field(0, &Ehdr::e_machine, machine);
        w.field(0, &Ehdr::e_version, EV_CURRENT);
        w.field(0, &Ehdr::e_entry, entry);
        w.field(0, &Ehdr::e_phoff, phoff);
        w.field(0, &Ehdr::e_shoff, shoff);
        w.field(0, &Ehdr::e_flags, flags);
        w.field(0, &Ehdr::e_ehsize, sizeof(Ehdr));
        w.field(0, &Ehdr::e_phentsize, segments_.empty() ? 0 : sizeof(Phdr));
        w.field(0, &Ehdr::e_phnum, segments_.size());
        w.field(0, &Ehdr::e_shentsize, sizeof(Shdr));
        w.field(0, &Ehdr::e_shnum, shnum);
        w.field(0, &Ehdr::e_shstrndx, strndx);
        return out;
    }

    image_kind kind_;
    std::vector<section_spec> sections_;
    std::vector<segment_spec> segments_;
};

inline byte_vector concat(std::initializer_list<byte_vector> parts)
{
    byte_vector out;
    for (const auto &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

#endif

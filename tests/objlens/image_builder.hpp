// image_builder.hpp - the library tests' view of the shared test ELF writer
// (tests/support/elf_writer.hpp): an image of one of the four kinds with the
// header fields, sections and segments a test names, and the bytes of
// single entries in the image's class and byte order.
#ifndef OBJLENS_TEST_IMAGE_BUILDER_HPP
#define OBJLENS_TEST_IMAGE_BUILDER_HPP

#include <elf.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "image_kinds.hpp"
#include "support/elf_writer.hpp"

using byte_vector = std::vector<unsigned char>;

using section_spec = elftest::Section;

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
    uint32_t add_section(const section_spec &s)
    {
        sections_.push_back(s);
        return static_cast<uint32_t>(sections_.size());
    }
    void add_segment(const segment_spec &s)
    {
        segments_.push_back({.type = s.type,
                             .flags = s.flags,
                             .vaddr = s.vaddr,
                             .paddr = s.paddr,
                             .align = s.align,
                             .offset = s.offset,
                             .filesz = s.filesz,
                             .memsz = s.memsz});
    }

    // The ELF header, program headers, section bytes, ".shstrtab" (the last
    // section), then the section header table.
    byte_vector build() const
    {
        elftest::ElfWriter writer(kind_.bits, kind_.data, machine, type);
        writer.set_entry(entry);
        writer.set_flags(flags);
        for (const auto &s : sections_)
            writer.add_section(s);
        for (const auto &s : segments_)
            writer.add_segment(s);
        return writer.build().bytes;
    }

    byte_vector sym(uint32_t name, uint64_t value, uint64_t size, unsigned char info,
                    unsigned char other, uint16_t shndx) const
    {
        const elftest::Symbol symbol{.value = value,
                                     .size = size,
                                     .bind = static_cast<unsigned char>(ELF32_ST_BIND(info)),
                                     .type = static_cast<unsigned char>(ELF32_ST_TYPE(info)),
                                     .other = other,
                                     .shndx = shndx};
        return elftest::encode_sym(kind_.bits, kind_.data, symbol, name);
    }
    // r_info is given whole, as the class packs it.
    byte_vector rel(uint64_t offset, uint64_t info) const
    {
        return elftest::encode_rel(kind_.bits, kind_.data, reloc(offset, info, 0), false);
    }
    byte_vector rela(uint64_t offset, uint64_t info, int64_t addend) const
    {
        return elftest::encode_rel(kind_.bits, kind_.data, reloc(offset, info, addend), true);
    }
    byte_vector dyn(int64_t tag, uint64_t value) const
    {
        return elftest::encode_dyn(kind_.bits, kind_.data, {.tag = tag, .val = value});
    }

private:
    elftest::Reloc reloc(uint64_t offset, uint64_t info, int64_t addend) const
    {
        const bool is32 = kind_.bits == 32;
        return {.offset = offset,
                .sym = static_cast<uint32_t>(is32 ? ELF32_R_SYM(info) : ELF64_R_SYM(info)),
                .type = static_cast<uint32_t>(is32 ? ELF32_R_TYPE(info) : ELF64_R_TYPE(info)),
                .addend = addend};
    }

    image_kind kind_;
    std::vector<elftest::Section> sections_;
    std::vector<elftest::Segment> segments_;
};

inline byte_vector concat(std::initializer_list<byte_vector> parts)
{
    byte_vector out;
    for (const auto &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

#endif

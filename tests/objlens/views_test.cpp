// views_test.cpp - section, program header, dynamic, relocation and symbol
// views on images built in memory, in all four kinds of image.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "image_kinds.hpp"

namespace {

class Views : public testing::TestWithParam<image_kind> {
protected:
    static bool is32() { return GetParam().bits == 32; }
    static elftest::ElfWriter builder() { return elftest::writer(GetParam()); }

    // Loads the image and opens a view of section `index`.
    objlens_section open(const elftest::ElfWriter &b, uint32_t index)
    {
        bytes_ = b.build().bytes;
        image_ = std::make_unique<loaded_image>(bytes_);
        EXPECT_EQ(image_->status(), 0);
        objlens_section view{};
        EXPECT_EQ(objlens_get_section(image_->get(), &view, index), 0);
        return view;
    }
    objlens_image *image() { return image_->get(); }

    byte_vector bytes_;
    std::unique_ptr<loaded_image> image_;
};

TEST_P(Views, SectionHeaderFieldsAndIdentity)
{
    auto b = builder();
    b.add_section({.name = ".text"});
    const uint32_t index = b.add_section({.name = ".rodata.cst",
                                          .type = SHT_PROGBITS,
                                          .flags = SHF_ALLOC | SHF_EXECINSTR,
                                          .addr = 0x80004000,
                                          .link = 7,
                                          .info = 0x80000001,
                                          .addralign = 16,
                                          .entsize = 4,
                                          .data = byte_vector(12, 0xcc)});
    objlens_section s = open(b, index);
    EXPECT_EQ(objlens_section_get_index(&s), index);
    EXPECT_EQ(objlens_section_get_orig_index(&s), index);
    EXPECT_STREQ(objlens_section_get_name_str(&s), ".rodata.cst");
    EXPECT_EQ(objlens_section_get_name_str(&s), objlens_section_get_name_str(&s));
    EXPECT_EQ(objlens_section_get_name_offs(&s), 7u);  // after "\0.text\0"
    EXPECT_EQ(objlens_section_get_type(&s), uint32_t{SHT_PROGBITS});
    EXPECT_EQ(objlens_section_get_flags(&s), 6u);
    EXPECT_EQ(objlens_section_get_addr(&s), 0x80004000u);
    EXPECT_EQ(objlens_section_get_offset(&s) % 8, 0u);
    EXPECT_EQ(objlens_section_get_size(&s), 12u);
    EXPECT_EQ(objlens_section_get_link(&s), 7u);
    EXPECT_EQ(objlens_section_get_info(&s), 0x80000001u);
    EXPECT_EQ(objlens_section_get_addralign(&s), 16u);
    EXPECT_EQ(objlens_section_get_entsize(&s), 4u);
    EXPECT_EQ(objlens_section_data_size(&s), 12u);
    EXPECT_EQ(0, std::memcmp(bytes_.data() + objlens_section_get_offset(&s),
                             byte_vector(12, 0xcc).data(), 12));
    // The same answers through the table's own slots.
    EXPECT_EQ(s.ops->get_addr(&s), objlens_section_get_addr(&s));
    EXPECT_EQ(s.ops->get_info(&s), objlens_section_get_info(&s));
    EXPECT_EQ(s.ops->data_size(&s), 12u);
}

TEST_P(Views, DataSizeIsTheBackendsNotShSize)
{
    auto b = builder();
    const uint32_t bss = b.add_section({.name = ".bss", .type = SHT_NOBITS, .nobits_size = 0x1000});
    objlens_section s = open(b, bss);
    EXPECT_EQ(objlens_section_get_size(&s), 0x1000u);
    EXPECT_EQ(objlens_section_data_size(&s), 0u);
    unsigned char buffer[4];
    EXPECT_EQ(objlens_section_data_read(&s, buffer, 0, 4, 1), 0u);
}

TEST_P(Views, DataReadClampsOnlyWhenAsked)
{
    byte_vector data(100);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<unsigned char>(i);
    auto b = builder();
    const uint32_t index = b.add_section({.name = ".data", .data = data});
    objlens_section s = open(b, index);

    unsigned char buffer[32];
    std::memset(buffer, 0xee, sizeof buffer);
    EXPECT_EQ(objlens_section_data_read(&s, buffer, 90, 20, 1), 10u);
    EXPECT_EQ(0, std::memcmp(buffer, data.data() + 90, 10));
    EXPECT_EQ(buffer[10], 0xee);
    EXPECT_EQ(objlens_section_data_read(&s, buffer, 90, 20, 0), 0u);
    EXPECT_EQ(objlens_section_data_read(&s, buffer, 80, 20, 0), 20u);
    EXPECT_EQ(0, std::memcmp(buffer, data.data() + 80, 20));
    for (int clamp : {0, 1})
        for (uint32_t count : {0u, 1u, 20u}) {
            EXPECT_EQ(objlens_section_data_read(&s, buffer, 100, count, clamp), 0u);
            EXPECT_EQ(objlens_section_data_read(&s, buffer, UINT32_MAX, count, clamp), 0u);
        }
    EXPECT_EQ(objlens_section_data_read(&s, buffer, 0, 0, 0), 0u);
    EXPECT_EQ(objlens_section_data_read(&s, buffer, 99, UINT32_MAX, 0), 0u);
    EXPECT_EQ(objlens_section_data_read(&s, buffer, 99, UINT32_MAX, 1), 1u);
}

TEST_P(Views, DataReadNameFindsTerminatedStringsOnly)
{
    const std::string strings("\0first\0second\0unterminated", 26);
    auto b = builder();
    const uint32_t index = b.add_section({.name = ".strtab",
                                          .type = SHT_STRTAB,
                                          .data = byte_vector(strings.begin(), strings.end())});
    objlens_section s = open(b, index);
    const char *name = nullptr;
    ASSERT_EQ(objlens_section_data_readname(&s, 1, &name), 0);
    EXPECT_STREQ(name, "first");
    ASSERT_EQ(objlens_section_data_readname(&s, 9, &name), 0);
    EXPECT_STREQ(name, "cond");
    ASSERT_EQ(objlens_section_data_readname(&s, 0, &name), 0);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(objlens_section_data_readname(&s, 14, &name), -1);  // "unterminated"
    EXPECT_EQ(objlens_section_data_readname(&s, strings.size(), &name), -1);
    EXPECT_EQ(objlens_section_data_readname(&s, SIZE_MAX, &name), -1);
}

TEST_P(Views, ProgramHeaderFields)
{
    auto b = builder();
    b.set_type(ET_EXEC);
    b.add_segment({.type = PT_LOAD,
                   .flags = PF_R | PF_X,
                   .offset = 0x40,
                   .vaddr = 0x80000040,
                   .paddr = 0x40,
                   .filesz = 0x100,
                   .memsz = 0x80000000,
                   .align = 0x10000});
    bytes_ = b.build().bytes;
    loaded_image image(bytes_);
    ASSERT_EQ(image.status(), 0);
    objlens_program p;
    ASSERT_EQ(objlens_get_program(image.get(), &p, 0), 0);
    EXPECT_EQ(objlens_program_get_type(&p), uint32_t{PT_LOAD});
    EXPECT_EQ(objlens_program_get_flags(&p), uint32_t{PF_R | PF_X});
    EXPECT_EQ(p.ops->get_flags(&p), uint32_t{PF_R | PF_X});  // second slot in both classes
    EXPECT_EQ(objlens_program_get_offset(&p), 0x40u);
    EXPECT_EQ(objlens_program_get_vaddr(&p), 0x80000040u);
    EXPECT_EQ(objlens_program_get_paddr(&p), 0x40u);
    EXPECT_EQ(objlens_program_get_filesz(&p), 0x100u);
    EXPECT_EQ(objlens_program_get_memsz(&p), 0x80000000u);
    EXPECT_EQ(objlens_program_get_align(&p), 0x10000u);
}

TEST_P(Views, DynamicEntries)
{
    auto b = builder();
    const int dyn_size = is32() ? 8 : 16;
    byte_vector entries;
    for (int i = 0; i < 9; ++i)
        entries = concat({entries, b.dyn(DT_NEEDED, 0x100u + i)});
    // A processor-specific tag with the top bit set, and a value with it set.
    const int64_t high_tag = is32() ? static_cast<int32_t>(0x80000010u) : INT64_MIN + 0x10;
    const uint64_t high_val = is32() ? 0x80000000u : 0x8000000000000000u;
    entries = concat({entries, b.dyn(high_tag, high_val)});
    const uint32_t dynamic = b.add_section({.name = ".dynamic",
                                            .type = SHT_DYNAMIC,
                                            .entsize = static_cast<uint64_t>(dyn_size),
                                            .data = entries});
    const uint32_t no_entsize =
        b.add_section({.name = ".dynamic0", .type = SHT_DYNAMIC, .data = entries});
    const uint32_t wrong_entsize = b.add_section({.name = ".dynamic2",
                                                  .type = SHT_DYNAMIC,
                                                  .entsize = static_cast<uint64_t>(is32() ? 16 : 8),
                                                  .data = entries});
    const uint32_t cut = b.add_section(
        {.name = ".dynamic3",
         .type = SHT_DYNAMIC,
         .entsize = static_cast<uint64_t>(dyn_size),
         .data = byte_vector(entries.begin(), entries.begin() + 2 * std::ptrdiff_t{dyn_size} + 4)});
    const uint32_t empty = b.add_section(
        {.name = ".dynamic4", .type = SHT_DYNAMIC, .entsize = static_cast<uint64_t>(dyn_size)});
    const uint32_t progbits = b.add_section(
        {.name = ".notdyn", .entsize = static_cast<uint64_t>(dyn_size), .data = entries});
    objlens_section s = open(b, dynamic);
    EXPECT_EQ(objlens_section_is_dynamic(&s), 1);
    for (uint32_t other : {no_entsize, wrong_entsize, progbits}) {
        objlens_section o;
        ASSERT_EQ(objlens_get_section(image(), &o, other), 0);
        EXPECT_EQ(objlens_section_is_dynamic(&o), 0) << other;
    }

    objlens_dyn d{};
    ASSERT_EQ(objlens_section_get_dyn(&s, &d, 0), 0);
    EXPECT_EQ(d.ops, is32() ? &objlens_ops_dyn_32 : &objlens_ops_dyn_64);
    EXPECT_EQ(d.section, &s);
    EXPECT_EQ(d.image, image());
    EXPECT_EQ(objlens_dyn_get_tag(&d), DT_NEEDED);
    EXPECT_EQ(objlens_dyn_get_val(&d), 0x100u);

    ASSERT_EQ(objlens_section_get_dyn(&s, &d, 9), 0);
    EXPECT_EQ(d.offset, is32() ? 72u : 144u);
    EXPECT_EQ(objlens_dyn_get_tag(&d), high_tag);
    EXPECT_LT(objlens_dyn_get_tag(&d), 0);
    EXPECT_EQ(objlens_dyn_get_val(&d), high_val);
    EXPECT_EQ(objlens_dyn_get_ptr(&d), high_val);
    EXPECT_EQ(d.ops->get_ptr(&d), d.ops->get_val(&d));

    // A failed fill leaves the record as it was.
    const objlens_dyn before = d;
    EXPECT_EQ(objlens_section_get_dyn(&s, &d, 10), -1);
    EXPECT_EQ(d.ops, before.ops);
    EXPECT_EQ(d.section, before.section);
    EXPECT_EQ(d.image, before.image);
    EXPECT_EQ(d.offset, before.offset);

    objlens_dyn by_offset{};
    ASSERT_EQ(objlens_section_get_dyn_offs(&s, &by_offset, dyn_size), 0);
    ASSERT_EQ(objlens_section_get_dyn(&s, &d, 1), 0);
    EXPECT_EQ(by_offset.offset, d.offset);
    EXPECT_EQ(0, std::memcmp(by_offset.entry, d.entry, dyn_size));

    objlens_section c;
    ASSERT_EQ(objlens_get_section(image(), &c, cut), 0);
    EXPECT_EQ(objlens_section_get_dyn(&c, &d, 1), 0);
    EXPECT_EQ(objlens_section_get_dyn(&c, &d, 2), -1);  // cut off by the end of the data
    ASSERT_EQ(objlens_get_section(image(), &c, empty), 0);
    EXPECT_EQ(objlens_section_get_dyn(&c, &d, 0), -1);
}

TEST_P(Views, RelocationsSplitInfoByTheClassRule)
{
    auto b = builder();
    byte_vector rels;
    byte_vector relas;
    if (is32()) {
        rels = concat({b.rel(0x1000, 0xa07), b.rel(0x80000004, (300u << 8) | 255u)});
        relas = concat({b.rela(0x2000, 0xa07, -4), b.rela(0x2004, (300u << 8) | 255u, 0x7fffffff)});
    } else {
        rels = concat({b.rel(0x1000, (uint64_t{5} << 32) | 2),
                       b.rel(0x8000000000000004, (uint64_t{300} << 32) | 0xffffffffu)});
        relas = concat({b.rela(0x2000, (uint64_t{5} << 32) | 2, -4),
                        b.rela(0x2004, (uint64_t{300} << 32) | 0xffffffffu, INT64_MIN)});
    }
    const uint32_t rel = b.add_section({.name = ".rel.text", .type = SHT_REL, .data = rels});
    const uint32_t rela = b.add_section({.name = ".rela.text", .type = SHT_RELA, .data = relas});
    objlens_section s = open(b, rel);
    objlens_section sa;
    ASSERT_EQ(objlens_get_section(image(), &sa, rela), 0);

    objlens_rel r{};
    ASSERT_EQ(objlens_section_get_rel(&s, &r, 0), 0);
    EXPECT_EQ(r.ops, is32() ? &objlens_ops_rel_32 : &objlens_ops_rel_64);
    EXPECT_EQ(objlens_rel_get_offset(&r), 0x1000u);
    EXPECT_EQ(objlens_rel_has_addend(&r), 0);
    EXPECT_EQ(objlens_rel_get_addend(&r), 0);
    EXPECT_EQ(objlens_rel_get_r_sym(&r), is32() ? 10u : 5u);
    EXPECT_EQ(objlens_rel_get_r_type(&r), is32() ? 7u : 2u);

    ASSERT_EQ(objlens_section_get_rel(&s, &r, 1), 0);
    EXPECT_EQ(objlens_rel_get_offset(&r), is32() ? 0x80000004u : 0x8000000000000004u);
    EXPECT_EQ(objlens_rel_get_r_sym(&r), 300u);
    EXPECT_EQ(objlens_rel_get_r_type(&r), is32() ? 255u : 0xffffffffu);
    EXPECT_EQ(r.ops->get_r_type(&r), objlens_rel_get_r_type(&r));
    EXPECT_EQ(objlens_rel_get_info(&r),
              is32() ? (300u << 8) | 255u : (uint64_t{300} << 32) | 0xffffffffu);
    EXPECT_EQ(objlens_section_get_rel(&s, &r, 2), -1);

    ASSERT_EQ(objlens_section_get_rela(&sa, &r, 0), 0);
    EXPECT_EQ(r.ops, is32() ? &objlens_ops_rela_32 : &objlens_ops_rela_64);
    EXPECT_EQ(objlens_rel_has_addend(&r), 1);
    EXPECT_EQ(objlens_rel_get_addend(&r), -4);
    EXPECT_EQ(objlens_rel_get_r_sym(&r), is32() ? 10u : 5u);
    ASSERT_EQ(objlens_section_get_rela(&sa, &r, 1), 0);
    EXPECT_EQ(objlens_rel_get_addend(&r), is32() ? 0x7fffffff : INT64_MIN);
    EXPECT_EQ(r.offset, is32() ? 12u : 24u);
    objlens_rel by_offset{};
    ASSERT_EQ(objlens_section_get_rela_offs(&sa, &by_offset, is32() ? 12 : 24), 0);
    EXPECT_EQ(0, std::memcmp(by_offset.entry, r.entry, is32() ? 12 : 24));
    EXPECT_EQ(objlens_section_get_rela(&sa, &r, 2), -1);

    // Read at the Rel stride, a Rela section gives entries from the middle
    // of the first one: the caller chooses the form.
    ASSERT_EQ(objlens_section_get_rel(&sa, &r, 1), 0);
    EXPECT_EQ(r.offset, is32() ? 8u : 16u);
    EXPECT_EQ(objlens_rel_has_addend(&r), 0);
}

TEST_P(Views, SymbolsAndTheirNames)
{
    auto b = builder();
    const std::string names("\0main\0counter\0", 14);
    const uint32_t strtab = b.add_section(
        {.name = ".strtab", .type = SHT_STRTAB, .data = byte_vector(names.begin(), names.end())});
    const unsigned char global_func = ELF32_ST_INFO(STB_GLOBAL, STT_FUNC);
    const unsigned char local_object = ELF32_ST_INFO(STB_LOCAL, STT_OBJECT);
    const byte_vector symbols = concat({
        b.sym(0, 0, 0, 0, 0, 0),
        b.sym(1, 0x80001000, 0x40, global_func, STV_HIDDEN, 1),
        b.sym(6, 0x20, 8, local_object, 0, SHN_COMMON),
        b.sym(6, 0x1234, 0, local_object, 0, SHN_ABS),
        b.sym(1, 0xfffffff0, 0xffffffff, global_func, STV_PROTECTED, 0xff00),
    });
    const uint32_t symtab = b.add_section({.name = ".symtab",
                                           .type = SHT_SYMTAB,
                                           .link = strtab,
                                           .info = 1,
                                           .entsize = static_cast<uint64_t>(is32() ? 16 : 24),
                                           .data = symbols});
    objlens_section s = open(b, symtab);
    objlens_section names_view;
    ASSERT_EQ(objlens_get_section(image(), &names_view, objlens_section_get_link(&s)), 0);

    objlens_sym sym{};
    ASSERT_EQ(objlens_section_get_sym(&s, &sym, 0), 0);
    EXPECT_EQ(sym.ops, is32() ? &objlens_ops_sym_32 : &objlens_ops_sym_64);
    EXPECT_EQ(objlens_sym_get_name_offs(&sym), 0u);
    EXPECT_EQ(objlens_sym_get_value(&sym), 0u);
    EXPECT_EQ(objlens_sym_get_size(&sym), 0u);
    EXPECT_EQ(objlens_sym_get_info(&sym), 0);
    EXPECT_EQ(objlens_sym_get_other(&sym), 0);
    EXPECT_EQ(objlens_sym_get_shndx(&sym), 0);

    ASSERT_EQ(objlens_section_get_sym(&s, &sym, 1), 0);
    const char *name = nullptr;
    ASSERT_EQ(objlens_section_data_readname(&names_view, objlens_sym_get_name_offs(&sym), &name),
              0);
    EXPECT_STREQ(name, "main");
    EXPECT_EQ(objlens_sym_get_info(&sym), 0x12);
    EXPECT_EQ(objlens_sym_get_other(&sym), STV_HIDDEN);
    EXPECT_EQ(objlens_sym_get_value(&sym), 0x80001000u);
    EXPECT_EQ(objlens_sym_get_size(&sym), 0x40u);
    EXPECT_EQ(objlens_sym_get_shndx(&sym), 1);
    EXPECT_EQ(sym.ops->get_value(&sym), 0x80001000u);

    ASSERT_EQ(objlens_section_get_sym(&s, &sym, 2), 0);
    EXPECT_EQ(objlens_sym_get_shndx(&sym), SHN_COMMON);
    ASSERT_EQ(objlens_section_get_sym(&s, &sym, 3), 0);
    EXPECT_EQ(objlens_sym_get_shndx(&sym), SHN_ABS);

    ASSERT_EQ(objlens_section_get_sym(&s, &sym, 4), 0);
    EXPECT_EQ(sym.offset, is32() ? 64u : 96u);
    EXPECT_EQ(objlens_sym_get_value(&sym), 0xfffffff0u);
    EXPECT_EQ(objlens_sym_get_size(&sym), 0xffffffffu);
    EXPECT_EQ(objlens_sym_get_shndx(&sym), 0xff00);
    EXPECT_EQ(objlens_sym_get_other(&sym), STV_PROTECTED);
    EXPECT_EQ(objlens_section_get_sym(&s, &sym, 5), -1);

    objlens_sym by_offset{};
    ASSERT_EQ(objlens_section_get_sym_offs(&s, &by_offset, is32() ? 16 : 24), 0);
    ASSERT_EQ(objlens_section_get_sym(&s, &sym, 1), 0);
    EXPECT_EQ(by_offset.offset, sym.offset);
    EXPECT_EQ(0, std::memcmp(by_offset.entry, sym.entry, is32() ? 16 : 24));
}

TEST_P(Views, AnIndexWhoseOffsetWouldWrapIsRefused)
{
    auto b = builder();
    const uint32_t symtab =
        b.add_section({.name = ".symtab",
                       .type = SHT_SYMTAB,
                       .data = concat({b.sym(1, 0x10, 0, 0, 0, 0), b.sym(2, 0x20, 0, 0, 0, 0)})});
    objlens_section s = open(b, symtab);
    objlens_sym sym{};
    // 0x10000000 * 16 is 2^32 and 0x0aaaaaab * 24 is 2^32 + 8: in 32-bit
    // arithmetic both would land on an entry inside the data.
    const uint32_t wrapping = is32() ? 0x10000000u : 0x0aaaaaabu;
    EXPECT_EQ(objlens_section_get_sym(&s, &sym, wrapping), -1);
    objlens_rel rel{};
    EXPECT_EQ(objlens_section_get_rel(&s, &rel, is32() ? 0x20000000u : 0x10000000u), -1);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, Views, testing::ValuesIn(all_kinds), kind_name);

}  // namespace

// inline_test.cpp - the header's inline forms give what the exported
// functions give, on real images of both classes and byte orders.
//
// The other library tests are built with OBJLENS_NO_INLINE, so they check
// the exported functions; this one is built without it and calls each
// function both ways: as written (the inline form) and in parentheses (the
// exported function).
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "objkit.h"
#include "objlens.h"

#ifdef OBJLENS_NO_INLINE
#error "this test checks the inline forms"
#endif

namespace {

// Both forms of one call must agree.
#define BOTH(fn, ...) EXPECT_EQ(fn(__VA_ARGS__), (fn)(__VA_ARGS__)) << #fn

void check_section(const objlens_section *s)
{
    BOTH(objlens_section_get_index, s);
    BOTH(objlens_section_get_orig_index, s);
    BOTH(objlens_section_get_name_str, s);
    BOTH(objlens_section_get_name_offs, s);
    BOTH(objlens_section_get_type, s);
    BOTH(objlens_section_get_flags, s);
    BOTH(objlens_section_get_addr, s);
    BOTH(objlens_section_get_offset, s);
    BOTH(objlens_section_get_size, s);
    BOTH(objlens_section_get_link, s);
    BOTH(objlens_section_get_info, s);
    BOTH(objlens_section_get_addralign, s);
    BOTH(objlens_section_get_entsize, s);
    BOTH(objlens_section_data_size, s);
    unsigned char a[8] = {0};
    unsigned char b[8] = {0};
    EXPECT_EQ(objlens_section_data_read(s, a, 0, sizeof a, 1),
              (objlens_section_data_read)(s, b, 0, sizeof b, 1));
    EXPECT_EQ(std::string(a, a + sizeof a), std::string(b, b + sizeof b));
    for (size_t offset : {size_t{0}, size_t{1}, size_t{7}}) {
        const char *inline_name = nullptr;
        const char *exported_name = nullptr;
        EXPECT_EQ(objlens_section_data_readname(s, offset, &inline_name),
                  (objlens_section_data_readname)(s, offset, &exported_name));
        EXPECT_EQ(inline_name, exported_name);
    }
}

void check_entries(const objlens_section *s, const objlens_image *image)
{
    const uint32_t type = objlens_section_get_type(s);
    const uint64_t entsize = objlens_section_get_entsize(s);
    const uint32_t count =
        entsize == 0 ? 0 : static_cast<uint32_t>(objlens_section_get_size(s) / entsize);
    for (uint32_t i = 0; i < count && i < 200; ++i) {
        if (type == SHT_SYMTAB || type == SHT_DYNSYM) {
            objlens_sym sym{};
            ASSERT_EQ(objlens_section_get_sym(s, &sym, i), 0);
            BOTH(objlens_sym_get_name_offs, &sym);
            BOTH(objlens_sym_get_shndx, &sym);
            BOTH(objlens_sym_get_info, &sym);
            BOTH(objlens_sym_get_other, &sym);
            BOTH(objlens_sym_get_value, &sym);
            BOTH(objlens_sym_get_size, &sym);
        } else if (type == SHT_REL || type == SHT_RELA) {
            objlens_rel rel{};
            ASSERT_EQ(type == SHT_RELA ? objlens_section_get_rela(s, &rel, i)
                                       : objlens_section_get_rel(s, &rel, i),
                      0);
            BOTH(objlens_rel_get_offset, &rel);
            BOTH(objlens_rel_get_info, &rel);
            BOTH(objlens_rel_get_r_sym, &rel);
            BOTH(objlens_rel_get_r_type, &rel);
            BOTH(objlens_rel_has_addend, &rel);
            BOTH(objlens_rel_get_addend, &rel);
        } else if (type == SHT_DYNAMIC) {
            objlens_dyn dyn{};
            ASSERT_EQ(objlens_section_get_dyn(s, &dyn, i), 0);
            BOTH(objlens_dyn_get_tag, &dyn);
            BOTH(objlens_dyn_get_val, &dyn);
            BOTH(objlens_dyn_get_ptr, &dyn);
        }
    }
    (void)image;
}

class InlineForms : public testing::TestWithParam<const char *> {};

TEST_P(InlineForms, AgreeWithTheExportedFunctions)
{
    const std::string path = std::string(OBJLENS_FIXTURES) + "/" + GetParam();
    objkit_source source = objkit_source_file(path.c_str());
    objlens_image image{};
    ASSERT_EQ(objlens_load(&image, &source), 0) << path;
    uint32_t entry_sections = 0;
    for (uint32_t i = 0; i < objlens_get_num_of_sections(&image); ++i) {
        objlens_section s{};
        ASSERT_EQ(objlens_get_section(&image, &s, i), 0);
        check_section(&s);
        check_entries(&s, &image);
        const uint32_t type = objlens_section_get_type(&s);
        entry_sections +=
            type == SHT_DYNSYM || type == SHT_RELA || type == SHT_REL || type == SHT_DYNAMIC;
    }
    EXPECT_GE(entry_sections, 3u)
        << "the fixture should have symbols, relocations and dynamic entries";
    for (uint32_t i = 0; i < objlens_get_num_of_programs(&image); ++i) {
        objlens_program p{};
        ASSERT_EQ(objlens_get_program(&image, &p, i), 0);
        BOTH(objlens_program_get_type, &p);
        BOTH(objlens_program_get_flags, &p);
        BOTH(objlens_program_get_offset, &p);
        BOTH(objlens_program_get_vaddr, &p);
        BOTH(objlens_program_get_paddr, &p);
        BOTH(objlens_program_get_filesz, &p);
        BOTH(objlens_program_get_memsz, &p);
        BOTH(objlens_program_get_align, &p);
    }
    objlens_unload(&image);
}

// Little- and big-endian images of both classes, with REL and RELA.
INSTANTIATE_TEST_SUITE_P(Fixtures, InlineForms,
                         testing::Values("x86_64.so", "i386.so", "powerpc.so", "powerpc64.so",
                                         "mips.so", "aarch64.so"));

}  // namespace

// test_elf_writer.cpp - the tests' ELF writer makes images readelf accepts.
//
// Other tests trust the writer's images to be what they say; this checks
// them against readelf for every class and byte order: no complaints, and
// the sections, program headers, symbols, relocations and dynamic entries
// where the writer says it put them.
#include "readelf.hpp"
#include "support/elf_writer.hpp"
#include "support/image_kinds.hpp"
#include "test_util.hpp"

#include <gtest/gtest.h>

namespace objkit_test {
namespace {

using elftest::Eh;
using elftest::Sh;

using Combo = elftest::ImageKind;

class ElfWriterOutput : public testing::TestWithParam<Combo> {};

elftest::Image rich_image(Combo c, bool extended_sections, bool extended_programs = false)
{
    elftest::ElfWriter w(c.bits, c.data, c.bits == 64 ? EM_AARCH64 : EM_ARM, ET_DYN);
    w.options().extended_shnum = extended_sections;
    w.options().extended_shstrndx = extended_sections;
    w.options().extended_phnum = extended_programs;
    const uint32_t text = w.add_section({.name = ".text",
                                         .flags = SHF_ALLOC | SHF_EXECINSTR,
                                         .addr = 0x1000,
                                         .addralign = 4,
                                         .data = Bytes(32, 0)});
    const uint32_t bss = w.add_section({.name = ".bss",
                                        .type = SHT_NOBITS,
                                        .flags = SHF_ALLOC | SHF_WRITE,
                                        .addr = 0x2000,
                                        .addralign = 8,
                                        .nobits_size = 16});
    const uint32_t symtab = w.add_symtab(
        ".symtab",
        {{.name = "file.c", .bind = STB_LOCAL, .type = STT_FILE, .shndx = SHN_ABS},
         {.name = "start", .value = 0x1000, .size = 8, .type = STT_FUNC, .shndx = uint16_t(text)},
         {.name = "counter",
          .value = 0x2000,
          .size = 4,
          .bind = STB_WEAK,
          .type = STT_OBJECT,
          .shndx = uint16_t(bss)}});
    w.add_relocations(".rel.text", SHT_REL, symtab, text, {{.offset = 4, .sym = 2, .type = 1}});
    w.add_relocations(".rela.text", SHT_RELA, symtab, text,
                      {{.offset = 8, .sym = 3, .type = 2, .addend = -8},
                       {.offset = 12, .sym = 2, .type = 1, .addend = 16}});
    elftest::StringTable dynstr;
    const uint32_t needed = dynstr.add("libneeded.so.2");
    const uint32_t soname = dynstr.add("libself.so.1");
    const uint32_t dynstr_index = w.add_strtab(".dynstr", dynstr, SHF_ALLOC);
    const uint32_t dynamic = w.add_dynamic({{DT_NEEDED, needed}, {DT_SONAME, soname}, {DT_NULL, 0}},
                                           dynstr_index, 0x3000);
    w.add_segment({.type = PT_LOAD,
                   .flags = PF_R | PF_X,
                   .vaddr = 0x1000,
                   .first_section = text,
                   .last_section = text});
    w.add_segment({.type = PT_LOAD,
                   .flags = PF_R | PF_W,
                   .vaddr = 0x2000,
                   .first_section = bss,
                   .last_section = bss});
    w.add_segment({.type = PT_LOAD,
                   .flags = PF_R | PF_W,
                   .vaddr = 0x3000,
                   .first_section = dynamic,
                   .last_section = dynamic});
    w.add_segment({.type = PT_DYNAMIC,
                   .flags = PF_R | PF_W,
                   .vaddr = 0x3000,
                   .align = 8,
                   .first_section = dynamic,
                   .last_section = dynamic});
    return w.build();
}

TEST_P(ElfWriterOutput, ReadelfAgreesWithTheLayout)
{
    TempDir dir;
    for (bool extended : {false, true}) {
        SCOPED_TRACE(extended ? "extended numbering" : "plain numbering");
        const elftest::Image image = rich_image(GetParam(), extended);
        const std::string path = dir.file("image.elf");
        ASSERT_TRUE(image.write_to(path));

        const std::optional<ReadelfReport> report = readelf(path, true);
        ASSERT_TRUE(report.has_value());
        EXPECT_TRUE(report->complaints.empty()) << report->complaints.front();
        EXPECT_EQ(report->elf_class, GetParam().bits == 32 ? "ELF32" : "ELF64");
        EXPECT_EQ(report->big_endian, GetParam().data == ELFDATA2MSB);
        ASSERT_EQ(report->section_count, image.shnum);
        ASSERT_EQ(report->sections.size(), image.shnum);
        for (uint32_t i = 0; i < image.shnum; ++i) {
            EXPECT_EQ(report->sections[i].name, image.section_name[i]);
            EXPECT_EQ(report->sections[i].offset, image.section_offset[i]);
        }
        ASSERT_EQ(report->program_count, image.phnum);
        EXPECT_EQ(report->programs.at(3).type, "DYNAMIC");
        EXPECT_EQ(report->programs.at(0).offset, image.section_offset[1]);

        const std::optional<std::string> listing =
            run_and_capture({"readelf", "-W", "-s", "-r", "-d", path});
        ASSERT_TRUE(listing.has_value());
        EXPECT_EQ(listing->find("readelf:"), std::string::npos) << *listing;
        for (const char *text : {"file.c", " start", " counter", "WEAK", "FILE", "[libneeded.so.2]",
                                 "[libself.so.1]", "'.rel.text' at offset", "contains 1 entry",
                                 "'.rela.text' at offset", "contains 2 entries"})
            EXPECT_NE(listing->find(text), std::string::npos) << text << "\n" << *listing;
    }
}

// readelf 2.40 reads PN_XNUM for its header listing but complains about
// 0xffff program headers elsewhere, so only the counts are compared here.
TEST_P(ElfWriterOutput, ReadelfReadsTheExtendedProgramHeaderCount)
{
    TempDir dir;
    const elftest::Image image = rich_image(GetParam(), true, true);
    ASSERT_EQ(image.get(Eh::phnum), PN_XNUM);
    ASSERT_TRUE(image.write_to(dir.file("image.elf")));
    const std::optional<ReadelfReport> report = readelf(dir.file("image.elf"), false);
    ASSERT_TRUE(report.has_value());
    EXPECT_EQ(report->program_count, image.phnum);
    EXPECT_EQ(report->section_count, image.shnum);
}

TEST_P(ElfWriterOutput, FieldsReadBackAsSet)
{
    elftest::Image image = rich_image(GetParam(), false);
    image.set(Eh::entry, 0x1234);
    image.set(2, Sh::addralign, 64);
    EXPECT_EQ(image.get(Eh::entry), 0x1234u);
    EXPECT_EQ(image.get(2, Sh::addralign), 64u);
    EXPECT_EQ(image.get(Eh::ident_data), static_cast<uint64_t>(GetParam().data));
    const size_t at = elftest::place_of(Eh::machine, GetParam().bits).offset;
    const uint16_t machine = GetParam().bits == 64 ? EM_AARCH64 : EM_ARM;
    EXPECT_EQ(image.bytes[at], GetParam().data == ELFDATA2MSB ? machine >> 8 : machine & 0xff);
    EXPECT_THROW(image.set(image.shnum, Sh::name, 1), std::out_of_range);
}

INSTANTIATE_TEST_SUITE_P(AllCombinations, ElfWriterOutput, testing::ValuesIn(elftest::all_kinds),
                         elftest::kind_name);

}  // namespace
}  // namespace objkit_test

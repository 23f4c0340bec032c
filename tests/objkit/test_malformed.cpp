// test_malformed.cpp - damaged and unusual images, accepted or refused as
// objkit.h documents, for both classes and both byte orders.
//
// Every image here comes from the in-memory writer: a sound base image is
// built, then cut or patched.  Whatever a load accepts must be wholly
// usable: every record reads, and every data read stays inside the source.
#include "any_image.hpp"
#include "support/elf_writer.hpp"
#include "support/image_kinds.hpp"
#include "test_util.hpp"

#include <gtest/gtest.h>

#include <cerrno>

#include <set>
#include <sys/stat.h>

namespace objkit_test {
namespace {

using elftest::Eh;
using elftest::Ph;
using elftest::Sh;

using Combo = elftest::ImageKind;

Bytes pattern(size_t size, unsigned char seed)
{
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<unsigned char>(seed + i * 7);
    return bytes;
}

// The reason a source cut at `cut` is refused with: what it lacks first.
// Past the ELF header either table may be the one found cut, so a table
// reason is taken as it was given.
int reason_for_cut(uint64_t cut, uint64_t ehdr, bool tables_inside, int given)
{
    if (cut == 0)
        return OBJKIT_REASON_EMPTY;
    if (cut < SELFMAG)
        return OBJKIT_REASON_NOT_ELF;
    if (cut < ehdr)
        return OBJKIT_REASON_TRUNCATED;
    if (tables_inside)
        return OBJKIT_REASON_NONE;
    return given == OBJKIT_REASON_PROGRAM_TABLE ? given : OBJKIT_REASON_SECTION_TABLE;
}

// Section indices of the base image.
enum : uint32_t { text = 1, data = 2, bss = 3 };

elftest::ElfWriter base_writer(Combo c, bool headers_first = false)
{
    elftest::ElfWriter w(c.bits, c.data, c.bits == 64 ? EM_X86_64 : EM_386, ET_DYN);
    w.options().section_headers_first = headers_first;
    w.add_section({.name = ".text",
                   .type = SHT_PROGBITS,
                   .flags = SHF_ALLOC | SHF_EXECINSTR,
                   .addr = 0x401000,
                   .addralign = 16,
                   .data = pattern(48, 1)});
    w.add_section({.name = ".data",
                   .type = SHT_PROGBITS,
                   .flags = SHF_ALLOC | SHF_WRITE,
                   .addr = 0x402000,
                   .addralign = 8,
                   .data = pattern(24, 2)});
    w.add_section({.name = ".bss",
                   .type = SHT_NOBITS,
                   .flags = SHF_ALLOC | SHF_WRITE,
                   .addr = 0x402018,
                   .addralign = 8,
                   .nobits_size = 64});
    const uint32_t symtab = w.add_symtab(
        ".symtab",
        {{.name = "local_thing", .bind = STB_LOCAL, .type = STT_OBJECT, .shndx = data},
         {.name = "main", .value = 0x401000, .size = 16, .type = STT_FUNC, .shndx = text},
         {.name = "abs", .value = 0x1234, .shndx = SHN_ABS}});
    const bool rela = c.bits == 64;
    w.add_relocations(rela ? ".rela.text" : ".rel.text", rela ? SHT_RELA : SHT_REL, symtab, text,
                      {{.offset = 4, .sym = 2, .type = 2, .addend = -4},
                       {.offset = 12, .sym = 1, .type = 1, .addend = 8}});
    elftest::StringTable dynstr;
    const uint32_t needed = dynstr.add("libc.so.6");
    const uint32_t dynstr_index = w.add_strtab(".dynstr", dynstr, SHF_ALLOC);
    w.add_dynamic({{DT_NEEDED, needed}, {DT_NULL, 0}}, dynstr_index);
    w.add_segment({.type = PT_LOAD,
                   .flags = PF_R | PF_X,
                   .vaddr = 0x401000,
                   .first_section = text,
                   .last_section = text});
    w.add_segment({.type = PT_LOAD,
                   .flags = PF_R | PF_W,
                   .vaddr = 0x402000,
                   .first_section = data,
                   .last_section = bss});
    return w;
}

// Whether section `i` of the built image has bytes inside the first `size`
// bytes of the source.
bool data_inside(const elftest::Image &built, uint32_t i, uint64_t size)
{
    const uint64_t type = built.get(i, Sh::type);
    if (type == SHT_NULL || type == SHT_NOBITS)
        return false;
    const uint64_t offset = built.get(i, Sh::offset);
    const uint64_t length = built.get(i, Sh::size);
    return offset <= size && length <= size - offset;
}

class Malformed : public testing::TestWithParam<Combo> {
protected:
    static Combo c() { return GetParam(); }

    static elftest::Image base(bool headers_first = false)
    {
        return base_writer(c(), headers_first).build();
    }

    // Loads as objlens would.  Every refusal must say why.
    static bool loads(const Bytes &bytes, AnyImage *image)
    {
        const bool loaded = image->load(buffer_source(bytes));
        const objkit_source &said = image->source();
        if (loaded) {
            EXPECT_EQ(said.reason, OBJKIT_REASON_NONE);
            EXPECT_STREQ(said.reason_text, "");
        } else {
            EXPECT_NE(said.reason, OBJKIT_REASON_NONE);
            EXPECT_STRNE(said.reason_text, "");
        }
        return loaded;
    }

    // The reason a load refused `bytes` with; NONE when it loaded them.
    static int refusal(const Bytes &bytes)
    {
        AnyImage image;
        loads(bytes, &image);
        return image.source().reason;
    }

    // A loaded image must agree with the built one wherever the source
    // (the first `kept` bytes of `built`) holds the data, and serve data
    // size 0 elsewhere.
    static void expect_sound(const AnyImage &image, const elftest::Image &built, uint64_t kept)
    {
        ASSERT_TRUE(image.loaded());
        EXPECT_EQ(image.bits(), c().bits);
        ASSERT_EQ(image.num_sections(), built.shnum);
        ASSERT_EQ(image.num_programs(), built.phnum);
        const bool names_inside = data_inside(built, built.shstrndx, kept);
        for (uint32_t i = 0; i < built.shnum; ++i) {
            SCOPED_TRACE("section " + std::to_string(i));
            const SectionFacts s = image.section(i);
            EXPECT_EQ(s.index, i);
            EXPECT_EQ(s.orig_index, i);
            EXPECT_EQ(s.name, names_inside ? built.section_name[i] : "");
            if (data_inside(built, i, kept)) {
                EXPECT_EQ(s.data_size, built.get(i, Sh::size));
                Bytes bytes;
                ASSERT_TRUE(image.read_all(i, &bytes));
                EXPECT_EQ(bytes, built.section_bytes(i));
            } else {
                EXPECT_EQ(s.data_size, 0u);
                unsigned char byte;
                EXPECT_FALSE(image.raw_read(i, &byte, 1, 0));
            }
        }
        for (uint32_t i = 0; i < built.phnum; ++i) {
            const ProgramFacts p = image.program(i);
            EXPECT_EQ(p.type, built.get(i, Ph::type));
            EXPECT_EQ(p.vaddr, built.get(i, Ph::vaddr));
            EXPECT_EQ(p.filesz, built.get(i, Ph::filesz));
        }
    }

    static uint64_t max_addr() { return c().bits == 64 ? UINT64_MAX : UINT32_MAX; }
};

TEST_P(Malformed, BaseImageLoadsWhole)
{
    for (bool headers_first : {false, true}) {
        const elftest::Image built = base(headers_first);
        AnyImage image;
        ASSERT_TRUE(loads(built.bytes, &image));
        expect_sound(image, built, built.bytes.size());
        EXPECT_EQ(image.find(".bss"), bss);
        EXPECT_EQ(image.image_base(), 0x401000u);
        EXPECT_EQ(image.machine(), c().bits == 64 ? EM_X86_64 : EM_386);
    }
}

TEST_P(Malformed, TruncationAtEveryStructureBoundary)
{
    for (bool headers_first : {false, true}) {
        SCOPED_TRACE(headers_first ? "section headers first" : "section headers last");
        const elftest::Image built = base(headers_first);
        const uint64_t ehdr = elftest::ehdr_size(c().bits);
        const uint64_t phdr = elftest::phdr_size(c().bits);
        const uint64_t shdr = elftest::shdr_size(c().bits);
        std::set<uint64_t> cuts = {0,         1,        SELFMAG, EI_NIDENT - 1,
                                   EI_NIDENT, ehdr - 1, ehdr,    built.bytes.size() - 1};
        for (uint32_t i = 0; i <= built.phnum; ++i)
            cuts.insert(built.phoff + i * phdr);
        for (uint32_t i = 0; i <= built.shnum; ++i)
            cuts.insert(built.shoff + i * shdr);
        for (uint32_t i = 1; i < built.shnum; ++i) {
            cuts.insert(built.get(i, Sh::offset));
            cuts.insert(built.get(i, Sh::offset) + built.get(i, Sh::size));
        }
        std::set<uint64_t> all;
        for (uint64_t cut : cuts)
            for (uint64_t near : {cut - 1, cut, cut + 1})
                if (near < built.bytes.size())
                    all.insert(near);
        for (uint64_t cut : all) {
            SCOPED_TRACE("cut at " + std::to_string(cut));
            Bytes bytes(built.bytes.begin(), built.bytes.begin() + static_cast<ptrdiff_t>(cut));
            const bool tables_inside = cut >= ehdr && cut >= built.phoff + built.phnum * phdr &&
                                       cut >= built.shoff + built.shnum * shdr;
            AnyImage image;
            EXPECT_EQ(loads(bytes, &image), tables_inside);
            if (tables_inside)
                expect_sound(image, built, cut);
            const int reason = image.source().reason;
            EXPECT_EQ(reason, reason_for_cut(cut, ehdr, tables_inside, reason))
                << image.source().reason_text;
        }
    }
}

TEST_P(Malformed, OverflowingTableOffsetsAreRefused)
{
    const elftest::Image built = base();
    const uint64_t size = built.bytes.size();
    for (uint64_t shoff : {max_addr(), max_addr() - 8, size, size - 1, built.shoff + 1}) {
        elftest::Image image = built;
        image.set(Eh::shoff, shoff);
        EXPECT_EQ(refusal(image.bytes), OBJKIT_REASON_SECTION_TABLE) << "e_shoff " << shoff;
    }
    for (uint64_t phoff : {max_addr(), max_addr() - 8, size, size - 1,
                           size - 2 * elftest::phdr_size(c().bits) + 1}) {
        elftest::Image image = built;
        image.set(Eh::phoff, phoff);
        EXPECT_EQ(refusal(image.bytes), OBJKIT_REASON_PROGRAM_TABLE) << "e_phoff " << phoff;
    }
}

TEST_P(Malformed, OverflowingCountsAreRefused)
{
    const elftest::Image built = base();
    for (uint64_t shnum : {built.shnum + 1ull, 0xfeffull, 0xffffull}) {
        elftest::Image image = built;
        image.set(Eh::shnum, shnum);
        EXPECT_EQ(refusal(image.bytes), OBJKIT_REASON_SECTION_TABLE) << "e_shnum " << shnum;
    }
    for (uint64_t phnum : {0x1000ull, 0xfffeull}) {
        elftest::Image image = built;
        image.set(Eh::phnum, phnum);
        EXPECT_EQ(refusal(image.bytes), OBJKIT_REASON_PROGRAM_TABLE) << "e_phnum " << phnum;
    }
    // Extended counts that the table cannot hold, including ones that
    // overflow 32 bits or a count times the entry size.
    std::vector<uint64_t> counts = {built.shnum + 1ull, UINT32_MAX};
    if (c().bits == 64) {
        counts.push_back(uint64_t{1} << 32);
        counts.push_back(UINT64_MAX / 64 + 1);
        counts.push_back(UINT64_MAX);
    }
    for (uint64_t count : counts) {
        elftest::Image image = built;
        image.set(Eh::shnum, 0);
        image.set(0, Sh::size, count);
        EXPECT_EQ(refusal(image.bytes), OBJKIT_REASON_SECTION_TABLE)
            << "extended section count " << count;
    }
    for (uint64_t count : {uint64_t{0x10000000}, uint64_t{UINT32_MAX}}) {
        elftest::Image image = built;
        image.set(Eh::phnum, PN_XNUM);
        image.set(0, Sh::info, count);
        EXPECT_EQ(refusal(image.bytes), OBJKIT_REASON_PROGRAM_TABLE)
            << "extended program count " << count;
    }
}

TEST_P(Malformed, WrongEntrySizesAreRefusedWhileThereAreEntries)
{
    const elftest::Image built = base();
    const uint64_t shdr = elftest::shdr_size(c().bits);
    const uint64_t phdr = elftest::phdr_size(c().bits);
    for (uint64_t size : {uint64_t{0}, shdr - 1, shdr + 1, phdr}) {
        elftest::Image image = built;
        image.set(Eh::shentsize, size);
        EXPECT_EQ(refusal(image.bytes), OBJKIT_REASON_SECTION_TABLE) << "e_shentsize " << size;
    }
    for (uint64_t size : {uint64_t{0}, phdr - 1, phdr + 1, shdr}) {
        elftest::Image image = built;
        image.set(Eh::phentsize, size);
        EXPECT_EQ(refusal(image.bytes), OBJKIT_REASON_PROGRAM_TABLE) << "e_phentsize " << size;
    }
    {
        // No program headers: their entry size is not looked at.
        elftest::Image image = built;
        image.set(Eh::phnum, 0);
        image.set(Eh::phentsize, 3);
        AnyImage loaded;
        ASSERT_TRUE(loads(image.bytes, &loaded));
        EXPECT_EQ(loaded.num_programs(), 0u);
        EXPECT_EQ(loaded.num_sections(), built.shnum);
    }
    {
        // e_shoff 0: no section header table, whatever e_shnum and
        // e_shentsize say.
        elftest::Image image = built;
        image.set(Eh::shoff, 0);
        image.set(Eh::shentsize, 7);
        AnyImage loaded;
        ASSERT_TRUE(loads(image.bytes, &loaded));
        EXPECT_EQ(loaded.num_sections(), 0u);
        EXPECT_FALSE(loaded.has_section(0));
        EXPECT_EQ(loaded.find(".text"), -1);
        EXPECT_EQ(loaded.num_programs(), built.phnum);
    }
    {
        elftest::Image image = built;
        image.set(Eh::phoff, 0);
        image.set(Eh::phentsize, 7);
        AnyImage loaded;
        ASSERT_TRUE(loads(image.bytes, &loaded));
        EXPECT_EQ(loaded.num_programs(), 0u);
        EXPECT_EQ(loaded.image_base(), 0u);
    }
}

TEST_P(Malformed, ExtendedNumberingIsRead)
{
    elftest::ElfWriter w = base_writer(c());
    w.options().extended_shnum = true;
    w.options().extended_shstrndx = true;
    w.options().extended_phnum = true;
    const elftest::Image built = w.build();
    ASSERT_EQ(built.get(Eh::shnum), 0u);
    ASSERT_EQ(built.get(Eh::shstrndx), SHN_XINDEX);
    ASSERT_EQ(built.get(Eh::phnum), PN_XNUM);
    AnyImage image;
    ASSERT_TRUE(loads(built.bytes, &image));
    expect_sound(image, built, built.bytes.size());
}

TEST_P(Malformed, WrongExtendedNumbering)
{
    elftest::ElfWriter w = base_writer(c());
    w.options().extended_shnum = true;
    w.options().extended_shstrndx = true;
    w.options().extended_phnum = true;
    const elftest::Image built = w.build();
    {
        // A zero count in section 0: no sections, and so no names and no
        // program header count either.
        elftest::Image image = built;
        image.set(0, Sh::size, 0);
        AnyImage loaded;
        EXPECT_FALSE(loads(image.bytes, &loaded));
        image.set(Eh::phnum, built.phnum);
        ASSERT_TRUE(loads(image.bytes, &loaded));
        EXPECT_EQ(loaded.num_sections(), 0u);
        EXPECT_EQ(loaded.num_programs(), built.phnum);
    }
    {
        // The name table index points nowhere: names are empty.
        for (uint64_t link : {uint64_t{built.shnum}, uint64_t{UINT32_MAX}, uint64_t{0}}) {
            elftest::Image image = built;
            image.set(0, Sh::link, link);
            AnyImage loaded;
            ASSERT_TRUE(loads(image.bytes, &loaded));
            EXPECT_EQ(loaded.num_sections(), built.shnum);
            for (uint32_t i = 0; i < built.shnum; ++i)
                EXPECT_EQ(loaded.section(i).name, "");
        }
    }
    {
        // PN_XNUM and SHN_XINDEX without a section 0.
        elftest::Image image = built;
        image.set(Eh::shoff, 0);
        AnyImage loaded;
        EXPECT_FALSE(loads(image.bytes, &loaded));
        image.set(Eh::phnum, built.phnum);
        ASSERT_TRUE(loads(image.bytes, &loaded));
        EXPECT_EQ(loaded.num_sections(), 0u);
        EXPECT_EQ(loaded.num_programs(), built.phnum);
    }
    {
        // The count in sh_info is taken as it is.
        elftest::Image image = built;
        image.set(0, Sh::info, 1);
        AnyImage loaded;
        ASSERT_TRUE(loads(image.bytes, &loaded));
        EXPECT_EQ(loaded.num_programs(), 1u);
    }
    {
        // The extended count needs a readable section 0 of the right size.
        elftest::Image image = built;
        image.set(Eh::shentsize, elftest::shdr_size(c().bits) + 4);
        AnyImage loaded;
        EXPECT_FALSE(loads(image.bytes, &loaded));
    }
}

TEST_P(Malformed, MoreSectionsThanTheHeaderCanCount)
{
    elftest::ElfWriter w(c().bits, c().data);
    const uint32_t count = SHN_LORESERVE + 300;
    for (uint32_t i = 1; i < count; ++i)
        w.add_section({.name = ".s" + std::to_string(i), .data = {static_cast<unsigned char>(i)}});
    const elftest::Image built = w.build();
    ASSERT_EQ(built.get(Eh::shnum), 0u);
    ASSERT_EQ(built.get(Eh::shstrndx), SHN_XINDEX);
    AnyImage image;
    ASSERT_TRUE(loads(built.bytes, &image));
    ASSERT_EQ(image.num_sections(), count + 1);
    for (uint32_t i : {1u, 0xfeffu, 0xff00u, 0xffffu, count - 1}) {
        EXPECT_EQ(image.section(i).name, ".s" + std::to_string(i));
        unsigned char byte = 0;
        ASSERT_TRUE(image.raw_read(i, &byte, 1, 0));
        EXPECT_EQ(byte, static_cast<unsigned char>(i));
    }
    EXPECT_EQ(image.section(count).name, ".shstrtab");
    EXPECT_EQ(image.find(".s65280"), 65280);
}

TEST_P(Malformed, MoreProgramHeadersThanTheHeaderCanCount)
{
    elftest::ElfWriter w(c().bits, c().data, EM_NONE, ET_EXEC);
    w.add_section({.name = ".text", .data = {1, 2, 3}});
    const uint32_t count = PN_XNUM + 2;
    for (uint32_t i = 0; i < count; ++i)
        w.add_segment({.type = PT_NOTE, .vaddr = i});
    const elftest::Image built = w.build();
    ASSERT_EQ(built.get(Eh::phnum), PN_XNUM);
    AnyImage image;
    ASSERT_TRUE(loads(built.bytes, &image));
    ASSERT_EQ(image.num_programs(), count);
    EXPECT_EQ(image.program(count - 1).vaddr, count - 1);
    EXPECT_EQ(image.section(1).name, ".text");
}

TEST_P(Malformed, UnterminatedNameTable)
{
    const elftest::Image built = base();
    const uint32_t shstrtab = built.shstrndx;
    const uint64_t table_at = built.get(shstrtab, Sh::offset);
    const uint64_t table_size = built.get(shstrtab, Sh::size);
    {
        // The last name loses its NUL: that section's name is empty, the
        // others stay, and read_name refuses only the unterminated string.
        elftest::Image image = built;
        image.bytes[table_at + table_size - 1] = 'x';
        AnyImage loaded;
        ASSERT_TRUE(loads(image.bytes, &loaded));
        const char *name = nullptr;
        for (uint32_t i = 1; i < built.shnum; ++i) {
            const bool last = built.section_name[i] == ".shstrtab";
            EXPECT_EQ(loaded.section(i).name, last ? "" : built.section_name[i]);
            EXPECT_EQ(loaded.read_name(shstrtab, built.get(i, Sh::name), &name), !last);
        }
        EXPECT_FALSE(loaded.read_name(shstrtab, table_size - 1, &name));
        EXPECT_TRUE(loaded.read_name(shstrtab, 0, &name));
        EXPECT_STREQ(name, "");
    }
    {
        // No NUL at all.
        elftest::Image image = built;
        std::fill_n(image.bytes.begin() + static_cast<ptrdiff_t>(table_at), table_size, 'x');
        AnyImage loaded;
        ASSERT_TRUE(loads(image.bytes, &loaded));
        const char *name = nullptr;
        for (uint32_t i = 0; i < built.shnum; ++i)
            EXPECT_EQ(loaded.section(i).name, "");
        for (uint64_t at = 0; at < table_size + 2; ++at)
            EXPECT_FALSE(loaded.read_name(shstrtab, at, &name));
    }
}

TEST_P(Malformed, NameOffsetOutsideTheTableGivesAnEmptyName)
{
    const elftest::Image built = base();
    const uint64_t table_size = built.get(built.shstrndx, Sh::size);
    for (uint64_t name : {table_size, table_size + 1, uint64_t{UINT32_MAX}, table_size - 1}) {
        elftest::Image image = built;
        image.set(text, Sh::name, name);
        AnyImage loaded;
        ASSERT_TRUE(loads(image.bytes, &loaded)) << name;
        EXPECT_EQ(loaded.section(text).name, "");
        EXPECT_EQ(loaded.section(data).name, ".data");
    }
}

TEST_P(Malformed, SectionDataOutsideTheSourceLoadsEmpty)
{
    const elftest::Image built = base();
    const uint64_t size = built.bytes.size();
    struct Range {
        uint64_t offset;
        uint64_t length;
    };
    std::vector<Range> ranges = {
        {size, 1},           {size - 1, 2},    {size + 1, 0},        {max_addr(), 16},
        {max_addr() - 3, 8}, {16, max_addr()}, {16, max_addr() - 15}};
    if (c().bits == 64) {
        ranges.push_back({0, uint64_t{1} << 32});  // 4 GiB: beyond the 32-bit size
        ranges.push_back({16, (uint64_t{1} << 32) + 8});
    }
    for (const Range &range : ranges) {
        SCOPED_TRACE("offset " + std::to_string(range.offset) + " size " +
                     std::to_string(range.length));
        elftest::Image image = built;
        image.set(text, Sh::offset, range.offset);
        image.set(text, Sh::size, range.length);
        AnyImage loaded;
        ASSERT_TRUE(loads(image.bytes, &loaded));
        EXPECT_EQ(loaded.section(text).data_size, 0u);
        unsigned char byte;
        EXPECT_FALSE(loaded.raw_read(text, &byte, 1, 0));
        EXPECT_TRUE(loaded.raw_read(text, &byte, 0, 0));
        const char *name;
        EXPECT_FALSE(loaded.read_name(text, 0, &name));
        Bytes rest;
        ASSERT_TRUE(loaded.read_all(data, &rest));
        EXPECT_EQ(rest, built.section_bytes(data));
    }
    {
        // A section that ends exactly at the end of the source is whole.
        elftest::Image image = built;
        image.set(text, Sh::offset, size - 5);
        image.set(text, Sh::size, 5);
        AnyImage loaded;
        ASSERT_TRUE(loads(image.bytes, &loaded));
        EXPECT_EQ(loaded.section(text).data_size, 5u);
        unsigned char tail[5];
        ASSERT_TRUE(loaded.raw_read(text, tail, 5, 0));
        EXPECT_TRUE(std::equal(tail, tail + 5, image.bytes.end() - 5));
    }
}

TEST_P(Malformed, NobitsAndNullSectionsHaveNoData)
{
    elftest::Image built = base();
    built.set(0, Sh::size, 100);  // e_shnum is not 0, so this is no count
    built.set(data, Sh::type, SHT_NULL);
    AnyImage image;
    ASSERT_TRUE(loads(built.bytes, &image));
    EXPECT_EQ(image.num_sections(), built.shnum);
    EXPECT_EQ(image.section(0).data_size, 0u);
    EXPECT_EQ(image.section(data).data_size, 0u);
    EXPECT_EQ(image.section(bss).data_size, 0u);
    EXPECT_EQ(image.section(bss).size, 64u);
}

TEST_P(Malformed, NameTableIndexWithoutATable)
{
    const elftest::Image built = base();
    for (uint64_t index :
         {uint64_t{built.shnum}, uint64_t{SHN_LORESERVE}, uint64_t{bss}, uint64_t{0}}) {
        elftest::Image image = built;
        image.set(Eh::shstrndx, index);
        AnyImage loaded;
        ASSERT_TRUE(loads(image.bytes, &loaded)) << index;
        for (uint32_t i = 0; i < built.shnum; ++i)
            EXPECT_EQ(loaded.section(i).name, "");
        EXPECT_EQ(loaded.find(""), 0);
    }
}

TEST_P(Malformed, IdentificationIsChecked)
{
    const elftest::Image built = base();
    const auto can_load = [&](const Bytes &bytes) {
        objkit_source source = buffer_source(bytes);
        return c().bits == 32 ? objcore32_can_load(&source) : objcore64_can_load(&source);
    };
    const auto other_can_load = [&](const Bytes &bytes) {
        objkit_source source = buffer_source(bytes);
        return c().bits == 32 ? objcore64_can_load(&source) : objcore32_can_load(&source);
    };
    EXPECT_TRUE(can_load(built.bytes));
    EXPECT_FALSE(other_can_load(built.bytes));
    {
        objkit_source source = buffer_source(built.bytes);
        EXPECT_EQ(c().bits == 32 ? static_cast<void *>(objcore64_load(&source))
                                 : static_cast<void *>(objcore32_load(&source)),
                  nullptr);
    }
    struct Patch {
        int at;
        unsigned char value;
    };
    for (const Patch &patch :
         {Patch{EI_MAG0, 0x7e}, Patch{EI_MAG1, 'e'}, Patch{EI_MAG2, 'l'}, Patch{EI_MAG3, 'f'},
          Patch{EI_CLASS, ELFCLASSNONE}, Patch{EI_CLASS, 3}, Patch{EI_DATA, ELFDATANONE},
          Patch{EI_DATA, 3}, Patch{EI_VERSION, EV_NONE}, Patch{EI_VERSION, 2}}) {
        Bytes bytes = built.bytes;
        bytes[patch.at] = patch.value;
        EXPECT_FALSE(can_load(bytes)) << patch.at;
        EXPECT_FALSE(other_can_load(bytes)) << patch.at;
        AnyImage image;
        EXPECT_FALSE(loads(bytes, &image)) << patch.at;
    }
    // Only the identification is read: bytes after it need not exist.
    for (size_t size = 0; size < elftest::ehdr_size(c().bits); ++size) {
        const Bytes bytes(built.bytes.begin(), built.bytes.begin() + static_cast<ptrdiff_t>(size));
        EXPECT_EQ(can_load(bytes), size >= EI_NIDENT) << size;
        AnyImage image;
        EXPECT_FALSE(loads(bytes, &image)) << size;
    }
}

TEST_P(Malformed, RawReadChecksBoundsWithoutWrapAround)
{
    const elftest::Image built = base();
    AnyImage image;
    ASSERT_TRUE(loads(built.bytes, &image));
    const uint32_t size = image.section(text).data_size;
    ASSERT_EQ(size, 48u);
    Bytes out(64, 0xee);
    EXPECT_TRUE(image.raw_read(text, out.data(), size, 0));
    EXPECT_TRUE(image.raw_read(text, out.data(), 1, size - 1));
    EXPECT_EQ(out[0], built.section_bytes(text).back());
    EXPECT_TRUE(image.raw_read(text, out.data(), 0, size));
    EXPECT_FALSE(image.raw_read(text, out.data(), 1, size));
    EXPECT_FALSE(image.raw_read(text, out.data(), 0, size + 1));
    EXPECT_FALSE(image.raw_read(text, out.data(), size + 1, 0));
    EXPECT_FALSE(image.raw_read(text, out.data(), 2, size - 1));
    // Offsets and counts whose sum wraps around to a small number.
    const uint64_t max = c().bits == 64 ? UINT64_MAX : UINT32_MAX;
    Bytes untouched(64, 0x5a);
    out = untouched;
    EXPECT_FALSE(image.raw_read(text, out.data(), max - 7, 8));
    EXPECT_FALSE(image.raw_read(text, out.data(), 8, max - 7));
    EXPECT_FALSE(image.raw_read(text, out.data(), max, 1));
    EXPECT_FALSE(image.raw_read(text, out.data(), 1, max));
    EXPECT_FALSE(image.raw_read(text, out.data(), max, max));
    EXPECT_EQ(out, untouched);
}

TEST_P(Malformed, ReadNameStaysInsideTheData)
{
    const elftest::Image built = base();
    AnyImage image;
    ASSERT_TRUE(loads(built.bytes, &image));
    const int64_t dynstr = image.find(".dynstr");
    ASSERT_GT(dynstr, 0);
    const uint32_t index = static_cast<uint32_t>(dynstr);
    const uint32_t size = image.section(index).data_size;
    const char *name = nullptr;
    ASSERT_TRUE(image.read_name(index, 1, &name));
    EXPECT_STREQ(name, "libc.so.6");
    ASSERT_TRUE(image.read_name(index, 5, &name));
    EXPECT_STREQ(name, ".so.6");
    ASSERT_TRUE(image.read_name(index, size - 1, &name));
    EXPECT_STREQ(name, "");
    EXPECT_FALSE(image.read_name(index, size, &name));
    EXPECT_FALSE(image.read_name(index, SIZE_MAX, &name));
    EXPECT_FALSE(image.read_name(bss, 0, &name));
    if (c().bits == 64)
        EXPECT_FALSE(objcore64_read_name(image.image64(), 0, nullptr, &name));
    else
        EXPECT_FALSE(objcore32_read_name(image.image32(), 0, nullptr, &name));
}

TEST_P(Malformed, ImageBaseIsTheLowestLoadSegmentAligned)
{
    struct Case {
        std::vector<std::pair<uint64_t, uint64_t>> loads;  // vaddr, align
        uint64_t base;
    };
    const std::vector<Case> cases = {
        {{}, 0},
        {{{0x401234, 0x1000}}, 0x401000},
        {{{0x402000, 0x1000}, {0x401234, 0x10}}, 0x401230},
        {{{0x401234, 0}}, 0x401234},
        {{{0x401234, 1}}, 0x401234},
        {{{0x401234, 0x1800}}, 0x401234},  // not a power of two
        {{{0x80000000, 0x1000}}, 0x80000000},
    };
    for (const Case &test : cases) {
        elftest::ElfWriter w(c().bits, c().data, EM_NONE, ET_EXEC);
        w.add_segment({.type = PT_NOTE, .vaddr = 0x10});
        for (const auto &[vaddr, align] : test.loads)
            w.add_segment({.type = PT_LOAD, .vaddr = vaddr, .align = align});
        const elftest::Image built = w.build();
        AnyImage image;
        ASSERT_TRUE(loads(built.bytes, &image));
        EXPECT_EQ(image.image_base(), test.base);
    }
}

TEST_P(Malformed, BufferIsNotNeededAfterLoad)
{
    const elftest::Image built = base();
    Bytes bytes = built.bytes;
    AnyImage image;
    ASSERT_TRUE(loads(bytes, &image));
    std::fill(bytes.begin(), bytes.end(), 0xaa);
    bytes.clear();
    bytes.shrink_to_fit();
    expect_sound(image, built, built.bytes.size());
}

TEST_P(Malformed, LookupsOutsideTheTables)
{
    elftest::ElfWriter w = base_writer(c());
    const uint32_t twin = w.add_section({.name = ".data", .data = {9}});
    const elftest::Image built = w.build();
    AnyImage image;
    ASSERT_TRUE(loads(built.bytes, &image));
    EXPECT_FALSE(image.has_section(built.shnum));
    EXPECT_FALSE(image.has_section(UINT32_MAX));
    EXPECT_FALSE(image.has_program(built.phnum));
    EXPECT_FALSE(image.has_program(UINT32_MAX));
    EXPECT_EQ(image.find(".data"), data);
    EXPECT_NE(twin, data);
    EXPECT_EQ(image.find(""), 0);
    EXPECT_EQ(image.find(nullptr), -1);
    EXPECT_EQ(image.find(".dat"), -1);
}

TEST_P(Malformed, HugeNameCopiesAreRefused)
{
    // A thousand sections that all name one 2 MiB string: their copies
    // would need 2 GiB, which no real image does, and far more than the
    // budget a 2 MiB source allows.
    elftest::ElfWriter w(c().bits, c().data);
    w.options().shstrtab = false;
    Bytes long_name(2 << 20, 'n');
    long_name.push_back(0);
    const uint32_t names = w.add_section({.name = "", .type = SHT_STRTAB, .data = long_name});
    for (int i = 0; i < 1000; ++i)
        w.add_section({.name = ""});
    elftest::Image built = w.build();
    built.set(Eh::shstrndx, names);
    AnyImage image;
    EXPECT_FALSE(loads(built.bytes, &image));
    EXPECT_EQ(image.source().reason, OBJKIT_REASON_BUDGET) << image.source().reason_text;
    // The same string named by a few sections is within the budget.
    built.set(Eh::shnum, 3);
    ASSERT_TRUE(loads(built.bytes, &image));
    EXPECT_EQ(image.section(1).name.size(), size_t{2} << 20);
    EXPECT_EQ(image.section(2).name, image.section(1).name);
}

INSTANTIATE_TEST_SUITE_P(AllCombinations, Malformed, testing::ValuesIn(elftest::all_kinds),
                         elftest::kind_name);

// --- Sources ---------------------------------------------------------------

TEST(Sources, UnusableSourcesAreRefusedWithTheirReason)
{
    const Bytes elf = read_bytes(fixture("x86_64.o"));
    struct Case {
        objkit_source source;
        int reason;
        int error;
    };
    std::vector<Case> cases = {
        {objkit_source_buffer(nullptr, 64), OBJKIT_REASON_EMPTY, 0},
        {objkit_source_buffer(elf.data(), 0), OBJKIT_REASON_EMPTY, 0},
        {objkit_source_file(nullptr), OBJKIT_REASON_OPEN, ENOENT},
        {objkit_source_file(""), OBJKIT_REASON_OPEN, ENOENT},
        {objkit_source_file("/nonexistent/objkit"), OBJKIT_REASON_OPEN, ENOENT},
        {objkit_source_file("/"), OBJKIT_REASON_NOT_REGULAR, EISDIR},
        {objkit_source_file("/dev/null"), OBJKIT_REASON_NOT_REGULAR, 0},
        {objkit_source_file("/dev/zero"), OBJKIT_REASON_NOT_REGULAR, 0},
    };
    objkit_source odd = objkit_source_buffer(elf.data(), elf.size());
    odd.kind = 0;
    cases.push_back({odd, OBJKIT_REASON_OPEN, EINVAL});
    odd.kind = OBJKIT_SOURCE_DESCRIPTOR_RANGE + 1;
    cases.push_back({odd, OBJKIT_REASON_OPEN, EINVAL});
    for (Case &c : cases) {
        EXPECT_FALSE(objcore32_can_load(&c.source));
        EXPECT_EQ(c.source.reason, c.reason) << c.source.reason_text;
        EXPECT_EQ(c.source.error, c.error) << c.source.reason_text;
        EXPECT_STRNE(c.source.reason_text, "");
        EXPECT_FALSE(objcore64_can_load(&c.source));
        EXPECT_EQ(objcore32_load(&c.source), nullptr);
        EXPECT_EQ(objcore64_load(&c.source), nullptr);
        EXPECT_EQ(c.source.reason, c.reason) << c.source.reason_text;
    }
    // A FIFO is refused at once rather than waited on.
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    const std::string fifo = dir.file("fifo");
    objkit_source from_fifo = objkit_source_file(fifo.c_str());
    EXPECT_FALSE(objcore64_can_load(&from_fifo));
    EXPECT_EQ(objcore64_load(&from_fifo), nullptr);
    EXPECT_EQ(from_fifo.reason, OBJKIT_REASON_NOT_REGULAR);
    EXPECT_STREQ(from_fifo.reason_text, "is a FIFO, not a regular file");

    EXPECT_FALSE(objcore32_can_load(nullptr));
    EXPECT_FALSE(objcore64_can_load(nullptr));
    EXPECT_EQ(objcore32_load(nullptr), nullptr);
    EXPECT_EQ(objcore64_load(nullptr), nullptr);
    objcore32_free(nullptr);
    objcore64_free(nullptr);
}

}  // namespace
}  // namespace objkit_test

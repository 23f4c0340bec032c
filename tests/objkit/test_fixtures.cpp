// test_fixtures.cpp - real toolchain outputs, loaded and compared with readelf.
//
// Every fixture (four kinds for each of eight targets, covering both classes
// and both byte orders) is loaded from its file and from a buffer; its
// class, byte order, machine, counts, section headers, names, program
// headers, image base and section bytes must agree with readelf and with
// the file itself.
#include "any_image.hpp"
#include "readelf.hpp"
#include "test_util.hpp"

#include <gtest/gtest.h>

#include <map>
#include <optional>

namespace objkit_test {
namespace {

struct Target {
    const char *arch;
    int bits;
    bool big_endian;
    uint16_t machine;
};

constexpr Target targets[] = {
    {"i386", 32, false, EM_386},      {"arm", 32, false, EM_ARM},
    {"mips", 32, true, EM_MIPS},      {"powerpc", 32, true, EM_PPC},
    {"x86_64", 64, false, EM_X86_64}, {"aarch64", 64, false, EM_AARCH64},
    {"riscv64", 64, false, EM_RISCV}, {"powerpc64", 64, true, EM_PPC64},
};

struct FixtureCase {
    Target target;
    std::string file;
    uint16_t elf_type;
};

std::vector<FixtureCase> all_fixtures()
{
    std::vector<FixtureCase> cases;
    for (const Target &t : targets) {
        const std::string arch = t.arch;
        cases.push_back({t, arch + ".o", ET_REL});
        cases.push_back({t, arch + ".exe", ET_EXEC});
        cases.push_back({t, arch + ".so", ET_DYN});
        cases.push_back({t, arch + "-dep.so", ET_DYN});
    }
    return cases;
}

std::string case_name(const testing::TestParamInfo<FixtureCase> &info)
{
    std::string name = info.param.file;
    for (char &c : name)
        if (c == '.' || c == '-')
            c = '_';
    return name;
}

class Fixture : public testing::TestWithParam<FixtureCase> {
protected:
    void SetUp() override
    {
        path_ = fixture(GetParam().file);
        bytes_ = read_bytes(path_);
        ASSERT_FALSE(bytes_.empty()) << path_;
        report_ = readelf(path_, true);
        ASSERT_TRUE(report_.has_value()) << "readelf could not read " << path_;
        ASSERT_TRUE(report_->complaints.empty()) << report_->complaints.front();
    }

    // Checks everything the backend says about the image against readelf
    // and the file's bytes.
    void expect_matches(const AnyImage &image)
    {
        const FixtureCase &c = GetParam();
        ASSERT_TRUE(image.loaded());
        EXPECT_EQ(image.bits(), c.target.bits);
        EXPECT_EQ(image.data_order(), c.target.big_endian ? ELFDATA2MSB : ELFDATA2LSB);
        EXPECT_EQ(image.machine(), c.target.machine);
        EXPECT_EQ(image.type(), c.elf_type);
        EXPECT_EQ(report_->elf_class, c.target.bits == 32 ? "ELF32" : "ELF64");

        ASSERT_EQ(image.num_sections(), report_->section_count);
        ASSERT_EQ(image.num_sections(), report_->sections.size());
        EXPECT_FALSE(image.has_section(image.num_sections()));
        std::map<std::string, uint32_t> first_named;
        for (const ReadelfSection &expected : report_->sections) {
            SCOPED_TRACE("section " + std::to_string(expected.index) + " " + expected.name);
            const SectionFacts s = image.section(expected.index);
            EXPECT_EQ(s.index, expected.index);
            EXPECT_EQ(s.orig_index, expected.index);
            EXPECT_EQ(s.name, expected.name);
            EXPECT_EQ(s.addr, expected.addr);
            EXPECT_EQ(s.offset, expected.offset);
            EXPECT_EQ(s.size, expected.size);
            EXPECT_EQ(image.section(expected.index).name_address, s.name_address);
            const bool has_bytes = s.type != SHT_NOBITS && s.type != SHT_NULL;
            EXPECT_EQ(s.data_size, has_bytes ? s.size : 0);
            first_named.emplace(expected.name, expected.index);

            Bytes data;
            ASSERT_TRUE(image.read_all(expected.index, &data));
            if (has_bytes) {
                const Bytes in_file(bytes_.begin() + static_cast<ptrdiff_t>(s.offset),
                                    bytes_.begin() + static_cast<ptrdiff_t>(s.offset + s.size));
                EXPECT_EQ(data, in_file);
            }
            if (s.type == SHT_REL || s.type == SHT_RELA) {
                EXPECT_EQ(s.type, elf_get_relevant_rels(image.machine()))
                    << "the toolchain's relocation form is the machine's";
            }
        }
        for (const auto &[name, index] : first_named)
            EXPECT_EQ(image.find(name.c_str()), index) << name;
        EXPECT_EQ(image.find(".no-such-section"), -1);

        ASSERT_EQ(image.num_programs(), report_->program_count);
        ASSERT_EQ(image.num_programs(), report_->programs.size());
        EXPECT_FALSE(image.has_program(image.num_programs()));
        std::optional<uint64_t> base;
        for (uint32_t i = 0; i < image.num_programs(); ++i) {
            const ProgramFacts p = image.program(i);
            const ReadelfProgram &expected = report_->programs[i];
            EXPECT_EQ(p.offset, expected.offset);
            EXPECT_EQ(p.vaddr, expected.vaddr);
            EXPECT_EQ(p.paddr, expected.paddr);
            EXPECT_EQ(p.filesz, expected.filesz);
            EXPECT_EQ(p.memsz, expected.memsz);
            EXPECT_EQ(p.align, expected.align);
            EXPECT_EQ(p.type == PT_LOAD, expected.type == "LOAD");
            if (expected.type == "LOAD" && (!base || expected.vaddr < *base))
                base = expected.vaddr & ~(expected.align - 1);
        }
        EXPECT_EQ(image.image_base(), base.value_or(0));
    }

    std::string path_;
    Bytes bytes_;
    std::optional<ReadelfReport> report_;
};

TEST_P(Fixture, FileImageMatchesReadelf)
{
    AnyImage image(objkit_source_file(path_.c_str()));
    expect_matches(image);
}

TEST_P(Fixture, BufferImageMatchesReadelf)
{
    AnyImage image(buffer_source(bytes_));
    expect_matches(image);
}

TEST_P(Fixture, SectionNamesReadBackFromTheNameTable)
{
    AnyImage image(objkit_source_file(path_.c_str()));
    ASSERT_TRUE(image.loaded());
    const uint32_t shstrtab = image.name_table_index();
    ASSERT_GT(shstrtab, 0u);
    ASSERT_LT(shstrtab, image.num_sections());
    for (uint32_t i = 1; i < image.num_sections(); ++i) {
        const SectionFacts s = image.section(i);
        const char *name = nullptr;
        ASSERT_TRUE(image.read_name(shstrtab, s.name_offset, &name));
        EXPECT_STREQ(name, s.name.c_str());
    }
}

INSTANTIATE_TEST_SUITE_P(AllTargets, Fixture, testing::ValuesIn(all_fixtures()), case_name);

// --- Entries read through raw_read and read_name -------------------------

// Reads one entry's field from an image's raw bytes in the image's order.
uint64_t field(const AnyImage &image, const unsigned char *at, size_t width)
{
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i) {
        const size_t shift = image.data_order() == ELFDATA2MSB ? (width - 1 - i) * 8 : i * 8;
        value |= uint64_t{at[i]} << shift;
    }
    return value;
}

class FixtureEntries : public testing::TestWithParam<Target> {};

TEST_P(FixtureEntries, SharedObjectNamesItsDependencyAndItself)
{
    const std::string path = fixture(std::string(GetParam().arch) + ".so");
    AnyImage image(objkit_source_file(path.c_str()));
    ASSERT_TRUE(image.loaded());
    const int64_t dynamic = image.find(".dynamic");
    ASSERT_GT(dynamic, 0);
    const SectionFacts dyn = image.section(static_cast<uint32_t>(dynamic));
    const size_t word = image.bits() / 8;
    const size_t entry_size = 2 * word;
    ASSERT_EQ(dyn.entsize, entry_size);
    std::map<int64_t, std::string> named;
    for (uint64_t at = 0; at + entry_size <= dyn.data_size; at += entry_size) {
        unsigned char entry[16];
        ASSERT_TRUE(image.raw_read(static_cast<uint32_t>(dynamic), entry, entry_size, at));
        const auto tag = static_cast<int64_t>(field(image, entry, word));
        const uint64_t value = field(image, entry + word, word);
        if (tag == DT_NEEDED || tag == DT_SONAME) {
            const char *name = nullptr;
            ASSERT_TRUE(image.read_name(dyn.link, value, &name));
            named[tag] = name;
        }
    }
    EXPECT_EQ(named[DT_NEEDED], "libfixdep.so.1");
    EXPECT_EQ(named[DT_SONAME], "libfixture.so.1");
}

TEST_P(FixtureEntries, ObjectHasAbsoluteAndCommonSymbols)
{
    const std::string path = fixture(std::string(GetParam().arch) + ".o");
    AnyImage image(objkit_source_file(path.c_str()));
    ASSERT_TRUE(image.loaded());
    const int64_t symtab = image.find(".symtab");
    ASSERT_GT(symtab, 0);
    const SectionFacts sym = image.section(static_cast<uint32_t>(symtab));
    const bool b64 = image.bits() == 64;
    const size_t entry_size = b64 ? sizeof(Elf64_Sym) : sizeof(Elf32_Sym);
    const size_t name_at = b64 ? offsetof(Elf64_Sym, st_name) : offsetof(Elf32_Sym, st_name);
    const size_t shndx_at = b64 ? offsetof(Elf64_Sym, st_shndx) : offsetof(Elf32_Sym, st_shndx);
    ASSERT_EQ(sym.entsize, entry_size);
    std::map<std::string, uint16_t> shndx;
    for (uint64_t at = 0; at + entry_size <= sym.data_size; at += entry_size) {
        unsigned char entry[sizeof(Elf64_Sym)];
        ASSERT_TRUE(image.raw_read(static_cast<uint32_t>(symtab), entry, entry_size, at));
        const char *name = nullptr;
        ASSERT_TRUE(image.read_name(sym.link, field(image, entry + name_at, 4), &name));
        shndx[name] = static_cast<uint16_t>(field(image, entry + shndx_at, 2));
    }
    EXPECT_EQ(shndx.at("abs_sym"), SHN_ABS);
    EXPECT_EQ(shndx.at("common_var"), SHN_COMMON);
    EXPECT_EQ(shndx.at("weak_undefined"), SHN_UNDEF);
    EXPECT_NE(shndx.at("global_fn"), SHN_UNDEF);
}

INSTANTIATE_TEST_SUITE_P(AllTargets, FixtureEntries, testing::ValuesIn(targets),
                         [](const testing::TestParamInfo<Target> &info) {
                             return std::string(info.param.arch);
                         });

}  // namespace
}  // namespace objkit_test

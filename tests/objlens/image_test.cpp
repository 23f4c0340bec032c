// image_test.cpp - the image handle: class choice at load, the image-level
// calls, the header-view getters and the ELF header view, in all kinds.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "image_kinds.hpp"

namespace {

TEST(Version, NeedsNoImage) { EXPECT_STREQ(objlens_get_version(), "0.4.5"); }

class Image : public testing::TestWithParam<image_kind> {
protected:
    static const objlens_image_ops *expected_ops()
    {
        return GetParam().bits == 32 ? &objlens_ops_32 : &objlens_ops_64;
    }
};

TEST_P(Image, LoadPicksTheTableOfTheClass)
{
    loaded_image image(header_only_image(GetParam(), EM_NONE));
    ASSERT_EQ(image.status(), 0);
    EXPECT_EQ(image.get()->ops, expected_ops());
    EXPECT_NE(image.get()->backend, nullptr);
    EXPECT_EQ(objlens_get_bits(image.get()), GetParam().bits);
    EXPECT_EQ(objlens_get_num_of_sections(image.get()), 0u);
    EXPECT_EQ(objlens_get_num_of_programs(image.get()), 0u);
    EXPECT_EQ(objlens_get_image_base(image.get()), 0u);
}

TEST_P(Image, MachineIsInHostOrderAndDecidesTheRelocationForm)
{
    struct row {
        uint16_t machine;
        uint32_t rels;
    };
    for (const row r : {row{EM_MIPS, SHT_REL}, row{EM_386, SHT_REL}, row{EM_ARM, SHT_REL},
                        row{EM_X86_64, SHT_RELA}, row{EM_PPC64, SHT_RELA},
                        row{EM_AARCH64, SHT_RELA}, row{0x7777, 0}}) {
        auto bytes = header_only_image(GetParam(), r.machine);
        loaded_image image(bytes);
        ASSERT_EQ(image.status(), 0);
        EXPECT_EQ(objlens_get_machine(image.get()), r.machine);
        EXPECT_EQ(objlens_get_relevant_rels(image.get()), r.rels) << r.machine;
    }
}

TEST_P(Image, RefusedSourcesLeaveTheHandleEmpty)
{
    auto bytes = header_only_image(GetParam(), EM_NONE);
    bytes.resize(bytes.size() - 1);  // accepted by its ident, refused by the load
    objlens_image image{&objlens_ops_64, &image};
    objkit_source source = objkit_source_buffer(bytes.data(), bytes.size());
    EXPECT_EQ(objlens_load(&image, &source), -1);
    EXPECT_EQ(image.ops, nullptr);
    EXPECT_EQ(image.backend, nullptr);

    const unsigned char not_elf[64] = {'\x7f', 'E', 'L', 'G'};
    source = objkit_source_buffer(not_elf, sizeof not_elf);
    image = {&objlens_ops_32, &image};
    EXPECT_EQ(objlens_load(&image, &source), -1);
    EXPECT_EQ(image.ops, nullptr);
    EXPECT_EQ(image.backend, nullptr);
}

// Entries of /proc/self/fd: the descriptors this process has open.
size_t open_descriptors()
{
    size_t count = 0;
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd"))
        count += entry.path().empty() ? 0 : 1;
    return count;
}

TEST_P(Image, LoadsLeaveNoDescriptorButTheImages)
{
    char folder[] = "/tmp/objlens-fd-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string elf = std::string(folder) + "/image.o";
    const std::string text = std::string(folder) + "/notes.txt";
    const byte_vector image_bytes = header_only_image(GetParam(), EM_NONE);
    std::ofstream(elf, std::ios::binary)
        .write(reinterpret_cast<const char *>(image_bytes.data()),
               static_cast<std::streamsize>(image_bytes.size()));
    std::ofstream(text) << "not an ELF file, long enough to be read as one would be\n";

    const size_t before = open_descriptors();
    for (int round = 0; round < 10; ++round) {
        objlens_image image;
        objkit_source refused = objkit_source_file(text.c_str());
        EXPECT_EQ(objlens_load(&image, &refused), -1);
        EXPECT_EQ(refused.reason, OBJKIT_REASON_NOT_ELF) << refused.reason_text;
        EXPECT_EQ(open_descriptors(), before);

        objkit_source source = objkit_source_file(elf.c_str());
        ASSERT_EQ(objlens_load(&image, &source), 0) << source.reason_text;
        EXPECT_EQ(source.reason, OBJKIT_REASON_NONE);
        EXPECT_EQ(open_descriptors(), before + 1) << "the image holds its file";
        objlens_unload(&image);
        EXPECT_EQ(open_descriptors(), before);
    }
    std::filesystem::remove_all(folder);
}

TEST_P(Image, SectionLookupsFillTheViewOrLeaveItemNull)
{
    elftest::ElfWriter b = elftest::writer(GetParam());
    b.add_section({.name = ".text", .type = SHT_PROGBITS, .data = byte_vector(16, 0x90)});
    b.add_section({.name = ".data", .type = SHT_PROGBITS, .data = byte_vector(8, 1)});
    loaded_image image(b.build().bytes);
    ASSERT_EQ(image.status(), 0);
    const uint32_t count = objlens_get_num_of_sections(image.get());
    ASSERT_EQ(count, 4u);  // null, .text, .data, .shstrtab

    objlens_section view{};
    EXPECT_EQ(objlens_get_section(image.get(), &view, count - 1), 0);
    EXPECT_STREQ(objlens_section_get_name_str(&view), ".shstrtab");

    const objlens_section_ops *section_ops =
        GetParam().bits == 32 ? &objlens_ops_section_32 : &objlens_ops_section_64;
    view = {};
    EXPECT_EQ(objlens_get_section(image.get(), &view, count), -1);
    EXPECT_EQ(view.ops, section_ops);
    EXPECT_EQ(view.image, image.get());
    EXPECT_EQ(view.item, nullptr);

    EXPECT_EQ(objlens_find_section(image.get(), &view, ".data"), 0);
    EXPECT_EQ(objlens_section_get_index(&view), 2u);
    view = {};
    EXPECT_EQ(objlens_find_section(image.get(), &view, ".bss"), -1);
    EXPECT_EQ(view.ops, section_ops);
    EXPECT_EQ(view.image, image.get());
    EXPECT_EQ(view.item, nullptr);

    // Through the table slot itself, as a caller holding only the table would.
    EXPECT_EQ(image.get()->ops->get_section(image.get(), &view, 1), 0);
    EXPECT_STREQ(objlens_section_get_name_str(&view), ".text");
}

TEST_P(Image, ProgramLookupsAndTheImageBase)
{
    elftest::ElfWriter b = elftest::writer(GetParam());
    b.set_type(ET_EXEC);
    b.add_segment({.type = PT_PHDR, .vaddr = 0x1000});
    b.add_segment(
        {.type = PT_LOAD, .vaddr = 0x80001234, .filesz = 0x10, .memsz = 0x20, .align = 0x1000});
    b.add_segment({.type = PT_LOAD, .vaddr = 0x80100000, .align = 0x1000});
    loaded_image image(b.build().bytes);
    ASSERT_EQ(image.status(), 0);
    EXPECT_EQ(objlens_get_num_of_programs(image.get()), 3u);
    // The lowest PT_LOAD, aligned down; a class-32 base is zero-extended.
    EXPECT_EQ(objlens_get_image_base(image.get()), 0x80001000u);

    objlens_program view{};
    EXPECT_EQ(objlens_get_program(image.get(), &view, 2), 0);
    EXPECT_EQ(objlens_program_get_vaddr(&view), 0x80100000u);
    view = {};
    EXPECT_EQ(objlens_get_program(image.get(), &view, 3), -1);
    EXPECT_EQ(view.ops, GetParam().bits == 32 ? &objlens_ops_program_32 : &objlens_ops_program_64);
    EXPECT_EQ(view.image, image.get());
    EXPECT_EQ(view.item, nullptr);
}

TEST_P(Image, HeaderViewReadsEveryFieldLive)
{
    elftest::ElfWriter b = elftest::writer(GetParam());
    b.set_type(ET_DYN);
    b.set_machine(EM_RISCV);
    b.set_entry(0x80000010);  // top bit set in class 32: still read as positive
    b.set_flags(0x80000005);
    b.add_section({.name = ".text", .data = byte_vector(4, 0)});
    b.add_segment({.type = PT_LOAD, .vaddr = 0});
    const byte_vector bytes = b.build().bytes;
    loaded_image image(bytes);
    ASSERT_EQ(image.status(), 0);

    objlens_ehdr ehdr{};
    ASSERT_EQ(objlens_get_ehdr(image.get(), &ehdr), 0);
    EXPECT_EQ(ehdr.ops, GetParam().bits == 32 ? &objlens_ops_ehdr_32 : &objlens_ops_ehdr_64);
    EXPECT_EQ(ehdr.image, image.get());
    const unsigned char *ident = objlens_ehdr_get_ident(&ehdr);
    EXPECT_EQ(ident, ehdr.item);
    EXPECT_EQ(0, std::memcmp(ident, bytes.data(), EI_NIDENT));
    EXPECT_EQ(ident[EI_CLASS], GetParam().bits == 32 ? ELFCLASS32 : ELFCLASS64);

    const bool is32 = GetParam().bits == 32;
    EXPECT_EQ(objlens_ehdr_get_type(&ehdr), ET_DYN);
    EXPECT_EQ(objlens_ehdr_get_machine(&ehdr), EM_RISCV);
    EXPECT_EQ(objlens_ehdr_get_version(&ehdr), uint32_t{EV_CURRENT});
    EXPECT_EQ(objlens_ehdr_get_entry(&ehdr), 0x80000010u);
    EXPECT_EQ(objlens_ehdr_get_phoff(&ehdr), is32 ? sizeof(Elf32_Ehdr) : sizeof(Elf64_Ehdr));
    EXPECT_GT(objlens_ehdr_get_shoff(&ehdr), objlens_ehdr_get_phoff(&ehdr));
    EXPECT_EQ(objlens_ehdr_get_flags(&ehdr), 0x80000005u);
    EXPECT_EQ(objlens_ehdr_get_ehsize(&ehdr), is32 ? 52 : 64);
    EXPECT_EQ(objlens_ehdr_get_phentsize(&ehdr), is32 ? 32 : 56);
    EXPECT_EQ(objlens_ehdr_get_phnum(&ehdr), 1);
    EXPECT_EQ(objlens_ehdr_get_shentsize(&ehdr), is32 ? 40 : 64);
    EXPECT_EQ(objlens_ehdr_get_shnum(&ehdr), 3);
    EXPECT_EQ(objlens_ehdr_get_shstrndx(&ehdr), 2);
    EXPECT_EQ(ehdr.ops->get_shnum(&ehdr), objlens_get_num_of_sections(image.get()));

    // A store into the live header is seen by the view made before it.
    auto *entry_field = static_cast<unsigned char *>(ehdr.item) +
                        (is32 ? offsetof(Elf32_Ehdr, e_entry) : offsetof(Elf64_Ehdr, e_entry));
    ASSERT_EQ(objlens_store_Addr(image.get(), entry_field, 0xfffffff0u), 0);
    EXPECT_EQ(objlens_ehdr_get_entry(&ehdr), 0xfffffff0u);
    EXPECT_EQ(objlens_store_Addr(image.get(), entry_field, 0x100000000u), is32 ? -1 : 0);
}

TEST_P(Image, SaveWritesStoresAndKeepsEverythingElse)
{
    elftest::ElfWriter b = elftest::writer(GetParam());
    b.add_section({.name = ".data", .data = byte_vector{1, 2, 3, 4, 5}});
    const byte_vector bytes = b.build().bytes;
    loaded_image image(bytes);
    ASSERT_EQ(image.status(), 0);

    char path[] = "/tmp/objlens-save-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    auto read_back = [&] {
        std::ifstream in(path, std::ios::binary);
        return byte_vector(std::istreambuf_iterator<char>(in), {});
    };

    ASSERT_EQ(objlens_save(image.get(), path), 0);
    EXPECT_EQ(read_back(), bytes);

    objlens_ehdr ehdr;
    objlens_get_ehdr(image.get(), &ehdr);
    auto *machine = static_cast<unsigned char *>(ehdr.item) + offsetof(Elf32_Ehdr, e_machine);
    ASSERT_EQ(objlens_store_Half(image.get(), machine, EM_AARCH64), 0);
    ASSERT_EQ(objlens_save(image.get(), path), 0);
    loaded_image again(std::string{path});
    ASSERT_EQ(again.status(), 0);
    EXPECT_EQ(objlens_get_machine(again.get()), EM_AARCH64);
    EXPECT_EQ(read_back().size(), bytes.size());

    EXPECT_EQ(objlens_save(image.get(), "/nonexistent-dir/out"), -1);
    EXPECT_EQ(std::remove(path), 0);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, Image, testing::ValuesIn(all_kinds), kind_name);

TEST(ImageFiles, LoadsTheLibraryItselfFromAFile)
{
    // The test binary is a real ELF file of the host's class.
    loaded_image image(std::string{"/proc/self/exe"});
    ASSERT_EQ(image.status(), 0);
    EXPECT_EQ(objlens_get_bits(image.get()), 8 * static_cast<int>(sizeof(void *)));
    EXPECT_GT(objlens_get_num_of_sections(image.get()), 10u);
    objlens_section text;
    EXPECT_EQ(objlens_find_section(image.get(), &text, ".text"), 0);
    EXPECT_EQ(objlens_section_get_type(&text), uint32_t{SHT_PROGBITS});
    EXPECT_EQ(objlens_section_get_flags(&text), uint64_t{SHF_ALLOC | SHF_EXECINSTR});
}

}  // namespace

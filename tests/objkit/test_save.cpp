// test_save.cpp - saving images: identical round trips, changed header
// fields, kept permissions, and failed saves that leave the target alone.
#include "any_image.hpp"
#include "support/elf_writer.hpp"
#include "support/image_kinds.hpp"
#include "test_util.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <sys/stat.h>

namespace objkit_test {
namespace {

using elftest::Eh;
using elftest::Ph;
using elftest::Sh;

const char *const fixture_files[] = {
    "i386.o",    "i386.exe",    "i386.so",    "arm.o",       "arm.exe",       "arm.so",
    "mips.o",    "mips.exe",    "mips.so",    "powerpc.o",   "powerpc.exe",   "powerpc.so",
    "x86_64.o",  "x86_64.exe",  "x86_64.so",  "aarch64.o",   "aarch64.exe",   "aarch64.so",
    "riscv64.o", "riscv64.exe", "riscv64.so", "powerpc64.o", "powerpc64.exe", "powerpc64.so",
};

TEST(Save, UnchangedFixturesSaveToIdenticalBytes)
{
    TempDir dir;
    for (const char *name : fixture_files) {
        SCOPED_TRACE(name);
        const std::string path = fixture(name);
        const Bytes original = read_bytes(path);
        AnyImage from_file(objkit_source_file(path.c_str()));
        ASSERT_TRUE(from_file.loaded());
        ASSERT_TRUE(from_file.save(dir.file("from-file")));
        EXPECT_EQ(read_bytes(dir.file("from-file")), original);
        AnyImage from_buffer(buffer_source(original));
        ASSERT_TRUE(from_buffer.loaded());
        ASSERT_TRUE(from_buffer.save(dir.file("from-buffer")));
        EXPECT_EQ(read_bytes(dir.file("from-buffer")), original);
    }
    EXPECT_EQ(dir.entry_count(), 2u) << "no temporary files are left behind";
}

using Combo = elftest::ImageKind;

class SaveCombo : public testing::TestWithParam<Combo> {
protected:
    static elftest::Image sample(bool extended = false)
    {
        elftest::ElfWriter w(GetParam().bits, GetParam().data, EM_NONE, ET_EXEC);
        w.options().extended_shnum = extended;
        w.options().extended_shstrndx = extended;
        w.options().extended_phnum = extended;
        const uint32_t text = w.add_section({.name = ".text",
                                             .flags = SHF_ALLOC | SHF_EXECINSTR,
                                             .addr = 0x1000,
                                             .addralign = 4,
                                             .data = {1, 2, 3, 4, 5, 6, 7, 8}});
        w.add_section({.name = ".bss", .type = SHT_NOBITS, .addr = 0x2000, .nobits_size = 32});
        w.add_segment({.type = PT_LOAD,
                       .flags = PF_R | PF_X,
                       .vaddr = 0x1000,
                       .first_section = text,
                       .last_section = text});
        return w.build();
    }
};

TEST_P(SaveCombo, UnchangedImageSavesToIdenticalBytes)
{
    TempDir dir;
    for (bool extended : {false, true}) {
        const elftest::Image built = sample(extended);
        AnyImage image(buffer_source(built.bytes));
        ASSERT_TRUE(image.loaded());
        ASSERT_TRUE(image.save(dir.file("out")));
        EXPECT_EQ(read_bytes(dir.file("out")), built.bytes);
    }
}

TEST_P(SaveCombo, ChangedHeaderFieldsAreSaved)
{
    TempDir dir;
    const elftest::Image built = sample();
    AnyImage image(buffer_source(built.bytes));
    ASSERT_TRUE(image.loaded());
    const unsigned d = image.data_order();
    if (image.bits() == 64) {
        objcore64_image *i = image.image64();
        i->ehdr.e_flags = objcore64_swap32(i, 0x12345678, d);
        objcore64_get_section(i, 1)->shdr.sh_addr = objcore64_swap64(i, 0xabcdef0011, d);
        objcore64_get_program(i, 0)->phdr.p_vaddr = objcore64_swap64(i, 0x7000, d);
    } else {
        objcore32_image *i = image.image32();
        i->ehdr.e_flags = objcore32_swap32(i, 0x12345678, d);
        objcore32_get_section(i, 1)->shdr.sh_addr = objcore32_swap32(i, 0xabcdef00, d);
        objcore32_get_program(i, 0)->phdr.p_vaddr = objcore32_swap32(i, 0x7000, d);
    }
    ASSERT_TRUE(image.save(dir.file("out")));

    elftest::Image expected = built;
    expected.set(Eh::flags, 0x12345678);
    expected.set(1, Sh::addr, image.bits() == 64 ? 0xabcdef0011 : 0xabcdef00);
    expected.set(0, Ph::vaddr, 0x7000);
    const Bytes saved = read_bytes(dir.file("out"));
    EXPECT_EQ(saved, expected.bytes);

    AnyImage reloaded(objkit_source_file(dir.file("out").c_str()));
    ASSERT_TRUE(reloaded.loaded());
    EXPECT_EQ(reloaded.section(1).addr, image.bits() == 64 ? 0xabcdef0011u : 0xabcdef00u);
    EXPECT_EQ(reloaded.program(0).vaddr, 0x7000u);
}

INSTANTIATE_TEST_SUITE_P(AllCombinations, SaveCombo, testing::ValuesIn(elftest::all_kinds),
                         elftest::kind_name);

TEST(Save, FailedSaveLeavesTheTargetAsItWas)
{
    TempDir dir;
    const std::string source = dir.file("source.elf");
    const Bytes original = read_bytes(fixture("x86_64.so"));
    ASSERT_TRUE(write_bytes(source, original));
    AnyImage image(objkit_source_file(source.c_str()));
    ASSERT_TRUE(image.loaded());

    EXPECT_FALSE(image.save(dir.file("missing/target")));
    EXPECT_FALSE(image.save(""));
    EXPECT_FALSE(image.save(dir.path().string()));
    EXPECT_FALSE(image.save(dir.file("") + "/"));
    EXPECT_FALSE(image.save("/dev/null"));
    EXPECT_FALSE(objcore64_save(image.image64(), nullptr));
    ASSERT_TRUE(std::filesystem::create_directory(dir.file("folder")));
    EXPECT_FALSE(image.save(dir.file("folder")));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder")));

    // A source that changed since load cannot give its bytes as loaded.
    const std::string target = dir.file("target");
    const Bytes before = {'k', 'e', 'e', 'p'};
    ASSERT_TRUE(write_bytes(target, before));
    ASSERT_TRUE(write_bytes(source, Bytes(original.size() / 2, 0)));
    EXPECT_FALSE(image.save(target));
    EXPECT_EQ(read_bytes(target), before);
    EXPECT_EQ(dir.entry_count(), 3u) << "source, folder and target, nothing else";
}

TEST(Save, KeepsAnExistingTargetsPermissions)
{
    TempDir dir;
    const std::string target = dir.file("target");
    ASSERT_TRUE(write_bytes(target, {1, 2, 3}));
    ASSERT_EQ(::chmod(target.c_str(), 0751), 0);
    AnyImage image(objkit_source_file(fixture("arm.exe").c_str()));
    ASSERT_TRUE(image.save(target));
    struct stat st;
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0751u);
    EXPECT_EQ(read_bytes(target), read_bytes(fixture("arm.exe")));
}

TEST(Save, NewTargetTakesTheSourceFilesPermissions)
{
    TempDir dir;
    const std::string source = dir.file("source");
    ASSERT_TRUE(write_bytes(source, read_bytes(fixture("mips.exe"))));
    ASSERT_EQ(::chmod(source.c_str(), 0700), 0);
    AnyImage image(objkit_source_file(source.c_str()));
    ASSERT_TRUE(image.save(dir.file("new")));
    struct stat st;
    ASSERT_EQ(::stat(dir.file("new").c_str(), &st), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 07777, 0700u & ~mask);
}

TEST(Save, TargetNamesUpToTheLongestAllowed)
{
    // The new file beside the target must have a name the system accepts
    // even when the target's own name is near NAME_MAX.
    TempDir dir;
    const std::string source = dir.file("source");
    const Bytes original = read_bytes(fixture("mips.exe"));
    ASSERT_TRUE(write_bytes(source, original));
    AnyImage image(objkit_source_file(source.c_str()));
    ASSERT_TRUE(image.loaded());
    for (const size_t length : {size_t{238}, size_t{250}, size_t{NAME_MAX}}) {
        const std::string target = dir.file(std::string(length, 't'));
        EXPECT_TRUE(image.save(target)) << length << " bytes, new";
        EXPECT_TRUE(image.save(target)) << length << " bytes, replaced";
        EXPECT_EQ(read_bytes(target), original) << length;
    }
    EXPECT_EQ(dir.entry_count(), 4u) << "the source and the three targets, nothing else";
}

TEST(Save, OverTheLoadedFileItself)
{
    TempDir dir;
    const std::string path = dir.file("image");
    const Bytes original = read_bytes(fixture("powerpc64.so"));
    ASSERT_TRUE(write_bytes(path, original));
    AnyImage image(objkit_source_file(path.c_str()));
    ASSERT_TRUE(image.loaded());
    objcore64_image *i = image.image64();
    i->ehdr.e_flags = objcore64_swap32(i, 2, image.data_order());
    ASSERT_TRUE(image.save(path));
    ASSERT_TRUE(image.save(path)) << "the image still has its bytes as loaded";
    // Sections not read before the save still read as loaded.
    for (uint32_t s = 1; s < image.num_sections(); ++s) {
        Bytes bytes;
        ASSERT_TRUE(image.read_all(s, &bytes)) << s;
        const SectionFacts f = image.section(s);
        if (f.data_size > 0) {
            EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(),
                                   original.begin() + static_cast<ptrdiff_t>(f.offset)));
        }
    }
    AnyImage reloaded(objkit_source_file(path.c_str()));
    ASSERT_TRUE(reloaded.loaded());
    EXPECT_EQ(objcore64_swap32(reloaded.image64(), reloaded.image64()->ehdr.e_flags,
                               reloaded.data_order()),
              2u);
}

}  // namespace
}  // namespace objkit_test

// test_probe.cpp - what a can_load keeps in the caller's source record for
// the calls after it.
//
// The probe must never make a caller see a file other than the one asked
// about: a repeated can_load of the same class reads the file again, a load
// loads the file its can_load looked at, and no descriptor stays open after
// a load sequence except the one its image holds.
#include "any_image.hpp"
#include "support/elf_writer.hpp"
#include "test_util.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace objkit_test {
namespace {

Bytes image_bytes(int bits, int sections)
{
    elftest::ElfWriter w(bits, ELFDATA2LSB);
    for (int i = 0; i < sections; ++i)
        w.add_section({.name = ".s" + std::to_string(i), .data = {1, 2, 3}});
    return w.build().bytes;
}

// Writes a new file and renames it over `path`, as an installer would.
void replace(const TempDir &dir, const std::string &path, const Bytes &bytes)
{
    const std::string next = dir.file("next");
    ASSERT_TRUE(write_bytes(next, bytes));
    ASSERT_EQ(std::rename(next.c_str(), path.c_str()), 0);
}

TEST(Probe, TheLoadSequenceLoadsTheFileAsked)
{
    TempDir dir;
    const std::string a = dir.file("a.o");
    const std::string b = dir.file("b.o");
    ASSERT_TRUE(write_bytes(a, image_bytes(64, 2)));
    ASSERT_TRUE(write_bytes(b, image_bytes(32, 5)));
    for (int round = 0; round < 3; ++round) {
        AnyImage image_a(objkit_source_file(a.c_str()));  // as objlens loads: can_load 32, 64, load
        AnyImage image_b(objkit_source_file(b.c_str()));
        ASSERT_TRUE(image_a.loaded());
        ASSERT_TRUE(image_b.loaded());
        EXPECT_EQ(image_a.num_sections(), 4u);  // null, two, .shstrtab
        EXPECT_EQ(image_b.num_sections(), 7u);
        // A can_load on one record, then the load of another.
        objkit_source source_a = objkit_source_file(a.c_str());
        objkit_source source_b = objkit_source_file(b.c_str());
        ASSERT_TRUE(objcore64_can_load(&source_a));
        objcore32_image *other = objcore32_load(&source_b);
        ASSERT_NE(other, nullptr);
        EXPECT_EQ(objcore32_get_num_sections(other), 7u);
        objcore32_free(other);
        objkit_source_release(&source_a);
        // A second load right after the first, with no can_load between.
        ASSERT_TRUE(objcore64_can_load(&source_a));
        objcore64_image *first = objcore64_load(&source_a);
        objcore64_image *second = objcore64_load(&source_a);
        ASSERT_NE(first, nullptr);
        ASSERT_NE(second, nullptr);
        EXPECT_EQ(objcore64_get_num_sections(second), 4u);
        objcore64_free(first);
        objcore64_free(second);
    }
}

TEST(Probe, AskingAgainReadsTheFileAgain)
{
    TempDir dir;
    const std::string path = dir.file("image.o");
    objkit_source source = objkit_source_file(path.c_str());
    ASSERT_TRUE(write_bytes(path, image_bytes(64, 1)));
    ASSERT_TRUE(objcore64_can_load(&source));
    ASSERT_TRUE(write_bytes(path, Bytes(64, 'x')));
    EXPECT_FALSE(objcore64_can_load(&source));
    EXPECT_EQ(source.reason, OBJKIT_REASON_NOT_ELF);
    // The other class answers from what the first one looked at: the two
    // belong to one load by class.  Released, the record looks anew.
    replace(dir, path, image_bytes(32, 1));
    EXPECT_FALSE(objcore32_can_load(&source));
    objkit_source_release(&source);
    EXPECT_TRUE(objcore32_can_load(&source));
    replace(dir, path, image_bytes(64, 1));
    EXPECT_FALSE(objcore32_can_load(&source)) << "a second ask of class 32 must look again";
    EXPECT_EQ(source.reason, OBJKIT_REASON_CLASS);
    EXPECT_STREQ(source.reason_text, "ELF class ELFCLASS64, not ELFCLASS32");
    EXPECT_TRUE(objcore64_can_load(&source));
    objkit_source_release(&source);
}

TEST(Probe, ALoadLoadsTheFileItsCanLoadLookedAt)
{
    TempDir dir;
    const std::string path = dir.file("image.o");
    objkit_source source = objkit_source_file(path.c_str());
    ASSERT_TRUE(write_bytes(path, image_bytes(64, 1)));
    ASSERT_TRUE(objcore64_can_load(&source));
    replace(dir, path, image_bytes(64, 6));
    objcore64_image *image = objcore64_load(&source);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(objcore64_get_num_sections(image), 3u) << "the file can_load accepted";
    objcore64_free(image);

    // Without a can_load, or after a load used the probe up, the path is
    // opened anew.
    image = objcore64_load(&source);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(objcore64_get_num_sections(image), 8u);
    objcore64_free(image);

    // A released record keeps nothing: the file removed after it is gone.
    ASSERT_TRUE(objcore64_can_load(&source));
    objkit_source_release(&source);
    ASSERT_EQ(std::remove(path.c_str()), 0);
    EXPECT_EQ(objcore64_load(&source), nullptr);
    EXPECT_EQ(source.reason, OBJKIT_REASON_OPEN);
    EXPECT_EQ(source.error, ENOENT);
}

TEST(Probe, AFileThatShrinksBeforeItsLoadIsChanged)
{
    // Its can_load saw the larger file, so the load finds the headers past
    // the end: the file changed, which a caller may answer by trying again.
    TempDir dir;
    const std::string path = dir.file("image.o");
    ASSERT_TRUE(write_bytes(path, image_bytes(64, 100)));
    objkit_source source = objkit_source_file(path.c_str());
    ASSERT_TRUE(objcore64_can_load(&source));
    ASSERT_EQ(::truncate(path.c_str(), off_t{2} * OBJKIT_PROBE_HEAD), 0);
    EXPECT_EQ(objcore64_load(&source), nullptr);
    EXPECT_EQ(source.reason, OBJKIT_REASON_CHANGED) << source.reason_text;
    EXPECT_EQ(source.error, 0);
}

// Loads by class, as objlens does, and reports whether an image came back.
bool load_by_class(objkit_source *source)
{
    if (objcore32_can_load(source)) {
        objcore32_image *image = objcore32_load(source);
        objcore32_free(image);
        return image != nullptr;
    }
    if (!objcore64_can_load(source))
        return false;
    objcore64_image *image = objcore64_load(source);
    objcore64_free(image);
    return image != nullptr;
}

TEST(Probe, NoDescriptorOutlivesALoadSequence)
{
    TempDir dir;
    const std::string elf32 = dir.file("a32.o");
    const std::string elf64 = dir.file("a64.o");
    const std::string text = dir.file("notes.txt");
    const std::string cut = dir.file("cut.o");
    ASSERT_TRUE(write_bytes(elf32, image_bytes(32, 2)));
    ASSERT_TRUE(write_bytes(elf64, image_bytes(64, 2)));
    ASSERT_TRUE(write_bytes(text, Bytes(300, 'x')));
    Bytes truncated = image_bytes(64, 2);
    truncated.resize(40);  // ELF identification of class 64, header cut off
    ASSERT_TRUE(write_bytes(cut, truncated));

    const size_t before = open_descriptors();
    for (int round = 0; round < 20; ++round) {
        objkit_source a32 = objkit_source_file(elf32.c_str());
        objkit_source a64 = objkit_source_file(elf64.c_str());
        objkit_source notes = objkit_source_file(text.c_str());
        objkit_source short_file = objkit_source_file(cut.c_str());
        EXPECT_TRUE(load_by_class(&a32));
        EXPECT_TRUE(load_by_class(&a64));
        EXPECT_FALSE(load_by_class(&notes));
        EXPECT_EQ(notes.reason, OBJKIT_REASON_NOT_ELF);
        EXPECT_FALSE(load_by_class(&short_file));
        EXPECT_EQ(short_file.reason, OBJKIT_REASON_TRUNCATED) << short_file.reason_text;
        EXPECT_EQ(open_descriptors(), before) << "round " << round;
    }
    // A record zeroed and filled by hand holds no descriptor, so nothing
    // the process has open (descriptor 0 among them) is closed for it.
    objkit_source by_hand;
    std::memset(&by_hand, 0, sizeof by_hand);
    by_hand.kind = OBJKIT_SOURCE_FILE;
    by_hand.path = elf64.c_str();
    objkit_source_release(&by_hand);
    EXPECT_TRUE(load_by_class(&by_hand));
    EXPECT_EQ(open_descriptors(), before);
    EXPECT_NE(::fcntl(0, F_GETFD), -1);
}

// The records a binding from another language holds by pointer: the path
// is the record's own copy, and freeing the record closes what a can_load
// left open in it.
TEST(Probe, AHeapSourceOwnsItsPathAndFreeClosesItsDescriptor)
{
    TempDir dir;
    const Bytes bytes = image_bytes(64, 2);
    std::string path = dir.file("a64.o");
    ASSERT_TRUE(write_bytes(path, bytes));

    const size_t before = open_descriptors();
    objkit_source *file = objkit_source_new_file(path.c_str());
    ASSERT_NE(file, nullptr);
    path.assign(path.size(), 'x');
    EXPECT_TRUE(load_by_class(file)) << file->reason_text;
    ASSERT_TRUE(objcore64_can_load(file));
    EXPECT_EQ(open_descriptors(), before + 1);
    objkit_source_free(file);
    EXPECT_EQ(open_descriptors(), before);

    objkit_source *buffer = objkit_source_new_buffer(bytes.data(), bytes.size());
    ASSERT_NE(buffer, nullptr);
    EXPECT_TRUE(load_by_class(buffer));
    objkit_source_free(buffer);
    objkit_source_free(nullptr);
}

}  // namespace
}  // namespace objkit_test

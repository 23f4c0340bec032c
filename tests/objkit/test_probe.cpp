// test_probe.cpp - the open file that a can_load keeps for the load after it.
//
// The probe must never make a caller see a file other than the one at the
// path when it asks: a repeated can_load of the same class reads the file
// again, a load long after its can_load opens the file again, and no
// descriptor outlives its thread.
#include "any_image.hpp"
#include "support/elf_writer.hpp"
#include "test_util.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

namespace objkit_test {
namespace {

// Longer than a probe is kept.
constexpr auto past_probe = std::chrono::milliseconds(60);

Bytes image_bytes(int bits, int sections)
{
    elftest::ElfWriter w(bits, ELFDATA2LSB);
    for (int i = 0; i < sections; ++i)
        w.add_section({.name = ".s" + std::to_string(i), .data = {1, 2, 3}});
    return w.build().bytes;
}

size_t open_descriptors()
{
    size_t count = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
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
        const objkit_source source_a = objkit_source_file(a.c_str());
        const objkit_source source_b = objkit_source_file(b.c_str());
        AnyImage image_a(source_a);  // loads as objlens does: can_load 32, 64, load
        AnyImage image_b(source_b);
        ASSERT_TRUE(image_a.loaded());
        ASSERT_TRUE(image_b.loaded());
        EXPECT_EQ(image_a.num_sections(), 4u);  // null, two, .shstrtab
        EXPECT_EQ(image_b.num_sections(), 7u);
        // A can_load of one file, then the load of another.
        ASSERT_TRUE(objcore64_can_load(&source_a));
        objcore32_image *other = objcore32_load(&source_b);
        ASSERT_NE(other, nullptr);
        EXPECT_EQ(objcore32_get_num_sections(other), 7u);
        objcore32_free(other);
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
    const objkit_source source = objkit_source_file(path.c_str());
    ASSERT_TRUE(write_bytes(path, image_bytes(64, 1)));
    ASSERT_TRUE(objcore64_can_load(&source));
    ASSERT_TRUE(write_bytes(path, Bytes(64, 'x')));
    EXPECT_FALSE(objcore64_can_load(&source));
    replace(dir, path, image_bytes(32, 1));
    std::this_thread::sleep_for(past_probe);
    EXPECT_TRUE(objcore32_can_load(&source));
    replace(dir, path, image_bytes(64, 1));
    EXPECT_FALSE(objcore32_can_load(&source)) << "a second ask of class 32 must look again";
    EXPECT_TRUE(objcore64_can_load(&source));
}

TEST(Probe, ALoadLongAfterItsCanLoadOpensTheFileAgain)
{
    TempDir dir;
    const std::string path = dir.file("image.o");
    const objkit_source source = objkit_source_file(path.c_str());
    ASSERT_TRUE(write_bytes(path, image_bytes(64, 1)));
    ASSERT_TRUE(objcore64_can_load(&source));
    replace(dir, path, image_bytes(64, 6));
    std::this_thread::sleep_for(past_probe);
    objcore64_image *image = objcore64_load(&source);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(objcore64_get_num_sections(image), 8u);
    objcore64_free(image);

    // The file removed after its can_load: the later load fails.
    ASSERT_TRUE(objcore64_can_load(&source));
    ASSERT_EQ(std::remove(path.c_str()), 0);
    std::this_thread::sleep_for(past_probe);
    EXPECT_EQ(objcore64_load(&source), nullptr);
}

TEST(Probe, NoDescriptorOutlivesItsThread)
{
    TempDir dir;
    const std::string path = dir.file("image.o");
    ASSERT_TRUE(write_bytes(path, image_bytes(64, 1)));
    const size_t before = open_descriptors();
    std::thread prober([&] {
        const objkit_source source = objkit_source_file(path.c_str());
        EXPECT_TRUE(objcore64_can_load(&source));
        EXPECT_FALSE(objcore32_can_load(&source));
    });
    prober.join();
    EXPECT_EQ(open_descriptors(), before);

    // On this thread: a can_load keeps at most one file open, whatever the
    // number of files asked about.
    for (int i = 0; i < 50; ++i) {
        const std::string file = dir.file("f" + std::to_string(i));
        ASSERT_TRUE(write_bytes(file, image_bytes(32, 1)));
        const objkit_source source = objkit_source_file(file.c_str());
        ASSERT_TRUE(objcore32_can_load(&source));
    }
    EXPECT_LE(open_descriptors(), before + 1);
}

}  // namespace
}  // namespace objkit_test

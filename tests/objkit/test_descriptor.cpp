// test_descriptor.cpp - load sources over a descriptor the caller holds.
//
// A descriptor source must load as its path would, from the file the
// descriptor is open on even after the path names another, and must leave
// the caller's descriptor open, in place and usable.
#include "any_image.hpp"
#include "support/elf_writer.hpp"
#include "test_util.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace objkit_test {
namespace {

Bytes image_bytes(int bits, unsigned char data, int sections)
{
    elftest::ElfWriter w(bits, bits == 32 ? ELFDATA2MSB : ELFDATA2LSB);
    for (int i = 0; i < sections; ++i)
        w.add_section({.name = ".s" + std::to_string(i), .data = Bytes(3, data)});
    return w.build().bytes;
}

class Descriptor : public ::testing::TestWithParam<int> {};

TEST_P(Descriptor, LoadsTheFileItIsOpenOnAndStaysTheCallers)
{
    TempDir dir;
    const std::string path = dir.file("a.o");
    ASSERT_TRUE(write_bytes(path, image_bytes(GetParam(), 0x11, 2)));
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const size_t before = open_descriptors();
    // The path now names another file: the descriptor still reads the first.
    ASSERT_EQ(std::rename(path.c_str(), dir.file("moved").c_str()), 0);
    ASSERT_TRUE(write_bytes(path, image_bytes(GetParam(), 0x22, 5)));
    {
        AnyImage by_path(objkit_source_file(dir.file("moved").c_str()));
        AnyImage by_fd(objkit_source_descriptor(fd));
        ASSERT_TRUE(by_fd.loaded()) << by_fd.source().reason_text;
        ASSERT_EQ(by_fd.num_sections(), by_path.num_sections());
        EXPECT_EQ(by_fd.num_sections(), 4u);
        unsigned char byte = 0;
        ASSERT_TRUE(by_fd.raw_read(1, &byte, 1, 0));
        EXPECT_EQ(byte, 0x11);
        EXPECT_EQ(open_descriptors(), before + 2);  // each image's own
    }
    EXPECT_EQ(open_descriptors(), before);
    // Never closed, never moved: the caller reads on from where it was.
    unsigned char magic[4] = {};
    ASSERT_EQ(::read(fd, magic, sizeof magic), 4);
    EXPECT_EQ(magic[0], 0x7f);
    ::close(fd);
}

TEST_P(Descriptor, ARangeLoadsAsThePathsRangeDoes)
{
    TempDir dir;
    const std::string path = dir.file("packed");
    Bytes file(61, 0xee);
    const Bytes member = image_bytes(GetParam(), 0x33, 3);
    file.insert(file.end(), member.begin(), member.end());
    file.insert(file.end(), 5, 0xee);
    ASSERT_TRUE(write_bytes(path, file));
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    AnyImage by_fd(objkit_source_descriptor_range(fd, 61, member.size()));
    AnyImage by_path(objkit_source_file_range(path.c_str(), 61, member.size()));
    ASSERT_TRUE(by_fd.loaded()) << by_fd.source().reason_text;
    ASSERT_EQ(by_fd.num_sections(), by_path.num_sections());
    EXPECT_EQ(by_fd.section(3).offset, by_path.section(3).offset);
    objkit_source outside = objkit_source_descriptor_range(fd, 62, member.size() + 5);
    objkit_source outside_path = objkit_source_file_range(path.c_str(), 62, member.size() + 5);
    EXPECT_EQ(objcore64_load(&outside), nullptr);
    EXPECT_EQ(objcore64_load(&outside_path), nullptr);
    EXPECT_EQ(outside.reason, OBJKIT_REASON_RANGE);
    EXPECT_STREQ(outside.reason_text, outside_path.reason_text);
    ::close(fd);
}

INSTANTIATE_TEST_SUITE_P(Classes, Descriptor, ::testing::Values(32, 64));

TEST(DescriptorRefusal, ReasonsAndTextsAreThePaths)
{
    const int folder = ::open("/", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    objkit_source by_fd = objkit_source_descriptor(folder);
    objkit_source by_path = objkit_source_file("/");
    EXPECT_EQ(objcore64_can_load(&by_fd), 0);
    EXPECT_EQ(objcore64_can_load(&by_path), 0);
    EXPECT_EQ(by_fd.reason, OBJKIT_REASON_NOT_REGULAR);
    EXPECT_EQ(by_fd.error, EISDIR);
    EXPECT_STREQ(by_fd.reason_text, by_path.reason_text);
    ::close(folder);

    objkit_source closed = objkit_source_descriptor(-1);
    EXPECT_EQ(objcore32_load(&closed), nullptr);
    EXPECT_EQ(closed.reason, OBJKIT_REASON_OPEN);
    EXPECT_EQ(closed.error, EBADF);
}

}  // namespace
}  // namespace objkit_test

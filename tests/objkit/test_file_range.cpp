// test_file_range.cpp - load sources for a range of a file.
//
// An image loaded from a range must be the range's image and nothing else:
// every offset counts from the range's start, the bytes around it are never
// read as its own, a range outside its file is refused before anything is
// read, and the file's stamp guards the range's bytes as it guards a file's.
#include "any_image.hpp"
#include "mmap_count.h"
#include "support/elf_writer.hpp"
#include "test_util.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace objkit_test {
namespace {

Bytes image_bytes(int bits, unsigned char data, int sections, size_t data_size = 3)
{
    elftest::ElfWriter w(bits, bits == 32 ? ELFDATA2MSB : ELFDATA2LSB);
    for (int i = 0; i < sections; ++i)
        w.add_section({.name = ".s" + std::to_string(i), .data = Bytes(data_size, data)});
    return w.build().bytes;
}

// Two images laid one after the other, each between runs of filler, as an
// archive lays out its members.
struct Packed {
    Bytes file;
    uint64_t first_at = 0;
    uint64_t second_at = 0;
    Bytes first;
    Bytes second;
};

Packed packed(int bits)
{
    Packed p;
    p.first = image_bytes(bits, 0x11, 2);
    p.second = image_bytes(bits, 0x22, 5);
    p.file.assign(60, 0xee);
    p.first_at = p.file.size();
    p.file.insert(p.file.end(), p.first.begin(), p.first.end());
    p.file.insert(p.file.end(), 61, 0xee);  // an odd offset for the second
    p.second_at = p.file.size();
    p.file.insert(p.file.end(), p.second.begin(), p.second.end());
    p.file.insert(p.file.end(), 7, 0xee);
    return p;
}

class FileRange : public ::testing::TestWithParam<int> {};

TEST_P(FileRange, EachRangeLoadsAsItsOwnFileWould)
{
    TempDir dir;
    const std::string path = dir.file("packed");
    const Packed p = packed(GetParam());
    ASSERT_TRUE(write_bytes(path, p.file));
    const std::string alone = dir.file("alone");
    ASSERT_TRUE(write_bytes(alone, p.second));

    AnyImage first(objkit_source_file_range(path.c_str(), p.first_at, p.first.size()));
    AnyImage second(objkit_source_file_range(path.c_str(), p.second_at, p.second.size()));
    AnyImage expected(objkit_source_file(alone.c_str()));
    ASSERT_TRUE(first.loaded()) << first.source().reason_text;
    ASSERT_TRUE(second.loaded()) << second.source().reason_text;
    ASSERT_TRUE(expected.loaded());
    EXPECT_EQ(first.bits(), GetParam());
    EXPECT_EQ(first.num_sections(), 4u);
    ASSERT_EQ(second.num_sections(), expected.num_sections());
    for (uint32_t i = 0; i < expected.num_sections(); ++i) {
        const SectionFacts got = second.section(i);
        const SectionFacts want = expected.section(i);
        EXPECT_EQ(got.name, want.name);
        EXPECT_EQ(got.offset, want.offset) << "offsets count from the range's start";
        EXPECT_EQ(got.size, want.size);
    }
    const int64_t s4 = second.find(".s4");
    ASSERT_GE(s4, 0);
    unsigned char bytes[3] = {};
    ASSERT_TRUE(second.raw_read(static_cast<uint32_t>(s4), bytes, 3, 0));
    EXPECT_EQ(bytes[0], 0x22);
    EXPECT_EQ(bytes[2], 0x22);
}

TEST_P(FileRange, ARangeThatEndsEarlyIsTruncatedNotTheFile)
{
    // The range stops before the image's section header table, which lies
    // inside the file: the table must be judged against the range.
    TempDir dir;
    const std::string path = dir.file("packed");
    const Packed p = packed(GetParam());
    ASSERT_TRUE(write_bytes(path, p.file));
    AnyImage cut(objkit_source_file_range(path.c_str(), p.first_at, p.first.size() - 1));
    EXPECT_FALSE(cut.loaded());
    EXPECT_EQ(cut.source().reason, OBJKIT_REASON_SECTION_TABLE) << cut.source().reason_text;
}

TEST_P(FileRange, ASaveWritesTheRangeAlone)
{
    TempDir dir;
    const std::string path = dir.file("packed");
    const Packed p = packed(GetParam());
    ASSERT_TRUE(write_bytes(path, p.file));
    AnyImage second(objkit_source_file_range(path.c_str(), p.second_at, p.second.size()));
    ASSERT_TRUE(second.loaded());
    const std::string saved = dir.file("saved");
    const int ok = second.bits() == 32 ? objcore32_save(second.image32(), saved.c_str())
                                       : objcore64_save(second.image64(), saved.c_str());
    ASSERT_EQ(ok, 1);
    EXPECT_EQ(read_bytes(saved), p.second);
}

INSTANTIATE_TEST_SUITE_P(Classes, FileRange, ::testing::Values(32, 64));

TEST(FileRangeRefusal, ARangeNotInsideTheFileIsRefusedWithItsNumbers)
{
    TempDir dir;
    const std::string path = dir.file("packed");
    const Packed p = packed(64);
    ASSERT_TRUE(write_bytes(path, p.file));
    const uint64_t size = p.file.size();
    struct Case {
        uint64_t offset;
        size_t size;
    };
    for (const Case c : {Case{size + 1, 1}, Case{size, 1}, Case{p.second_at, p.second.size() + 8},
                         Case{UINT64_MAX, 2}, Case{1, SIZE_MAX}}) {
        objkit_source source = objkit_source_file_range(path.c_str(), c.offset, c.size);
        EXPECT_EQ(objcore64_can_load(&source), 0);
        EXPECT_EQ(source.reason, OBJKIT_REASON_RANGE) << c.offset << " " << c.size;
        EXPECT_NE(std::string(source.reason_text).find("does not lie inside the file"),
                  std::string::npos)
            << source.reason_text;
        EXPECT_EQ(objcore64_load(&source), nullptr);
        EXPECT_EQ(source.reason, OBJKIT_REASON_RANGE);
    }
    // An empty range at the very end lies inside, and is empty.
    objkit_source empty = objkit_source_file_range(path.c_str(), size, 0);
    EXPECT_EQ(objcore64_load(&empty), nullptr);
    EXPECT_EQ(empty.reason, OBJKIT_REASON_EMPTY);
    EXPECT_STREQ(empty.reason_text, "the range is empty");
    // Bytes that are not ELF at the range's start, though the file's are.
    objkit_source filler = objkit_source_file_range(path.c_str(), 1, 100);
    EXPECT_EQ(objcore64_load(&filler), nullptr);
    EXPECT_EQ(filler.reason, OBJKIT_REASON_NOT_ELF);
}

TEST(FileRangeRefusal, TheProbeOfOneRangeIsNotTakenForAnother)
{
    // One record, its range moved between the can_load and the load: the
    // load reads the range it is asked for.
    TempDir dir;
    const std::string path = dir.file("packed");
    const Packed p = packed(64);
    ASSERT_TRUE(write_bytes(path, p.file));
    objkit_source source = objkit_source_file_range(path.c_str(), p.first_at, p.first.size());
    ASSERT_EQ(objcore64_can_load(&source), 1);
    source.probe.range_offset = p.second_at;  // the private member its constructor sets
    source.size = p.second.size();
    objcore64_image *image = objcore64_load(&source);
    ASSERT_NE(image, nullptr) << source.reason_text;
    EXPECT_EQ(objcore64_get_num_sections(image), 7u);
    objcore64_free(image);
}

TEST(FileRangeFile, AChangeToTheFileIsSeenByARangesLazyRead)
{
    TempDir dir;
    const std::string path = dir.file("packed");
    Bytes file(100, 0xee);
    const Bytes big = image_bytes(64, 0x33, 1, 3u << 20);  // read lazily, in chunks
    file.insert(file.end(), big.begin(), big.end());
    ASSERT_TRUE(write_bytes(path, file));
    AnyImage image(objkit_source_file_range(path.c_str(), 100, big.size()));
    ASSERT_TRUE(image.loaded());
    const int64_t s0 = image.find(".s0");
    ASSERT_GE(s0, 0);
    unsigned char byte = 0;
    ASSERT_TRUE(image.raw_read(static_cast<uint32_t>(s0), &byte, 1, 0));
    EXPECT_EQ(byte, 0x33);
    file.push_back(0);  // the file grows: its stamp no longer matches
    ASSERT_TRUE(write_bytes(path, file));
    EXPECT_FALSE(image.raw_read(static_cast<uint32_t>(s0), &byte, 1, 2u << 20));
}

TEST(FileRangeFile, MembersLoadedOneByOneLeaveNoDescriptorBehind)
{
    TempDir dir;
    const std::string path = dir.file("packed");
    const Packed p = packed(32);
    ASSERT_TRUE(write_bytes(path, p.file));
    const size_t before = open_descriptors();
    for (int round = 0; round < 50; ++round) {
        AnyImage image(objkit_source_file_range(path.c_str(), round % 2 ? p.first_at : p.second_at,
                                                round % 2 ? p.first.size() : p.second.size()));
        ASSERT_TRUE(image.loaded());
        EXPECT_EQ(open_descriptors(), before + 1);  // the image's own
    }
    EXPECT_EQ(open_descriptors(), before);
}

// An archive's members are mostly smaller than a chunk: a mapping made and
// given back for each cost more than reading the member.
TEST(FileRangeFile, AMemberOfOneChunkIsCachedWithoutAMappingOfItsOwn)
{
    TempDir dir;
    const std::string path = dir.file("packed");
    const Packed p = packed(64);
    ASSERT_TRUE(write_bytes(path, p.file));
    const std::string big_path = dir.file("big");
    ASSERT_TRUE(write_bytes(big_path, image_bytes(64, 0x33, 1, 2 * OBJKIT_CACHE_CHUNK)));
    unsigned char byte = 0;

    unsigned long before = mmap_calls();
    {
        AnyImage image(objkit_source_file_range(path.c_str(), p.second_at, p.second.size()));
        ASSERT_TRUE(image.loaded());
        ASSERT_TRUE(image.raw_read(1, &byte, 1, 2));
        EXPECT_EQ(byte, 0x22);
    }
    EXPECT_EQ(mmap_calls(), before);

    before = mmap_calls();  // a larger file is mapped, as the count sees
    AnyImage big(objkit_source_file(big_path.c_str()));
    ASSERT_TRUE(big.loaded());
    ASSERT_TRUE(big.raw_read(1, &byte, 1, OBJKIT_CACHE_CHUNK));
    EXPECT_EQ(byte, 0x33);
    EXPECT_GT(mmap_calls(), before);
}

TEST(FileRangeHeap, TheHeapRecordCopiesThePathAndKeepsTheRange)
{
    TempDir dir;
    const Packed p = packed(64);
    std::string path = dir.file("packed");
    ASSERT_TRUE(write_bytes(path, p.file));
    objkit_source *source =
        objkit_source_new_file_range(path.c_str(), p.second_at, p.second.size());
    ASSERT_NE(source, nullptr);
    path.assign(path.size(), 'x');  // the caller's string is gone
    EXPECT_EQ(source->kind, OBJKIT_SOURCE_FILE_RANGE);
    objcore64_image *image = objcore64_load(source);
    ASSERT_NE(image, nullptr) << source->reason_text;
    EXPECT_EQ(objcore64_get_num_sections(image), 7u);
    objcore64_free(image);
    objkit_source_free(source);
}

}  // namespace
}  // namespace objkit_test

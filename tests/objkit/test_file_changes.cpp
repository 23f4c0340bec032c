// test_file_changes.cpp - file images whose file changes after load.
//
// A file image reads its file's bytes on first use, chunk by chunk.  If the
// file was truncated, extended or rewritten in between, a read of bytes not
// read before must fail cleanly (no signal, no bytes of the new file handed
// out as the image's), while bytes read before the change stay as they were.
// Also checks that a load reads only the headers, that one entry of a large
// section costs one chunk, and that nothing is read from the file twice.
#include "any_image.hpp"
#include "support/elf_writer.hpp"
#include "test_util.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace objkit_test {
namespace {

Bytes filled(size_t size, unsigned char seed)
{
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<unsigned char>(seed ^ (i * 13));
    return bytes;
}

// Sections 1 to 3 hold data, section 4 is a string table.  Each data
// section starts two cache chunks after the one before, so that reading one
// brings no byte of the next into the cache.
elftest::Image sample(int bits, int data, size_t big = 4096)
{
    elftest::ElfWriter w(bits, data);
    const uint64_t apart = 2 * OBJKIT_CACHE_CHUNK;
    w.add_section({.name = ".first", .addralign = apart, .data = filled(big, 1)});
    w.add_section({.name = ".second", .addralign = apart, .data = filled(big, 2)});
    w.add_section({.name = ".third", .addralign = apart, .data = filled(big, 3)});
    elftest::StringTable strings;
    strings.add("alpha");
    strings.add("beta");
    w.add_strtab(".strtab", strings);
    return w.build();
}

// Writes the image and dates the file an hour back, so that any later
// write gives it a new modification time even on a coarse clock.
void write_dated(const std::string &path, const Bytes &bytes)
{
    ASSERT_TRUE(write_bytes(path, bytes));
    timespec times[2];
    ASSERT_EQ(clock_gettime(CLOCK_REALTIME, &times[0]), 0);
    times[0].tv_sec -= 3600;
    times[1] = times[0];
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

void overwrite_in_place(const std::string &path, const Bytes &bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
    ASSERT_EQ(::close(fd), 0);
}

// Reads that follow a change: either the bytes as loaded or a failure.
void expect_as_loaded_or_refused(const AnyImage &image, const elftest::Image &built)
{
    for (uint32_t i = 1; i < built.shnum; ++i) {
        Bytes bytes;
        if (image.read_all(i, &bytes)) {
            EXPECT_EQ(bytes, built.section_bytes(i)) << "section " << i;
        }
    }
}

class FileChanges : public testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        built_ = sample(GetParam(), GetParam() == 32 ? ELFDATA2MSB : ELFDATA2LSB);
        path_ = dir_.file("image.elf");
        write_dated(path_, built_.bytes);
        ASSERT_TRUE(image_.load(objkit_source_file(path_.c_str())));
        // Section 1 is read before the change; the others after it.
        Bytes first;
        ASSERT_TRUE(image_.read_all(1, &first));
        ASSERT_EQ(first, built_.section_bytes(1));
    }

    void expect_only_the_cached_section_reads()
    {
        Bytes bytes;
        ASSERT_TRUE(image_.read_all(1, &bytes));
        EXPECT_EQ(bytes, built_.section_bytes(1));
        unsigned char byte = 0;
        EXPECT_FALSE(image_.raw_read(2, &byte, 1, 0));
        EXPECT_FALSE(image_.read_all(3, &bytes));
        const char *name = nullptr;
        EXPECT_FALSE(image_.read_name(4, 1, &name));
        // Names were copied at load and stay.
        EXPECT_EQ(image_.section(3).name, ".third");
    }

    TempDir dir_;
    std::string path_;
    elftest::Image built_;
    AnyImage image_;
};

TEST_P(FileChanges, TruncatedAfterLoad)
{
    ASSERT_EQ(::truncate(path_.c_str(), static_cast<off_t>(built_.bytes.size() / 2)), 0);
    expect_only_the_cached_section_reads();
}

TEST_P(FileChanges, TruncatedToNothingAfterLoad)
{
    ASSERT_EQ(::truncate(path_.c_str(), 0), 0);
    expect_only_the_cached_section_reads();
    EXPECT_FALSE(image_.save(dir_.file("copy.elf")));
    EXPECT_EQ(dir_.entry_count(), 1u) << "a failed save leaves no file behind";
}

TEST_P(FileChanges, RewrittenInPlaceAfterLoad)
{
    Bytes other = built_.bytes;
    for (unsigned char &byte : other)
        byte = static_cast<unsigned char>(~byte);
    overwrite_in_place(path_, other);
    expect_only_the_cached_section_reads();
}

TEST_P(FileChanges, RewrittenWithTheSameBytesAfterLoad)
{
    overwrite_in_place(path_, built_.bytes);
    expect_as_loaded_or_refused(image_, built_);
}

TEST_P(FileChanges, ExtendedAfterLoad)
{
    std::ofstream(path_, std::ios::binary | std::ios::app) << "more bytes";
    expect_only_the_cached_section_reads();
}

TEST_P(FileChanges, ReplacedByRenameKeepsReadingTheLoadedFile)
{
    const std::string other = dir_.file("other.elf");
    ASSERT_TRUE(write_bytes(other, Bytes(built_.bytes.size(), 0x11)));
    ASSERT_EQ(::rename(other.c_str(), path_.c_str()), 0);
    for (uint32_t i = 1; i < built_.shnum; ++i) {
        Bytes bytes;
        ASSERT_TRUE(image_.read_all(i, &bytes)) << i;
        EXPECT_EQ(bytes, built_.section_bytes(i));
    }
}

TEST_P(FileChanges, RemovedAfterLoadKeepsReadingTheLoadedFile)
{
    ASSERT_EQ(::unlink(path_.c_str()), 0);
    for (uint32_t i = 1; i < built_.shnum; ++i) {
        Bytes bytes;
        ASSERT_TRUE(image_.read_all(i, &bytes)) << i;
        EXPECT_EQ(bytes, built_.section_bytes(i));
    }
}

INSTANTIATE_TEST_SUITE_P(BothClasses, FileChanges, testing::Values(32, 64),
                         [](const testing::TestParamInfo<int> &info) {
                             return "Elf" + std::to_string(info.param);
                         });

TEST(FileLoad, ReadsOnlyTheHeadersAndEachSectionOnce)
{
    if (!bytes_read_so_far())
        GTEST_SKIP() << "/proc/self/io is not readable here";
    TempDir dir;
    const size_t big = size_t{16} << 20;
    const elftest::Image built = sample(64, ELFDATA2LSB, big);
    const std::string path = dir.file("big.elf");
    ASSERT_TRUE(write_bytes(path, built.bytes));

    const uint64_t before_load = *bytes_read_so_far();
    AnyImage image(objkit_source_file(path.c_str()));
    const uint64_t after_load = *bytes_read_so_far();
    ASSERT_TRUE(image.loaded());
    EXPECT_LT(after_load - before_load, uint64_t{64} << 10) << "a load reads headers, not data";
    EXPECT_EQ(image.section(2).name, ".second");

    // One entry of a section far larger than the whole-section limit costs
    // one chunk of the file, not the section.
    Bytes bytes(64);
    ASSERT_TRUE(image.raw_read(2, bytes.data(), bytes.size(), 1000));
    const uint64_t after_first = *bytes_read_so_far();
    EXPECT_GE(after_first - after_load, OBJKIT_CACHE_CHUNK);
    EXPECT_LT(after_first - after_load, 2 * OBJKIT_CACHE_CHUNK);
    for (uint64_t at = 0; at + 64 <= big; at += big / 64)
        ASSERT_TRUE(image.raw_read(2, bytes.data(), 64, at));
    const uint64_t after_spread = *bytes_read_so_far();
    EXPECT_LE(after_spread - after_first, 65 * OBJKIT_CACHE_CHUNK);
    const char *name = nullptr;
    ASSERT_TRUE(image.read_name(4, 1, &name));
    EXPECT_STREQ(name, "alpha");

    // The same reads again, and a whole read of a section already read in
    // part, read nothing they had read before.
    const uint64_t before_again = *bytes_read_so_far();
    for (uint64_t at = 0; at + 64 <= big; at += big / 64)
        ASSERT_TRUE(image.raw_read(2, bytes.data(), 64, at));
    ASSERT_TRUE(image.read_name(4, 7, &name));
    EXPECT_STREQ(name, "beta");
    EXPECT_LT(*bytes_read_so_far() - before_again, uint64_t{4096}) << "cached bytes are read again";
    Bytes whole;
    ASSERT_TRUE(image.read_all(2, &whole));
    EXPECT_EQ(whole, built.section_bytes(2));
    EXPECT_LT(*bytes_read_so_far() - before_again, big) << "chunks already held are read again";
}

}  // namespace
}  // namespace objkit_test

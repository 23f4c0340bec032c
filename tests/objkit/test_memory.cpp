// test_memory.cpp - what a load and the reads after it may cost, whatever
// the headers claim.
//
// Sections that overlap share the image's one copy of the file's bytes;
// records are budgeted against the source before a table is read or a
// record allocated.  The images are the crafted ones that used to take
// gigabytes, made small here; the tests assert bounds that do not depend on
// the machine: a refusal and its reason, the bytes read from the file, the
// resident memory an image adds.
#include "any_image.hpp"
#include "memchr_count.h"
#include "support/elf_writer.hpp"
#include "support/image_kinds.hpp"
#include "test_util.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace objkit_test {
namespace {

using elftest::Eh;
using elftest::Sh;

uint64_t resident_bytes()
{
    std::ifstream statm("/proc/self/statm");
    uint64_t size = 0;
    uint64_t resident = 0;
    statm >> size >> resident;
    return resident * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
}

class Memory : public testing::TestWithParam<elftest::ImageKind> {
protected:
    static elftest::ImageKind kind() { return GetParam(); }
};

// `count` SHT_DYNAMIC sections that each cover the whole file of `size`
// bytes, headers included.
elftest::Image overlapping_sections(elftest::ImageKind kind, uint32_t count, size_t size)
{
    elftest::ElfWriter w(kind.bits, kind.data);
    w.options().shstrtab = false;
    Bytes filler(size, 0);
    for (size_t i = 0; i < size; i += 4096)
        filler[i] = static_cast<unsigned char>(i >> 12);
    w.add_section({.name = "", .data = filler});
    for (uint32_t i = 2; i < count; ++i)  // after the null section and the filler
        w.add_section({.name = "", .type = SHT_DYNAMIC});
    elftest::Image image = w.build();
    for (uint32_t i = 1; i < image.shnum; ++i) {
        image.set(i, Sh::type, SHT_DYNAMIC);
        image.set(i, Sh::offset, 0);
        image.set(i, Sh::size, image.bytes.size());
    }
    return image;
}

TEST_P(Memory, OverlappingSectionsShareOneCopyOfTheFile)
{
    TempDir dir;
    const elftest::Image built = overlapping_sections(kind(), 256, size_t{1} << 20);
    const std::string path = dir.file("overlap.elf");
    ASSERT_TRUE(write_bytes(path, built.bytes));
    const uint64_t file_size = built.bytes.size();

    for (const bool from_file : {true, false}) {
        SCOPED_TRACE(from_file ? "file" : "buffer");
        const std::optional<uint64_t> read_before = bytes_read_so_far();
        const uint64_t resident_before = resident_bytes();
        AnyImage image(from_file ? objkit_source_file(path.c_str()) : buffer_source(built.bytes));
        ASSERT_TRUE(image.loaded());
        ASSERT_EQ(image.num_sections(), 256u);
        Bytes whole;
        for (uint32_t i = 1; i < image.num_sections(); ++i) {
            unsigned char first[8];
            ASSERT_TRUE(image.raw_read(i, first, sizeof first, 0)) << i;
            ASSERT_TRUE(image.read_all(i, &whole)) << i;
            ASSERT_EQ(whole, built.bytes) << i;
        }
        // 255 sections of the whole file: one copy, not 255.
        EXPECT_LT(resident_bytes() - resident_before, 3 * file_size + (uint64_t{4} << 20));
        if (from_file && read_before) {
            EXPECT_LE(*bytes_read_so_far() - *read_before, file_size + 2 * OBJKIT_CACHE_CHUNK)
                << "every byte of the file is read once";
        }
    }
}

TEST_P(Memory, NamesSharedByManySectionsAreRefusedByTheBudget)
{
    // 4096 sections that all name one 256 KiB string, in a 512 KiB source:
    // copying the name into every record would take a gigabyte.
    elftest::ElfWriter w(kind().bits, kind().data);
    w.options().shstrtab = false;
    Bytes long_name(256 << 10, 'n');
    long_name.back() = 0;
    const uint32_t names = w.add_section({.name = "", .type = SHT_STRTAB, .data = long_name});
    for (int i = 0; i < 4094; ++i)
        w.add_section({.name = ""});
    elftest::Image built = w.build();
    built.set(Eh::shstrndx, names);
    AnyImage image(buffer_source(built.bytes));
    EXPECT_FALSE(image.loaded());
    EXPECT_EQ(image.source().reason, OBJKIT_REASON_BUDGET) << image.source().reason_text;
}

TEST_P(Memory, AHugeSectionCountIsRefusedBeforeTheTableIsRead)
{
    // A sparse file far larger than what is on disk, whose extended section
    // count asks for 2^26 section headers inside it: refused from the count
    // alone, without reading the table.
    if (kind().bits == 32 && kind().data == ELFDATA2MSB)
        GTEST_SKIP() << "one byte order per class is enough for a 5 GiB sparse file";
    TempDir dir;
    elftest::ElfWriter w(kind().bits, kind().data);
    w.options().section_headers_first = true;
    w.add_section({.name = ".a", .data = {1, 2, 3}});
    elftest::Image built = w.build();
    built.set(Eh::shnum, 0);
    built.set(0, Sh::size, uint64_t{1} << 26);
    const std::string path = dir.file("sparse.elf");
    ASSERT_TRUE(write_bytes(path, built.bytes));
    if (::truncate(path.c_str(), static_cast<off_t>(5) << 30) != 0)
        GTEST_SKIP() << "no room for a 5 GiB sparse file here";

    const std::optional<uint64_t> read_before = bytes_read_so_far();
    AnyImage image(objkit_source_file(path.c_str()));
    EXPECT_FALSE(image.loaded());
    EXPECT_EQ(image.source().reason, OBJKIT_REASON_BUDGET) << image.source().reason_text;
    if (read_before) {
        EXPECT_LT(*bytes_read_so_far() - *read_before, uint64_t{64} << 10);
    }
}

TEST_P(Memory, OneEntryOfALargeSectionReadsOneChunk)
{
    TempDir dir;
    elftest::ElfWriter w(kind().bits, kind().data);
    const size_t big = size_t{16} << 20;
    Bytes data(big);
    for (size_t i = 0; i < big; ++i)
        data[i] = static_cast<unsigned char>(i * 31 + (i >> 16));
    w.add_section({.name = ".big", .addralign = 8, .data = data});
    const elftest::Image built = w.build();
    const std::string path = dir.file("big.elf");
    ASSERT_TRUE(write_bytes(path, built.bytes));
    AnyImage image(objkit_source_file(path.c_str()));
    ASSERT_TRUE(image.loaded());

    const uint64_t resident_before = resident_bytes();
    const std::optional<uint64_t> read_before = bytes_read_so_far();
    // An entry that straddles two chunks, and the last bytes of the data.
    const uint64_t at = 3 * OBJKIT_CACHE_CHUNK - 5;
    unsigned char entry[24];
    ASSERT_TRUE(image.raw_read(1, entry, sizeof entry, at));
    EXPECT_TRUE(std::equal(entry, entry + sizeof entry, data.begin() + static_cast<ptrdiff_t>(at)));
    ASSERT_TRUE(image.raw_read(1, entry, 8, big - 8));
    EXPECT_TRUE(std::equal(entry, entry + 8, data.end() - 8));
    if (read_before) {
        EXPECT_LE(*bytes_read_so_far() - *read_before, 4 * OBJKIT_CACHE_CHUNK);
    }
    // Where the kernel grants the cache huge pages, each read holds the
    // 2 MiB around it: still far from the section's 16 MiB.
    EXPECT_LT(resident_bytes() - resident_before, uint64_t{big / 2});
}

INSTANTIATE_TEST_SUITE_P(AllKinds, Memory, testing::ValuesIn(elftest::all_kinds),
                         elftest::kind_name);

TEST(Memory, StringsRunAcrossChunksOfALargeTable)
{
    // A string table larger than what is read whole, with strings that
    // cross chunk boundaries and one that is never ended.
    TempDir dir;
    elftest::ElfWriter w(64, ELFDATA2LSB);
    const size_t size = size_t{3} << 20;
    Bytes table(size, 'a');
    const size_t across = 2 * OBJKIT_CACHE_CHUNK - 3;  // "aaa" + the next chunk's bytes
    table[0] = 0;
    table[across + 10] = 0;
    w.add_section({.name = ".strtab", .type = SHT_STRTAB, .data = table});
    const elftest::Image built = w.build();
    const std::string path = dir.file("strings.elf");
    ASSERT_TRUE(write_bytes(path, built.bytes));
    AnyImage image(objkit_source_file(path.c_str()));
    ASSERT_TRUE(image.loaded());
    const char *name = nullptr;
    ASSERT_TRUE(image.read_name(1, across, &name));
    EXPECT_EQ(std::string(name), std::string(10, 'a'));
    ASSERT_TRUE(image.read_name(1, 0, &name));
    EXPECT_STREQ(name, "");
    EXPECT_FALSE(image.read_name(1, across + 11, &name)) << "no NUL before the end of the data";
    EXPECT_FALSE(image.read_name(1, size, &name));
    Bytes whole;
    ASSERT_TRUE(image.read_all(1, &whole));
    EXPECT_EQ(whole, table);
    // With every byte present, the same answers.
    ASSERT_TRUE(image.read_name(1, across, &name));
    EXPECT_EQ(std::string(name), std::string(10, 'a'));
    EXPECT_FALSE(image.read_name(1, across + 11, &name));
}

TEST(Memory, NameReadsInALargeTableSearchEachByteOnce)
{
    // Tables larger than what is read whole, whose names all start past the
    // first chunk with no NUL after them, or only the table's last byte:
    // each read used to search on to the end of the table.
    TempDir dir;
    const size_t size = size_t{4} << 20;
    const size_t names = 1000;
    for (const bool ended : {false, true}) {
        SCOPED_TRACE(ended ? "the last byte is a NUL" : "no NUL");
        elftest::ElfWriter w(64, ELFDATA2LSB);
        Bytes table(size, 'n');
        table.back() = ended ? 0 : 'n';
        w.add_section({.name = ".strtab", .type = SHT_STRTAB, .data = table});
        const std::string path = dir.file(ended ? "ended.elf" : "open.elf");
        ASSERT_TRUE(write_bytes(path, w.build().bytes));
        AnyImage image(objkit_source_file(path.c_str()));
        ASSERT_TRUE(image.loaded());

        const unsigned long long before = memchr_bytes_searched();
        const char *first = nullptr;
        for (size_t i = 0; i < names; ++i) {
            const size_t offset = OBJKIT_CACHE_CHUNK + i * (size - 2 * OBJKIT_CACHE_CHUNK) / names;
            const char *name = nullptr;
            ASSERT_EQ(image.read_name(1, offset, &name), ended) << offset;
            if (!ended)
                continue;
            if (first == nullptr)
                first = name - offset;
            ASSERT_EQ(name, first + offset) << "one copy of the table";
        }
        EXPECT_LE(memchr_bytes_searched() - before, 2 * size);
        if (ended) {
            EXPECT_EQ(std::strlen(first + OBJKIT_CACHE_CHUNK), size - OBJKIT_CACHE_CHUNK - 1);
        }
    }
}

// The address space this process has mapped.
uint64_t mapped_bytes()
{
    std::ifstream statm("/proc/self/statm");
    uint64_t size = 0;
    statm >> size;
    return size * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
}

// Run in a child: a limit on the address space of what the process maps
// now and 256 MiB more, and a sparse file of twice that, whose section 1 is
// 8 bytes at its start and section 2 its last 8 bytes.  0 when section 1
// reads, and section 2 either reads or fails for want of memory; 1 when
// section 1 does not read, 2 when section 2 fails for another reason, 3
// when the file or the limit cannot be set up.
int read_under_a_limit(const std::string &path, elftest::Image built)
{
    const uint64_t limit = mapped_bytes() + (uint64_t{256} << 20);
    const uint64_t size = 2 * limit;
    built.set(2, Sh::offset, size - 8);
    const rlimit address_space{limit, limit};
    if (!write_bytes(path, built.bytes) ||
        ::truncate(path.c_str(), static_cast<off_t>(size)) != 0 ||
        ::setrlimit(RLIMIT_AS, &address_space) != 0)
        return 3;
    AnyImage image(objkit_source_file(path.c_str()));
    unsigned char bytes[8];
    if (!image.loaded() || !image.raw_read(1, bytes, sizeof bytes, 0) ||
        !std::equal(bytes, bytes + sizeof bytes, built.section_bytes(1).begin()))
        return 1;
    errno = 0;
    return image.raw_read(2, bytes, sizeof bytes, 0) || errno == ENOMEM ? 0 : 2;
}

TEST(Memory, ReadsWorkUnderAnAddressSpaceLimitSmallerThanTheFile)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's shadow memory takes more address space than the limit";
#endif
    TempDir dir;
    elftest::ElfWriter w(64, ELFDATA2LSB);
    w.add_section({.name = ".first", .data = {1, 2, 3, 4, 5, 6, 7, 8}});
    w.add_section({.name = ".last", .data = Bytes(8, 0)});
    const elftest::Image built = w.build();
    const std::string path = dir.file("sparse.elf");

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        std::_Exit(read_under_a_limit(path, built));
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: section 1 did not read; 2: section 2 failed for "
                                         "another reason than memory; 3: no file or no limit";
}

}  // namespace
}  // namespace objkit_test

// prginfo_test.cpp - the program-info block that runcard's files hold:
// its bytes for each width, setters refusing what does not fit their word,
// and init refusing widths other than 32 and 64.
#include <cstdint>
#include <cstring>
#include <vector>

#include "prginfo.h"

#include <gtest/gtest.h>

namespace {

using bytes = std::vector<unsigned char>;

bytes block_of(elf_prginfo &info)
{
    const auto *data = static_cast<const unsigned char *>(elf_prginfo_data(&info));
    return bytes(data, data + elf_prginfo_sizeof(&info));
}

using setter = int (*)(elf_prginfo *, uint64_t);
using getter = uint64_t (*)(const elf_prginfo *);

struct field_access {
    const char *name;
    setter set;
    getter get;
};

const field_access kFields[] = {
    {"version", elf_prginfo_set_version, elf_prginfo_get_version},
    {"priority", elf_prginfo_set_threadprior, elf_prginfo_get_threadprior},
    {"stack", elf_prginfo_set_threadstack, elf_prginfo_get_threadstack},
    {"heap size", elf_prginfo_set_heapsize, elf_prginfo_get_heapsize},
    {"heap growth", elf_prginfo_set_heapgrowth, elf_prginfo_get_heapgrowth},
    {"heap max", elf_prginfo_set_heapmaxsize, elf_prginfo_get_heapmaxsize},
};

TEST(PrginfoInit, OnlyWidths32And64)
{
    elf_prginfo info;
    ASSERT_EQ(elf_prginfo_init(&info, 32), 0);
    EXPECT_EQ(elf_prginfo_sizeof(&info), 24u);
    EXPECT_EQ(block_of(info), bytes(24, 0));
    elf_prginfo_destroy(&info);

    ASSERT_EQ(elf_prginfo_init(&info, 64), 0);
    EXPECT_EQ(elf_prginfo_sizeof(&info), 40u);
    EXPECT_EQ(block_of(info), bytes(40, 0));
    elf_prginfo_destroy(&info);

    for (int bits : {0, 1, 8, 16, 31, 33, 48, 63, 65, 128, -32, -64}) {
        elf_prginfo refused;
        EXPECT_NE(elf_prginfo_init(&refused, bits), 0) << bits;
    }
}

TEST(PrginfoInit, ReinitClearsAnEarlierBlock)
{
    elf_prginfo info;
    ASSERT_EQ(elf_prginfo_init(&info, 64), 0);
    ASSERT_EQ(elf_prginfo_set_heapmaxsize(&info, UINT64_MAX), 0);
    ASSERT_EQ(elf_prginfo_init(&info, 32), 0);
    EXPECT_EQ(block_of(info), bytes(24, 0));
}

TEST(PrginfoLayout, Block32IsSixLittleEndianWords)
{
    elf_prginfo info;
    ASSERT_EQ(elf_prginfo_init(&info, 32), 0);
    ASSERT_EQ(elf_prginfo_set_version(&info, 0x01020304), 0);
    ASSERT_EQ(elf_prginfo_set_threadprior(&info, 0x05060708), 0);
    ASSERT_EQ(elf_prginfo_set_threadstack(&info, 0x090a0b0c), 0);
    ASSERT_EQ(elf_prginfo_set_heapsize(&info, 0x0d0e0f10), 0);
    ASSERT_EQ(elf_prginfo_set_heapgrowth(&info, 0x11121314), 0);
    ASSERT_EQ(elf_prginfo_set_heapmaxsize(&info, 0x15161718), 0);
    EXPECT_EQ(block_of(info),
              (bytes{0x04, 0x03, 0x02, 0x01, 0x08, 0x07, 0x06, 0x05, 0x0c, 0x0b, 0x0a, 0x09,
                     0x10, 0x0f, 0x0e, 0x0d, 0x14, 0x13, 0x12, 0x11, 0x18, 0x17, 0x16, 0x15}));
}

TEST(PrginfoLayout, Block64IsTwo32BitWordsThenFour64BitWords)
{
    elf_prginfo info;
    ASSERT_EQ(elf_prginfo_init(&info, 64), 0);
    ASSERT_EQ(elf_prginfo_set_version(&info, 0x01020304), 0);
    ASSERT_EQ(elf_prginfo_set_threadprior(&info, 0x05060708), 0);
    ASSERT_EQ(elf_prginfo_set_threadstack(&info, 0x1112131415161718), 0);
    ASSERT_EQ(elf_prginfo_set_heapsize(&info, 0x2122232425262728), 0);
    ASSERT_EQ(elf_prginfo_set_heapgrowth(&info, 0x3132333435363738), 0);
    ASSERT_EQ(elf_prginfo_set_heapmaxsize(&info, 0x4142434445464748), 0);
    EXPECT_EQ(block_of(info), (bytes{0x04, 0x03, 0x02, 0x01, 0x08, 0x07, 0x06, 0x05, 0x18, 0x17,
                                     0x16, 0x15, 0x14, 0x13, 0x12, 0x11, 0x28, 0x27, 0x26, 0x25,
                                     0x24, 0x23, 0x22, 0x21, 0x38, 0x37, 0x36, 0x35, 0x34, 0x33,
                                     0x32, 0x31, 0x48, 0x47, 0x46, 0x45, 0x44, 0x43, 0x42, 0x41}));
}

TEST(PrginfoLayout, GettersDecodeBytesPlacedInTheBlock)
{
    const unsigned char raw[40] = {0x07, 0,    0,    0,    0xff, 0,    0,    0,    0x01, 0x02,
                                   0,    0,    0,    0,    0,    0x80, 0xff, 0xff, 0xff, 0xff,
                                   0xff, 0xff, 0xff, 0xff, 0,    0,    0,    0,    0,    0,
                                   0,    0,    0x10, 0,    0,    0,    0,    0,    0,    0};
    elf_prginfo info;
    ASSERT_EQ(elf_prginfo_init(&info, 64), 0);
    std::memcpy(elf_prginfo_data(&info), raw, sizeof raw);
    EXPECT_EQ(elf_prginfo_get_version(&info), 7u);
    EXPECT_EQ(elf_prginfo_get_threadprior(&info), 255u);
    EXPECT_EQ(elf_prginfo_get_threadstack(&info), 0x8000000000000201u);
    EXPECT_EQ(elf_prginfo_get_heapsize(&info), UINT64_MAX);
    EXPECT_EQ(elf_prginfo_get_heapgrowth(&info), 0u);
    EXPECT_EQ(elf_prginfo_get_heapmaxsize(&info), 0x10u);

    ASSERT_EQ(elf_prginfo_init(&info, 32), 0);
    std::memcpy(elf_prginfo_data(&info), raw, 24);
    EXPECT_EQ(elf_prginfo_get_threadstack(&info), 0x201u);
    EXPECT_EQ(elf_prginfo_get_heapsize(&info), 0x80000000u);
    EXPECT_EQ(elf_prginfo_get_heapgrowth(&info), UINT32_MAX);
    EXPECT_EQ(elf_prginfo_get_heapmaxsize(&info), UINT32_MAX);
}

// Each field at the edges of its word: the largest value fits and reads
// back, one more is refused and leaves every byte of the block as it was.
void check_word_edges(int bits, const field_access &field, uint64_t largest)
{
    SCOPED_TRACE(testing::Message() << bits << "-bit " << field.name);
    elf_prginfo info;
    ASSERT_EQ(elf_prginfo_init(&info, bits), 0);
    EXPECT_EQ(field.set(&info, largest), 0);
    EXPECT_EQ(field.get(&info), largest);

    const bytes before = block_of(info);
    if (largest != UINT64_MAX) {
        EXPECT_NE(field.set(&info, largest + 1), 0);
        EXPECT_NE(field.set(&info, UINT64_MAX), 0);
        EXPECT_NE(field.set(&info, 0x8000000000000000u), 0);
    }
    EXPECT_EQ(block_of(info), before);
    EXPECT_EQ(field.set(&info, 0), 0);
    EXPECT_EQ(field.get(&info), 0u);
}

TEST(PrginfoSetters, RefuseWhatDoesNotFitTheWord32)
{
    for (const field_access &field : kFields)
        check_word_edges(32, field, UINT32_MAX);
}

TEST(PrginfoSetters, RefuseWhatDoesNotFitTheWord64)
{
    check_word_edges(64, kFields[0], UINT32_MAX);
    check_word_edges(64, kFields[1], UINT32_MAX);
    for (int i = 2; i < 6; ++i)
        check_word_edges(64, kFields[i], UINT64_MAX);
}

TEST(PrginfoSetters, NeighbouringWordsUntouched)
{
    elf_prginfo info;
    ASSERT_EQ(elf_prginfo_init(&info, 64), 0);
    for (const field_access &field : kFields)
        ASSERT_EQ(field.set(&info, 0), 0);
    ASSERT_EQ(elf_prginfo_set_heapsize(&info, UINT64_MAX), 0);
    EXPECT_EQ(elf_prginfo_get_threadstack(&info), 0u);
    EXPECT_EQ(elf_prginfo_get_heapgrowth(&info), 0u);
}

}  // namespace

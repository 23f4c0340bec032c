// typed_field_test.cpp - loads and stores in the image's byte order, for
// every explicit width and ELF type alias, in all four kinds of image.
#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "image_kinds.hpp"

namespace {

using u64 = uint64_t;
using i64 = int64_t;

// A field inside a guarded buffer: a store must write exactly the field's
// bytes and a refused store none at all.
struct guarded_field {
    static constexpr unsigned char guard = 0xa5;
    std::array<unsigned char, 24> bytes;
    guarded_field() { bytes.fill(guard); }
    unsigned char *field() { return bytes.data() + 8; }
    std::vector<unsigned char> written(std::size_t width) const
    {
        return {bytes.begin() + 8, bytes.begin() + 8 + static_cast<long>(width)};
    }
    bool guards_intact(std::size_t width) const
    {
        for (std::size_t i = 0; i < bytes.size(); ++i)
            if ((i < 8 || i >= 8 + width) && bytes[i] != guard)
                return false;
        return true;
    }
};

struct unsigned_kind {
    const char *name;
    u64 (*load)(const objlens_image *, const void *);
    int (*store)(const objlens_image *, void *, u64);
    std::size_t width32, width64;
};

struct signed_kind {
    const char *name;
    i64 (*load)(const objlens_image *, const void *);
    int (*store)(const objlens_image *, void *, i64);
    std::size_t width32, width64;
};

const unsigned_kind unsigned_kinds[] = {
    {"uint16", objlens_load_uint16, objlens_store_uint16, 2, 2},
    {"uint32", objlens_load_uint32, objlens_store_uint32, 4, 4},
    {"uint64", objlens_load_uint64, objlens_store_uint64, 8, 8},
    {"Addr", objlens_load_Addr, objlens_store_Addr, 4, 8},
    {"Half", objlens_load_Half, objlens_store_Half, 2, 2},
    {"Word", objlens_load_Word, objlens_store_Word, 4, 4},
    {"Xword", objlens_load_Xword, objlens_store_Xword, 4, 8},
    {"Off", objlens_load_Off, objlens_store_Off, 4, 8},
};

const signed_kind signed_kinds[] = {
    {"int16", objlens_load_int16, objlens_store_int16, 2, 2},
    {"int32", objlens_load_int32, objlens_store_int32, 4, 4},
    {"int64", objlens_load_int64, objlens_store_int64, 8, 8},
    {"Sword", objlens_load_Sword, objlens_store_Sword, 4, 4},
    {"Sxword", objlens_load_Sxword, objlens_store_Sxword, 4, 8},
};

u64 unsigned_max(std::size_t width)
{
    return width == 8 ? std::numeric_limits<u64>::max() : (u64{1} << (8 * width)) - 1;
}
i64 signed_max(std::size_t width) { return static_cast<i64>(unsigned_max(width) >> 1); }
i64 signed_min(std::size_t width) { return -signed_max(width) - 1; }

class TypedFields : public testing::TestWithParam<image_kind> {
protected:
    void SetUp() override
    {
        bytes_ = header_only_image(GetParam(), EM_NONE);
        image_ = std::make_unique<loaded_image>(bytes_);
        ASSERT_EQ(image_->status(), 0);
    }
    const objlens_image *image() { return image_->get(); }
    static std::size_t width(std::size_t w32, std::size_t w64)
    {
        return GetParam().bits == 32 ? w32 : w64;
    }
    static std::vector<unsigned char> expected_bytes(u64 value, std::size_t width)
    {
        auto all = bytes_in(GetParam().data, value);
        if (GetParam().data == ELFDATA2LSB)
            return {all.begin(), all.begin() + static_cast<long>(width)};
        return {all.end() - static_cast<long>(width), all.end()};
    }

    std::vector<unsigned char> bytes_;
    std::unique_ptr<loaded_image> image_;
};

TEST_P(TypedFields, UnsignedStoresWriteExactlyTheFieldAndLoadBack)
{
    for (const auto &kind : unsigned_kinds) {
        SCOPED_TRACE(kind.name);
        const std::size_t w = width(kind.width32, kind.width64);
        const u64 max = unsigned_max(w);
        for (u64 value : {u64{0}, u64{1}, u64{0x80}, max / 2 + 1, max - 1, max}) {
            guarded_field f;
            ASSERT_EQ(kind.store(image(), f.field(), value), 0) << value;
            EXPECT_EQ(f.written(w), expected_bytes(value, w)) << value;
            EXPECT_TRUE(f.guards_intact(w)) << value;
            EXPECT_EQ(kind.load(image(), f.field()), value);
        }
        if (w < 8) {
            for (u64 value : {max + 1, max + 2, std::numeric_limits<u64>::max()}) {
                guarded_field f;
                EXPECT_EQ(kind.store(image(), f.field(), value), -1) << value;
                EXPECT_TRUE(f.guards_intact(0)) << value;
            }
        }
    }
}

TEST_P(TypedFields, SignedStoresCheckBothBoundsAndLoadsSignExtend)
{
    for (const auto &kind : signed_kinds) {
        SCOPED_TRACE(kind.name);
        const std::size_t w = width(kind.width32, kind.width64);
        const i64 min = signed_min(w);
        const i64 max = signed_max(w);
        for (i64 value : {min, min + 1, i64{-4}, i64{-1}, i64{0}, i64{1}, max - 1, max}) {
            guarded_field f;
            ASSERT_EQ(kind.store(image(), f.field(), value), 0) << value;
            EXPECT_EQ(f.written(w), expected_bytes(static_cast<u64>(value), w)) << value;
            EXPECT_TRUE(f.guards_intact(w)) << value;
            EXPECT_EQ(kind.load(image(), f.field()), value);
        }
        if (w < 8) {
            for (i64 value : {min - 1, max + 1, std::numeric_limits<i64>::min(),
                              std::numeric_limits<i64>::max()}) {
                guarded_field f;
                EXPECT_EQ(kind.store(image(), f.field(), value), -1) << value;
                EXPECT_TRUE(f.guards_intact(0)) << value;
            }
        }
    }
}

TEST_P(TypedFields, LoadsConvertFromTheFileByteOrder)
{
    const unsigned char raw[] = {0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc, 0xde, 0xf0};
    const bool lsb = GetParam().data == ELFDATA2LSB;
    EXPECT_EQ(objlens_load_uint32(image(), raw), lsb ? 0x78563412u : 0x12345678u);
    EXPECT_EQ(objlens_load_uint16(image(), raw + 1), lsb ? 0x5634u : 0x3456u);
    EXPECT_EQ(objlens_load_uint64(image(), raw),
              lsb ? 0xf0debc9a78563412ull : 0x123456789abcdef0ull);
    const unsigned char all_ones[] = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    EXPECT_EQ(objlens_load_int16(image(), all_ones), -1);
    EXPECT_EQ(objlens_load_uint16(image(), all_ones), 65535u);
    EXPECT_EQ(objlens_load_Sxword(image(), all_ones), -1);
    EXPECT_EQ(objlens_load_Xword(image(), all_ones), unsigned_max(width(4, 8)));
}

TEST_P(TypedFields, Int16BoundaryBytesFollowTheByteOrder)
{
    guarded_field f;
    ASSERT_EQ(objlens_store_int16(image(), f.field(), -32768), 0);
    const std::vector<unsigned char> expected = GetParam().data == ELFDATA2LSB
                                                    ? std::vector<unsigned char>{0x00, 0x80}
                                                    : std::vector<unsigned char>{0x80, 0x00};
    EXPECT_EQ(f.written(2), expected);
    EXPECT_EQ(objlens_store_int16(image(), f.field(), -32769), -1);
    EXPECT_EQ(f.written(2), expected);
}

TEST_P(TypedFields, TableSlotsServeTheGenericCalls)
{
    const objlens_image_ops *ops = image()->ops;
    const unsigned char raw[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
    EXPECT_EQ(ops->load_Word(image(), raw), objlens_load_Word(image(), raw));
    EXPECT_EQ(ops->load_Addr(image(), raw), objlens_load_Addr(image(), raw));
    EXPECT_EQ(ops->load_Sxword(image(), raw), objlens_load_Sxword(image(), raw));
    guarded_field f;
    EXPECT_EQ(ops->store_Off(image(), f.field(), 0x1234), 0);
    EXPECT_EQ(objlens_load_Off(image(), f.field()), 0x1234u);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, TypedFields, testing::ValuesIn(all_kinds), kind_name);

TEST(TypedFieldTables, AliasSlotsAreTheClassWidthWorkers)
{
    EXPECT_EQ(objlens_ops_32.load_Addr, objlens_ops_32.load_uint32);
    EXPECT_EQ(objlens_ops_32.store_Xword, objlens_ops_32.store_uint32);
    EXPECT_EQ(objlens_ops_32.load_Sxword, objlens_ops_32.load_int32);
    EXPECT_EQ(objlens_ops_32.load_Half, objlens_ops_32.load_uint16);
    EXPECT_EQ(objlens_ops_64.load_Addr, objlens_ops_64.load_uint64);
    EXPECT_EQ(objlens_ops_64.store_Off, objlens_ops_64.store_uint64);
    EXPECT_EQ(objlens_ops_64.load_Sxword, objlens_ops_64.load_int64);
    EXPECT_EQ(objlens_ops_64.load_Sword, objlens_ops_64.load_int32);
    EXPECT_EQ(objlens_ops_64.load_Word, objlens_ops_64.load_uint32);
}

TEST(TypedFieldTables, SizesOfBothClasses)
{
    struct row {
        int (*get)(const objlens_image *);
        int size32, size64;
    };
    const row rows[] = {
        {objlens_get_sizeof_Addr, 4, 8},   {objlens_get_sizeof_Half, 2, 2},
        {objlens_get_sizeof_Word, 4, 4},   {objlens_get_sizeof_Off, 4, 8},
        {objlens_get_sizeof_Xword, 4, 8},  {objlens_get_sizeof_Sword, 4, 4},
        {objlens_get_sizeof_Sxword, 4, 8}, {objlens_get_sizeof_Dyn, 8, 16},
        {objlens_get_sizeof_Rel, 8, 16},   {objlens_get_sizeof_Rela, 12, 24},
        {objlens_get_sizeof_Sym, 16, 24},
    };
    // The sizes are fields of the table: no image data is looked at.
    const objlens_image image32{&objlens_ops_32, nullptr};
    const objlens_image image64{&objlens_ops_64, nullptr};
    for (const auto &r : rows) {
        EXPECT_EQ(r.get(&image32), r.size32);
        EXPECT_EQ(r.get(&image64), r.size64);
    }
    EXPECT_EQ(objlens_get_bits(&image32), 32);
    EXPECT_EQ(objlens_get_bits(&image64), 64);
    for (const auto *ops : {&objlens_ops_32, &objlens_ops_64}) {
        EXPECT_EQ(ops->further_size_1, ops->sizeof_Addr);
        EXPECT_EQ(ops->further_size_2, ops->sizeof_Addr);
        EXPECT_EQ(ops->further_size_3, ops->sizeof_Addr);
    }
}

TEST(TypedFieldTables, AnEmptyAliasSlotReadsNothingAndWritesNothing)
{
    const auto bytes = header_only_image({64, ELFDATA2LSB}, EM_NONE);
    loaded_image loaded(bytes);
    ASSERT_EQ(loaded.status(), 0);
    objlens_image_ops partial = objlens_ops_64;
    partial.load_Addr = nullptr;
    partial.store_Sxword = nullptr;
    const objlens_image image{&partial, loaded.get()->backend};
    const unsigned char raw[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(objlens_load_Addr(&image, raw), 0u);
    guarded_field f;
    EXPECT_EQ(objlens_store_Sxword(&image, f.field(), 5), -1);
    EXPECT_TRUE(f.guards_intact(0));
    EXPECT_EQ(objlens_load_Off(&image, raw), objlens_load_uint64(&image, raw));
}

// The views read their fields through the same slots: an empty one gives 0
// there too, where a call through the null pointer used to end the process.
TEST(TypedFieldTables, AViewReadsZeroThroughAnEmptyAliasSlot)
{
    loaded_image loaded(std::string(OBJLENS_FIXTURES) + "/x86_64.o");
    ASSERT_EQ(loaded.status(), 0);
    objlens_image_ops partial = objlens_ops_64;
    partial.load_Word = nullptr;
    const objlens_image image{&partial, loaded.get()->backend};
    objlens_section section;
    ASSERT_EQ(objlens_get_section(&image, &section, 1), 0);
    EXPECT_EQ(objlens_section_get_type(&section), 0u);
    objlens_ehdr ehdr;
    ASSERT_EQ(objlens_get_ehdr(&image, &ehdr), 0);
    EXPECT_EQ(objlens_ehdr_get_version(&ehdr), 0u);
    EXPECT_EQ(objlens_ehdr_get_machine(&ehdr), EM_X86_64);
}

}  // namespace

// test_inline_forms.cpp - the header's inline swaps and reads answer as the
// exported calls do, before and after a section's first read, for reads
// inside, at the edge of and past the data, on all four kinds of image.
#include "support/elf_writer.hpp"
#include "test_util.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace objkit_test {
namespace {

TEST(InlineForms, SwapsMatchTheCalls)
{
    const uint64_t values[] = {0, 1, 0x0102, 0x01020304, 0x0102030405060708, UINT64_MAX};
    for (unsigned data : {0u, 1u, 2u, 3u, 255u}) {
        for (uint64_t v : values) {
            EXPECT_EQ(objkit_swap16(static_cast<uint16_t>(v), data),
                      objcore64_swap16(nullptr, static_cast<uint16_t>(v), data));
            EXPECT_EQ(objkit_swap32(static_cast<uint32_t>(v), data),
                      objcore32_swap32(nullptr, static_cast<uint32_t>(v), data));
            EXPECT_EQ(objkit_swap64(v, data), objcore64_swap64(nullptr, v, data));
        }
    }
}

// Reads one section both ways, first with the inline form (so that it
// meets the section before its first read), then with the call.
template <int Bits>
void check_reads(const std::string &file)
{
    using Image = std::conditional_t<Bits == 32, objcore32_image, objcore64_image>;
    using Section = std::conditional_t<Bits == 32, objcore32_section, objcore64_section>;
    const objkit_source source = objkit_source_file(file.c_str());
    Image *image = nullptr;
    if constexpr (Bits == 32)
        image = objcore32_load(&source);
    else
        image = objcore64_load(&source);
    ASSERT_NE(image, nullptr);
    const Section *data_section = nullptr;
    const Section *strings = nullptr;
    if constexpr (Bits == 32) {
        data_section = objcore32_find_section(image, ".data");
        strings = objcore32_find_section(image, ".names");
    } else {
        data_section = objcore64_find_section(image, ".data");
        strings = objcore64_find_section(image, ".names");
    }
    ASSERT_NE(data_section, nullptr);
    ASSERT_NE(strings, nullptr);
    const uint32_t size = data_section->data->size;
    ASSERT_EQ(size, 40u);
    struct Read {
        uint32_t count, offset;
    };
    const Read reads[] = {{8, 0},  {24, 16}, {40, 0},         {0, 40},        {1, 40},
                          {41, 0}, {8, 33},  {UINT32_MAX, 1}, {1, UINT32_MAX}};
    for (const Read &r : reads) {
        unsigned char inline_bytes[64] = {0};
        unsigned char called_bytes[64] = {0};
        // Counts past the buffer are among the refused reads, which write
        // nothing.
        int inline_ok = 0;
        int called_ok = 0;
        if constexpr (Bits == 32) {
            inline_ok =
                objcore32_raw_read_inline(data_section->data, inline_bytes, r.count, r.offset);
            called_ok = objcore32_raw_read(data_section->data, called_bytes, r.count, r.offset);
        } else {
            inline_ok =
                objcore64_raw_read_inline(data_section->data, inline_bytes, r.count, r.offset);
            called_ok = objcore64_raw_read(data_section->data, called_bytes, r.count, r.offset);
        }
        EXPECT_EQ(inline_ok, called_ok) << r.count << " at " << r.offset;
        if (inline_ok) {
            EXPECT_EQ(std::memcmp(inline_bytes, called_bytes, sizeof inline_bytes), 0);
        }
    }
    const size_t table_size = strings->data->size;
    for (size_t offset :
         {size_t{0}, size_t{1}, size_t{6}, table_size - 1, table_size, table_size + 9}) {
        const char *inline_name = nullptr;
        const char *called_name = nullptr;
        int inline_ok = 0;
        int called_ok = 0;
        if constexpr (Bits == 32) {
            inline_ok = objcore32_read_name_inline(image, offset, strings, &inline_name);
            called_ok = objcore32_read_name(image, offset, strings, &called_name);
        } else {
            inline_ok = objcore64_read_name_inline(image, offset, strings, &inline_name);
            called_ok = objcore64_read_name(image, offset, strings, &called_name);
        }
        EXPECT_EQ(inline_ok, called_ok) << "offset " << offset;
        EXPECT_EQ(inline_name, called_name) << "offset " << offset;
    }
    if constexpr (Bits == 32)
        objcore32_free(image);
    else
        objcore64_free(image);
}

TEST(InlineForms, ReadsMatchTheCalls)
{
    for (int bits : {32, 64}) {
        for (int data : {ELFDATA2LSB, ELFDATA2MSB}) {
            SCOPED_TRACE(bits * 10 + data);
            elftest::ElfWriter w(bits, data);
            Bytes bytes(40);
            for (size_t i = 0; i < bytes.size(); ++i)
                bytes[i] = static_cast<unsigned char>(i * 7 + 1);
            w.add_section({.name = ".data", .data = bytes});
            elftest::StringTable names;
            names.add("alpha");
            names.add("beta");
            Bytes table = names.bytes();
            table.push_back('x');  // a last string without its NUL
            w.add_section({.name = ".names", .type = SHT_STRTAB, .data = table});
            const Bytes image = w.build().bytes;
            TempDir dir;
            const std::string file = dir.file("image.o");
            ASSERT_TRUE(write_bytes(file, image));
            if (bits == 32)
                check_reads<32>(file);
            else
                check_reads<64>(file);
        }
    }
}

}  // namespace
}  // namespace objkit_test

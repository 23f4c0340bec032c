// test_name_table.cpp - section names from a name table that a file load
// reads only in part.
//
// Objects often keep section and symbol names in one string table, so the
// section name table can be megabytes long while the section names sit in
// its first bytes.  A file load reads only as far as the names need; these
// cases check that every name, every later read of the table and every
// damaged table come out exactly as a buffer load of the same bytes gives
// them, on both classes and byte orders.
#include "any_image.hpp"
#include "support/elf_writer.hpp"
#include "support/image_kinds.hpp"
#include "test_util.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using elftest::Eh;
using elftest::Sh;
using objkit_test::AnyImage;
using objkit_test::TempDir;

using Kind = elftest::ImageKind;
using elftest::all_kinds;

// A table of `filler` bytes of other strings after the section names, with
// one more name after the filler when `late_name` is not empty.
struct SharedTable {
    std::vector<std::string> names;  // by section index; [0] unused
    std::vector<uint32_t> offsets;   // sh_name of each section
    elftest::Bytes bytes;
};

SharedTable shared_table(size_t sections, size_t filler, const std::string &late_name)
{
    SharedTable table;
    table.bytes.push_back(0);
    table.names.emplace_back();
    table.offsets.push_back(0);
    for (size_t i = 1; i < sections; ++i) {
        const std::string name = i + 1 == sections && !late_name.empty()
                                     ? std::string()
                                     : ".section" + std::to_string(i);
        table.names.push_back(name);
        table.offsets.push_back(static_cast<uint32_t>(table.bytes.size()));
        table.bytes.insert(table.bytes.end(), name.begin(), name.end());
        table.bytes.push_back(0);
    }
    for (size_t i = 0; i < filler; ++i)
        table.bytes.push_back(i % 64 == 63 ? 0 : static_cast<unsigned char>('a' + i % 26));
    table.bytes.push_back(0);
    if (!late_name.empty()) {
        table.names.back() = late_name;
        table.offsets.back() = static_cast<uint32_t>(table.bytes.size());
        table.bytes.insert(table.bytes.end(), late_name.begin(), late_name.end());
        table.bytes.push_back(0);
    }
    return table;
}

// An image whose section `table_index` is the shared table and serves as
// the section name table.
elftest::Image image_with(const Kind &kind, const SharedTable &table, uint32_t *table_index)
{
    elftest::ElfWriter w(kind.bits, kind.data);
    w.options().shstrtab = false;
    for (size_t i = 1; i + 1 < table.names.size(); ++i)
        w.add_section({.name = table.names[i], .data = {1, 2, 3, static_cast<unsigned char>(i)}});
    *table_index =
        w.add_section({.name = table.names.back(), .type = SHT_STRTAB, .data = table.bytes});
    elftest::Image image = w.build();
    image.set(Eh::shstrndx, *table_index);
    for (uint32_t i = 1; i < table.offsets.size(); ++i)
        image.set(i, Sh::name, table.offsets[i]);
    return image;
}

// Loads the bytes from a file and from a buffer; every name and every
// read_name of the table must agree between the two.
void expect_file_load_matches_buffer(const elftest::Image &image, uint32_t table_index,
                                     const std::vector<uint64_t> &probes)
{
    TempDir dir;
    const std::string path = dir.file("image.o");
    ASSERT_TRUE(objkit_test::write_bytes(path, image.bytes));
    AnyImage from_file(objkit_source_file(path.c_str()));
    AnyImage from_buffer(objkit_test::buffer_source(image.bytes));
    ASSERT_TRUE(from_file.loaded());
    ASSERT_TRUE(from_buffer.loaded());
    ASSERT_EQ(from_file.num_sections(), from_buffer.num_sections());
    for (uint32_t i = 0; i < from_file.num_sections(); ++i)
        EXPECT_EQ(from_file.section(i).name, from_buffer.section(i).name) << "section " << i;
    for (uint64_t offset : probes) {
        const char *file_name = nullptr;
        const char *buffer_name = nullptr;
        const bool file_ok = from_file.read_name(table_index, offset, &file_name);
        ASSERT_EQ(file_ok, from_buffer.read_name(table_index, offset, &buffer_name))
            << "offset " << offset;
        if (file_ok) {
            EXPECT_STREQ(file_name, buffer_name) << "offset " << offset;
        }
    }
    const uint64_t size = image.get(table_index, Sh::size);
    std::vector<unsigned char> file_bytes;
    ASSERT_TRUE(from_file.read_all(table_index, &file_bytes));
    EXPECT_EQ(file_bytes, image.section_bytes(table_index));
    EXPECT_EQ(file_bytes.size(), size);
}

TEST(SharedNameTable, NamesAtTheStartOfALargeTable)
{
    const SharedTable table = shared_table(6, 1 << 20, "");
    for (const Kind &kind : all_kinds) {
        SCOPED_TRACE(kind.name());
        uint32_t index = 0;
        const elftest::Image image = image_with(kind, table, &index);
        AnyImage loaded;
        TempDir dir;
        ASSERT_TRUE(objkit_test::write_bytes(dir.file("a.o"), image.bytes));
        ASSERT_TRUE(loaded.load(objkit_source_file(dir.file("a.o").c_str())));
        for (uint32_t i = 1; i < table.names.size(); ++i)
            EXPECT_EQ(loaded.section(i).name, table.names[i]);
        // The rest of the table is still there for the strings past the names.
        expect_file_load_matches_buffer(image, index,
                                        {0, 1, table.offsets[2], 5000, (1 << 20) - 1, 1 << 20,
                                         table.bytes.size() - 1, table.bytes.size()});
    }
}

TEST(SharedNameTable, NameFarPastTheOthers)
{
    // The last section's name lies past a megabyte of other strings, and
    // one name is longer than any first read would guess.
    for (const std::string &late : {std::string(".late"), std::string(3000, 'n')}) {
        const SharedTable table = shared_table(5, 1 << 20, late);
        for (const Kind &kind : all_kinds) {
            SCOPED_TRACE(kind.name());
            uint32_t index = 0;
            const elftest::Image image = image_with(kind, table, &index);
            expect_file_load_matches_buffer(image, index, {table.offsets.back(), 7});
        }
    }
}

TEST(SharedNameTable, LongNameThatEndsPastTheFirstRead)
{
    // Names at the start, one of them 4000 bytes long.
    SharedTable table = shared_table(4, 100, "");
    const std::string long_name(4000, 'q');
    table.names[2] = long_name;
    table.offsets[2] = static_cast<uint32_t>(table.bytes.size());
    table.bytes.insert(table.bytes.end(), long_name.begin(), long_name.end());
    table.bytes.push_back(0);
    for (const Kind &kind : all_kinds) {
        SCOPED_TRACE(kind.name());
        uint32_t index = 0;
        const elftest::Image image = image_with(kind, table, &index);
        expect_file_load_matches_buffer(image, index, {table.offsets[2]});
    }
}

TEST(SharedNameTable, DamagedTablesGiveTheSameNamesAsABufferLoad)
{
    const SharedTable table = shared_table(5, 1 << 16, ".late");
    for (const Kind &kind : all_kinds) {
        SCOPED_TRACE(kind.name());
        uint32_t index = 0;
        const elftest::Image built = image_with(kind, table, &index);
        const uint64_t at = built.get(index, Sh::offset);
        const uint64_t size = built.get(index, Sh::size);
        {
            // The last name loses its NUL: it is empty, the others stay.
            elftest::Image image = built;
            image.bytes[at + size - 1] = 'x';
            expect_file_load_matches_buffer(image, index, {table.offsets.back(), 1});
        }
        {
            // Every NUL after the early names gone.
            elftest::Image image = built;
            for (uint64_t i = table.offsets[3]; i < size; ++i)
                image.bytes[at + i] = 'y';
            expect_file_load_matches_buffer(image, index, {1, table.offsets[3], size - 1});
        }
        {
            // A name offset at and past the end of the table.
            elftest::Image image = built;
            image.set(1, Sh::name, size);
            image.set(2, Sh::name, size - 1);
            expect_file_load_matches_buffer(image, index, {size - 1, size});
        }
    }
}

}  // namespace

// name_table.hpp - the section names a load copies into its records.
//
// A file load reads only the part of the section name string table that
// holds the names: objects often share one table between section and
// symbol names, and that table can be many megabytes of symbol names.  The
// bytes read here live only while the load runs; a later read of the
// table's section goes through the image's cache like any other.
#pragma once

#include "core_class.hpp"
#include "load_source.hpp"
#include "range.hpp"
#include "table_geometry.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace objkit {

// The data a section header calls for: the section's bytes when they lie
// wholly inside the source and fit the 32-bit size, nothing otherwise.
template <class C>
objcore_data data_record(const typename C::Shdr &shdr, ByteOrder order, uint64_t source_size,
                         objkit_file *file)
{
    objcore_data data{};
    data.file = file;
    const uint32_t type = order(shdr.sh_type);
    const uint64_t offset = order(shdr.sh_offset);
    const uint64_t size = order(shdr.sh_size);
    if (type == SHT_NULL || type == SHT_NOBITS || size > UINT32_MAX ||
        !range_inside(offset, size, source_size))
        return data;
    data.size = static_cast<uint32_t>(size);
    data.file_offset = offset;
    return data;
}

struct FreeBytes {
    void operator()(unsigned char *bytes) const { std::free(bytes); }
};
using OwnedBytes = std::unique_ptr<unsigned char[], FreeBytes>;

struct NameTable {
    const unsigned char *bytes = nullptr;
    uint32_t size = 0;
    uint32_t strings_end = 0;
    OwnedBytes owned;  // a file load's copy of the part it read
};

// How far past the start of the last section name a file load reads at
// first: far enough to end any real section name.
constexpr uint32_t name_reach = 512;

// One past the largest sh_name that lies inside a table of `size` bytes;
// 0 when none does.
template <class C>
uint32_t names_extent(const unsigned char *shdrs, uint32_t shnum, ByteOrder order, uint32_t size)
{
    using Shdr = typename C::Shdr;
    uint32_t extent = 0;
    for (uint32_t i = 0; i < shnum; ++i) {
        const uint32_t name = order(read_struct<Shdr>(shdrs + size_t{i} * sizeof(Shdr)).sh_name);
        if (name < size && name >= extent)
            extent = name + 1;
    }
    return extent;
}

// The first `count` bytes of the table: where the load holds them already
// (a buffer's copy; for a file, the window over the section header table
// usually holds them), or read into the table's own copy.
inline bool read_table_prefix(LoadSource &source, const objcore_data &data, uint32_t count,
                              NameTable *table)
{
    const unsigned char *bytes = source.held(data.file_offset, count);
    if (bytes != nullptr) {
        table->owned.reset();
    } else {
        table->owned.reset(static_cast<unsigned char *>(std::malloc(count == 0 ? 1 : count)));
        if (!table->owned)
            return refuse(source.record(), OBJKIT_REASON_MEMORY, ENOMEM,
                          "no memory for %u bytes of section names", count);
        if (!source.read(data.file_offset, table->owned.get(), count))
            return false;
        bytes = table->owned.get();
    }
    table->bytes = bytes;
    table->size = count;
    table->strings_end = terminated_prefix(bytes, count);
    return true;
}

template <class C>
bool read_name_table(LoadSource &source, const unsigned char *shdrs, const TableGeometry &geometry,
                     ByteOrder order, NameTable *table)
{
    if (geometry.shstrndx == SHN_UNDEF || geometry.shstrndx >= geometry.shnum)
        return true;
    using Shdr = typename C::Shdr;
    const auto shdr = read_struct<Shdr>(shdrs + size_t{geometry.shstrndx} * sizeof(Shdr));
    const objcore_data data = data_record<C>(shdr, order, source.size(), nullptr);
    if (data.size == 0)
        return true;
    if (!source.is_file())
        return read_table_prefix(source, data, data.size, table);  // all held in the copy
    // A NUL at or past the last name's start ends every name, since each
    // one starts at or before it; the names are then the same as the whole
    // table would give.  Otherwise the whole table is read after all.
    const uint32_t extent = names_extent<C>(shdrs, geometry.shnum, order, data.size);
    if (extent == 0)
        return true;  // every name is empty
    const uint32_t first = data.size - extent > name_reach ? extent + name_reach : data.size;
    if (!read_table_prefix(source, data, first, table))
        return false;
    if (first == data.size || table->strings_end >= extent)
        return true;
    return read_table_prefix(source, data, data.size, table);
}

// The name a section header's sh_name selects: empty when it lies outside
// the table or no NUL ends it there.
inline const char *name_at(const NameTable &table, uint32_t offset, size_t *length)
{
    if (offset >= table.strings_end) {
        *length = 0;
        return "";
    }
    const char *name = reinterpret_cast<const char *>(table.bytes) + offset;
    *length = std::strlen(name);
    return name;
}

}  // namespace objkit

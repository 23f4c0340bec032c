// table_geometry.hpp - where a source's two header tables are and how many
// entries they have, extended numbering resolved, checked against the
// source before anything is read from them.
#pragma once

#include "core_class.hpp"
#include "load_source.hpp"
#include "refusal.hpp"

#include <cstdint>

namespace objkit {

struct TableGeometry {
    uint64_t shoff = 0;
    uint32_t shnum = 0;
    uint32_t shstrndx = SHN_UNDEF;
    uint64_t phoff = 0;
    uint32_t phnum = 0;
};

// The raw counts and offsets of the ELF header, in host order.
struct HeaderCounts {
    uint64_t shoff;
    uint16_t shnum;
    uint16_t shentsize;
    uint16_t shstrndx;
    uint64_t phoff;
    uint16_t phnum;
    uint16_t phentsize;
};

template <class C>
HeaderCounts header_counts(const typename C::Ehdr &ehdr, ByteOrder order)
{
    return {order(ehdr.e_shoff),    order(ehdr.e_shnum), order(ehdr.e_shentsize),
            order(ehdr.e_shstrndx), order(ehdr.e_phoff), order(ehdr.e_phnum),
            order(ehdr.e_phentsize)};
}

// A table of `count` entries of `entry_size` bytes at `offset` that must lie
// inside the source; `what` names it in the refusal.
inline bool table_inside(LoadSource &source, int reason, const char *what, uint64_t offset,
                         uint64_t count, uint64_t entry_size)
{
    if (source.contains(offset, count * entry_size))
        return true;
    return refuse(source.record(), reason, 0,
                  "%s at 0x%llx (%llu entries of %llu bytes) ends past the end of the %s "
                  "(%llu bytes)",
                  what, static_cast<unsigned long long>(offset),
                  static_cast<unsigned long long>(count),
                  static_cast<unsigned long long>(entry_size), source_noun(source.record()),
                  static_cast<unsigned long long>(source.size()));
}

inline bool entry_size_is(LoadSource &source, int reason, const char *what, unsigned found,
                          size_t wanted)
{
    return found == wanted || refuse(source.record(), reason, 0, "%s entries are %u bytes, not %zu",
                                     what, found, wanted);
}

// The section header table's place and count; `first` gets section 0 when
// extended numbering needs it (`has_first`).  e_shoff 0 means there is no
// table, whatever e_shnum says.
template <class C>
bool locate_section_table(LoadSource &source, const HeaderCounts &counts, ByteOrder order,
                          TableGeometry *geometry, typename C::Shdr *first, bool *has_first)
{
    using Shdr = typename C::Shdr;
    constexpr int reason = OBJKIT_REASON_SECTION_TABLE;
    constexpr const char *what = "section header table";
    *has_first = false;
    if (counts.shoff == 0)
        return true;
    const bool extended = counts.shnum == 0;
    const bool first_needed = extended || counts.shstrndx == SHN_XINDEX || counts.phnum == PN_XNUM;
    if (first_needed &&
        (!entry_size_is(source, reason, "section header", counts.shentsize, sizeof(Shdr)) ||
         !table_inside(source, reason, what, counts.shoff, 1, sizeof(Shdr)) ||
         !source.read(counts.shoff, first, sizeof *first)))
        return false;
    uint64_t count = counts.shnum;
    if (extended) {
        count = order(first->sh_size);
        if (count > UINT32_MAX)
            return refuse(source.record(), reason, 0,
                          "extended section count %llu (section 0's sh_size) is above 0xffffffff",
                          static_cast<unsigned long long>(count));
    }
    if (count > 0) {
        if (!entry_size_is(source, reason, "section header", counts.shentsize, sizeof(Shdr)) ||
            !table_inside(source, reason, what, counts.shoff, count, sizeof(Shdr)))
            return false;
        *has_first = first_needed;
    }
    geometry->shoff = counts.shoff;
    geometry->shnum = static_cast<uint32_t>(count);
    return true;
}

template <class C>
bool locate_program_table(LoadSource &source, const HeaderCounts &counts, bool has_first,
                          const typename C::Shdr &first, ByteOrder order, TableGeometry *geometry)
{
    using Phdr = typename C::Phdr;
    constexpr int reason = OBJKIT_REASON_PROGRAM_TABLE;
    if (counts.phoff == 0 || counts.phnum == 0)
        return true;
    uint64_t count = counts.phnum;
    if (counts.phnum == PN_XNUM) {
        if (!has_first)
            return refuse(source.record(), reason, 0,
                          "e_phnum is PN_XNUM (0xffff), but there is no section 0 to hold the "
                          "count");
        count = order(first.sh_info);
    }
    if (count > 0 &&
        (!entry_size_is(source, reason, "program header", counts.phentsize, sizeof(Phdr)) ||
         !table_inside(source, reason, "program header table", counts.phoff, count, sizeof(Phdr))))
        return false;
    geometry->phoff = counts.phoff;
    geometry->phnum = static_cast<uint32_t>(count);
    return true;
}

template <class C>
bool locate_tables(LoadSource &source, const typename C::Ehdr &ehdr, ByteOrder order,
                   TableGeometry *out)
{
    const HeaderCounts counts = header_counts<C>(ehdr, order);
    TableGeometry geometry;
    typename C::Shdr first{};
    bool has_first = false;
    if (!locate_section_table<C>(source, counts, order, &geometry, &first, &has_first) ||
        !locate_program_table<C>(source, counts, has_first, first, order, &geometry))
        return false;
    if (counts.shstrndx != SHN_XINDEX)
        geometry.shstrndx = counts.shstrndx;
    else if (has_first)
        geometry.shstrndx = order(first.sh_link);
    *out = geometry;
    return true;
}

}  // namespace objkit

// image_records.hpp - the image record and every section and program
// record, laid out in one allocation, and the budget that allocation must
// keep.
//
// The budget is a small multiple of the source's size (objkit.h gives it):
// section records, names included, are a few times the section header table
// they are made from, so a real file never comes near it, while a crafted
// header whose counts or shared names would ask for gigabytes is refused
// before the table is read, or before the records are allocated.
#pragma once

#include "core_class.hpp"
#include "image_state.hpp"
#include "name_table.hpp"
#include "refusal.hpp"
#include "table_geometry.hpp"

#include <cstdint>
#include <cstdio>

namespace objkit {

inline uint64_t record_budget(uint64_t source_size)
{
    const uint64_t room = (OBJKIT_RECORD_CAP - OBJKIT_RECORD_BASE) / OBJKIT_RECORD_FACTOR;
    return source_size >= room ? OBJKIT_RECORD_CAP
                               : OBJKIT_RECORD_FACTOR * source_size + OBJKIT_RECORD_BASE;
}

constexpr uint64_t align_up(uint64_t value, uint64_t alignment)
{
    return (value + alignment - 1) / alignment * alignment;
}

template <class C>
struct ImageBlock {
    typename C::Image image;
    objkit_image_state state;
};

template <class C>
struct ArenaLayout {
    uint64_t sections_at = 0;  // void *[shnum]
    uint64_t data_at = 0;      // objcore_data[shnum]
    uint64_t programs_at = 0;  // Program[phnum]
    uint64_t records_at = 0;   // the section records, names inline
    uint64_t total = 0;
};

template <class C>
uint64_t section_record_size(uint64_t name_length)
{
    using Section = typename C::Section;
    return align_up(sizeof(Section) + name_length + 1, alignof(Section));
}

// Everything but the section records' names.
template <class C>
ArenaLayout<C> fixed_layout(const TableGeometry &geometry)
{
    ArenaLayout<C> plan;
    uint64_t at = align_up(sizeof(ImageBlock<C>), alignof(void *));
    plan.sections_at = at;
    at += uint64_t{geometry.shnum} * sizeof(void *);
    at = align_up(at, alignof(objcore_data));
    plan.data_at = at;
    at += uint64_t{geometry.shnum} * sizeof(objcore_data);
    at = align_up(at, alignof(typename C::Program));
    plan.programs_at = at;
    at += uint64_t{geometry.phnum} * sizeof(typename C::Program);
    plan.records_at = align_up(at, alignof(typename C::Section));
    plan.total = plan.records_at;
    return plan;
}

// Whether `need` bytes of records are more than the source allows; when
// they are, the source is refused with a text that `name` writes of what
// needs them.  The text is made only then: most loads are within budget.
template <class Name>
bool over_budget(LoadSource &source, uint64_t need, Name name)
{
    const uint64_t budget = record_budget(source.size());
    if (need <= budget)
        return false;
    char what[96];
    name(what, sizeof what);
    refuse(source.record(), OBJKIT_REASON_BUDGET, 0,
           "%s need at least %llu bytes of records; a %llu-byte %s allows %llu", what,
           static_cast<unsigned long long>(need), static_cast<unsigned long long>(source.size()),
           source_noun(source.record()), static_cast<unsigned long long>(budget));
    return true;
}

// Checked from the header's counts alone, before the tables are read: the
// records take at least this much whatever the names turn out to be.
template <class C>
bool counts_within_budget(LoadSource &source, const TableGeometry &geometry)
{
    const uint64_t least =
        fixed_layout<C>(geometry).total + uint64_t{geometry.shnum} * section_record_size<C>(0);
    return !over_budget(source, least, [&](char *what, size_t size) {
        (void)std::snprintf(what, size, "%u sections and %u program headers", geometry.shnum,
                            geometry.phnum);
    });
}

template <class C>
bool plan_arena(LoadSource &source, const unsigned char *shdrs, const TableGeometry &geometry,
                ByteOrder order, const NameTable &names, ArenaLayout<C> *layout)
{
    using Shdr = typename C::Shdr;
    ArenaLayout<C> plan = fixed_layout<C>(geometry);
    const uint64_t budget = record_budget(source.size());
    uint64_t at = plan.records_at;
    for (uint32_t i = 0; i < geometry.shnum && at <= budget; ++i) {
        const auto shdr = read_struct<Shdr>(shdrs + size_t{i} * sizeof(Shdr));
        size_t length;
        name_at(names, order(shdr.sh_name), &length);
        at += section_record_size<C>(length);
    }
    if (over_budget(source, at, [](char *what, size_t size) {
            (void)std::snprintf(what, size, "the section names");
        }))
        return false;
    plan.total = at;
    *layout = plan;
    return true;
}

// The lowest PT_LOAD p_vaddr, aligned down to its segment's p_align when
// that is a power of two.
template <class C>
auto image_base_of(const typename C::Program *programs, uint32_t count, ByteOrder order)
{
    using Addr = decltype(programs->phdr.p_vaddr);
    bool found = false;
    Addr lowest = 0;
    Addr lowest_align = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const auto &phdr = programs[i].phdr;
        if (order(phdr.p_type) != PT_LOAD)
            continue;
        const Addr vaddr = order(phdr.p_vaddr);
        if (!found || vaddr < lowest) {
            found = true;
            lowest = vaddr;
            lowest_align = order(phdr.p_align);
        }
    }
    if (found && lowest_align != 0 && (lowest_align & (lowest_align - 1)) == 0)
        lowest &= static_cast<Addr>(~(lowest_align - 1));
    return lowest;
}

// Writes every section record into the arena, names copied in.
template <class C>
void build_section_records(unsigned char *arena, const ArenaLayout<C> &layout,
                           const unsigned char *shdrs, uint32_t shnum, ByteOrder order,
                           const NameTable &names, uint64_t source_size, objkit_image_state &state)
{
    using Shdr = typename C::Shdr;
    using Section = typename C::Section;
    uint64_t at = layout.records_at;
    for (uint32_t i = 0; i < shnum; ++i) {
        auto *section = reinterpret_cast<Section *>(arena + at);
        std::memcpy(&section->shdr, shdrs + size_t{i} * sizeof(Shdr), sizeof(Shdr));
        section->index = i;
        section->orig_index = i;
        section->data = &state.data[i];
        *section->data = data_record<C>(section->shdr, order, source_size, &state.file);
        size_t length;
        const char *name = name_at(names, order(section->shdr.sh_name), &length);
        std::memcpy(section->name, name, length);
        section->name[length] = '\0';
        state.sections[i] = section;
        at += section_record_size<C>(length);
    }
}

}  // namespace objkit

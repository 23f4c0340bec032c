// rel.cpp - relocation entries with and without addend: filling a record at
// the stride of the form asked for, and one set of getters for both forms,
// with r_info split by the class's rule.
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "class_traits.hpp"
#include "entry_fill.hpp"
#include "typed_field.hpp"

namespace objlens {
namespace {

// Rel and Rela begin alike, so r_offset and r_info are found through the
// entry struct of the form (Entry) the table serves.
template <class C, class Entry>
uint64_t rel_get_offset(const objlens_rel *rel) noexcept
{
    return load_field<C, alias::Addr>(rel->image, rel->entry, offsetof(Entry, r_offset));
}

template <class C, class Entry>
uint64_t rel_get_info(const objlens_rel *rel) noexcept
{
    return load_field<C, alias::Xword>(rel->image, rel->entry, offsetof(Entry, r_info));
}

template <class C, class Entry>
uint64_t rel_get_r_sym(const objlens_rel *rel) noexcept
{
    return C::r_sym(rel_get_info<C, Entry>(rel));
}

template <class C, class Entry>
uint64_t rel_get_r_type(const objlens_rel *rel) noexcept
{
    return C::r_type(rel_get_info<C, Entry>(rel));
}

template <class C, class Entry>
constexpr bool entry_has_addend = std::is_same_v<Entry, typename C::Rela>;

template <class C, class Entry>
int rel_has_addend(const objlens_rel * /*rel*/) noexcept
{
    return entry_has_addend<C, Entry> ? 1 : 0;
}

template <class C, class Entry>
int64_t rel_get_addend(const objlens_rel *rel) noexcept
{
    if constexpr (entry_has_addend<C, Entry>)
        return load_field<C, alias::Sxword>(rel->image, rel->entry, offsetof(Entry, r_addend));
    else
        return 0;
}

template <class C, class Entry>
constexpr objlens_rel_ops make_rel_ops()
{
    return {
        .get_offset = &rel_get_offset<C, Entry>,
        .get_info = &rel_get_info<C, Entry>,
        .get_r_sym = &rel_get_r_sym<C, Entry>,
        .get_r_type = &rel_get_r_type<C, Entry>,
        .has_addend = &rel_has_addend<C, Entry>,
        .get_addend = &rel_get_addend<C, Entry>,
    };
}

static_assert(offsetof(objlens_rel_ops, has_addend) == 4 * sizeof(void (*)()));
static_assert(sizeof(objlens_rel_ops) == 6 * sizeof(void (*)()));
static_assert(sizeof(objlens_rel::entry) == sizeof(Elf64_Rela));

}  // namespace
}  // namespace objlens

using objlens::elf32;
using objlens::elf64;

extern "C" {

constinit const objlens_rel_ops objlens_ops_rel_32 = objlens::make_rel_ops<elf32, elf32::Rel>();
constinit const objlens_rel_ops objlens_ops_rel_64 = objlens::make_rel_ops<elf64, elf64::Rel>();
constinit const objlens_rel_ops objlens_ops_rela_32 = objlens::make_rel_ops<elf32, elf32::Rela>();
constinit const objlens_rel_ops objlens_ops_rela_64 = objlens::make_rel_ops<elf64, elf64::Rela>();

int objlens_section_get_rel(const objlens_section *section, objlens_rel *rel, uint32_t index)
{
    return objlens::entry_fill_index(section, rel, index, section->image->ops->sizeof_Rel,
                                     section->ops->rel_ops);
}
int objlens_section_get_rel_offs(const objlens_section *section, objlens_rel *rel, uint32_t offset)
{
    return objlens::entry_fill_at(section, rel, offset, section->image->ops->sizeof_Rel,
                                  section->ops->rel_ops);
}
int objlens_section_get_rela(const objlens_section *section, objlens_rel *rel, uint32_t index)
{
    return objlens::entry_fill_index(section, rel, index, section->image->ops->sizeof_Rela,
                                     section->ops->rela_ops);
}
int objlens_section_get_rela_offs(const objlens_section *section, objlens_rel *rel, uint32_t offset)
{
    return objlens::entry_fill_at(section, rel, offset, section->image->ops->sizeof_Rela,
                                  section->ops->rela_ops);
}

uint64_t objlens_rel_get_offset(const objlens_rel *rel) { return rel->ops->get_offset(rel); }
uint64_t objlens_rel_get_info(const objlens_rel *rel) { return rel->ops->get_info(rel); }
uint64_t objlens_rel_get_r_sym(const objlens_rel *rel) { return rel->ops->get_r_sym(rel); }
uint64_t objlens_rel_get_r_type(const objlens_rel *rel) { return rel->ops->get_r_type(rel); }
int objlens_rel_has_addend(const objlens_rel *rel) { return rel->ops->has_addend(rel); }
int64_t objlens_rel_get_addend(const objlens_rel *rel) { return rel->ops->get_addend(rel); }

}  // extern "C"

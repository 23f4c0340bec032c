// dyn.cpp - dynamic entries: recognising a dynamic section, filling an
// entry record by index or byte offset, and reading d_tag and d_un.
#include <cstddef>
#include <cstdint>

#include "class_traits.hpp"
#include "entry_fill.hpp"
#include "typed_field.hpp"

namespace objlens {
namespace {

template <class C>
int64_t dyn_get_tag(const objlens_dyn *dyn) noexcept
{
    return load_field<C, alias::Sxword>(dyn->image, dyn->entry, offsetof(typename C::Dyn, d_tag));
}

// d_val and d_ptr share their bytes; they differ only in the typed load.
template <class C>
uint64_t dyn_get_val(const objlens_dyn *dyn) noexcept
{
    return load_field<C, alias::Xword>(dyn->image, dyn->entry,
                                       offsetof(typename C::Dyn, d_un.d_val));
}

template <class C>
uint64_t dyn_get_ptr(const objlens_dyn *dyn) noexcept
{
    return load_field<C, alias::Addr>(dyn->image, dyn->entry,
                                      offsetof(typename C::Dyn, d_un.d_ptr));
}

template <class C>
constexpr objlens_dyn_ops make_dyn_ops()
{
    return {
        .get_tag = &dyn_get_tag<C>,
        .get_val = &dyn_get_val<C>,
        .get_ptr = &dyn_get_ptr<C>,
    };
}

static_assert(offsetof(objlens_dyn_ops, get_ptr) == 2 * sizeof(void (*)()));
static_assert(sizeof(objlens_dyn_ops) == 3 * sizeof(void (*)()));
static_assert(sizeof(objlens_dyn::entry) == sizeof(Elf64_Dyn));

}  // namespace
}  // namespace objlens

extern "C" {

constinit const objlens_dyn_ops objlens_ops_dyn_32 = objlens::make_dyn_ops<objlens::elf32>();
constinit const objlens_dyn_ops objlens_ops_dyn_64 = objlens::make_dyn_ops<objlens::elf64>();

int objlens_section_is_dynamic(const objlens_section *section)
{
    if (static_cast<uint32_t>(section->ops->get_type(section)) != SHT_DYNAMIC)
        return 0;
    const auto entry_size = static_cast<uint64_t>(section->image->ops->sizeof_Dyn);
    return section->ops->get_entsize(section) == entry_size ? 1 : 0;
}

int objlens_section_get_dyn(const objlens_section *section, objlens_dyn *dyn, uint32_t index)
{
    return objlens::entry_fill_index(section, dyn, index, section->image->ops->sizeof_Dyn,
                                     section->ops->dyn_ops);
}

int objlens_section_get_dyn_offs(const objlens_section *section, objlens_dyn *dyn, uint32_t offset)
{
    return objlens::entry_fill_at(section, dyn, offset, section->image->ops->sizeof_Dyn,
                                  section->ops->dyn_ops);
}

int64_t objlens_dyn_get_tag(const objlens_dyn *dyn) { return dyn->ops->get_tag(dyn); }
uint64_t objlens_dyn_get_val(const objlens_dyn *dyn) { return dyn->ops->get_val(dyn); }
uint64_t objlens_dyn_get_ptr(const objlens_dyn *dyn) { return dyn->ops->get_ptr(dyn); }

}  // extern "C"

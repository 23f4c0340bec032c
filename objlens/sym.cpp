// sym.cpp - symbols: filling a record by index or byte offset, and its six
// fields.  st_info and st_other are single bytes and are returned as they
// are; names are read by the caller from the sh_link string table.
#include <cstddef>
#include <cstdint>

#include "class_traits.hpp"
#include "entry_fill.hpp"
#include "typed_field.hpp"

namespace objlens {
namespace {

template <class C>
uint32_t sym_get_name_offs(const objlens_sym *sym) noexcept
{
    return static_cast<uint32_t>(
        load_field<C, alias::Word>(sym->image, sym->entry, offsetof(typename C::Sym, st_name)));
}

template <class C>
uint16_t sym_get_shndx(const objlens_sym *sym) noexcept
{
    return static_cast<uint16_t>(
        load_field<C, alias::Half>(sym->image, sym->entry, offsetof(typename C::Sym, st_shndx)));
}

template <class C>
uint8_t sym_get_info(const objlens_sym *sym) noexcept
{
    return sym->entry[offsetof(typename C::Sym, st_info)];
}

template <class C>
uint8_t sym_get_other(const objlens_sym *sym) noexcept
{
    return sym->entry[offsetof(typename C::Sym, st_other)];
}

template <class C>
uint64_t sym_get_value(const objlens_sym *sym) noexcept
{
    return load_field<C, alias::Addr>(sym->image, sym->entry, offsetof(typename C::Sym, st_value));
}

template <class C>
uint64_t sym_get_size(const objlens_sym *sym) noexcept
{
    return load_field<C, alias::Xword>(sym->image, sym->entry, offsetof(typename C::Sym, st_size));
}

template <class C>
constexpr objlens_sym_ops make_sym_ops()
{
    return {
        .get_name_offs = &sym_get_name_offs<C>,
        .get_shndx = &sym_get_shndx<C>,
        .get_info = &sym_get_info<C>,
        .get_other = &sym_get_other<C>,
        .get_value = &sym_get_value<C>,
        .get_size = &sym_get_size<C>,
    };
}

static_assert(offsetof(objlens_sym_ops, get_info) == 2 * sizeof(void (*)()));
static_assert(sizeof(objlens_sym_ops) == 6 * sizeof(void (*)()));
static_assert(sizeof(objlens_sym::entry) == sizeof(Elf64_Sym));

}  // namespace
}  // namespace objlens

extern "C" {

constinit const objlens_sym_ops objlens_ops_sym_32 = objlens::make_sym_ops<objlens::elf32>();
constinit const objlens_sym_ops objlens_ops_sym_64 = objlens::make_sym_ops<objlens::elf64>();

int objlens_section_get_sym(const objlens_section *section, objlens_sym *sym, uint32_t index)
{
    return objlens::entry_fill_index(section, sym, index, section->image->ops->sizeof_Sym,
                                     section->ops->sym_ops);
}
int objlens_section_get_sym_offs(const objlens_section *section, objlens_sym *sym, uint32_t offset)
{
    return objlens::entry_fill_at(section, sym, offset, section->image->ops->sizeof_Sym,
                                  section->ops->sym_ops);
}

uint32_t objlens_sym_get_name_offs(const objlens_sym *sym) { return sym->ops->get_name_offs(sym); }
uint16_t objlens_sym_get_shndx(const objlens_sym *sym) { return sym->ops->get_shndx(sym); }
uint8_t objlens_sym_get_info(const objlens_sym *sym) { return sym->ops->get_info(sym); }
uint8_t objlens_sym_get_other(const objlens_sym *sym) { return sym->ops->get_other(sym); }
uint64_t objlens_sym_get_value(const objlens_sym *sym) { return sym->ops->get_value(sym); }
uint64_t objlens_sym_get_size(const objlens_sym *sym) { return sym->ops->get_size(sym); }

}  // extern "C"

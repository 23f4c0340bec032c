// section.cpp - the section view: the backend's identity of a section, every
// field of its raw section header, and reads of its data.
//
// Section data is reached only through the backend's data record, whose size
// is what the backend can serve; it need not equal sh_size (NOBITS, or data
// outside the file).  Entry views read through data_read below.
#include <cstddef>
#include <cstdint>

#include "class_traits.hpp"
#include "data_read.hpp"
#include "typed_field.hpp"

namespace objlens {
namespace {

template <class C>
uint32_t section_get_index(const objlens_section *section) noexcept
{
    return record_of<C>(section)->index;
}

template <class C>
uint32_t section_get_orig_index(const objlens_section *section) noexcept
{
    return record_of<C>(section)->orig_index;
}

template <class C>
const char *section_get_name_str(const objlens_section *section) noexcept
{
    return record_of<C>(section)->name;
}

#define OBJLENS_SHDR_WORKER(worker, result, type_alias, member)                                    \
    template <class C>                                                                             \
    result section_get_##worker(const objlens_section *section) noexcept                           \
    {                                                                                              \
        return static_cast<result>(load_field<C, alias::type_alias>(                               \
            section->image, &record_of<C>(section)->shdr, offsetof(typename C::Shdr, member)));    \
    }

OBJLENS_SHDR_WORKER(name_offs, uint32_t, Word, sh_name)
OBJLENS_SHDR_WORKER(type, uint32_t, Word, sh_type)
OBJLENS_SHDR_WORKER(flags, uint64_t, Xword, sh_flags)
OBJLENS_SHDR_WORKER(addr, uint64_t, Addr, sh_addr)
OBJLENS_SHDR_WORKER(offset, uint64_t, Off, sh_offset)
OBJLENS_SHDR_WORKER(size, uint64_t, Xword, sh_size)
OBJLENS_SHDR_WORKER(link, uint32_t, Word, sh_link)
OBJLENS_SHDR_WORKER(info, uint32_t, Word, sh_info)
OBJLENS_SHDR_WORKER(addralign, uint64_t, Xword, sh_addralign)
OBJLENS_SHDR_WORKER(entsize, uint64_t, Xword, sh_entsize)

template <class C>
uint32_t section_data_size(const objlens_section *section) noexcept
{
    return record_of<C>(section)->data->size;
}

template <class C>
int section_data_readname(const objlens_section *section, std::size_t offset,
                          const char **name) noexcept
{
    return C::core_read_name(core_of<C>(section->image), offset, record_of<C>(section), name) ? 0
                                                                                              : -1;
}

template <class C>
constexpr objlens_section_ops make_section_ops()
{
    return {
        .dyn_ops = C::dyn_ops,
        .rel_ops = C::rel_ops,
        .rela_ops = C::rela_ops,
        .sym_ops = C::sym_ops,
        .get_index = &section_get_index<C>,
        .get_orig_index = &section_get_orig_index<C>,
        .get_name_str = &section_get_name_str<C>,
        .get_name_offs = &section_get_name_offs<C>,
        .get_type = &section_get_type<C>,
        .get_flags = &section_get_flags<C>,
        .get_addr = &section_get_addr<C>,
        .get_offset = &section_get_offset<C>,
        .get_size = &section_get_size<C>,
        .get_link = &section_get_link<C>,
        .get_info = &section_get_info<C>,
        .get_addralign = &section_get_addralign<C>,
        .get_entsize = &section_get_entsize<C>,
        .data_size = &section_data_size<C>,
        .data_read = &section_data_read<C>,
        .data_readname = &section_data_readname<C>,
    };
}

// Four table pointers, then sixteen functions.
static_assert(offsetof(objlens_section_ops, sym_ops) == 3 * sizeof(void *));
static_assert(offsetof(objlens_section_ops, get_index) == 4 * sizeof(void *));
static_assert(offsetof(objlens_section_ops, get_name_offs) == 7 * sizeof(void *));
static_assert(offsetof(objlens_section_ops, data_size) == 17 * sizeof(void *));
static_assert(offsetof(objlens_section_ops, data_readname) == 19 * sizeof(void *));
static_assert(sizeof(objlens_section_ops) == 20 * sizeof(void *));
static_assert(sizeof(objlens_section) == 3 * sizeof(void *));

}  // namespace
}  // namespace objlens

extern "C" {

constinit const objlens_section_ops objlens_ops_section_32 =
    objlens::make_section_ops<objlens::elf32>();
constinit const objlens_section_ops objlens_ops_section_64 =
    objlens::make_section_ops<objlens::elf64>();

uint32_t objlens_section_get_index(const objlens_section *section)
{
    return section->ops->get_index(section);
}
uint32_t objlens_section_get_orig_index(const objlens_section *section)
{
    return section->ops->get_orig_index(section);
}
const char *objlens_section_get_name_str(const objlens_section *section)
{
    return section->ops->get_name_str(section);
}
uint32_t objlens_section_get_name_offs(const objlens_section *section)
{
    return section->ops->get_name_offs(section);
}
uint32_t objlens_section_get_type(const objlens_section *section)
{
    return section->ops->get_type(section);
}
uint64_t objlens_section_get_flags(const objlens_section *section)
{
    return section->ops->get_flags(section);
}
uint64_t objlens_section_get_addr(const objlens_section *section)
{
    return section->ops->get_addr(section);
}
uint64_t objlens_section_get_offset(const objlens_section *section)
{
    return section->ops->get_offset(section);
}
uint64_t objlens_section_get_size(const objlens_section *section)
{
    return section->ops->get_size(section);
}
uint32_t objlens_section_get_link(const objlens_section *section)
{
    return section->ops->get_link(section);
}
uint32_t objlens_section_get_info(const objlens_section *section)
{
    return section->ops->get_info(section);
}
uint64_t objlens_section_get_addralign(const objlens_section *section)
{
    return section->ops->get_addralign(section);
}
uint64_t objlens_section_get_entsize(const objlens_section *section)
{
    return section->ops->get_entsize(section);
}
uint32_t objlens_section_data_size(const objlens_section *section)
{
    return section->ops->data_size(section);
}
uint32_t objlens_section_data_read(const objlens_section *section, void *dest, uint32_t offset,
                                   uint32_t count, int clamp)
{
    return section->ops->data_read(section, dest, offset, count, clamp);
}
int objlens_section_data_readname(const objlens_section *section, size_t offset, const char **name)
{
    return section->ops->data_readname(section, offset, name);
}

}  // extern "C"

// The floor model's library (see floor_model.h): generic calls that jump
// through the record's table, class workers that read every multi-byte
// field through the image table's typed slot, typed workers that call the
// backend's swap, and an entry fill that is one data_read of one entry
// through the section table, calling the backend's raw read.  Built with
// the flags libobjlens is built with.
#include "floor_model.h"

#include <elf.h>

#include <cstddef>
#include <cstring>
#include <type_traits>

namespace {

struct c32 {
    using Sym = Elf32_Sym;
    using Rela = Elf32_Rela;
    using Addr = uint32_t;
    using Xword = uint32_t;
    using Sxword = int32_t;
    static uint64_t r_sym(uint64_t info) { return info >> 8; }
    static uint64_t r_type(uint64_t info) { return info & 0xff; }
};
struct c64 {
    using Sym = Elf64_Sym;
    using Rela = Elf64_Rela;
    using Addr = uint64_t;
    using Xword = uint64_t;
    using Sxword = int64_t;
    static uint64_t r_sym(uint64_t info) { return info >> 32; }
    static uint64_t r_type(uint64_t info) { return info & 0xffffffffu; }
};

const floor_core_image *core_of(const objlens_image *image)
{
    return static_cast<const floor_core_image *>(image->backend);
}

floor_data *data_of(const objlens_section *section)
{
    return static_cast<const floor_section_record *>(section->item)->data;
}

// The typed worker a class's table holds: the field copied out, turned by
// the backend's swap of its width, widened.
template <class Field, class Result>
Result load(const objlens_image *image, const void *field)
{
    using U = std::make_unsigned_t<Field>;
    U raw;
    std::memcpy(&raw, field, sizeof raw);
    const floor_core_image *core = core_of(image);
    U host;
    if constexpr (sizeof(U) == 2)
        host = floor_core_swap16(core, raw, core->ei_data);
    else if constexpr (sizeof(U) == 4)
        host = floor_core_swap32(core, raw, core->ei_data);
    else
        host = floor_core_swap64(core, raw, core->ei_data);
    return static_cast<Result>(static_cast<Field>(host));
}

// A field read through the image table's typed slot: the class's own
// worker runs in place when the slot holds it, any other through the slot.
template <class Field, class Result>
Result load_field(const objlens_image *image,
                  Result (*objlens_image_ops::*slot)(const objlens_image *, const void *),
                  const unsigned char *entry, size_t offset)
{
    constexpr auto standard = &load<Field, Result>;
    const auto worker = image->ops->*slot;
    const void *field = entry + offset;
    return worker == standard ? standard(image, field) : worker(image, field);
}

template <class C>
uint32_t sym_name_offs(const objlens_sym *s)
{
    return static_cast<uint32_t>(load_field<uint32_t>(
        s->image, &objlens_image_ops::load_Word, s->entry, offsetof(typename C::Sym, st_name)));
}
template <class C>
uint16_t sym_shndx(const objlens_sym *s)
{
    return static_cast<uint16_t>(load_field<uint16_t>(
        s->image, &objlens_image_ops::load_Half, s->entry, offsetof(typename C::Sym, st_shndx)));
}
template <class C>
uint8_t sym_info(const objlens_sym *s)
{
    return s->entry[offsetof(typename C::Sym, st_info)];
}
template <class C>
uint8_t sym_other(const objlens_sym *s)
{
    return s->entry[offsetof(typename C::Sym, st_other)];
}
template <class C>
uint64_t sym_value(const objlens_sym *s)
{
    return load_field<typename C::Addr>(s->image, &objlens_image_ops::load_Addr, s->entry,
                                        offsetof(typename C::Sym, st_value));
}
template <class C>
uint64_t sym_size(const objlens_sym *s)
{
    return load_field<typename C::Xword>(s->image, &objlens_image_ops::load_Xword, s->entry,
                                         offsetof(typename C::Sym, st_size));
}

template <class C>
uint64_t rela_offset(const objlens_rel *r)
{
    return load_field<typename C::Addr>(r->image, &objlens_image_ops::load_Addr, r->entry,
                                        offsetof(typename C::Rela, r_offset));
}
template <class C>
uint64_t rela_info(const objlens_rel *r)
{
    return load_field<typename C::Xword>(r->image, &objlens_image_ops::load_Xword, r->entry,
                                         offsetof(typename C::Rela, r_info));
}
template <class C>
uint64_t rela_r_sym(const objlens_rel *r)
{
    return C::r_sym(rela_info<C>(r));
}
template <class C>
uint64_t rela_r_type(const objlens_rel *r)
{
    return C::r_type(rela_info<C>(r));
}
template <class C>
int rela_has_addend(const objlens_rel * /*rel*/)
{
    return 1;
}
template <class C>
int64_t rela_addend(const objlens_rel *r)
{
    return load_field<typename C::Sxword>(r->image, &objlens_image_ops::load_Sxword, r->entry,
                                          offsetof(typename C::Rela, r_addend));
}

// The section table's data_read: the offset checked against the data size
// (and the count cut with clamp), then the backend's raw read.
template <class C>
uint32_t data_read(const objlens_section *section, void *dest, uint32_t offset, uint32_t count,
                   int clamp)
{
    floor_data *data = data_of(section);
    const uint32_t size = data->size;
    if (size <= offset)
        return 0;
    if (clamp && count > size - offset)
        count = size - offset;
    return floor_core_raw_read(data, dest, count, offset) ? count : 0;
}

// data_read through the section table, the class's own worker in place.
uint32_t data_read_through(const objlens_section *section, void *dest, uint32_t offset,
                           uint32_t count, int clamp)
{
    const auto worker = section->ops->data_read;
    if (worker == &data_read<c64>)
        return data_read<c64>(section, dest, offset, count, clamp);
    if (worker == &data_read<c32>)
        return data_read<c32>(section, dest, offset, count, clamp);
    return worker(section, dest, offset, count, clamp);
}

template <class C>
int data_readname(const objlens_section *section, size_t offset, const char **name)
{
    return floor_core_read_name(core_of(section->image), offset,
                                static_cast<const floor_section_record *>(section->item), name)
               ? 0
               : -1;
}

template <class C>
constexpr objlens_sym_ops sym_ops = {
    .get_name_offs = &sym_name_offs<C>,
    .get_shndx = &sym_shndx<C>,
    .get_info = &sym_info<C>,
    .get_other = &sym_other<C>,
    .get_value = &sym_value<C>,
    .get_size = &sym_size<C>,
};

template <class C>
constexpr objlens_rel_ops rela_ops = {
    .get_offset = &rela_offset<C>,
    .get_info = &rela_info<C>,
    .get_r_sym = &rela_r_sym<C>,
    .get_r_type = &rela_r_type<C>,
    .has_addend = &rela_has_addend<C>,
    .get_addend = &rela_addend<C>,
};

template <class C>
constexpr objlens_section_ops make_section_ops()
{
    objlens_section_ops ops{};
    ops.rela_ops = &rela_ops<C>;
    ops.sym_ops = &sym_ops<C>;
    ops.data_read = &data_read<C>;
    ops.data_readname = &data_readname<C>;
    return ops;
}

template <class C>
constexpr objlens_image_ops make_image_ops()
{
    objlens_image_ops ops{};
    ops.sizeof_Sym = sizeof(typename C::Sym);
    ops.sizeof_Rela = sizeof(typename C::Rela);
    ops.load_Half = &load<uint16_t, uint64_t>;
    ops.load_Word = &load<uint32_t, uint64_t>;
    ops.load_Addr = &load<typename C::Addr, uint64_t>;
    ops.load_Xword = &load<typename C::Xword, uint64_t>;
    ops.load_Sxword = &load<typename C::Sxword, int64_t>;
    return ops;
}

// One entry copied by one data_read; an index whose byte offset does not
// fit 32 bits is refused.
template <class Record, class Ops>
int fill(const objlens_section *section, Record *record, uint32_t index, int32_t entry_size,
         const Ops *ops)
{
    const auto size = static_cast<uint32_t>(entry_size);
    const uint64_t offset = uint64_t{index} * size;
    if (size > sizeof record->entry || offset > UINT32_MAX)
        return -1;
    if (data_read_through(section, record->entry, static_cast<uint32_t>(offset), size, 0) == 0)
        return -1;
    record->ops = ops;
    record->section = section;
    record->image = section->image;
    record->offset = static_cast<uint32_t>(offset);
    return 0;
}

}  // namespace

extern "C" {

constinit const objlens_section_ops floor_ops_section_32 = make_section_ops<c32>();
constinit const objlens_section_ops floor_ops_section_64 = make_section_ops<c64>();
constinit const objlens_image_ops floor_ops_32 = make_image_ops<c32>();
constinit const objlens_image_ops floor_ops_64 = make_image_ops<c64>();

FLOOR_API int floor_section_get_sym(const objlens_section *section, objlens_sym *sym,
                                    uint32_t index)
{
    return fill(section, sym, index, section->image->ops->sizeof_Sym, section->ops->sym_ops);
}
FLOOR_API int floor_section_get_rela(const objlens_section *section, objlens_rel *rel,
                                     uint32_t index)
{
    return fill(section, rel, index, section->image->ops->sizeof_Rela, section->ops->rela_ops);
}
FLOOR_API int floor_section_data_readname(const objlens_section *section, size_t offset,
                                          const char **name)
{
    return section->ops->data_readname(section, offset, name);
}
FLOOR_API uint32_t floor_sym_get_name_offs(const objlens_sym *s)
{
    return s->ops->get_name_offs(s);
}
FLOOR_API uint16_t floor_sym_get_shndx(const objlens_sym *s) { return s->ops->get_shndx(s); }
FLOOR_API uint8_t floor_sym_get_info(const objlens_sym *s) { return s->ops->get_info(s); }
FLOOR_API uint8_t floor_sym_get_other(const objlens_sym *s) { return s->ops->get_other(s); }
FLOOR_API uint64_t floor_sym_get_value(const objlens_sym *s) { return s->ops->get_value(s); }
FLOOR_API uint64_t floor_sym_get_size(const objlens_sym *s) { return s->ops->get_size(s); }
FLOOR_API uint64_t floor_rel_get_offset(const objlens_rel *r) { return r->ops->get_offset(r); }
FLOOR_API uint64_t floor_rel_get_info(const objlens_rel *r) { return r->ops->get_info(r); }
FLOOR_API uint64_t floor_rel_get_r_sym(const objlens_rel *r) { return r->ops->get_r_sym(r); }
FLOOR_API uint64_t floor_rel_get_r_type(const objlens_rel *r) { return r->ops->get_r_type(r); }
FLOOR_API int64_t floor_rel_get_addend(const objlens_rel *r) { return r->ops->get_addend(r); }
}

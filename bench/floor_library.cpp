// The floor model's library (see floor_model.h): generic calls that jump
// through the record's table, workers that read every multi-byte field
// through the image table's typed slot, typed slots that call the backend's
// swap, and an entry fill that is one data_read of one entry.  Built with
// the flags libobjlens is built with.
#include "floor_copy.h"
#include "floor_model.h"

#include <elf.h>

#include <cstddef>
#include <cstring>
#include <type_traits>

namespace {

struct c32 {
    using Sym = Elf32_Sym;
    using Rela = Elf32_Rela;
    using Xword = uint32_t;
    using Sxword = int32_t;
    using Addr = uint32_t;
    static uint64_t r_sym(uint64_t info) { return info >> 8; }
    static uint64_t r_type(uint64_t info) { return info & 0xff; }
};
struct c64 {
    using Sym = Elf64_Sym;
    using Rela = Elf64_Rela;
    using Xword = uint64_t;
    using Sxword = int64_t;
    using Addr = uint64_t;
    static uint64_t r_sym(uint64_t info) { return info >> 32; }
    static uint64_t r_type(uint64_t info) { return info & 0xffffffffu; }
};

const floor_core_image *core_of(const objlens_image *image)
{
    return static_cast<const floor_core_image *>(image->backend);
}

template <bool Inline, class U>
U swap(const floor_core_image *core, U raw)
{
    const unsigned data = core->ei_data;
    if constexpr (Inline) {
        if (data == ELFDATA2LSB)
            return raw;
        if constexpr (sizeof(U) == 2)
            return __builtin_bswap16(raw);
        else if constexpr (sizeof(U) == 4)
            return __builtin_bswap32(raw);
        else
            return __builtin_bswap64(raw);
    } else if constexpr (sizeof(U) == 2) {
        return floor_core_swap16(core, raw, data);
    } else if constexpr (sizeof(U) == 4) {
        return floor_core_swap32(core, raw, data);
    } else {
        return floor_core_swap64(core, raw, data);
    }
}

template <bool Inline, class Field, class Result>
Result load(const objlens_image *image, const void *field)
{
    using U = std::make_unsigned_t<Field>;
    U raw;
    std::memcpy(&raw, field, sizeof raw);
    return static_cast<Result>(static_cast<Field>(swap<Inline>(core_of(image), raw)));
}

template <class Result>
Result through_slot(const objlens_image *image,
                    Result (*objlens_image_ops::*slot)(const objlens_image *, const void *),
                    const unsigned char *entry, size_t offset)
{
    return (image->ops->*slot)(image, entry + offset);
}

template <class C>
uint32_t sym_name_offs(const objlens_sym *s)
{
    return static_cast<uint32_t>(through_slot(s->image, &objlens_image_ops::load_Word, s->entry,
                                              offsetof(typename C::Sym, st_name)));
}
template <class C>
uint16_t sym_shndx(const objlens_sym *s)
{
    return static_cast<uint16_t>(through_slot(s->image, &objlens_image_ops::load_Half, s->entry,
                                              offsetof(typename C::Sym, st_shndx)));
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
    return through_slot(s->image, &objlens_image_ops::load_Addr, s->entry,
                        offsetof(typename C::Sym, st_value));
}
template <class C>
uint64_t sym_size(const objlens_sym *s)
{
    return through_slot(s->image, &objlens_image_ops::load_Xword, s->entry,
                        offsetof(typename C::Sym, st_size));
}

template <class C>
uint64_t rela_offset(const objlens_rel *r)
{
    return through_slot(r->image, &objlens_image_ops::load_Addr, r->entry,
                        offsetof(typename C::Rela, r_offset));
}
template <class C>
uint64_t rela_info(const objlens_rel *r)
{
    return through_slot(r->image, &objlens_image_ops::load_Xword, r->entry,
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
    return through_slot(r->image, &objlens_image_ops::load_Sxword, r->entry,
                        offsetof(typename C::Rela, r_addend));
}

template <bool Inline>
uint32_t data_read(const objlens_section *section, void *dest, uint32_t offset, uint32_t count,
                   int clamp)
{
    floor_data *data = static_cast<const floor_section_record *>(section->item)->data;
    const uint32_t size = data->size;
    if (size <= offset)
        return 0;
    if (clamp && count > size - offset)
        count = size - offset;
    if constexpr (Inline) {
        if (count > size - offset)
            return 0;
        floor_copy(dest, data->bytes + offset, count);
        return count;
    } else {
        return floor_core_raw_read(data, dest, count, offset) ? count : 0;
    }
}

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

template <class C, bool Inline>
constexpr objlens_section_ops make_section_ops()
{
    objlens_section_ops ops{};
    ops.rela_ops = &rela_ops<C>;
    ops.sym_ops = &sym_ops<C>;
    ops.data_read = &data_read<Inline>;
    ops.data_readname = &data_readname;
    return ops;
}

template <class C, bool Inline>
constexpr objlens_image_ops make_image_ops()
{
    objlens_image_ops ops{};
    ops.sizeof_Sym = sizeof(typename C::Sym);
    ops.sizeof_Rela = sizeof(typename C::Rela);
    ops.load_Half = &load<Inline, uint16_t, uint64_t>;
    ops.load_Word = &load<Inline, uint32_t, uint64_t>;
    ops.load_Addr = &load<Inline, typename C::Addr, uint64_t>;
    ops.load_Xword = &load<Inline, typename C::Xword, uint64_t>;
    ops.load_Sxword = &load<Inline, typename C::Sxword, int64_t>;
    return ops;
}

template <class Record, class Ops>
int fill(const objlens_section *section, Record *record, uint32_t index, int32_t entry_size,
         const Ops *ops)
{
    const auto size = static_cast<uint32_t>(entry_size);
    if (size == 0 || size > sizeof record->entry || index > UINT32_MAX / size)
        return -1;
    const uint32_t offset = index * size;
    if (section->ops->data_read(section, record->entry, offset, size, 0) == 0)
        return -1;
    record->ops = ops;
    record->section = section;
    record->image = section->image;
    record->offset = offset;
    return 0;
}

}  // namespace

extern "C" {

constinit const objlens_section_ops floor_ops_section_32 = make_section_ops<c32, false>();
constinit const objlens_section_ops floor_ops_section_64 = make_section_ops<c64, false>();
constinit const objlens_section_ops floor_ops_section_32_inline = make_section_ops<c32, true>();
constinit const objlens_section_ops floor_ops_section_64_inline = make_section_ops<c64, true>();
constinit const objlens_image_ops floor_ops_32 = make_image_ops<c32, false>();
constinit const objlens_image_ops floor_ops_64 = make_image_ops<c64, false>();
constinit const objlens_image_ops floor_ops_32_inline = make_image_ops<c32, true>();
constinit const objlens_image_ops floor_ops_64_inline = make_image_ops<c64, true>();

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

// objlens.cpp - the image handle: load, the two image operations tables, the
// class workers behind them, and the generic image, typed-field and
// type-size functions.
//
// Every generic function here reads the handle's table and continues in one
// slot with its arguments untouched, so it compiles to a table load and a
// tail jump.  The class workers are one template per job, instantiated for
// elf32 and elf64; the alias slots (Addr, Half, ... Sxword) point at the
// explicit-width worker of the class's width for that type.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "class_traits.hpp"
#include "typed_field.hpp"

namespace objlens {
namespace {

// ---- image workers --------------------------------------------------------

template <class C>
void image_unload(objlens_image *image) noexcept
{
    C::core_free(core_of<C>(image));
}

template <class C>
int image_save(const objlens_image *image, const char *target) noexcept
{
    return C::core_save(core_of<C>(image), target) ? 0 : -1;
}

template <class C>
uint32_t image_num_sections(const objlens_image *image) noexcept
{
    return C::core_num_sections(core_of<C>(image));
}

template <class C>
uint32_t image_num_programs(const objlens_image *image) noexcept
{
    return C::core_num_programs(core_of<C>(image));
}

template <class C>
uint64_t image_base(const objlens_image *image) noexcept
{
    return core_of<C>(image)->image_base;
}

template <class C>
uint16_t image_machine(const objlens_image *image) noexcept
{
    const auto *core = core_of<C>(image);
    uint16_t raw;
    std::memcpy(&raw,
                reinterpret_cast<const unsigned char *>(&core->ehdr) +
                    offsetof(typename C::Ehdr, e_machine),
                sizeof raw);
    return C::core_load_Half(core, raw);
}

template <class C>
uint32_t image_relevant_rels(const objlens_image *image) noexcept
{
    return elf_get_relevant_rels(image_machine<C>(image));
}

template <class C>
int image_get_ehdr(const objlens_image *image, objlens_ehdr *ehdr) noexcept
{
    ehdr->ops = C::ehdr_ops;
    ehdr->image = image;
    ehdr->item = &core_of<C>(image)->ehdr;
    return 0;
}

// The view's ops and image are set before the backend is asked, so a view
// whose lookup failed still says which image and class it belongs to.
template <class C>
int image_get_program(const objlens_image *image, objlens_program *program, uint32_t index) noexcept
{
    program->ops = C::program_ops;
    program->image = image;
    program->item = C::core_get_program(core_of<C>(image), index);
    return program->item ? 0 : -1;
}

template <class C>
int image_get_section(const objlens_image *image, objlens_section *section, uint32_t index) noexcept
{
    section->ops = C::section_ops;
    section->image = image;
    section->item = C::core_get_section(core_of<C>(image), index);
    return section->item ? 0 : -1;
}

template <class C>
int image_find_section(const objlens_image *image, objlens_section *section,
                       const char *name) noexcept
{
    section->ops = C::section_ops;
    section->image = image;
    section->item = C::core_find_section(core_of<C>(image), name);
    return section->item ? 0 : -1;
}

template <class C>
constexpr objlens_image_ops make_image_ops()
{
    constexpr int32_t address_size = sizeof(field_of<alias::Addr, C>);
    return {
        .bits = C::bits,
        .sizeof_Addr = sizeof(field_of<alias::Addr, C>),
        .sizeof_Half = sizeof(field_of<alias::Half, C>),
        .sizeof_Word = sizeof(field_of<alias::Word, C>),
        .sizeof_Off = sizeof(field_of<alias::Off, C>),
        .sizeof_Xword = sizeof(field_of<alias::Xword, C>),
        .sizeof_Sword = sizeof(field_of<alias::Sword, C>),
        .sizeof_Sxword = sizeof(field_of<alias::Sxword, C>),
        .sizeof_Dyn = sizeof(typename C::Dyn),
        .sizeof_Rel = sizeof(typename C::Rel),
        .sizeof_Rela = sizeof(typename C::Rela),
        .sizeof_Sym = sizeof(typename C::Sym),
        .further_size_1 = address_size,
        .further_size_2 = address_size,
        .further_size_3 = address_size,

        .unload = &image_unload<C>,
        .save = &image_save<C>,
        .get_numsec = &image_num_sections<C>,
        .get_numprog = &image_num_programs<C>,
        .get_image_base = &image_base<C>,
        .get_relevant_rels = &image_relevant_rels<C>,
        .get_machine = &image_machine<C>,
        .get_ehdr = &image_get_ehdr<C>,
        .get_program = &image_get_program<C>,
        .get_section = &image_get_section<C>,
        .find_section = &image_find_section<C>,

        .load_uint16 = &field_load<C, uint16_t>,
        .store_uint16 = &field_store<C, uint16_t>,
        .load_uint32 = &field_load<C, uint32_t>,
        .store_uint32 = &field_store<C, uint32_t>,
        .load_uint64 = &field_load<C, uint64_t>,
        .store_uint64 = &field_store<C, uint64_t>,
        .load_int16 = &field_load<C, int16_t>,
        .store_int16 = &field_store<C, int16_t>,
        .load_int32 = &field_load<C, int32_t>,
        .store_int32 = &field_store<C, int32_t>,
        .load_int64 = &field_load<C, int64_t>,
        .store_int64 = &field_store<C, int64_t>,

        .load_Addr = standard_load<C, alias::Addr>(),
        .store_Addr = standard_store<C, alias::Addr>(),
        .load_Half = standard_load<C, alias::Half>(),
        .store_Half = standard_store<C, alias::Half>(),
        .load_Word = standard_load<C, alias::Word>(),
        .store_Word = standard_store<C, alias::Word>(),
        .load_Xword = standard_load<C, alias::Xword>(),
        .store_Xword = standard_store<C, alias::Xword>(),
        .load_Off = standard_load<C, alias::Off>(),
        .store_Off = standard_store<C, alias::Off>(),
        .load_Sword = standard_load<C, alias::Sword>(),
        .store_Sword = standard_store<C, alias::Sword>(),
        .load_Sxword = standard_load<C, alias::Sxword>(),
        .store_Sxword = standard_store<C, alias::Sxword>(),
    };
}

// The table's layout is part of the interface: 15 integers, then 37
// function pointers in this order.
constexpr std::size_t first_slot = offsetof(objlens_image_ops, unload);
constexpr std::size_t slot_at(std::size_t n) { return first_slot + n * sizeof(void (*)()); }
static_assert(offsetof(objlens_image_ops, further_size_3) == 14 * sizeof(int32_t));
static_assert(first_slot == 15 * sizeof(int32_t) ||
              first_slot == 16 * sizeof(int32_t));  // padding to the pointer
static_assert(offsetof(objlens_image_ops, get_relevant_rels) == slot_at(5));
static_assert(offsetof(objlens_image_ops, get_machine) == slot_at(6));
static_assert(offsetof(objlens_image_ops, find_section) == slot_at(10));
static_assert(offsetof(objlens_image_ops, load_uint16) == slot_at(11));
static_assert(offsetof(objlens_image_ops, store_int64) == slot_at(22));
static_assert(offsetof(objlens_image_ops, load_Addr) == slot_at(23));
static_assert(offsetof(objlens_image_ops, load_Xword) == slot_at(29));
static_assert(offsetof(objlens_image_ops, load_Off) == slot_at(31));
static_assert(offsetof(objlens_image_ops, store_Sxword) == slot_at(36));
static_assert(sizeof(objlens_image_ops) == slot_at(37));
static_assert(sizeof(objlens_image) == 2 * sizeof(void *));

}  // namespace
}  // namespace objlens

using objlens::call_alias;
using objlens::elf32;
using objlens::elf64;

extern "C" {

constinit const objlens_image_ops objlens_ops_32 = objlens::make_image_ops<elf32>();
constinit const objlens_image_ops objlens_ops_64 = objlens::make_image_ops<elf64>();

// Class 32 is asked first; once it has accepted the source, class 64 is not
// tried even when the load then fails.  `ops` is written only after the
// backend has returned an image.
int objlens_load(objlens_image *image, objkit_source *source)
{
    image->ops = nullptr;
    image->backend = nullptr;
    if (objcore32_can_load(source)) {
        image->backend = objcore32_load(source);
        if (!image->backend)
            return -1;
        image->ops = &objlens_ops_32;
        return 0;
    }
    if (!objcore64_can_load(source))
        return -1;
    image->backend = objcore64_load(source);
    if (!image->backend)
        return -1;
    image->ops = &objlens_ops_64;
    return 0;
}

void objlens_unload(objlens_image *image) { image->ops->unload(image); }
int objlens_save(const objlens_image *image, const char *target)
{
    return image->ops->save(image, target);
}
int objlens_get_bits(const objlens_image *image) { return image->ops->bits; }
uint32_t objlens_get_num_of_sections(const objlens_image *image)
{
    return image->ops->get_numsec(image);
}
uint32_t objlens_get_num_of_programs(const objlens_image *image)
{
    return image->ops->get_numprog(image);
}
uint64_t objlens_get_image_base(const objlens_image *image)
{
    return image->ops->get_image_base(image);
}
uint16_t objlens_get_machine(const objlens_image *image) { return image->ops->get_machine(image); }
uint32_t objlens_get_relevant_rels(const objlens_image *image)
{
    return image->ops->get_relevant_rels(image);
}
int objlens_get_ehdr(const objlens_image *image, objlens_ehdr *ehdr)
{
    return image->ops->get_ehdr(image, ehdr);
}
int objlens_get_program(const objlens_image *image, objlens_program *program, uint32_t index)
{
    return image->ops->get_program(image, program, index);
}
int objlens_get_section(const objlens_image *image, objlens_section *section, uint32_t index)
{
    return image->ops->get_section(image, section, index);
}
int objlens_find_section(const objlens_image *image, objlens_section *section, const char *name)
{
    return image->ops->find_section(image, section, name);
}

// ---- explicit widths ------------------------------------------------------

uint64_t objlens_load_uint16(const objlens_image *image, const void *field)
{
    return image->ops->load_uint16(image, field);
}
uint64_t objlens_load_uint32(const objlens_image *image, const void *field)
{
    return image->ops->load_uint32(image, field);
}
uint64_t objlens_load_uint64(const objlens_image *image, const void *field)
{
    return image->ops->load_uint64(image, field);
}
int64_t objlens_load_int16(const objlens_image *image, const void *field)
{
    return image->ops->load_int16(image, field);
}
int64_t objlens_load_int32(const objlens_image *image, const void *field)
{
    return image->ops->load_int32(image, field);
}
int64_t objlens_load_int64(const objlens_image *image, const void *field)
{
    return image->ops->load_int64(image, field);
}
int objlens_store_uint16(const objlens_image *image, void *field, uint64_t value)
{
    return image->ops->store_uint16(image, field, value);
}
int objlens_store_uint32(const objlens_image *image, void *field, uint64_t value)
{
    return image->ops->store_uint32(image, field, value);
}
int objlens_store_uint64(const objlens_image *image, void *field, uint64_t value)
{
    return image->ops->store_uint64(image, field, value);
}
int objlens_store_int16(const objlens_image *image, void *field, int64_t value)
{
    return image->ops->store_int16(image, field, value);
}
int objlens_store_int32(const objlens_image *image, void *field, int64_t value)
{
    return image->ops->store_int32(image, field, value);
}
int objlens_store_int64(const objlens_image *image, void *field, int64_t value)
{
    return image->ops->store_int64(image, field, value);
}

// ---- ELF type aliases -----------------------------------------------------
// An empty alias slot is answered in call_alias (typed_field.hpp).

#define OBJLENS_ALIAS_LOAD(result, alias)                                                          \
    result objlens_load_##alias(const objlens_image *image, const void *field)                     \
    {                                                                                              \
        return call_alias(image->ops->load_##alias, image, field);                                 \
    }
#define OBJLENS_ALIAS_STORE(value_type, alias)                                                     \
    int objlens_store_##alias(const objlens_image *image, void *field, value_type value)           \
    {                                                                                              \
        return call_alias(image->ops->store_##alias, image, field, value);                         \
    }

OBJLENS_ALIAS_LOAD(uint64_t, Addr)
OBJLENS_ALIAS_LOAD(uint64_t, Half)
OBJLENS_ALIAS_LOAD(uint64_t, Word)
OBJLENS_ALIAS_LOAD(uint64_t, Xword)
OBJLENS_ALIAS_LOAD(uint64_t, Off)
OBJLENS_ALIAS_LOAD(int64_t, Sword)
OBJLENS_ALIAS_LOAD(int64_t, Sxword)
OBJLENS_ALIAS_STORE(uint64_t, Addr)
OBJLENS_ALIAS_STORE(uint64_t, Half)
OBJLENS_ALIAS_STORE(uint64_t, Word)
OBJLENS_ALIAS_STORE(uint64_t, Xword)
OBJLENS_ALIAS_STORE(uint64_t, Off)
OBJLENS_ALIAS_STORE(int64_t, Sword)
OBJLENS_ALIAS_STORE(int64_t, Sxword)

// ---- type sizes -----------------------------------------------------------

int objlens_get_sizeof_Addr(const objlens_image *image) { return image->ops->sizeof_Addr; }
int objlens_get_sizeof_Half(const objlens_image *image) { return image->ops->sizeof_Half; }
int objlens_get_sizeof_Word(const objlens_image *image) { return image->ops->sizeof_Word; }
int objlens_get_sizeof_Off(const objlens_image *image) { return image->ops->sizeof_Off; }
int objlens_get_sizeof_Xword(const objlens_image *image) { return image->ops->sizeof_Xword; }
int objlens_get_sizeof_Sword(const objlens_image *image) { return image->ops->sizeof_Sword; }
int objlens_get_sizeof_Sxword(const objlens_image *image) { return image->ops->sizeof_Sxword; }
int objlens_get_sizeof_Dyn(const objlens_image *image) { return image->ops->sizeof_Dyn; }
int objlens_get_sizeof_Rel(const objlens_image *image) { return image->ops->sizeof_Rel; }
int objlens_get_sizeof_Rela(const objlens_image *image) { return image->ops->sizeof_Rela; }
int objlens_get_sizeof_Sym(const objlens_image *image) { return image->ops->sizeof_Sym; }

}  // extern "C"

// ehdr.cpp - the ELF header view: every field of the live header the
// backend holds, read through the image's typed slots on each call.
#include <cstddef>
#include <cstdint>

#include "class_traits.hpp"
#include "typed_field.hpp"

namespace objlens {
namespace {

template <class C, class Alias, class Result>
Result ehdr_field(const objlens_ehdr *ehdr, std::size_t offset)
{
    return static_cast<Result>(load_field<C, Alias>(ehdr->image, ehdr->item, offset));
}

#define OBJLENS_EHDR_WORKER(field, result, type_alias)                                             \
    template <class C>                                                                             \
    result ehdr_get_##field(const objlens_ehdr *ehdr) noexcept                                     \
    {                                                                                              \
        return ehdr_field<C, alias::type_alias, result>(ehdr,                                      \
                                                        offsetof(typename C::Ehdr, e_##field));    \
    }

OBJLENS_EHDR_WORKER(type, uint16_t, Half)
OBJLENS_EHDR_WORKER(machine, uint16_t, Half)
OBJLENS_EHDR_WORKER(version, uint32_t, Word)
OBJLENS_EHDR_WORKER(entry, uint64_t, Addr)
OBJLENS_EHDR_WORKER(phoff, uint64_t, Off)
OBJLENS_EHDR_WORKER(shoff, uint64_t, Off)
OBJLENS_EHDR_WORKER(flags, uint32_t, Word)
OBJLENS_EHDR_WORKER(ehsize, uint16_t, Half)
OBJLENS_EHDR_WORKER(phentsize, uint16_t, Half)
OBJLENS_EHDR_WORKER(phnum, uint16_t, Half)
OBJLENS_EHDR_WORKER(shentsize, uint16_t, Half)
OBJLENS_EHDR_WORKER(shnum, uint16_t, Half)
OBJLENS_EHDR_WORKER(shstrndx, uint16_t, Half)

// The identification bytes are single bytes: handed out raw, in place.
template <class C>
const unsigned char *ehdr_get_ident(const objlens_ehdr *ehdr) noexcept
{
    return static_cast<const unsigned char *>(ehdr->item) + offsetof(typename C::Ehdr, e_ident);
}

template <class C>
constexpr objlens_ehdr_ops make_ehdr_ops()
{
    return {
        .get_ident = &ehdr_get_ident<C>,
        .get_type = &ehdr_get_type<C>,
        .get_machine = &ehdr_get_machine<C>,
        .get_version = &ehdr_get_version<C>,
        .get_entry = &ehdr_get_entry<C>,
        .get_phoff = &ehdr_get_phoff<C>,
        .get_shoff = &ehdr_get_shoff<C>,
        .get_flags = &ehdr_get_flags<C>,
        .get_ehsize = &ehdr_get_ehsize<C>,
        .get_phentsize = &ehdr_get_phentsize<C>,
        .get_phnum = &ehdr_get_phnum<C>,
        .get_shentsize = &ehdr_get_shentsize<C>,
        .get_shnum = &ehdr_get_shnum<C>,
        .get_shstrndx = &ehdr_get_shstrndx<C>,
    };
}

static_assert(offsetof(objlens_ehdr_ops, get_ident) == 0);
static_assert(offsetof(objlens_ehdr_ops, get_entry) == 4 * sizeof(void (*)()));
static_assert(offsetof(objlens_ehdr_ops, get_shstrndx) == 13 * sizeof(void (*)()));
static_assert(sizeof(objlens_ehdr_ops) == 14 * sizeof(void (*)()));
static_assert(sizeof(objlens_ehdr) == 3 * sizeof(void *));

}  // namespace
}  // namespace objlens

extern "C" {

constinit const objlens_ehdr_ops objlens_ops_ehdr_32 = objlens::make_ehdr_ops<objlens::elf32>();
constinit const objlens_ehdr_ops objlens_ops_ehdr_64 = objlens::make_ehdr_ops<objlens::elf64>();

const unsigned char *objlens_ehdr_get_ident(const objlens_ehdr *ehdr)
{
    return ehdr->ops->get_ident(ehdr);
}
uint16_t objlens_ehdr_get_type(const objlens_ehdr *ehdr) { return ehdr->ops->get_type(ehdr); }
uint16_t objlens_ehdr_get_machine(const objlens_ehdr *ehdr) { return ehdr->ops->get_machine(ehdr); }
uint32_t objlens_ehdr_get_version(const objlens_ehdr *ehdr) { return ehdr->ops->get_version(ehdr); }
uint64_t objlens_ehdr_get_entry(const objlens_ehdr *ehdr) { return ehdr->ops->get_entry(ehdr); }
uint64_t objlens_ehdr_get_phoff(const objlens_ehdr *ehdr) { return ehdr->ops->get_phoff(ehdr); }
uint64_t objlens_ehdr_get_shoff(const objlens_ehdr *ehdr) { return ehdr->ops->get_shoff(ehdr); }
uint32_t objlens_ehdr_get_flags(const objlens_ehdr *ehdr) { return ehdr->ops->get_flags(ehdr); }
uint16_t objlens_ehdr_get_ehsize(const objlens_ehdr *ehdr) { return ehdr->ops->get_ehsize(ehdr); }
uint16_t objlens_ehdr_get_phentsize(const objlens_ehdr *ehdr)
{
    return ehdr->ops->get_phentsize(ehdr);
}
uint16_t objlens_ehdr_get_phnum(const objlens_ehdr *ehdr) { return ehdr->ops->get_phnum(ehdr); }
uint16_t objlens_ehdr_get_shentsize(const objlens_ehdr *ehdr)
{
    return ehdr->ops->get_shentsize(ehdr);
}
uint16_t objlens_ehdr_get_shnum(const objlens_ehdr *ehdr) { return ehdr->ops->get_shnum(ehdr); }
uint16_t objlens_ehdr_get_shstrndx(const objlens_ehdr *ehdr)
{
    return ehdr->ops->get_shstrndx(ehdr);
}

}  // extern "C"

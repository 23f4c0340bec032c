// program.cpp - the program header view: every field of one entry of the
// image's program header table, read live from the backend's copy.
#include <cstddef>
#include <cstdint>

#include "class_traits.hpp"
#include "typed_field.hpp"

namespace objlens {
namespace {

template <class C>
const typename C::Phdr *phdr_of(const objlens_program *program) noexcept
{
    return &static_cast<const typename C::core_program *>(program->item)->phdr;
}

#define OBJLENS_PHDR_WORKER(field, result, type_alias)                                             \
    template <class C>                                                                             \
    result program_get_##field(const objlens_program *program) noexcept                            \
    {                                                                                              \
        return static_cast<result>(load_field<C, alias::type_alias>(                               \
            program->image, phdr_of<C>(program), offsetof(typename C::Phdr, p_##field)));          \
    }

OBJLENS_PHDR_WORKER(type, uint32_t, Word)
OBJLENS_PHDR_WORKER(flags, uint32_t, Word)
OBJLENS_PHDR_WORKER(offset, uint64_t, Off)
OBJLENS_PHDR_WORKER(vaddr, uint64_t, Addr)
OBJLENS_PHDR_WORKER(paddr, uint64_t, Addr)
OBJLENS_PHDR_WORKER(filesz, uint64_t, Xword)
OBJLENS_PHDR_WORKER(memsz, uint64_t, Xword)
OBJLENS_PHDR_WORKER(align, uint64_t, Xword)

// The table follows Elf64_Phdr's field order in both classes, so p_flags is
// the second slot although it is the seventh field of Elf32_Phdr.
template <class C>
constexpr objlens_program_ops make_program_ops()
{
    return {
        .get_type = &program_get_type<C>,
        .get_flags = &program_get_flags<C>,
        .get_offset = &program_get_offset<C>,
        .get_vaddr = &program_get_vaddr<C>,
        .get_paddr = &program_get_paddr<C>,
        .get_filesz = &program_get_filesz<C>,
        .get_memsz = &program_get_memsz<C>,
        .get_align = &program_get_align<C>,
    };
}

static_assert(offsetof(objlens_program_ops, get_flags) == 1 * sizeof(void (*)()));
static_assert(offsetof(objlens_program_ops, get_align) == 7 * sizeof(void (*)()));
static_assert(sizeof(objlens_program_ops) == 8 * sizeof(void (*)()));
static_assert(sizeof(objlens_program) == 3 * sizeof(void *));

}  // namespace
}  // namespace objlens

extern "C" {

constinit const objlens_program_ops objlens_ops_program_32 =
    objlens::make_program_ops<objlens::elf32>();
constinit const objlens_program_ops objlens_ops_program_64 =
    objlens::make_program_ops<objlens::elf64>();

uint32_t objlens_program_get_type(const objlens_program *program)
{
    return program->ops->get_type(program);
}
uint32_t objlens_program_get_flags(const objlens_program *program)
{
    return program->ops->get_flags(program);
}
uint64_t objlens_program_get_offset(const objlens_program *program)
{
    return program->ops->get_offset(program);
}
uint64_t objlens_program_get_vaddr(const objlens_program *program)
{
    return program->ops->get_vaddr(program);
}
uint64_t objlens_program_get_paddr(const objlens_program *program)
{
    return program->ops->get_paddr(program);
}
uint64_t objlens_program_get_filesz(const objlens_program *program)
{
    return program->ops->get_filesz(program);
}
uint64_t objlens_program_get_memsz(const objlens_program *program)
{
    return program->ops->get_memsz(program);
}
uint64_t objlens_program_get_align(const objlens_program *program)
{
    return program->ops->get_align(program);
}

}  // extern "C"

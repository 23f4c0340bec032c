// class_traits.hpp - what one ELF class is to the library.
//
// Every worker in the library is written once, as a template over elf32 or
// elf64: the class's structures and backend operations (backend_class.hpp)
// and the library's own tables for that class, so that no worker ever
// spells out a width, an offset or a 32/64 branch.
#ifndef OBJLENS_CLASS_TRAITS_HPP
#define OBJLENS_CLASS_TRAITS_HPP

#include "backend_class.hpp"
#include "objlens.h"

namespace objlens {

template <int Bits>
struct elf_class : backend_class<Bits> {
    using base = backend_class<Bits>;

    static constexpr const objlens_image_ops *image_ops =
        base::either(&objlens_ops_32, &objlens_ops_64);
    static constexpr const objlens_ehdr_ops *ehdr_ops =
        base::either(&objlens_ops_ehdr_32, &objlens_ops_ehdr_64);
    static constexpr const objlens_section_ops *section_ops =
        base::either(&objlens_ops_section_32, &objlens_ops_section_64);
    static constexpr const objlens_program_ops *program_ops =
        base::either(&objlens_ops_program_32, &objlens_ops_program_64);
    static constexpr const objlens_dyn_ops *dyn_ops =
        base::either(&objlens_ops_dyn_32, &objlens_ops_dyn_64);
    static constexpr const objlens_rel_ops *rel_ops =
        base::either(&objlens_ops_rel_32, &objlens_ops_rel_64);
    static constexpr const objlens_rel_ops *rela_ops =
        base::either(&objlens_ops_rela_32, &objlens_ops_rela_64);
    static constexpr const objlens_sym_ops *sym_ops =
        base::either(&objlens_ops_sym_32, &objlens_ops_sym_64);
};

using elf32 = elf_class<32>;
using elf64 = elf_class<64>;

// The backend image behind a handle, as the class's record.
template <class C>
typename C::core_image *core_of(const objlens_image *image) noexcept
{
    return static_cast<typename C::core_image *>(image->backend);
}

}  // namespace objlens

#endif

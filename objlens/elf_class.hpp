// elf_class.hpp - what one ELF class is to the library.
//
// Every worker in the library is written once, as a template over one of the
// two traits structs below, and instantiated for both.  A traits struct names
// the class's standard <elf.h> structures, the backend's records and
// operations for that class, the class's r_info rule, and the library's own
// tables for that class, so that no worker ever spells out a width, an
// offset or a 32/64 branch.
#ifndef OBJLENS_ELF_CLASS_HPP
#define OBJLENS_ELF_CLASS_HPP

#include <elf.h>

#include <cstddef>
#include <cstdint>

#include "objkit.h"
#include "objlens.h"

namespace objlens {

struct elf32 {
    static constexpr int bits = 32;
    using Ehdr = Elf32_Ehdr;
    using Shdr = Elf32_Shdr;
    using Phdr = Elf32_Phdr;
    using Sym = Elf32_Sym;
    using Rel = Elf32_Rel;
    using Rela = Elf32_Rela;
    using Dyn = Elf32_Dyn;
    using Addr = Elf32_Addr;
    using Off = Elf32_Off;
    // The class's Xword and Sxword are the widths of the fields the library
    // reads with them: a Word-sized sh_flags and an Sword-sized d_tag in
    // class 32 (whose <elf.h> Elf32_Xword is 8 bytes but never used).
    using Xword = decltype(Shdr::sh_flags);
    using Sxword = decltype(Dyn::d_tag);

    using core_image = objcore32_image;
    using core_section = objcore32_section;
    using core_program = objcore32_program;
    using core_data = objcore32_data;
    using data_offset = uint32_t;  // raw_read's count and offset

    static constexpr auto core_free = &objcore32_free;
    static constexpr auto core_save = &objcore32_save;
    static constexpr auto core_num_sections = &objcore32_get_num_sections;
    static constexpr auto core_num_programs = &objcore32_get_num_programs;
    static constexpr auto core_get_section = &objcore32_get_section;
    static constexpr auto core_get_program = &objcore32_get_program;
    static constexpr auto core_find_section = &objcore32_find_section;
    static constexpr auto core_load_Half = &objcore32_load_Half;
    static constexpr auto core_raw_read = &objcore32_raw_read;
    static constexpr auto core_read_name = &objcore32_read_name;
    static constexpr auto core_swap16 = &objcore32_swap16;
    static constexpr auto core_swap32 = &objcore32_swap32;
    static constexpr auto core_swap64 = &objcore32_swap64;

    static constexpr uint64_t r_sym(uint64_t info) { return ELF32_R_SYM(info); }
    static constexpr uint64_t r_type(uint64_t info) { return ELF32_R_TYPE(info); }

    static constexpr const objlens_image_ops *image_ops = &objlens_ops_32;
    static constexpr const objlens_ehdr_ops *ehdr_ops = &objlens_ops_ehdr_32;
    static constexpr const objlens_section_ops *section_ops = &objlens_ops_section_32;
    static constexpr const objlens_program_ops *program_ops = &objlens_ops_program_32;
    static constexpr const objlens_dyn_ops *dyn_ops = &objlens_ops_dyn_32;
    static constexpr const objlens_rel_ops *rel_ops = &objlens_ops_rel_32;
    static constexpr const objlens_rel_ops *rela_ops = &objlens_ops_rela_32;
    static constexpr const objlens_sym_ops *sym_ops = &objlens_ops_sym_32;
};

struct elf64 {
    static constexpr int bits = 64;
    using Ehdr = Elf64_Ehdr;
    using Shdr = Elf64_Shdr;
    using Phdr = Elf64_Phdr;
    using Sym = Elf64_Sym;
    using Rel = Elf64_Rel;
    using Rela = Elf64_Rela;
    using Dyn = Elf64_Dyn;
    using Addr = Elf64_Addr;
    using Off = Elf64_Off;
    using Xword = decltype(Shdr::sh_flags);
    using Sxword = decltype(Dyn::d_tag);

    using core_image = objcore64_image;
    using core_section = objcore64_section;
    using core_program = objcore64_program;
    using core_data = objcore64_data;
    using data_offset = uint64_t;

    static constexpr auto core_free = &objcore64_free;
    static constexpr auto core_save = &objcore64_save;
    static constexpr auto core_num_sections = &objcore64_get_num_sections;
    static constexpr auto core_num_programs = &objcore64_get_num_programs;
    static constexpr auto core_get_section = &objcore64_get_section;
    static constexpr auto core_get_program = &objcore64_get_program;
    static constexpr auto core_find_section = &objcore64_find_section;
    static constexpr auto core_load_Half = &objcore64_load_Half;
    static constexpr auto core_raw_read = &objcore64_raw_read;
    static constexpr auto core_read_name = &objcore64_read_name;
    static constexpr auto core_swap16 = &objcore64_swap16;
    static constexpr auto core_swap32 = &objcore64_swap32;
    static constexpr auto core_swap64 = &objcore64_swap64;

    static constexpr uint64_t r_sym(uint64_t info) { return ELF64_R_SYM(info); }
    static constexpr uint64_t r_type(uint64_t info) { return ELF64_R_TYPE(info); }

    static constexpr const objlens_image_ops *image_ops = &objlens_ops_64;
    static constexpr const objlens_ehdr_ops *ehdr_ops = &objlens_ops_ehdr_64;
    static constexpr const objlens_section_ops *section_ops = &objlens_ops_section_64;
    static constexpr const objlens_program_ops *program_ops = &objlens_ops_program_64;
    static constexpr const objlens_dyn_ops *dyn_ops = &objlens_ops_dyn_64;
    static constexpr const objlens_rel_ops *rel_ops = &objlens_ops_rel_64;
    static constexpr const objlens_rel_ops *rela_ops = &objlens_ops_rela_64;
    static constexpr const objlens_sym_ops *sym_ops = &objlens_ops_sym_64;
};

// The backend image behind a handle, as the class's record.
template <class C>
typename C::core_image *core_of(const objlens_image *image) noexcept
{
    return static_cast<typename C::core_image *>(image->backend);
}

}  // namespace objlens

#endif

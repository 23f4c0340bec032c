// backend_class.hpp - what names one ELF class: its <elf.h> structures and
// the backend's records and operations for it.
//
// Every 32/64 difference that a user of the backend meets is written here
// once, as a choice between the two classes' names; the library's workers,
// the fuzz targets and the test helpers are templates over
// backend_class<32> and backend_class<64> and never spell a width, an
// offset or a class branch themselves.
#ifndef OBJLENS_BACKEND_CLASS_HPP
#define OBJLENS_BACKEND_CLASS_HPP

#include <elf.h>

#include <cstdint>
#include <type_traits>

#include "objkit.h"

namespace objlens {

template <int Bits>
struct backend_class {
    static_assert(Bits == 32 || Bits == 64);
    static constexpr int bits = Bits;

    // The class's one of two names.
    template <class Name32, class Name64>
    using pick = std::conditional_t<Bits == 32, Name32, Name64>;
    template <class Name32, class Name64>
    static consteval auto either(Name32 name32, Name64 name64)
    {
        if constexpr (Bits == 32)
            return name32;
        else
            return name64;
    }

    using Ehdr = pick<Elf32_Ehdr, Elf64_Ehdr>;
    using Shdr = pick<Elf32_Shdr, Elf64_Shdr>;
    using Phdr = pick<Elf32_Phdr, Elf64_Phdr>;
    using Sym = pick<Elf32_Sym, Elf64_Sym>;
    using Rel = pick<Elf32_Rel, Elf64_Rel>;
    using Rela = pick<Elf32_Rela, Elf64_Rela>;
    using Dyn = pick<Elf32_Dyn, Elf64_Dyn>;

    using core_image = pick<objcore32_image, objcore64_image>;
    using core_section = pick<objcore32_section, objcore64_section>;
    using core_program = pick<objcore32_program, objcore64_program>;
    using data_offset = pick<uint32_t, uint64_t>;  // raw_read's count and offset

    static constexpr auto core_can_load = either(&objcore32_can_load, &objcore64_can_load);
    static constexpr auto core_load = either(&objcore32_load, &objcore64_load);
    static constexpr auto core_free = either(&objcore32_free, &objcore64_free);
    static constexpr auto core_save = either(&objcore32_save, &objcore64_save);
    static constexpr auto core_num_sections =
        either(&objcore32_get_num_sections, &objcore64_get_num_sections);
    static constexpr auto core_num_programs =
        either(&objcore32_get_num_programs, &objcore64_get_num_programs);
    static constexpr auto core_get_section = either(&objcore32_get_section, &objcore64_get_section);
    static constexpr auto core_get_program = either(&objcore32_get_program, &objcore64_get_program);
    static constexpr auto core_find_section =
        either(&objcore32_find_section, &objcore64_find_section);
    static constexpr auto core_load_Half = either(&objcore32_load_Half, &objcore64_load_Half);
    static constexpr auto core_swap16 = either(&objcore32_swap16, &objcore64_swap16);
    static constexpr auto core_swap32 = either(&objcore32_swap32, &objcore64_swap32);
    static constexpr auto core_swap64 = either(&objcore32_swap64, &objcore64_swap64);
    static constexpr auto core_raw_read = either(&objcore32_raw_read, &objcore64_raw_read);
    static constexpr auto core_read_name = either(&objcore32_read_name, &objcore64_read_name);

    // The standard's r_info rule of the class.
    static constexpr uint64_t r_sym(uint64_t info)
    {
        return Bits == 32 ? ELF32_R_SYM(info) : ELF64_R_SYM(info);
    }
    static constexpr uint64_t r_type(uint64_t info)
    {
        return Bits == 32 ? ELF32_R_TYPE(info) : ELF64_R_TYPE(info);
    }

    // A value turned between the image's byte order and the host's (the
    // same call serves both ways), through the backend's swap of the
    // value's width with the image's EI_DATA byte.
    template <class U>
    static U swap(const core_image *core, U raw)
    {
        const unsigned data = core->ehdr.e_ident[EI_DATA];
        if constexpr (sizeof(U) == 2)
            return core_swap16(core, raw, data);
        else if constexpr (sizeof(U) == 4)
            return core_swap32(core, raw, data);
        else
            return core_swap64(core, raw, data);
    }
};

}  // namespace objlens

#endif

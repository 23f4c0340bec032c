// identity.cpp - ELF magic, class, byte order and version.
#include "identity.hpp"

#include "refusal.hpp"

#include <cstring>

namespace objkit {

unsigned identified_class(const unsigned char *ident, size_t have) noexcept
{
    if (have < EI_NIDENT || std::memcmp(ident, ELFMAG, SELFMAG) != 0)
        return 0;
    const unsigned elf_class = ident[EI_CLASS];
    const unsigned data = ident[EI_DATA];
    if ((elf_class != ELFCLASS32 && elf_class != ELFCLASS64) ||
        (data != ELFDATA2LSB && data != ELFDATA2MSB) || ident[EI_VERSION] != EV_CURRENT)
        return 0;
    return elf_class;
}

bool identifies(const unsigned char *ident, size_t have, unsigned elf_class,
                objkit_source *record) noexcept
{
    if (have == 0)
        return refuse(record, OBJKIT_REASON_EMPTY, 0, "the %s is empty", source_noun(record));
    if (have < SELFMAG || std::memcmp(ident, ELFMAG, SELFMAG) != 0)
        return refuse(record, OBJKIT_REASON_NOT_ELF, 0, "not an ELF file: no ELF magic");
    if (have < EI_NIDENT)
        return refuse(record, OBJKIT_REASON_TRUNCATED, 0,
                      "the %s ends inside the ELF identification (%zu of %d bytes)",
                      source_noun(record), have, EI_NIDENT);
    const unsigned found = ident[EI_CLASS];
    if (found != elf_class) {
        // Every ELFCLASS64 file meets this in class 32's can_load, which a
        // load by class asks first: a fixed text, nothing formatted.
        if (found == ELFCLASS32 || found == ELFCLASS64)
            return refuse(record, OBJKIT_REASON_CLASS, 0,
                          found == ELFCLASS64 ? "ELF class ELFCLASS64, not ELFCLASS32"
                                              : "ELF class ELFCLASS32, not ELFCLASS64");
        return refuse(record, OBJKIT_REASON_CLASS, 0, "unknown ELF class %u (EI_CLASS)", found);
    }
    const unsigned data = ident[EI_DATA];
    if (data != ELFDATA2LSB && data != ELFDATA2MSB)
        return refuse(record, OBJKIT_REASON_DATA, 0, "unknown ELF byte order %u (EI_DATA)", data);
    if (ident[EI_VERSION] != EV_CURRENT)
        return refuse(record, OBJKIT_REASON_VERSION, 0, "unknown ELF version %u (EI_VERSION)",
                      unsigned{ident[EI_VERSION]});
    accept(record);
    return true;
}

}  // namespace objkit

// identity.cpp - ELF magic, class, byte order and version.
#include "identity.hpp"

#include "refusal.hpp"

#include <cstring>

namespace objkit {

namespace {

// The one rule for identification bytes, checked in this order: some
// bytes, the magic, the whole identification, the class asked, the byte
// order, the version.  OBJKIT_REASON_NONE when all of them hold.
objkit_reason ident_reason(const unsigned char *ident, size_t have, unsigned elf_class) noexcept
{
    if (have == 0)
        return OBJKIT_REASON_EMPTY;
    if (have < SELFMAG || std::memcmp(ident, ELFMAG, SELFMAG) != 0)
        return OBJKIT_REASON_NOT_ELF;
    if (have < EI_NIDENT)
        return OBJKIT_REASON_TRUNCATED;
    if (ident[EI_CLASS] != elf_class)
        return OBJKIT_REASON_CLASS;
    const unsigned data = ident[EI_DATA];
    if (data != ELFDATA2LSB && data != ELFDATA2MSB)
        return OBJKIT_REASON_DATA;
    if (ident[EI_VERSION] != EV_CURRENT)
        return OBJKIT_REASON_VERSION;
    return OBJKIT_REASON_NONE;
}

}  // namespace

unsigned identified_class(const unsigned char *ident, size_t have) noexcept
{
    if (have < EI_NIDENT)
        return 0;
    const unsigned elf_class = ident[EI_CLASS];
    if (elf_class != ELFCLASS32 && elf_class != ELFCLASS64)
        return 0;
    return ident_reason(ident, have, elf_class) == OBJKIT_REASON_NONE ? elf_class : 0;
}

bool identifies(const unsigned char *ident, size_t have, unsigned elf_class,
                objkit_source *record) noexcept
{
    const objkit_reason reason = ident_reason(ident, have, elf_class);
    if (reason == OBJKIT_REASON_NONE) {
        accept(record);
        return true;
    }
    if (reason == OBJKIT_REASON_EMPTY)
        return refuse(record, reason, 0, "the %s is empty", source_noun(record));
    if (reason == OBJKIT_REASON_NOT_ELF)
        return refuse(record, reason, 0, "not an ELF file: no ELF magic");
    if (reason == OBJKIT_REASON_TRUNCATED)
        return refuse(record, reason, 0,
                      "the %s ends inside the ELF identification (%zu of %d bytes)",
                      source_noun(record), have, EI_NIDENT);
    if (reason == OBJKIT_REASON_DATA)
        return refuse(record, reason, 0, "unknown ELF byte order %u (EI_DATA)",
                      unsigned{ident[EI_DATA]});
    if (reason == OBJKIT_REASON_VERSION)
        return refuse(record, reason, 0, "unknown ELF version %u (EI_VERSION)",
                      unsigned{ident[EI_VERSION]});
    // OBJKIT_REASON_CLASS.  Every ELFCLASS64 file meets this in class 32's
    // can_load, which a load by class asks first: a fixed text, nothing
    // formatted.
    const unsigned found = ident[EI_CLASS];
    if (found == ELFCLASS32 || found == ELFCLASS64)
        return refuse(record, reason, 0,
                      found == ELFCLASS64 ? "ELF class ELFCLASS64, not ELFCLASS32"
                                          : "ELF class ELFCLASS32, not ELFCLASS64");
    return refuse(record, reason, 0, "unknown ELF class %u (EI_CLASS)", found);
}

}  // namespace objkit

// identity.hpp - the one check of a source's identification bytes.
//
// can_load answers from it and load checks with it again (a load need not
// follow a can_load), so both classes and both calls share these lines.
#pragma once

#include "objkit.h"

#include <cstddef>

namespace objkit {

// Whether the first `have` bytes of a source identify an ELF image of
// class `elf_class` (ELFCLASS32 or ELFCLASS64); sets the record's reason
// either way.
bool identifies(const unsigned char *ident, size_t have, unsigned elf_class,
                objkit_source *record) noexcept;

// The class that a well-formed identification names (ELFCLASS32 or
// ELFCLASS64), or 0 when it is not ELF of either class, or not otherwise
// acceptable (byte order, version).
unsigned identified_class(const unsigned char *ident, size_t have) noexcept;

}  // namespace objkit
